#pragma once
// CPlotFrame: the plot of the Frequency and Vibration pages. It takes the
// place of the page's plot placeholder, keeps an off-screen bitmap of that
// size and paints it with one copy, so a repaint never re-renders the plot.
//
// Draw() renders the frame the two plots share: black background, the plot
// area (left 65, top 20, right W - 20, bottom H - 45), the light-grey axis
// titles (the y title turned to read upwards), grey grid and tick labels, the
// grey frame and then the curves, clipped to the frame and mixed with the
// merge-pen mode so crossing curves add their colours on the black. The page
// supplies its own scales (grid and labels) and curves as two callbacks. The
// frame, titles and scale lines are drawn with the chart module's frame
// painter, which the probe plot and the line charts use as well.
#include "chart/plot_painter.h"
#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/draw_context.h"

#include <QFont>
#include <QString>

#include <cstdint>
#include <functional>

// The plot area by its edges, in the frame layout the chart module's painter draws.
using PlotArea = tchart::FrameEdges;

// Colours of the plots (0x00BBGGRR as the plot code is written against).
namespace plotcolor {
constexpr uint32_t kGrid = 0x808080;    // grid, ticks, frame and tick labels
constexpr uint32_t kTitle = 0xC0C0C0;   // axis titles
constexpr uint32_t kX = 0x2020FF;       // x axis: red
constexpr uint32_t kY = 0x00DF00;       // y axis: green
constexpr uint32_t kZ = 0xFF4040;       // z axis: blue
}  // namespace plotcolor

// The conversion of a plot coordinate to a pixel: towards zero, as a C cast
// does, but a value that is not a number gives 0 and huge values are held
// at +-1e6, so a module value far off the scale cannot make the cast undefined.
int PlotTrunc(double v);

class CDialog;

class CPlotFrame : public CCustomControl {
    Q_OBJECT
public:
    // The scales: grid lines, ticks and labels (dotted and solid grey pens,
    // the grey text colour and right/bottom alignment are set when it is called).
    using ScalePainter = std::function<void(CDrawContext& dc, const PlotArea& area)>;
    // The curves, clipped to the frame, in merge-pen mode, with the pen left to the callback.
    using CurvePainter = std::function<void(CDrawContext& dc, const PlotArea& area)>;

    explicit CPlotFrame(QWidget* parent = nullptr);
    ~CPlotFrame() override;

    // A new plot in place of the dialog's placeholder control (its id, place
    // and size), shown beneath the dialog's other controls, with its bitmap made.
    static CPlotFrame* ReplacePlaceholder(CDialog* dialog, int id);

    // Makes the bitmap at the control's current size (kept when it exists).
    void CreateSurface();
    bool HasSurface() const { return !m_surface.IsNull(); }
    const QImage& Image() const { return m_surface.Image(); }

    // The plot area of a bitmap of that size.
    static PlotArea AreaFor(QSize size);

    // Renders into the bitmap and schedules one repaint (no erase).
    void Draw(const QString& xTitle, const QString& yTitle, const ScalePainter& scales,
              const CurvePainter& curves);
    // The same into any image, with the font used for the tick labels.
    static void Render(QImage& image, const QFont& labelFont, const QString& xTitle, const QString& yTitle,
                       const ScalePainter& scales, const CurvePainter& curves);

    // Pens the scales use: dotted grey for grid lines, solid grey for ticks.
    static void DottedLine(CDrawContext& dc, int x1, int y1, int x2, int y2);
    static void SolidLine(CDrawContext& dc, int x1, int y1, int x2, int y2);
    // A curve pen, 1 pixel, solid.
    static void CurvePen(CDrawContext& dc, uint32_t colorRef);

    // Number of renders since creation (the pages redraw only on change).
    int DrawCount() const { return m_drawCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    COffscreenSurface m_surface;
    int m_drawCount = 0;
};
