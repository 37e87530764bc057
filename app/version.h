#pragma once
// The one version of the user interface: the About box shows it and
// tarvik-ui --version prints it.
#include <string>

inline constexpr char kUiVersion[] = "1.04";
inline constexpr char kUiVersionDate[] = "2021. 4.";

// "1.04 (2021. 4.)"
inline std::string UiVersionString() { return std::string(kUiVersion) + " (" + kUiVersionDate + ")"; }
