#include "chart/xy_chart.h"

#include "chart/plot_painter.h"
#include "chart/polyline.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tchart {

namespace {

constexpr int kMajorTickPx = 4;
constexpr int kMinorTickPx = 2;
constexpr int kLabelGap = 3;

QFont MakeFont(const TextStyle& style) {
    // "arial.ttf" -> family "Arial" (fontconfig picks a metric match); a "bd"
    // before the extension asks for bold, "i" for italic.
    std::string name = style.font;
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos) name.erase(dot);
    bool bold = false, italic = false;
    if (name.size() > 2 && name.compare(name.size() - 2, 2, "bd") == 0) {
        bold = true;
        name.erase(name.size() - 2);
    } else if (name.size() > 2 && name.compare(name.size() - 2, 2, "bi") == 0) {
        bold = italic = true;
        name.erase(name.size() - 2);
    }
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    QFont f(QString::fromStdString(name.empty() ? std::string("Arial") : name));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(style.size * 96.0 / 72.0))));
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

}  // namespace

bool IsTransparent(uint32_t color) { return (color >> 24) == 0xFF && (color & 0x00FFFF00) != 0x00FF0000; }

QColor ToQColor(uint32_t color) {
    if ((color & 0xFFFFFF00u) == 0xFFFF0000u) {
        // Palette colours.
        return (color & 0xFF) == 0 ? QColor(255, 255, 255) : QColor(0, 0, 0);
    }
    const int alpha = 255 - static_cast<int>(color >> 24);
    return QColor(static_cast<int>((color >> 16) & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>(color & 0xFF), alpha);
}

// ---- Axis -------------------------------------------------------------------

void Axis::setTitle(const std::string& text, const std::string& font, double size, uint32_t color) {
    m_title = text;
    m_titleStyle = TextStyle{font, size, color};
}

void Axis::setTickDensity(int majorPx, int minorPx) {
    m_majorDensity = std::max(1, majorPx);
    m_minorDensity = minorPx;
}

void Axis::setDateScale(double lo, double hi, double majorStep, double minorStep) {
    setScale(Mode::Date, lo, hi, majorStep, minorStep);
}

void Axis::setLinearScale(double lo, double hi, double majorStep, double minorStep) {
    setScale(Mode::Linear, lo, hi, majorStep, minorStep);
}

void Axis::setScale(Mode mode, double lo, double hi, double majorStep, double minorStep) {
    m_mode = mode;
    m_isDate = mode == Mode::Date;
    m_lo = lo;
    m_hi = hi;
    m_majorStep = majorStep;
    m_minorStep = minorStep;
}

bool Axis::layOutFixedLinear(int lengthPx) {
    if (m_mode != Mode::Linear || !(m_hi > m_lo)) return false;
    AxisScale s{m_lo, m_hi, m_majorStep, m_minorStep};
    if (s.major <= 0) s.major = NiceStep(s.hi - s.lo, lengthPx, m_majorDensity);
    m_scale = s;
    m_hasScale = true;
    return true;
}

void Axis::layOutAutoLinear(double lo, double hi, int lengthPx) {
    if (lo > hi) return;
    m_scale = AutoLinearScale(lo, hi, lengthPx, m_majorDensity, m_minorDensity);
    m_hasScale = true;
}

void Axis::finishTicks() {
    m_major.clear();
    m_minor.clear();
    if (!m_hasScale) return;
    const AxisScale& s = m_scale;
    m_major = TickPositions(s.lo, s.hi, s.major);
    if (s.minor > 0) {
        for (double v : TickPositions(s.lo, s.hi, s.minor)) {
            // Minor ticks that coincide with major ones are left out.
            const double k = v / s.major;
            if (std::fabs(k - std::round(k)) > 1e-6) m_minor.push_back(v);
        }
    }
}

void Axis::setLabelFormat(const std::string& tmpl) { m_format = tmpl; }

std::string Axis::labelOf(double value) const {
    if (!m_format.empty()) return formatLabel(m_format, value);
    if (m_isDate) return formatLabel("{value|hh:nn:ss}", value);
    // Automatic: as many decimals as the step needs.
    int decimals = 0;
    if (m_scale.major > 0 && m_scale.major < 1)
        decimals = std::min(10, static_cast<int>(std::ceil(-std::log10(m_scale.major) - 1e-9)));
    return formatLabel("{value|" + std::to_string(decimals) + "}", value);
}

// ---- layers and legend -------------------------------------------------------

void LineLayer::setXData(const double* x, int count) { m_x.assign(x, x + std::max(0, count)); }

DataSet* LineLayer::addDataSet(const double* data, int count, uint32_t color, const std::string& name) {
    auto ds = std::make_unique<DataSet>();
    ds->m_data.assign(data, data + std::max(0, count));
    ds->m_color = color;
    ds->m_name = name;
    m_sets.push_back(std::move(ds));
    return m_sets.back().get();
}

void LegendBox::setBackground(uint32_t color, uint32_t edgeColor, int raisedEffect) {
    m_bg = color;
    m_edge = edgeColor;
    m_raised = raisedEffect;
}

// ---- chart -------------------------------------------------------------------

struct XYChart::Impl {
    int width = 0, height = 0;
    double pixelRatio = 1.0;
    uint32_t bg = BackgroundColor, edge = Transparent;
    int raised = 0;
    PlotArea plot;
    bool hasPlot = false;
    int clip = 0;
    Axis x, y;
    std::unique_ptr<LegendBox> legend;
    std::vector<std::unique_ptr<LineLayer>> layers;
    std::unique_ptr<QImage> dynamicLayer;
    bool laidOut = false;

    // Pixel of a value on the laid-out axes.
    double xPixel(double v) const;
    double yPixel(double v) const;

    // The steps of a rendering, in their drawing order.
    void drawBackground(QPainter& g) const;
    void drawGrid(QPainter& g) const;
    void drawSeries(QPainter& g) const;
    int drawAxes(QPainter& g) const;
    void drawTitles(QPainter& g, int yLabelWidth) const;
    void drawLegend(QPainter& g) const;
};

XYChart::XYChart(int width, int height, uint32_t bgColor, uint32_t edgeColor, int raisedEffect)
    : m_d(std::make_shared<Impl>()) {
    m_d->width = std::max(1, width);
    m_d->height = std::max(1, height);
    m_d->bg = bgColor;
    m_d->edge = edgeColor;
    m_d->raised = raisedEffect;
    m_d->x.m_majorDensity = 50;
    m_d->plot = PlotArea{0, 0, m_d->width, m_d->height};
}

PlotArea* XYChart::setPlotArea(int left, int top, int width, int height, uint32_t bg, uint32_t altBg, uint32_t edge,
                               uint32_t hGrid, uint32_t vGrid) {
    m_d->plot = PlotArea{left, top, std::max(1, width), std::max(1, height), bg, altBg, edge, hGrid, vGrid};
    m_d->hasPlot = true;
    m_d->laidOut = false;
    return &m_d->plot;
}

void XYChart::setClipping(int margin) { m_d->clip = std::max(0, margin); }

LegendBox* XYChart::addLegend(int x, int y, int cols, const std::string& font, double size) {
    m_d->legend = std::make_unique<LegendBox>();
    m_d->legend->m_x = x;
    m_d->legend->m_y = y;
    m_d->legend->m_cols = std::max(1, cols);
    m_d->legend->m_style = TextStyle{font, size, TextColor};
    return m_d->legend.get();
}

Axis* XYChart::xAxis() {
    m_d->laidOut = false;
    return &m_d->x;
}
Axis* XYChart::yAxis() {
    m_d->laidOut = false;
    return &m_d->y;
}

LineLayer* XYChart::addLineLayer() {
    m_d->laidOut = false;
    m_d->layers.push_back(std::make_unique<LineLayer>());
    return m_d->layers.back().get();
}

int XYChart::width() const { return m_d->width; }
int XYChart::height() const { return m_d->height; }
int XYChart::layerCount() const { return static_cast<int>(m_d->layers.size()); }
const LineLayer* XYChart::layer(int i) const { return m_d->layers[static_cast<size_t>(i)].get(); }

namespace {

double XOf(const LineLayer& layer, size_t i) { return layer.xData().empty() ? static_cast<double>(i) : layer.xData()[i]; }

size_t PointCount(const LineLayer& layer, const DataSet& ds) {
    return layer.xData().empty() ? ds.data().size() : std::min(layer.xData().size(), ds.data().size());
}

}  // namespace

void XYChart::layout() {
    if (m_d->laidOut) return;
    Impl& d = *m_d;
    const PlotArea& p = d.plot;

    // X axis.
    Axis& xa = d.x;
    xa.m_hasScale = false;
    if (xa.m_mode == Axis::Mode::Date && xa.m_hi > xa.m_lo) {
        AxisScale s = AutoDateScale(xa.m_lo, xa.m_hi, p.width, xa.m_majorDensity, xa.m_minorDensity,
                                    dateTemplateResolution(xa.m_format));
        if (xa.m_majorStep > 0) s.major = xa.m_majorStep;
        if (xa.m_minorStep > 0) s.minor = xa.m_minorStep;
        xa.m_scale = s;
        xa.m_hasScale = true;
    } else if (!xa.layOutFixedLinear(p.width)) {
        double lo = std::numeric_limits<double>::max(), hi = -lo;
        for (const auto& layer : d.layers)
            for (const auto& ds : layer->m_sets)
                for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                    const double x = XOf(*layer, i);
                    if (IsNoValue(x) || IsNoValue(ds->m_data[i])) continue;
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
        xa.layOutAutoLinear(lo, hi, p.width);
    }
    xa.finishTicks();

    // Y axis: automatic over the points that lie within the x scale.
    Axis& ya = d.y;
    ya.m_hasScale = false;
    if (!ya.layOutFixedLinear(p.height)) {
        double lo = std::numeric_limits<double>::max(), hi = -lo;
        const double xlo = xa.m_scale.lo, xhi = xa.m_scale.hi;
        for (const auto& layer : d.layers)
            for (const auto& ds : layer->m_sets)
                for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                    const double x = XOf(*layer, i), v = ds->m_data[i];
                    if (IsNoValue(x) || IsNoValue(v)) continue;
                    if (xa.m_hasScale && (x < xlo || x > xhi)) continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
        ya.layOutAutoLinear(lo, hi, p.height);
    }
    ya.finishTicks();

    d.laidOut = true;
}

double XYChart::Impl::xPixel(double v) const {
    const AxisScale& s = x.m_scale;
    if (!(s.hi > s.lo)) return plot.left;
    return plot.left + (v - s.lo) / (s.hi - s.lo) * plot.width;
}

double XYChart::Impl::yPixel(double v) const {
    const AxisScale& s = y.m_scale;
    if (!(s.hi > s.lo)) return plot.top + plot.height;
    return plot.top + plot.height - (v - s.lo) / (s.hi - s.lo) * plot.height;
}

double XYChart::xToPixel(double x) const { return m_d->xPixel(x); }
double XYChart::yToPixel(double y) const { return m_d->yPixel(y); }

ChartMetrics XYChart::getChartMetrics() {
    layout();
    const Impl& d = *m_d;
    ChartMetrics m;
    m.width = d.width;
    m.height = d.height;
    m.plotLeft = d.plot.left;
    m.plotTop = d.plot.top;
    m.plotWidth = d.plot.width;
    m.plotHeight = d.plot.height;
    m.xMin = d.x.m_scale.lo;
    m.xMax = d.x.m_scale.hi;
    m.yMin = d.y.m_scale.lo;
    m.yMax = d.y.m_scale.hi;
    return m;
}

QImage* XYChart::initDynamicLayer() {
    if (!m_d->dynamicLayer) {
        const double r = m_d->pixelRatio;
        m_d->dynamicLayer = std::make_unique<QImage>(qRound(m_d->width * r), qRound(m_d->height * r),
                                                     QImage::Format_ARGB32_Premultiplied);
        m_d->dynamicLayer->setDevicePixelRatio(r);
        m_d->dynamicLayer->fill(Qt::transparent);
    }
    return m_d->dynamicLayer.get();
}

void XYChart::removeDynamicLayer() { m_d->dynamicLayer.reset(); }
bool XYChart::hasDynamicLayer() const { return m_d->dynamicLayer != nullptr; }

// ---- rendering --------------------------------------------------------------

namespace {

int Px(double v) { return static_cast<int>(std::lround(v)); }

}  // namespace

// The chart's background and outer edge, the plot area's background.
void XYChart::Impl::drawBackground(QPainter& g) const {
    PlotPainter pp(g);
    if (!IsTransparent(edge)) {
        pp.SetPen(ToQColor(edge));
        pp.Outline(0, 0, width, height);
    }
    if (!IsTransparent(plot.bg)) g.fillRect(QRect(plot.left, plot.top, plot.width, plot.height), ToQColor(plot.bg));
}

// Grid lines at the major ticks, inside the plot area's edges.
void XYChart::Impl::drawGrid(QPainter& g) const {
    PlotPainter pp(g);
    const PlotArea& p = plot;
    const int bottom = p.top + p.height - 1, right = p.left + p.width - 1;
    if (!IsTransparent(p.hGrid)) {
        pp.SetPen(ToQColor(p.hGrid));
        for (double v : y.m_major) {
            const int py = Px(yPixel(v));
            if (py > p.top && py < bottom) pp.Line(p.left, py, right + 1, py);
        }
    }
    if (!IsTransparent(p.vGrid)) {
        pp.SetPen(ToQColor(p.vGrid));
        for (double v : x.m_major) {
            const int px = Px(xPixel(v));
            if (px > p.left && px < right) pp.Line(px, p.top, px, bottom + 1);
        }
    }
}

// The data lines, broken at every gap, clipped to the plot area and its margin.
void XYChart::Impl::drawSeries(QPainter& g) const {
    const PlotArea& p = plot;
    g.save();
    g.setClipRect(QRect(p.left, p.top, p.width, p.height).adjusted(-clip, -clip, clip, clip));
    for (const auto& layer : layers) {
        for (const auto& ds : layer->m_sets) {
            if (IsTransparent(ds->m_color)) continue;
            QPen pen(ToQColor(ds->m_color));
            pen.setWidth(layer->m_lineWidth);
            g.setPen(pen);
            GapPolyline line(g, true);
            for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                const double xv = XOf(*layer, i), v = ds->m_data[i];
                if (IsNoValue(xv) || IsNoValue(v)) line.Break();
                else line.Add(QPointF(std::floor(xPixel(xv)) + 0.5, std::floor(yPixel(v)) + 0.5));
            }
        }
    }
    g.restore();
}

