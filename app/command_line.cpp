#include "app/command_line.h"

#include <cstring>
#include <string>

namespace {

// Options that take a value, as "-option value" or "-option=value".
const char* const kWithValue[] = {
    "style", "stylesheet", "platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle", "session", "display", "geometry", "title", "icon", "name", "visual",
    "qmljsdebugger", "dialogs", "fontengine",
};
// Options without a value.
const char* const kFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync", "testability"};

}  // namespace

int ToolkitOptionLength(int argc, const char* const* argv, int i) {
    if (i < 0 || i >= argc || argv[i] == nullptr || argv[i][0] != '-') return 0;
    const char* a = argv[i] + 1;
    if (*a == '-') ++a;
    const char* eq = std::strchr(a, '=');
    const std::string name = eq ? std::string(a, eq) : std::string(a);
    for (const char* f : kFlags)
        if (!eq && name == f) return 1;
    for (const char* v : kWithValue) {
        if (name != v) continue;
        if (eq) return 1;
        return i + 1 < argc ? 2 : 0;  // a value option without its value is not one
    }
    return 0;
}
