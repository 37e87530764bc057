#include "chart/xy_chart.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tchart {

namespace {

constexpr int kMajorTickPx = 4;
constexpr int kMinorTickPx = 2;
constexpr int kLabelGap = 3;

bool IsGap(double v) { return v >= NoValue || std::isnan(v); }

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
    m_mode = Mode::Date;
    m_isDate = true;
    m_lo = lo;
    m_hi = hi;
    m_majorStep = majorStep;
    m_minorStep = minorStep;
}

void Axis::setLinearScale(double lo, double hi, double majorStep, double minorStep) {
    m_mode = Mode::Linear;
    m_isDate = false;
    m_lo = lo;
    m_hi = hi;
    m_majorStep = majorStep;
    m_minorStep = minorStep;
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

void FinishTicks(const AxisScale& s, std::vector<double>& major, std::vector<double>& minor) {
    major = TickPositions(s.lo, s.hi, s.major);
    minor.clear();
    if (s.minor > 0) {
        for (double v : TickPositions(s.lo, s.hi, s.minor)) {
            // Minor ticks that coincide with major ones are left out.
            const double k = v / s.major;
            if (std::fabs(k - std::round(k)) > 1e-6) minor.push_back(v);
        }
    }
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
    } else if (xa.m_mode == Axis::Mode::Linear && xa.m_hi > xa.m_lo) {
        AxisScale s{xa.m_lo, xa.m_hi, xa.m_majorStep, xa.m_minorStep};
        if (s.major <= 0) s.major = NiceStep(s.hi - s.lo, p.width, xa.m_majorDensity);
        xa.m_scale = s;
        xa.m_hasScale = true;
    } else {
        double lo = std::numeric_limits<double>::max(), hi = -lo;
        for (const auto& layer : d.layers)
            for (const auto& ds : layer->m_sets)
                for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                    const double x = XOf(*layer, i);
                    if (IsGap(x) || IsGap(ds->m_data[i])) continue;
                    lo = std::min(lo, x);
                    hi = std::max(hi, x);
                }
        if (lo <= hi) {
            xa.m_scale = AutoLinearScale(lo, hi, p.width, xa.m_majorDensity, xa.m_minorDensity);
            xa.m_hasScale = true;
        }
    }
    if (xa.m_hasScale) FinishTicks(xa.m_scale, xa.m_major, xa.m_minor);
    else xa.m_major.clear(), xa.m_minor.clear();

    // Y axis: automatic over the points that lie within the x scale.
    Axis& ya = d.y;
    ya.m_hasScale = false;
    if (ya.m_mode == Axis::Mode::Linear && ya.m_hi > ya.m_lo) {
        AxisScale s{ya.m_lo, ya.m_hi, ya.m_majorStep, ya.m_minorStep};
        if (s.major <= 0) s.major = NiceStep(s.hi - s.lo, p.height, ya.m_majorDensity);
        ya.m_scale = s;
        ya.m_hasScale = true;
    } else {
        double lo = std::numeric_limits<double>::max(), hi = -lo;
        const double xlo = xa.m_scale.lo, xhi = xa.m_scale.hi;
        for (const auto& layer : d.layers)
            for (const auto& ds : layer->m_sets)
                for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                    const double x = XOf(*layer, i), v = ds->m_data[i];
                    if (IsGap(x) || IsGap(v)) continue;
                    if (xa.m_hasScale && (x < xlo || x > xhi)) continue;
                    lo = std::min(lo, v);
                    hi = std::max(hi, v);
                }
        if (lo <= hi) {
            ya.m_scale = AutoLinearScale(lo, hi, p.height, ya.m_majorDensity, ya.m_minorDensity);
            ya.m_hasScale = true;
        }
    }
    if (ya.m_hasScale) FinishTicks(ya.m_scale, ya.m_major, ya.m_minor);
    else ya.m_major.clear(), ya.m_minor.clear();

    d.laidOut = true;
}

double XYChart::xToPixel(double x) const {
    const Impl& d = *m_d;
    const AxisScale& s = d.x.m_scale;
    if (!(s.hi > s.lo)) return d.plot.left;
    return d.plot.left + (x - s.lo) / (s.hi - s.lo) * d.plot.width;
}