// The plot area's edge, the axis lines, ticks and tick labels; answers the
// width of the widest y label.
int XYChart::Impl::drawAxes(QPainter& g) const {
    PlotPainter pp(g);
    const PlotArea& p = plot;
    const int bottom = p.top + p.height - 1, right = p.left + p.width - 1;
    if (!IsTransparent(p.edge)) {
        pp.SetPen(ToQColor(p.edge));
        pp.Outline(p.left, p.top, p.left + p.width, p.top + p.height);
    }
    const QColor axisColor(0, 0, 0);
    pp.SetPen(axisColor);
    pp.SetExactTextWidth(true);
    pp.Line(p.left, p.top, p.left, bottom + 1);
    pp.Line(p.left, bottom, right + 1, bottom);
    g.setFont(MakeFont(TextStyle{}));
    const QFontMetrics fm(g.font());
    int yLabelWidth = 0;
    for (double v : y.m_minor) {
        const int py = Px(yPixel(v));
        pp.Line(p.left - kMinorTickPx, py, p.left, py);
    }
    for (double v : y.m_major) {
        const int py = Px(yPixel(v));
        pp.Line(p.left - kMajorTickPx, py, p.left, py);
        const QString text = QString::fromStdString(y.labelOf(v));
        yLabelWidth = std::max(yLabelWidth, fm.horizontalAdvance(text));
        pp.Text(p.left - kMajorTickPx - kLabelGap, py - fm.height() / 2, text, HAlign::Right, VAlign::Top, axisColor);
    }
    for (double v : x.m_minor) {
        const int px = Px(xPixel(v));
        pp.Line(px, bottom + 1, px, bottom + kMinorTickPx + 1);
    }
    for (double v : x.m_major) {
        const int px = Px(xPixel(v));
        pp.Line(px, bottom + 1, px, bottom + kMajorTickPx + 1);
        const QString text = QString::fromStdString(x.labelOf(v));
        const int w = fm.horizontalAdvance(text);
        // Centred under its tick, but shifted in where that would cut it at an image edge.
        const int left = std::clamp(px - w / 2 - 1, 0, std::max(0, width - (w + 2)));
        pp.Text(left + 1 + w / 2, bottom + kMajorTickPx + 1, text, HAlign::Center, VAlign::Top, axisColor);
    }
    return yLabelWidth;
}

