#include "ui/charts/dlg_probe.h"

#include "app/app_ini.h"

namespace {
const DialogTemplate kTemplate{CDlgProbe::IDD, "Probe Dialog", 685, 270, false, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgProbe::WindowTemplate() { return kTemplate; }

CDlgProbe::CDlgProbe() : CToolWindow(kTemplate) {}

CDlgProbe::~CDlgProbe() = default;

CToolWindow::Placement CDlgProbe::PlacementKeys() const {
    if (g_pAppIni == nullptr) return {nullptr, nullptr, nullptr, nullptr};
    return {&g_pAppIni->bplotSx, &g_pAppIni->bplotSy, &g_pAppIni->bplotDx, &g_pAppIni->bplotDy};
}
