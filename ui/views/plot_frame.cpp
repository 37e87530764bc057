#include "ui/views/plot_frame.h"

#include "ui/toolkit/dialog.h"

#include <QPaintEvent>
#include <QPainter>

#include <cmath>

int PlotTrunc(double v) {
    if (std::isnan(v)) return 0;
    if (v > 1e6) return 1000000;
    if (v < -1e6) return -1000000;
    return static_cast<int>(v);
}

CPlotFrame::CPlotFrame(QWidget* parent) : CCustomControl(parent) {
    // The bitmap covers the whole control: nothing to erase before a paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

CPlotFrame::~CPlotFrame() = default;

CPlotFrame* CPlotFrame::ReplacePlaceholder(CDialog* dialog, int id) {
    auto* plot = new CPlotFrame(dialog);
    dialog->ReplaceDlgItem(id, plot);
    plot->show();
    plot->lower();
    plot->CreateSurface();
    return plot;
}

void CPlotFrame::CreateSurface() {
    if (HasSurface() && m_surface.Image().devicePixelRatio() == devicePixelRatioF()) return;
    m_surface.Create(size(), devicePixelRatioF());
}

PlotArea CPlotFrame::AreaFor(QSize size) {
    return PlotArea{65, 20, size.width() - 20, size.height() - 45};
}

void CPlotFrame::DottedLine(CDrawContext& dc, int x1, int y1, int x2, int y2) {
    tchart::PlotPainter pp(dc.Painter());
    pp.SetPen(ColorFromRef(plotcolor::kGrid), tchart::LineStyle::Dotted);
    pp.Line(x1, y1, x2, y2);
}

void CPlotFrame::SolidLine(CDrawContext& dc, int x1, int y1, int x2, int y2) {
    tchart::PlotPainter pp(dc.Painter());
    pp.SetPen(ColorFromRef(plotcolor::kGrid));
    pp.Line(x1, y1, x2, y2);
}

void CPlotFrame::CurvePen(CDrawContext& dc, uint32_t colorRef) {
    dc.SetPen(PenStyle::Solid, 1, ColorFromRef(colorRef));
}

void CPlotFrame::Render(QImage& image, const QFont& labelFont, const QString& xTitle, const QString& yTitle,
                        const ScalePainter& scales, const CurvePainter& curves) {
    if (image.isNull()) return;
    CDrawContext dc(&image);
    dc.Save();
    const QSize size = image.deviceIndependentSize().toSize();
    // The whole bitmap black.
    dc.FillRect(QRect(QPoint(0, 0), size), Qt::black);
    const PlotArea a = AreaFor(size);
    tchart::PlotPainter pp(dc.Painter());
    dc.SetBkTransparent(true);
    dc.SetFont(labelFont);

    // Axis titles, light grey: x under the right end of the axis, y turned to
    // read upwards, centred on the left of the plot.
    const QColor titleColor = ColorFromRef(plotcolor::kTitle);
    pp.XTitle(a, xTitle, titleColor);
    dc.SetFont(FontForCellHeight(18, labelFont.family()));
    pp.Text(a.left - 50, (a.top + a.bottom) / 2, yTitle, tchart::HAlign::Center, tchart::VAlign::Baseline, titleColor,
            90.0);
    dc.SetFont(labelFont);

    // Scales: grey labels, y labels right/bottom aligned by default.
    dc.SetTextAlign(TextHAlign::Right, TextVAlign::Bottom);
    dc.SetTextColor(ColorFromRef(plotcolor::kGrid));
    if (scales) scales(dc, a);

    // Frame, then everything else inside it.
    pp.SetPen(ColorFromRef(plotcolor::kGrid));
    dc.SetNullBrush();
    pp.Outline(a.left, a.top + 1, a.right + 1, a.bottom);
    dc.SetClipRect(std::min(a.left, a.right + 1), std::min(a.top + 1, a.bottom), std::max(a.left, a.right + 1),
                   std::max(a.top + 1, a.bottom));

    dc.SetMixMode(MixMode::MergePen);
    if (curves) curves(dc, a);
    dc.Restore();
}

void CPlotFrame::Draw(const QString& xTitle, const QString& yTitle, const ScalePainter& scales,
                      const CurvePainter& curves) {
    if (!HasSurface()) return;
    CreateSurface();  // again at a new resolution when the window moved to another screen
    Render(m_surface.Image(), font(), xTitle, yTitle, scales, curves);
    ++m_drawCount;
    update();
}

void CPlotFrame::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter p(this);
    if (HasSurface()) m_surface.BlitTo(p, QPoint(0, 0));
    else p.fillRect(rect(), Qt::black);
}