double XYChart::yToPixel(double y) const {
    const Impl& d = *m_d;
    const AxisScale& s = d.y.m_scale;
    if (!(s.hi > s.lo)) return d.plot.top + d.plot.height;
    return d.plot.top + d.plot.height - (y - s.lo) / (s.hi - s.lo) * d.plot.height;
}

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
        m_d->dynamicLayer = std::make_unique<QImage>(m_d->width, m_d->height, QImage::Format_ARGB32_Premultiplied);
        m_d->dynamicLayer->fill(Qt::transparent);
    }
    return m_d->dynamicLayer.get();
}

void XYChart::removeDynamicLayer() { m_d->dynamicLayer.reset(); }
bool XYChart::hasDynamicLayer() const { return m_d->dynamicLayer != nullptr; }

QImage XYChart::makeChart() {
    layout();
    const Impl& d = *m_d;
    const PlotArea& p = d.plot;
    QImage img(d.width, d.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(IsTransparent(d.bg) ? QColor(Qt::transparent) : ToQColor(d.bg));
    QPainter g(&img);
    g.setRenderHint(QPainter::Antialiasing, false);
    g.setRenderHint(QPainter::TextAntialiasing, true);

    if (!IsTransparent(d.edge)) {
        g.setPen(ToQColor(d.edge));
        g.setBrush(Qt::NoBrush);
        g.drawRect(0, 0, d.width - 1, d.height - 1);
    }

    // Plot area background and grid.
    const QRect plotRect(p.left, p.top, p.width, p.height);
    if (!IsTransparent(p.bg)) g.fillRect(plotRect, ToQColor(p.bg));
    const int bottom = p.top + p.height - 1;
    const int right = p.left + p.width - 1;
    if (!IsTransparent(p.hGrid)) {
        g.setPen(ToQColor(p.hGrid));
        for (double v : d.y.m_major) {
            const int py = static_cast<int>(std::lround(yToPixel(v)));
            if (py > p.top && py < bottom) g.drawLine(p.left, py, right, py);
        }
    }
    if (!IsTransparent(p.vGrid)) {
        g.setPen(ToQColor(p.vGrid));
        for (double v : d.x.m_major) {
            const int px = static_cast<int>(std::lround(xToPixel(v)));
            if (px > p.left && px < right) g.drawLine(px, p.top, px, bottom);
        }
    }

    // Data lines, broken at every gap.
    g.save();
    g.setClipRect(plotRect.adjusted(-d.clip, -d.clip, d.clip, d.clip));
    QPolygonF run;
    for (const auto& layer : d.layers) {
        for (const auto& ds : layer->m_sets) {
            if (IsTransparent(ds->m_color)) continue;
            QPen pen(ToQColor(ds->m_color));
            pen.setWidth(layer->m_lineWidth);
            g.setPen(pen);
            run.clear();
            auto flush = [&] {
                if (run.size() >= 2) g.drawPolyline(run);
                else if (run.size() == 1) g.drawPoint(run.front());
                run.clear();
            };
            for (size_t i = 0, n = PointCount(*layer, *ds); i < n; ++i) {
                const double x = XOf(*layer, i), v = ds->m_data[i];
                if (IsGap(x) || IsGap(v)) {
                    flush();
                    continue;
                }
                run.append(QPointF(std::floor(xToPixel(x)) + 0.5, std::floor(yToPixel(v)) + 0.5));
            }
            flush();
        }
    }
    g.restore();

    if (!IsTransparent(p.edge)) {
        g.setPen(ToQColor(p.edge));
        g.setBrush(Qt::NoBrush);
        g.drawRect(p.left, p.top, p.width - 1, p.height - 1);
    }

    // Axes, ticks and labels.
    const QColor axisColor(0, 0, 0);
    g.setPen(axisColor);
    g.drawLine(p.left, p.top, p.left, bottom);
    g.drawLine(p.left, bottom, right, bottom);
    const QFont labelFont = MakeFont(TextStyle{});
    g.setFont(labelFont);
    const QFontMetrics fm(labelFont);
    int yLabelWidth = 0;
    for (double v : d.y.m_minor) {
        const int py = static_cast<int>(std::lround(yToPixel(v)));
        g.drawLine(p.left - kMinorTickPx, py, p.left - 1, py);
    }
    for (double v : d.y.m_major) {
        const int py = static_cast<int>(std::lround(yToPixel(v)));
        g.drawLine(p.left - kMajorTickPx, py, p.left - 1, py);
        const QString text = QString::fromStdString(d.y.labelOf(v));
        const int w = fm.horizontalAdvance(text);
        yLabelWidth = std::max(yLabelWidth, w);
        g.drawText(QRect(p.left - kMajorTickPx - kLabelGap - w, py - fm.height() / 2, w, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, text);
    }
    for (double v : d.x.m_minor) {
        const int px = static_cast<int>(std::lround(xToPixel(v)));
        g.drawLine(px, bottom + 1, px, bottom + kMinorTickPx);
    }
    for (double v : d.x.m_major) {
        const int px = static_cast<int>(std::lround(xToPixel(v)));
        g.drawLine(px, bottom + 1, px, bottom + kMajorTickPx);
        const QString text = QString::fromStdString(d.x.labelOf(v));
        const int w = fm.horizontalAdvance(text);
        g.drawText(QRect(px - w / 2 - 1, bottom + kMajorTickPx + 1, w + 2, fm.height()), Qt::AlignCenter, text);
    }

    // Y axis title, turned a quarter to the left, centred on the plot area.
    if (!d.y.m_title.empty()) {
        const QFont tf = MakeFont(d.y.m_titleStyle);
        const QFontMetrics tfm(tf);
        const QString text = QString::fromStdString(d.y.m_title);
        g.save();
        g.setFont(tf);
        g.setPen(ToQColor(d.y.m_titleStyle.color));
        const int cx = std::max(tfm.ascent(), p.left - kMajorTickPx - kLabelGap - yLabelWidth - 4 - tfm.descent());
        g.translate(cx, p.top + p.height / 2.0);
        g.rotate(-90);
        g.drawText(QPointF(-tfm.horizontalAdvance(text) / 2.0, 0), text);
        g.restore();
    }
    if (!d.x.m_title.empty()) {
        const QFont tf = MakeFont(d.x.m_titleStyle);
        g.save();
        g.setFont(tf);
        g.setPen(ToQColor(d.x.m_titleStyle.color));
        g.drawText(QRect(p.left, bottom + kMajorTickPx + fm.height() + 2, p.width, QFontMetrics(tf).height()),
                   Qt::AlignHCenter | Qt::AlignTop, QString::fromStdString(d.x.m_title));
        g.restore();
    }

    // Legend: one entry per named data set, in columns.
    if (d.legend) {
        const LegendBox& lb = *d.legend;
        const QFont lf = MakeFont(lb.m_style);
        const QFontMetrics lfm(lf);
        std::vector<std::pair<QString, QColor>> entries;
        for (const auto& layer : d.layers)
            for (const auto& ds : layer->m_sets)
                if (!ds->m_name.empty()) entries.emplace_back(QString::fromStdString(ds->m_name), ToQColor(ds->m_color));
        const int key = std::max(4, lfm.ascent() - 2);
        const int rowH = lfm.height() + 2;
        int colW = 0;
        for (const auto& e : entries) colW = std::max(colW, key + 4 + lfm.horizontalAdvance(e.first) + 8);
        if (lb.m_width > 0) colW = std::max(1, (lb.m_width - 8) / lb.m_cols);
        const int rows = entries.empty() ? 0 : (static_cast<int>(entries.size()) + lb.m_cols - 1) / lb.m_cols;
        const int boxW = lb.m_width > 0 ? lb.m_width : colW * std::min<int>(lb.m_cols, static_cast<int>(entries.size())) + 8;
        const QRect box(lb.m_x, lb.m_y, boxW, rows * rowH + 4);
        if (!IsTransparent(lb.m_bg)) g.fillRect(box, ToQColor(lb.m_bg));
        if (!IsTransparent(lb.m_edge)) {
            g.setPen(ToQColor(lb.m_edge));
            g.drawRect(box.adjusted(0, 0, -1, -1));
        }
        g.setFont(lf);
        g.setPen(ToQColor(lb.m_style.color));
        for (size_t i = 0; i < entries.size(); ++i) {
            const int col = static_cast<int>(i) % lb.m_cols, row = static_cast<int>(i) / lb.m_cols;
            const int ex = lb.m_x + 4 + col * colW, ey = lb.m_y + 2 + row * rowH;
            g.fillRect(QRect(ex, ey + (rowH - key) / 2, key, key), entries[i].second);
            g.drawText(QRect(ex + key + 4, ey, colW - key - 4, rowH), Qt::AlignLeft | Qt::AlignVCenter,
                       entries[i].first);
        }
    }

    if (d.dynamicLayer) g.drawImage(0, 0, *d.dynamicLayer);
    g.end();
    return img;
}

}  // namespace tchart
