#pragma once
// XY line charts: a chart of a given size and background, one plot area with
// grid lines, an x and a y axis (automatic, linear or date scales with label
// templates and titles), a legend, and line layers whose data sets share one
// x data array. NoValue points are gaps: no line is drawn to or from them.
//
// Colours are 0xAARRGGBB with AA = 0 opaque and AA = 0xFF transparent; the
// three palette colours BackgroundColor, LineColor and TextColor stand for
// white, black and black.
//
// A chart object is a handle: copies share one chart (and its use count),
// which goes when the last copy goes. Sub-objects (axes, layers, data sets,
// legend) belong to the chart and live as long as it does.
#include "chart/chart_scale.h"
#include "chart/chart_time.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tchart {

constexpr uint32_t Transparent = 0xFF000000;
constexpr uint32_t BackgroundColor = 0xFFFF0000;
constexpr uint32_t LineColor = 0xFFFF0001;
constexpr uint32_t TextColor = 0xFFFF0002;

// Colour value to QColor (palette colours resolved; AA = 0xFF is fully transparent).
QColor ToQColor(uint32_t color);
bool IsTransparent(uint32_t color);

// The geometry of a laid-out chart, as the viewport manager needs it.
struct ChartMetrics {
    int width = 0;
    int height = 0;
    int plotLeft = 0;
    int plotTop = 0;
    int plotWidth = 0;
    int plotHeight = 0;
    double xMin = 0, xMax = 0;  // x axis scale (equal when the axis has none)
    double yMin = 0, yMax = 0;
};

class XYChart;

struct TextStyle {
    std::string font = "arial.ttf";
    double size = 8;  // points (at 96 pixels per inch)
    uint32_t color = TextColor;
};

class Axis {
public:
    void setTitle(const std::string& text, const std::string& font = "arial.ttf", double size = 8,
                  uint32_t color = TextColor);
    // Pixel spacing wanted between major and minor ticks of automatic scales.
    void setTickDensity(int majorPx, int minorPx = -1);
    // A date scale from lo to hi (chart time). Steps 0 are chosen automatically.
    void setDateScale(double lo, double hi, double majorStep = 0, double minorStep = 0);
    void setLinearScale(double lo, double hi, double majorStep = 0, double minorStep = 0);
    void setLabelFormat(const std::string& tmpl);

    // After layout: the scale, the tick positions and their labels.
    const AxisScale& scale() const { return m_scale; }
    bool hasScale() const { return m_hasScale; }
    const std::vector<double>& majorTicks() const { return m_major; }
    const std::vector<double>& minorTicks() const { return m_minor; }
    std::string labelOf(double value) const;
    const std::string& title() const { return m_title; }

private:
    friend class XYChart;
    enum class Mode { Auto, Linear, Date };
    void setScale(Mode mode, double lo, double hi, double majorStep, double minorStep);
    // Layout steps: the fixed linear scale over lengthPx pixels (false when the
    // axis has none); the automatic one over the data's lo..hi (none when
    // lo > hi); then the ticks of whatever scale the axis got.
    bool layOutFixedLinear(int lengthPx);
    void layOutAutoLinear(double lo, double hi, int lengthPx);
    void finishTicks();
    Mode m_mode = Mode::Auto;
    double m_lo = 0, m_hi = 0, m_majorStep = 0, m_minorStep = 0;
    int m_majorDensity = 30, m_minorDensity = 10;
    std::string m_title;
    TextStyle m_titleStyle;
    std::string m_format;
    bool m_isDate = false;
    // layout results
    AxisScale m_scale;
    bool m_hasScale = false;
    std::vector<double> m_major, m_minor;
};

class DataSet {
public:
    const std::vector<double>& data() const { return m_data; }
    uint32_t color() const { return m_color; }
    const std::string& name() const { return m_name; }

private:
    friend class LineLayer;
    friend class XYChart;
    std::vector<double> m_data;
    uint32_t m_color = 0;
    std::string m_name;
};

class LineLayer {
public:
    void setXData(const double* x, int count);
    void setXData(const std::vector<double>& x) { setXData(x.data(), static_cast<int>(x.size())); }
    DataSet* addDataSet(const double* data, int count, uint32_t color, const std::string& name = {});
    DataSet* addDataSet(const std::vector<double>& data, uint32_t color, const std::string& name = {}) {
        return addDataSet(data.data(), static_cast<int>(data.size()), color, name);
    }
    void setLineWidth(int px) { m_lineWidth = px < 1 ? 1 : px; }
    int dataSetCount() const { return static_cast<int>(m_sets.size()); }
    const DataSet* dataSet(int i) const { return m_sets[static_cast<size_t>(i)].get(); }
    const std::vector<double>& xData() const { return m_x; }

private:
    friend class XYChart;
    std::vector<double> m_x;
    std::vector<std::unique_ptr<DataSet>> m_sets;
    int m_lineWidth = 1;
};

class LegendBox {
public:
    void setBackground(uint32_t color, uint32_t edgeColor = Transparent, int raisedEffect = 0);
    void setWidth(int px) { m_width = px; }
    void setCols(int cols) { m_cols = cols < 1 ? 1 : cols; }

private:
    friend class XYChart;
    int m_x = 0, m_y = 0, m_cols = 1, m_width = 0;
    TextStyle m_style;
    uint32_t m_bg = Transparent, m_edge = Transparent;
    int m_raised = 0;
};

struct PlotArea {
    int left = 0, top = 0, width = 0, height = 0;
    uint32_t bg = Transparent, altBg = 0xFFFFFFFF, edge = 0xFFFFFFFF;
    uint32_t hGrid = 0xFFFFFFFF, vGrid = 0xFFFFFFFF;
};

class XYChart {
public:
    XYChart(int width, int height, uint32_t bgColor = BackgroundColor, uint32_t edgeColor = Transparent,
            int raisedEffect = 0);

    PlotArea* setPlotArea(int left, int top, int width, int height, uint32_t bg = Transparent,
                          uint32_t altBg = 0xFFFFFFFF, uint32_t edge = LineColor, uint32_t hGrid = 0xC0C0C0,
                          uint32_t vGrid = 0xFFFFFFFF);
    // Lines are drawn up to margin pixels beyond the plot area.
    void setClipping(int margin);
    LegendBox* addLegend(int x, int y, int cols, const std::string& font = "arial.ttf", double size = 8);
    Axis* xAxis();
    Axis* yAxis();
    LineLayer* addLineLayer();

    // Computes the scales and the tick positions (once per change); makeChart
    // and getChartMetrics call it when needed.
    void layout();
    // Device pixels per chart pixel of the picture makeChart returns (its
    // devicePixelRatio): 2 draws a chart of width x height at twice the
    // resolution, for a screen at that scale. 1 by default.
    void setDevicePixelRatio(double ratio);
    QImage makeChart();
    ChartMetrics getChartMetrics();

    // A transparent layer drawn over the chart, e.g. a cursor; removable
    // without rebuilding the chart.
    QImage* initDynamicLayer();
    void removeDynamicLayer();
    bool hasDynamicLayer() const;

    int width() const;
    int height() const;
    long useCount() const { return m_d.use_count(); }
    const LineLayer* layer(int i) const;
    int layerCount() const;

    // Pixel position of a value on the laid-out axes.
    double xToPixel(double x) const;
    double yToPixel(double y) const;

    struct Impl;

private:
    std::shared_ptr<Impl> m_d;
};

}  // namespace tchart
