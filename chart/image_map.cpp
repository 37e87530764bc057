#include "chart/image_map.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace tchart {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Parses the attributes between "<area" and ">".
std::map<std::string, std::string> Attributes(const std::string& text) {
    std::map<std::string, std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        const size_t nameStart = i;
        while (i < text.size() && text[i] != '=' && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::string name = Lower(text.substr(nameStart, i - nameStart));
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i >= text.size() || text[i] != '=') {
            if (!name.empty()) out[name] = "";
            if (i == nameStart) ++i;
            continue;
        }
        ++i;
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::string value;
        if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
            const char q = text[i++];
            const size_t end = text.find(q, i);
            value = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? text.size() : end + 1;
        } else {
            const size_t start = i;
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
            value = text.substr(start, i - start);
        }
        out[name] = value;
    }
    return out;
}

}  // namespace

ImageMapHandler::ImageMapHandler(const std::string& map) {
    const std::string lower = Lower(map);
    size_t pos = 0;
    while ((pos = lower.find("<area", pos)) != std::string::npos) {
        const size_t end = lower.find('>', pos);
        if (end == std::string::npos) break;
        Area a;
        a.attrs = Attributes(map.substr(pos + 5, end - pos - 5));
        a.shape = Lower(a.attrs.count("shape") ? a.attrs["shape"] : std::string("rect"));
        const std::string coords = a.attrs.count("coords") ? a.attrs["coords"] : std::string();
        const char* p = coords.c_str();
        while (*p) {
            char* next = nullptr;
            const long v = std::strtol(p, &next, 10);
            if (next == p) {
                ++p;
                continue;
            }
            a.coords.push_back(static_cast<int>(v));
            p = next;
        }
        if (a.attrs.count("href")) a.attrs["path"] = a.attrs["href"];
        m_areas.push_back(std::move(a));
        pos = end + 1;
    }
}

bool ImageMapHandler::Area::contains(int x, int y) const {
    const auto& c = coords;
    if (shape == "circle" && c.size() >= 3) {
        const long dx = x - c[0], dy = y - c[1];
        return dx * dx + dy * dy <= static_cast<long>(c[2]) * c[2];
    }
    if ((shape == "poly" || shape == "polygon") && c.size() >= 6) {
        bool inside = false;
        const size_t n = c.size() / 2;
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const double xi = c[2 * i], yi = c[2 * i + 1], xj = c[2 * j], yj = c[2 * j + 1];
            if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
        }
        return inside;
    }
    if (c.size() >= 4)
        return x >= std::min(c[0], c[2]) && x <= std::max(c[0], c[2]) && y >= std::min(c[1], c[3]) &&
               y <= std::max(c[1], c[3]);
    return false;
}

int ImageMapHandler::getHotSpot(int x, int y) {
    m_current = 0;
    for (size_t i = 0; i < m_areas.size(); ++i)
        if (m_areas[i].contains(x, y)) {
            m_current = static_cast<int>(i) + 1;
            break;
        }
    return m_current;
}

std::string ImageMapHandler::getValue(const std::string& key) const {
    if (m_current <= 0) return {};
    const auto& attrs = m_areas[static_cast<size_t>(m_current - 1)].attrs;
    const auto it = attrs.find(Lower(key));
    return it == attrs.end() ? std::string() : it->second;
}

}  // namespace tchart