// The axis titles: y turned a quarter to the left, centred on the plot area
// beside its labels; x centred under the x labels.
void XYChart::Impl::drawTitles(QPainter& g, int yLabelWidth) const {
    const PlotArea& p = plot;
    const int bottom = p.top + p.height - 1;
    if (!y.m_title.empty()) {
        const QFont tf = MakeFont(y.m_titleStyle);
        const QFontMetrics tfm(tf);
        const QString text = QString::fromStdString(y.m_title);
        g.save();
        g.setFont(tf);
        g.setPen(ToQColor(y.m_titleStyle.color));
        const int cx = std::max(tfm.ascent(), p.left - kMajorTickPx - kLabelGap - yLabelWidth - 4 - tfm.descent());
        g.translate(cx, p.top + p.height / 2.0);
        g.rotate(-90);
        g.drawText(QPointF(-tfm.horizontalAdvance(text) / 2.0, 0), text);
        g.restore();
    }
    if (!x.m_title.empty()) {
        const QFont tf = MakeFont(x.m_titleStyle);
        const int labelHeight = QFontMetrics(MakeFont(TextStyle{})).height();
        g.save();
        g.setFont(tf);
        g.setPen(ToQColor(x.m_titleStyle.color));
        g.drawText(QRect(p.left, bottom + kMajorTickPx + labelHeight + 2, p.width, QFontMetrics(tf).height()),
                   Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(x.m_title));
        g.restore();
    }
}

