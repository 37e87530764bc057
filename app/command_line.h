#pragma once
// The toolkit's own command-line options (Qt's -style, -platform, -display,
// ...), which tarvik-ui passes through to the framework untouched.

// How many entries argv[i] and its value take when argv[i] is one of the
// toolkit's options: 1 for a flag or "-option=value", 2 for "-option value";
// 0 when it is not one. The double-dash spelling counts too.
int ToolkitOptionLength(int argc, const char* const* argv, int i);
