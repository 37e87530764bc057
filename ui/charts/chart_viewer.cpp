#include "ui/charts/chart_viewer.h"

#include "device/tick.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimerEvent>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

// ---- CRectCtrl -------------------------------------------------------------

CRectCtrl::CRectCtrl(QWidget* parent, const QColor& color) : QWidget(parent), m_color(color) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void CRectCtrl::SetColor(const QColor& color) {
    m_color = color;
    update();
}

void CRectCtrl::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), m_color); }

// ---- CChartViewer ------------------------------------------------------------

namespace {

enum CursorKind { kZoomIn, kZoomOut, kNoZoom, kDragH, kDragV, kDragBoth };

// The six cursors, 32 x 32 with the hot spot at (15, 15), made once.
const QCursor& ViewerCursor(CursorKind kind) {
    static const char* const files[] = {":/cursors/zoom_in.png", ":/cursors/zoom_out.png", ":/cursors/no_zoom.png",
                                        ":/cursors/drag_h.png",  ":/cursors/drag_v.png",   ":/cursors/drag_both.png"};
    static QCursor* cursors[6] = {};
    if (!cursors[kind]) {
        QPixmap pm(QString::fromLatin1(files[kind]));
        cursors[kind] = pm.isNull() ? new QCursor(Qt::CrossCursor) : new QCursor(pm.scaled(32, 32), 15, 15);
    }
    return *cursors[kind];
}

}  // namespace

CChartViewer::CChartViewer(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

CChartViewer::~CChartViewer() {
    linkOverviewControl(nullptr);
    RenderToImage(nullptr);
    m_hotSpots.reset();
    for (QPointer<CRectCtrl>& e : m_edges) delete e.data();  // the parent may outlive the viewer
}

int CChartViewer::KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    int f = 0;
    if (buttons & Qt::LeftButton) f |= 0x01;
    if (buttons & Qt::RightButton) f |= 0x02;
    if (mods & Qt::ShiftModifier) f |= 0x04;
    if (mods & Qt::ControlModifier) f |= 0x08;
    if (buttons & Qt::MiddleButton) f |= 0x10;
    return f;
}

void CChartViewer::Send(int code) { emit Notify(ControlId(), code); }

void CChartViewer::showChart(const tchart::XYChart* chart) {
    m_current = chart ? std::make_unique<tchart::XYChart>(*chart) : nullptr;
    setHotSpotMap({});  // every new chart starts without hot spots
    if (m_current) {
        commitPendingSyncAxis(*m_current);
        if (m_displayState != 0) m_current->layout();
    }
    redisplay();
}

void CChartViewer::redisplay() {
    if (m_displayState == 0) {
        DisplayStep();
        return;
    }
    m_displayState = 2;
    m_pending = m_current ? std::make_unique<tchart::XYChart>(*m_current) : nullptr;
}

void CChartViewer::DisplayStep() {
    if (m_displayState == 1) {
        // A notification passed and no chart was given: the old picture stays.
        m_displayState = 0;
        return;
    }
    tchart::XYChart* chart = m_displayState == 2 ? m_pending.get() : m_current.get();
    RenderToImage(chart);
    if (chart) {
        const tchart::ChartMetrics m = chart->getChartMetrics();
        setChartMetrics(&m);
    } else {
        setChartMetrics(nullptr);
    }
    // The selection box stays on top of the new picture.
    for (const QPointer<CRectCtrl>& e : m_edges)
        if (e && e->isVisible()) {
            e->raise();
            e->update();
        }
    m_displayState = 0;
    m_pending.reset();
}

void CChartViewer::RenderToImage(tchart::XYChart* chart) {
    // QImage keeps its alpha channel wherever it is drawn, so the picture is
    // made once, with its alpha, and painted with source-over blending.
    if (!chart) {
        m_image = QImage();
        update();
        return;
    }
    chart->setDevicePixelRatio(devicePixelRatioF());  // drawn at the screen's resolution
    m_image = chart->makeChart();
    resize(m_image.deviceIndependentSize().toSize());  // the control takes the size of its picture
    update();
}

void CChartViewer::paintEvent(QPaintEvent*) {
    if (m_image.isNull()) return;
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(0, 0, m_image);
}

