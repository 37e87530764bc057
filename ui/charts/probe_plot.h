#pragma once
// CProbePlotView: the probe window's plot surface. It draws the sample block
// with ProbePlot's layout into a cached image (white field, y grid of 1, 2 or
// 5 times a power of ten, x axis of sample numbers scaled to time or
// frequency, the coloured curves, legend and frame) and paints the cross-hair
// over that image: moving the pointer only repaints the strips the old and the
// new cross-hair cover, it never renders the plot again.
//
// Mouse: a left-button drag (or a click) zooms, moves track the cross-hair;
// the window hears of moves, right clicks and double clicks by notification.
#include "ui/charts/probe_plot_math.h"
#include "ui/toolkit/custom_control.h"

#include <QImage>

class CDrawContext;

class CProbePlotView : public CCustomControl {
    Q_OBJECT
public:
    // Notification codes sent to the window.
    enum : int { NotifyCursor = 1, NotifyRightClick = 2, NotifyDoubleClick = 3 };

    explicit CProbePlotView(QWidget* parent = nullptr);

    ProbePlot& Plot() { return m_plot; }
    const ProbePlot& Plot() const { return m_plot; }

    // The block to draw: kProbeBufferSize values and, when not null, one flag
    // per value that is non-zero for a value that was read (missing values
    // break the curves). The arrays stay owned by the caller. The picture on
    // screen changes only with the next Refresh (or a resize), so a block
    // being fetched leaves the last one in view.
    void SetData(const int32_t* buffer, const uint8_t* valid, int32_t probeCode);
    // The plot's parameters or data changed: render again at the next paint.
    void Refresh();

    // The fractional sample under the pointer after the last move, -1 outside.
    double CursorIndex() const { return m_cursorIndex; }
    // How often the plot has been rendered (the cached image rebuilt).
    int RenderCount() const { return m_renders; }
    const QImage& Cached() const { return m_cache; }

    // Draws the whole plot into the context in the outer rectangle; curves,
    // axis name and legend only when probeCode is not 0. Resets the cross-hair.
    static void DrawPlot(CDrawContext& dc, ProbePlot& plot, const int32_t* buffer, const uint8_t* valid,
                         int32_t probeCode);

protected:
    void paintEvent(QPaintEvent* event) override;
    void OnSize(int width, int height) override;
    void OnLButtonDown(int x, int y) override;
    void OnLButtonUp(int x, int y) override;
    void OnLButtonDblClk(int x, int y) override;
    void OnRButtonDown(int x, int y) override;
    void OnMouseMove(int x, int y, Qt::MouseButtons buttons) override;
    void OnMouseLeave() override;

private:
    void Render();
    void Track(int x, int y);
    // Marks the strips of a cross-hair at (x, y) for repainting.
    void UpdateCross(int x, int y);
    // The cache has the control's size at the screen's resolution.
    bool CacheFits() const;

    ProbePlot m_plot;
    const int32_t* m_buffer = nullptr;
    const uint8_t* m_valid = nullptr;
    int32_t m_code = 0;
    QImage m_cache;
    bool m_dirty = true;
    int m_renders = 0;
    double m_cursorIndex = -1.0;
    int m_pressX = 0;
    int m_pressY = 0;
};
