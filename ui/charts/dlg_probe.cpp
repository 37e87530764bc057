#include "ui/charts/dlg_probe.h"

#include "app/app_ini.h"

#include <algorithm>

#include <QHideEvent>
#include <QMoveEvent>
#include <QResizeEvent>

namespace {
const DialogTemplate kTemplate{CDlgProbe::IDD, "Probe Dialog", 685, 270, false, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgProbe::WindowTemplate() { return kTemplate; }

CDlgProbe::CDlgProbe() : CDialogCommon(kTemplate, nullptr) {}

CDlgProbe::~CDlgProbe() = default;

bool CDlgProbe::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    // Resizable, but never below 500 x 300 pixels.
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    if (g_pAppIni) {
        // The clamp uses the size the window has from its template; the
        // limited position goes back into the settings.
        int x = g_pAppIni->bplotSx;
        int y = g_pAppIni->bplotSy;
        ClampToVirtualScreen(x, y);
        g_pAppIni->bplotSx = x;
        g_pAppIni->bplotSy = y;
        move(x, y);
        resize(std::max<int>(g_pAppIni->bplotDx, kMinWidth), std::max<int>(g_pAppIni->bplotDy, kMinHeight));
    }
    m_placed = true;
    return true;
}

// Enter, Escape and the close box only hide the window.
void CDlgProbe::OnOK() { hide(); }
void CDlgProbe::OnCancel() { hide(); }

void CDlgProbe::OnDestroy() {
    StorePlacement();
    CDialogCommon::OnDestroy();
}

void CDlgProbe::StorePlacement() {
    if (!m_placed || !g_pAppIni) return;
    const QPoint p = pos();
    const QSize s = size();
    g_pAppIni->bplotSx = p.x();
    g_pAppIni->bplotSy = p.y();
    g_pAppIni->bplotDx = s.width();
    g_pAppIni->bplotDy = s.height();
}

void CDlgProbe::moveEvent(QMoveEvent* event) {
    CDialogCommon::moveEvent(event);
    if (isVisible()) StorePlacement();
}

void CDlgProbe::resizeEvent(QResizeEvent* event) {
    CDialogCommon::resizeEvent(event);
    if (isVisible()) StorePlacement();
}

void CDlgProbe::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) StorePlacement();
    CDialogCommon::hideEvent(event);
}