void CChartViewer::linkOverviewControl(CViewPortOverview* overview) {
    if (m_linking || overview == m_overview) return;
    m_linking = true;
    if (m_overview) m_overview->SetViewer(nullptr);
    m_overview = overview;
    if (m_overview) m_overview->SetViewer(this);
    m_linking = false;
}

void CChartViewer::setHotSpotMap(const std::string& map) {
    m_hotSpots.reset();
    m_currentHotSpot = -1;
    m_clickable = false;
    if (!map.empty()) m_hotSpots = std::make_unique<tchart::ImageMapHandler>(map);
}

void CChartViewer::setSelectionEdgeColor(const QColor& color) {
    m_edgeColor = color;
    for (const QPointer<CRectCtrl>& e : m_edges)
        if (e) e->SetColor(color);
}

bool CChartViewer::pointerOverPlotArea() const {
    return m_leaveArmed && inExtendedPlotArea(pointerChartX(), pointerChartY());
}

int CChartViewer::pointerChartX() const {
    return m_lastX >= 0 ? m_lastX : getPlotAreaLeft() + getPlotAreaWidth();
}
int CChartViewer::pointerChartY() const {
    return m_lastY >= 0 ? m_lastY : getPlotAreaTop() + getPlotAreaHeight();
}
int CChartViewer::pointerPlotX() const {
    return std::clamp(pointerChartX(), getPlotAreaLeft(), getPlotAreaLeft() + getPlotAreaWidth());
}
int CChartViewer::pointerPlotY() const {
    return std::clamp(pointerChartY(), getPlotAreaTop(), getPlotAreaTop() + getPlotAreaHeight());
}

void CChartViewer::refreshViewPort(bool chartRedraw, bool hotSpotRefresh) {
    m_chartPending = m_chartPending || chartRedraw;
    m_hotSpotPending = hotSpotRefresh;
    if (m_holdOffActive) return;  // waits for the end of the hold-off
    const int state = m_displayState;
    if (state == 0) m_displayState = 1;
    validateViewPort();
    Send(CVN_ViewPortChanged);
    if (m_chartPending && m_overview) m_overview->RefreshOverview();
    if (state == 0) DisplayStep();
    m_chartPending = false;
    m_hotSpotPending = false;
    if (m_holdOff > 0) {
        m_holdOffActive = true;
        m_holdOffTimer.start(m_holdOff, this);
    }
}

void CChartViewer::timerEvent(QTimerEvent* event) {
    if (event->timerId() == m_holdOffTimer.timerId()) {
        // Timer 1: the hold-off ends; a request that came meanwhile runs now.
        m_holdOffActive = false;
        m_holdOffTimer.stop();
        if (m_chartPending || m_hotSpotPending) refreshViewPort(m_chartPending, m_hotSpotPending);
        return;
    }
    if (event->timerId() == m_moveTimer.timerId()) {
        // Timer 2: the deferred pointer move.
        ProcessDeferredMove();
        return;
    }
    QWidget::timerEvent(event);
}

bool CChartViewer::wheelZoomAt(int x, int y, int delta) {
    if (m_wheelFactor == 1.0) return false;
    const double f = delta > 0 ? m_wheelFactor : 1.0 / m_wheelFactor;
    const double h = m_zoomAxes == tchart::DirectionVertical ? 1.0 : f;
    const double v = m_zoomAxes == tchart::DirectionHorizontal ? 1.0 : f;
    if (zoomAround(x, y, h, v)) {
        refreshViewPort(true, false);
        m_wheelZoomed = true;
    }
    return true;
}

void CChartViewer::dropDynamicLayerOn(int trigger) {
    m_dynamicTrigger = trigger;
    if (trigger == -1) {
        if (m_current) m_current->removeDynamicLayer();
        m_dynamicTrigger = 0;
        redisplay();
    }
}

void CChartViewer::ApplyTrigger(int code) {
    if (m_dynamicTrigger != code) return;
    if (m_current) m_current->removeDynamicLayer();
    m_dynamicTrigger = 0;
    redisplay();
}

// ---- pointer ------------------------------------------------------------------

void CChartViewer::enterEvent(QEnterEvent* event) {
    m_leaveArmed = true;  // Qt reports the leave without being asked
    QWidget::enterEvent(event);
}

