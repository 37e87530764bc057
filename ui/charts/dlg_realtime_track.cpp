#include "ui/charts/dlg_realtime_track.h"

#include "app/app_ini.h"

namespace {
const DialogTemplate kTemplate{CDlgRealtimeTrack::IDD, "Chart", 431, 252, false, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgRealtimeTrack::WindowTemplate() { return kTemplate; }

CDlgRealtimeTrack::CDlgRealtimeTrack() : CToolWindow(kTemplate) {}

CDlgRealtimeTrack::~CDlgRealtimeTrack() = default;

CToolWindow::Placement CDlgRealtimeTrack::PlacementKeys() const {
    if (g_pAppIni == nullptr) return {nullptr, nullptr, nullptr, nullptr};
    return {&g_pAppIni->chartSx, &g_pAppIni->chartSy, &g_pAppIni->chartDx, &g_pAppIni->chartDy};
}
