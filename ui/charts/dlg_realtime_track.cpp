#include "ui/charts/dlg_realtime_track.h"

#include "app/app_ini.h"

#include <algorithm>

#include <QHideEvent>
#include <QMoveEvent>
#include <QResizeEvent>

namespace {
const DialogTemplate kTemplate{CDlgRealtimeTrack::IDD, "Chart", 431, 252, false, nullptr, 0};
}  // namespace

const DialogTemplate& CDlgRealtimeTrack::WindowTemplate() { return kTemplate; }

CDlgRealtimeTrack::CDlgRealtimeTrack() : CDialogCommon(kTemplate, nullptr) {}

CDlgRealtimeTrack::~CDlgRealtimeTrack() = default;

bool CDlgRealtimeTrack::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    // Resizable, but never below 500 x 300 pixels.
    setMinimumSize(kMinWidth, kMinHeight);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setSizeGripEnabled(true);
    if (g_pAppIni) {
        // The clamp uses the size the window has from its template; the
        // limited position goes back into the settings.
        int x = g_pAppIni->chartSx;
        int y = g_pAppIni->chartSy;
        ClampToVirtualScreen(x, y);
        g_pAppIni->chartSx = x;
        g_pAppIni->chartSy = y;
        move(x, y);
        resize(std::max<int>(g_pAppIni->chartDx, kMinWidth), std::max<int>(g_pAppIni->chartDy, kMinHeight));
    }
    m_placed = true;
    return true;
}

// Enter, Escape and the close box only hide the window.
void CDlgRealtimeTrack::OnOK() { hide(); }
void CDlgRealtimeTrack::OnCancel() { hide(); }

void CDlgRealtimeTrack::OnDestroy() {
    StorePlacement();
    CDialogCommon::OnDestroy();
}

void CDlgRealtimeTrack::StorePlacement() {
    if (!m_placed || !g_pAppIni) return;
    const QPoint p = pos();
    const QSize s = size();
    g_pAppIni->chartSx = p.x();
    g_pAppIni->chartSy = p.y();
    g_pAppIni->chartDx = s.width();
    g_pAppIni->chartDy = s.height();
}

void CDlgRealtimeTrack::moveEvent(QMoveEvent* event) {
    CDialogCommon::moveEvent(event);
    if (isVisible()) StorePlacement();
}

void CDlgRealtimeTrack::resizeEvent(QResizeEvent* event) {
    CDialogCommon::resizeEvent(event);
    if (isVisible()) StorePlacement();
}

void CDlgRealtimeTrack::hideEvent(QHideEvent* event) {
    if (!event->spontaneous()) StorePlacement();
    CDialogCommon::hideEvent(event);
}
