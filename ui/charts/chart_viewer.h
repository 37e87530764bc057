#pragma once
// CChartViewer: the control that shows a chart of the charting module and
// connects it to the user. It renders the chart into its image and paints
// it, keeps the viewport (which part of the data is in view), tells its
// parent when the viewport must be redrawn, and interprets the pointer:
// notifications, hot-spot tooltips and, when a mouse mode is set, scrolling
// by dragging and zooming by click, selection box and wheel.
//
// The refresh cycle: refreshViewPort -> Notify(1000) -> the parent builds a
// chart and calls showChart inside the notification -> the picture is shown
// when the notification returns. Notifications are merged to one per
// refresh hold-off (20 ms by default) without losing a request.
//
// CRectCtrl is one edge of the zoom selection box: a solid rectangle.
#include "chart/image_map.h"
#include "chart/viewport.h"
#include "chart/xy_chart.h"

#include <QBasicTimer>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

class CRectCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CRectCtrl(QWidget* parent, const QColor& color);
    void SetColor(const QColor& color);
    QColor Color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// An overview control that follows the viewer's viewport (e.g. a scroll
// overview). The viewer links it both ways and asks it to refresh after
// each chart redraw.
class CViewPortOverview {
public:
    virtual ~CViewPortOverview() = default;
    virtual void SetViewer(class CChartViewer* viewer) = 0;
    virtual void RefreshOverview() = 0;
};

class CChartViewer : public QWidget, public tchart::ViewPortManager {
    Q_OBJECT
public:
    // Notification codes.
    enum : int {
        CVN_Click = 0,
        CVN_ViewPortChanged = 1000,
        CVN_MouseMoveChart = 1001,
        CVN_MouseLeaveChart = 1002,
        CVN_MouseMovePlotArea = 1003,
        CVN_MouseLeavePlotArea = 1004,
    };
    // Mouse modes.
    enum : int { MouseUsageDefault = 0, MouseUsageScroll = 1, MouseUsageZoomIn = 3, MouseUsageZoomOut = 4 };

    explicit CChartViewer(QWidget* parent = nullptr);
    ~CChartViewer() override;

    // The chart to show, or null. The viewer keeps its own counted copy, so
    // the caller may delete its chart object at once.
    void showChart(const tchart::XYChart* chart);
    tchart::XYChart* displayedChart() const { return m_current.get(); }
    void linkOverviewControl(CViewPortOverview* overview);
    CViewPortOverview* linkedOverviewControl() const { return m_overview; }
    void setHotSpotMap(const std::string& map);
    tchart::ImageMapHandler* hotSpotMapHandler() const { return m_hotSpots.get(); }
    void setFallbackTip(const QString& text) { m_fallbackTip = text; }

    void setSelectionEdgeWidth(int px) { m_edgeWidth = px; }
    int selectionEdgeWidth() const { return m_edgeWidth; }
    void setSelectionEdgeColor(const QColor& color);
    QColor selectionEdgeColor() const { return m_edgeColor; }
    void setMouseMode(int mode) { m_mouseMode = mode; }
    int mouseMode() const { return m_mouseMode; }
    void setZoomAxes(int axes) { m_zoomAxes = axes; }
    int zoomAxes() const { return m_zoomAxes; }
    void setScrollAxes(int axes) { m_scrollAxes = axes; }
    int scrollAxes() const { return m_scrollAxes; }
    void setClickZoomInFactor(double f) { m_zoomInFactor = f; }
    double clickZoomInFactor() const { return m_zoomInFactor; }
    void setClickZoomOutFactor(double f) { m_zoomOutFactor = f; }
    double clickZoomOutFactor() const { return m_zoomOutFactor; }
    void setWheelZoomFactor(double f) { m_wheelFactor = f; }
    double wheelZoomFactor() const { return m_wheelFactor; }
    void setDragThreshold(int px) { m_dragThreshold = px; }
    int dragThreshold() const { return m_dragThreshold; }
    void setRefreshHoldOff(int ms) { m_holdOff = ms; }
    int refreshHoldOff() const { return m_holdOff; }

    // Readable by the parent during the viewport notification.
    bool chartRefreshPending() const { return m_chartPending; }
    bool hotSpotRefreshPending() const { return m_hotSpotPending; }
    bool pointerOverPlotArea() const;
    bool handlingPointerMove() const { return m_handlingMove; }
    bool draggingPointer() const { return m_dragging; }

    void refreshViewPort(bool chartRedraw, bool hotSpotRefresh);
    void redisplay();
    bool wheelZoomAt(int x, int y, int delta);
    // -1 removes the chart's dynamic layer now; 1002 / 1004 when the pointer
    // leaves the control / the plot area.
    void dropDynamicLayerOn(int trigger);
    int pointerChartX() const;
    int pointerChartY() const;
    int pointerPlotX() const;
    int pointerPlotY() const;

    // The picture shown (for tests and the owner).
    const QImage& Image() const { return m_image; }
    int ControlId() const { return property("ctrlId").toInt(); }

signals:
    // A notification to the parent: the viewer's control id and the code.
    void Notify(int controlId, int code);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void Send(int code);
    void DisplayStep();
    void RenderToImage(tchart::XYChart* chart);
    void ProcessDeferredMove();
    void ProcessMove(int keyFlags, int x, int y);
    void DragStep(int x, int y);
    bool TravelReached(int axes, int x, int y) const;
    void ShowSelection(int x, int y, int width, int height);
    void HideSelection();
    void UpdateTooltip(int keyFlags, int x, int y);
    void UpdateCursor();
    void ApplyTrigger(int code);
    static int KeyFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

    std::unique_ptr<tchart::XYChart> m_current;  // shares the given chart
    std::unique_ptr<tchart::XYChart> m_pending;
    std::unique_ptr<tchart::ImageMapHandler> m_hotSpots;
    QImage m_image;
    QString m_fallbackTip;
    CViewPortOverview* m_overview = nullptr;
    bool m_linking = false;

    QColor m_edgeColor = QColor(0, 0, 0);
    int m_edgeWidth = 2;
    int m_mouseMode = MouseUsageDefault;
    int m_zoomAxes = 0;
    int m_scrollAxes = 0;
    double m_zoomInFactor = 2.0;
    double m_zoomOutFactor = 0.5;
    double m_wheelFactor = 1.0;
    int m_dragThreshold = 5;
    int m_holdOff = 20;
    bool m_chartPending = false;
    bool m_hotSpotPending = false;
    int m_currentHotSpot = -1;
    bool m_clickable = false;
    bool m_inPlotArea = false;
    bool m_dragging = false;
    bool m_dragMoved = false;
    bool m_leaveArmed = false;
    bool m_handlingMove = false;
    int m_dragStartX = 0, m_dragStartY = 0;
    // Children of the parent, which may delete them first: guarded pointers.
    QPointer<CRectCtrl> m_edges[4];  // left, right, top, bottom
    bool m_holdOffActive = false;
    int m_displayState = 0;  // 0 idle, 1 inside a notification, 2 a chart waits to be shown
    uint32_t m_lastMoveTick = 0;
    bool m_deferredPending = false;
    int m_deferredFlags = 0, m_deferredX = 0, m_deferredY = 0;
    bool m_wheelZoomed = false;
    int m_lastX = -1, m_lastY = -1;
    bool m_inExtendedPlotArea = false;
    int m_dynamicTrigger = 0;
    QBasicTimer m_holdOffTimer;  // the viewer's timer 1
    QBasicTimer m_moveTimer;     // the viewer's timer 2
};
