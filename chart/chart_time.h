#pragma once
// Chart time: seconds since 0001-01-01 00:00:00 (proleptic Gregorian), as a
// double so that fractions of a second ride along. Labels are made from
// templates such as "{value|hh:nn:ss}".
#include <string>

namespace tchart {

// Marks a missing point: no line is drawn to or from it.
constexpr double NoValue = 1.7e308;

double chartTime(int year, int month, int day, int hour = 0, int minute = 0, double second = 0);

struct DateParts {
    int year, month, day, hour, minute, second;
    double fraction;  // 0 <= fraction < 1
};
DateParts splitChartTime(double t);

// Formats one value by a label template: text outside braces is copied;
// "{value}" is the number in the shortest form; "{value|N}" has N decimals;
// "{value|FMT}" with date letters formats a chart time: yyyy, yy, mm, mmm
// (month name), dd, hh, nn (minutes), ss, and f..fff (fractions of a second).
// Numbers always use '.' whatever the locale.
std::string formatLabel(const std::string& tmpl, double value);

// The finest step (in seconds) a date template can show: 1 for seconds, 60
// for minutes, 0.001 for "fff". 0 when the template is not a date template.
double dateTemplateResolution(const std::string& tmpl);

}  // namespace tchart
