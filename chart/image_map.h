#pragma once
// Hot spots of a chart: an image map text of <area> elements (shape "rect",
// "circle" or "poly", coords, and attributes such as href and title) that
// can be looked up by pixel position.
#include <map>
#include <string>
#include <vector>

namespace tchart {

class ImageMapHandler {
public:
    explicit ImageMapHandler(const std::string& map);
    // 1-based number of the first area under (x, y); 0 when none.
    int getHotSpot(int x, int y);
    // An attribute of the area found by the last getHotSpot ("path" is its
    // href); empty when absent.
    std::string getValue(const std::string& key) const;
    int areaCount() const { return static_cast<int>(m_areas.size()); }

private:
    struct Area {
        std::string shape;
        std::vector<int> coords;
        std::map<std::string, std::string> attrs;
        bool contains(int x, int y) const;
    };
    std::vector<Area> m_areas;
    int m_current = 0;
};

}  // namespace tchart