// The legend: one entry per named data set, in columns.
void XYChart::Impl::drawLegend(QPainter& g) const {
    if (!legend) return;
    const LegendBox& lb = *legend;
    const QFont lf = MakeFont(lb.m_style);
    const QFontMetrics lfm(lf);
    std::vector<std::pair<QString, QColor>> entries;
    for (const auto& layer : layers)
        for (const auto& ds : layer->m_sets)
            if (!ds->m_name.empty()) entries.emplace_back(QString::fromStdString(ds->m_name), ToQColor(ds->m_color));
    const int key = std::max(4, lfm.ascent() - 2);
    const int rowH = lfm.height() + 2;
    int colW = 0;
    for (const auto& e : entries) colW = std::max(colW, key + 4 + lfm.horizontalAdvance(e.first) + 8);
    if (lb.m_width > 0) colW = std::max(1, (lb.m_width - 8) / lb.m_cols);
    const int rows = entries.empty() ? 0 : (static_cast<int>(entries.size()) + lb.m_cols - 1) / lb.m_cols;
    const int boxW =
        lb.m_width > 0 ? lb.m_width : colW * std::min<int>(lb.m_cols, static_cast<int>(entries.size())) + 8;
    const QRect box(lb.m_x, lb.m_y, boxW, rows * rowH + 4);
    if (!IsTransparent(lb.m_bg)) g.fillRect(box, ToQColor(lb.m_bg));
    if (!IsTransparent(lb.m_edge)) {
        PlotPainter pp(g);
        pp.SetPen(ToQColor(lb.m_edge));
        pp.Outline(box.left(), box.top(), box.left() + box.width(), box.top() + box.height());
    }
    g.setFont(lf);
    g.setPen(ToQColor(lb.m_style.color));
    for (size_t i = 0; i < entries.size(); ++i) {
        const int col = static_cast<int>(i) % lb.m_cols, row = static_cast<int>(i) / lb.m_cols;
        const int ex = lb.m_x + 4 + col * colW, ey = lb.m_y + 2 + row * rowH;
        g.fillRect(QRect(ex, ey + (rowH - key) / 2, key, key), entries[i].second);
        g.drawText(QRect(ex + key + 4, ey, colW - key - 4, rowH), Qt::AlignLeft | Qt::AlignVCenter, entries[i].first);
    }
}

void XYChart::setDevicePixelRatio(double ratio) { m_d->pixelRatio = ratio > 0 ? ratio : 1.0; }

QImage XYChart::makeChart() {
    layout();
    const Impl& d = *m_d;
    QImage img(qRound(d.width * d.pixelRatio), qRound(d.height * d.pixelRatio), QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(d.pixelRatio);
    img.fill(IsTransparent(d.bg) ? QColor(Qt::transparent) : ToQColor(d.bg));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing, false);
    g.setRenderHint(QPainter::TextAntialiasing, true);
    d.drawBackground(g);
    d.drawGrid(g);
    d.drawSeries(g);
    const int yLabelWidth = d.drawAxes(g);
    d.drawTitles(g, yLabelWidth);
    d.drawLegend(g);
    if (d.dynamicLayer) g.drawImage(0, 0, *d.dynamicLayer);
    g.end();
    return img;
}

}  // namespace tchart