void CChartViewer::mouseMoveEvent(QMouseEvent* event) {
    m_leaveArmed = true;
    const int flags = KeyFlags(event->buttons(), event->modifiers());
    const int x = static_cast<int>(event->position().x()), y = static_cast<int>(event->position().y());
    const uint32_t e = GetTickCountMs() - m_lastMoveTick;
    if ((m_deferredPending && e < 250) || e < 10) {
        m_deferredFlags = flags;
        m_deferredX = x;
        m_deferredY = y;
        if (!m_deferredPending) {
            m_deferredPending = true;
            m_moveTimer.start(1, this);
        }
        return;
    }
    ProcessMove(flags, x, y);
}

void CChartViewer::ProcessDeferredMove() {
    if (m_deferredPending) ProcessMove(m_deferredFlags, m_deferredX, m_deferredY);
}

void CChartViewer::ProcessMove(int keyFlags, int x, int y) {
    if (m_deferredPending) {
        m_moveTimer.stop();
        m_deferredPending = false;
    }
    m_lastX = x;
    m_lastY = y;
    m_displayState = 1;
    m_handlingMove = true;
    m_inPlotArea = m_dragging || inPlotArea(x, y);
    if (m_dragging) DragStep(x, y);
    Send(CVN_MouseMoveChart);
    if (inExtendedPlotArea(x, y)) {
        if (m_wheelFactor != 1.0) setFocus(Qt::MouseFocusReason);
        m_inExtendedPlotArea = true;
        Send(CVN_MouseMovePlotArea);
    } else if (m_inExtendedPlotArea) {
        m_inExtendedPlotArea = false;
        Send(CVN_MouseLeavePlotArea);
        ApplyTrigger(CVN_MouseLeavePlotArea);
    }
    DisplayStep();
    m_handlingMove = false;
    if (m_wheelZoomed) {
        m_wheelZoomed = false;
        if (!m_dragging) refreshViewPort(false, true);
    }
    UpdateTooltip(keyFlags, x, y);
    UpdateCursor();
    m_lastMoveTick = GetTickCountMs();
}

void CChartViewer::UpdateTooltip(int keyFlags, int x, int y) {
    if (keyFlags != 0) {
        setToolTip(QString());
        return;
    }
    const int hot = m_hotSpots ? m_hotSpots->getHotSpot(x, y) : 0;
    if (hot == m_currentHotSpot) return;
    m_currentHotSpot = hot;
    if (hot > 0) {
        m_clickable = !m_hotSpots->getValue("path").empty();
        setToolTip(QString::fromStdString(m_hotSpots->getValue("title")));  // UTF-8 throughout
    } else {
        setToolTip(m_fallbackTip);
        m_clickable = false;
    }
}

void CChartViewer::UpdateCursor() {
    if (m_inPlotArea && m_mouseMode == MouseUsageZoomIn) {
        setCursor(ViewerCursor(canZoomIn(m_zoomAxes) ? kZoomIn : kNoZoom));
    } else if (m_inPlotArea && m_mouseMode == MouseUsageZoomOut) {
        setCursor(ViewerCursor(canZoomOut(m_zoomAxes) ? kZoomOut : kNoZoom));
    } else if (m_dragging && m_dragMoved) {
        setCursor(ViewerCursor(m_scrollAxes == 0 ? kDragH : m_scrollAxes == 1 ? kDragV : kDragBoth));
    } else if (m_clickable) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
}

void CChartViewer::leaveEvent(QEvent* event) {
    ProcessDeferredMove();
    m_leaveArmed = false;
    if (m_inExtendedPlotArea) {
        m_inExtendedPlotArea = false;
        Send(CVN_MouseLeavePlotArea);
        ApplyTrigger(CVN_MouseLeavePlotArea);
    }
    Send(CVN_MouseLeaveChart);
    ApplyTrigger(CVN_MouseLeaveChart);
    QWidget::leaveEvent(event);
}

bool CChartViewer::TravelReached(int axes, int x, int y) const {
    const bool h = std::abs(x - m_dragStartX) >= m_dragThreshold;
    const bool v = std::abs(y - m_dragStartY) >= m_dragThreshold;
    return axes == 0 ? h : axes == 1 ? v : (h || v);
}

