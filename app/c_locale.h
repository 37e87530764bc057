#pragma once
// Number text in the C locale ("." as the decimal point, no grouping),
// whatever locale the process runs in. Qt switches the process to the user's
// locale at start-up; the settings file, the displayed values and the files
// the program writes must read the same under every LANG.
#include <string>

// printf-style formatting in the C locale: the program's one number formatter.
std::string FormatC(const char* format, ...) __attribute__((format(printf, 1, 2)));

// strtod in the C locale; *end (when given) points behind the number.
double ParseDoubleC(const char* text, char** end = nullptr);

// Switches the process's number category back to "C" (after a framework has
// set the user's locale), so that every snprintf and strtod of the program
// uses the C rules too.
void UseCNumericLocale();