void CChartViewer::mousePressEvent(QMouseEvent* event) {
    ProcessDeferredMove();
    const int x = static_cast<int>(event->position().x()), y = static_cast<int>(event->position().y());
    if (event->button() == Qt::LeftButton && inPlotArea(x, y) && m_mouseMode != MouseUsageDefault) {
        // Qt grabs the mouse for the pressed widget until the release.
        m_dragStartX = x;
        m_dragStartY = y;
        m_dragging = true;
        startDrag();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void CChartViewer::mouseDoubleClickEvent(QMouseEvent* event) { mousePressEvent(event); }

void CChartViewer::DragStep(int x, int y) {
    if (m_mouseMode == MouseUsageScroll) {
        if (!m_dragMoved && !TravelReached(m_scrollAxes, x, y)) return;
        m_dragMoved = true;
        if (dragTo(m_scrollAxes, x - m_dragStartX, y - m_dragStartY)) refreshViewPort(true, false);
    } else if (m_mouseMode == MouseUsageZoomIn) {
        if (canZoomIn(m_zoomAxes) && TravelReached(m_zoomAxes, x, y)) {
            const int l = getPlotAreaLeft(), t = getPlotAreaTop();
            if (m_zoomAxes == 0) ShowSelection(m_dragStartX, t, x - m_dragStartX, getPlotAreaHeight());
            else if (m_zoomAxes == 1) ShowSelection(l, m_dragStartY, getPlotAreaWidth(), y - m_dragStartY);
            else ShowSelection(m_dragStartX, m_dragStartY, x - m_dragStartX, y - m_dragStartY);
        } else {
            HideSelection();
        }
    }
}

void CChartViewer::ShowSelection(int x, int y, int width, int height) {
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
    QWidget* host = parentWidget() ? parentWidget() : this;
    const QPoint o = host == this ? QPoint(x, y) : mapTo(host, QPoint(x, y));
    const int t = m_edgeWidth, r = o.x() + width, b = o.y() + height;
    const QRect rects[4] = {QRect(o.x(), o.y(), t, height), QRect(r - t + 1, o.y(), t, height),
                            QRect(o.x(), o.y(), width, t), QRect(o.x(), b - t + 1, width, t)};
    for (int i = 0; i < 4; ++i) {
        if (!m_edges[i]) m_edges[i] = new CRectCtrl(host, m_edgeColor);
        m_edges[i]->setGeometry(rects[i]);
        m_edges[i]->show();
        m_edges[i]->raise();
    }
}

void CChartViewer::HideSelection() {
    for (const QPointer<CRectCtrl>& e : m_edges)
        if (e) e->hide();
}

void CChartViewer::mouseReleaseEvent(QMouseEvent* event) {
    ProcessDeferredMove();
    if (event->button() != Qt::LeftButton || !m_dragging) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const int x = static_cast<int>(event->position().x()), y = static_cast<int>(event->position().y());
    m_dragging = false;
    HideSelection();
    bool changed = false;
    if (m_mouseMode == MouseUsageZoomIn) {
        if (canZoomIn(m_zoomAxes)) {
            changed = TravelReached(m_zoomAxes, x, y) ? zoomTo(m_zoomAxes, m_dragStartX, m_dragStartY, x, y)
                                                      : zoomAt(m_zoomAxes, x, y, m_zoomInFactor);
        }
    } else if (m_mouseMode == MouseUsageZoomOut) {
        if (canZoomOut(m_zoomAxes)) changed = zoomAt(m_zoomAxes, x, y, m_zoomOutFactor);
    } else {
        if (m_dragMoved) refreshViewPort(false, true);
        else Send(CVN_Click);
        m_dragMoved = false;
        UpdateCursor();
        return;
    }
    m_dragMoved = false;
    if (changed) refreshViewPort(true, true);
    UpdateCursor();
}

void CChartViewer::wheelEvent(QWheelEvent* event) {
    if (pointerOverPlotArea() && wheelZoomAt(pointerPlotX(), pointerPlotY(), event->angleDelta().y())) {
        event->accept();
        return;
    }
    event->ignore();
}
