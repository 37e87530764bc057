#include "chart/chart_time.h"

#include "app/c_locale.h"

#include <cmath>
#include <cstdio>

namespace tchart {

namespace {

// Days from 0001-01-01 to the civil date (Howard Hinnant's algorithm).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;  // days since 1970-01-01
}

const long long kEpochDays = DaysFromCivil(1, 1, 1);

void CivilFromDays(long long z, int& y, int& m, int& d) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (m <= 2));
}

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

bool IsDateLetter(char c) { return c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's' || c == 'f'; }

std::string Number(double v, int decimals) {
    std::string s = decimals >= 0 ? FormatC("%.*f", decimals, v) : FormatC("%.10g", v);
    if (s == "-0" || s.find_first_not_of("-0.") == std::string::npos) {
        if (!s.empty() && s[0] == '-') s.erase(0, 1);  // no "-0.00"
    }
    return s;
}

std::string FormatDate(const std::string& fmt, double t) {
    // Round to the millisecond first, so 12:00:00.9999 shows as 12:00:01.
    const double rounded = std::floor(t * 1000.0 + 0.5) / 1000.0;
    const DateParts p = splitChartTime(rounded);
    std::string out;
    char buf[16];
    for (size_t i = 0; i < fmt.size();) {
        const char c = fmt[i];
        size_t n = 1;
        while (i + n < fmt.size() && fmt[i + n] == c) ++n;
        if (!IsDateLetter(c)) {
            out.append(fmt, i, n);
            i += n;
            continue;
        }
        switch (c) {
        case 'y':
            std::snprintf(buf, sizeof buf, n >= 4 ? "%04d" : "%02d", n >= 4 ? p.year : p.year % 100);
            break;
        case 'm':
            if (n >= 3) std::snprintf(buf, sizeof buf, "%s", kMonths[p.month - 1]);
            else std::snprintf(buf, sizeof buf, n == 2 ? "%02d" : "%d", p.month);
            break;
        case 'd': std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", p.day); break;
        case 'h': std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", p.hour); break;
        case 'n': std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", p.minute); break;
        case 's': std::snprintf(buf, sizeof buf, n >= 2 ? "%02d" : "%d", p.second); break;
        default: {  // 'f': n digits of the fraction, at most 3
            const int digits = static_cast<int>(n > 3 ? 3 : n);
            const int scale = digits == 1 ? 10 : digits == 2 ? 100 : 1000;
            int f = static_cast<int>(std::floor(p.fraction * scale + 1e-6));
            if (f >= scale) f = scale - 1;
            std::snprintf(buf, sizeof buf, "%0*d", digits, f);
            break;
        }
        }
        out += buf;
        i += n;
    }
    return out;
}

bool IsDecimalCount(const std::string& s) {
    if (s.empty() || s.size() > 2) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool HasDateLetters(const std::string& s) {
    for (char c : s)
        if (IsDateLetter(c)) return true;
    return false;
}

}  // namespace

double chartTime(int year, int month, int day, int hour, int minute, double second) {
    const long long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpochDays;
    return static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + second;
}

DateParts splitChartTime(double t) {
    DateParts p{};
    const double whole = std::floor(t);
    p.fraction = t - whole;
    long long secs = static_cast<long long>(whole);
    long long days = secs / 86400;
    long long rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    CivilFromDays(days + kEpochDays, p.year, p.month, p.day);
    p.hour = static_cast<int>(rem / 3600);
    p.minute = static_cast<int>(rem / 60 % 60);
    p.second = static_cast<int>(rem % 60);
    return p;
}

std::string formatLabel(const std::string& tmpl, double value) {
    std::string out;
    for (size_t i = 0; i < tmpl.size();) {
        if (tmpl[i] != '{') {
            out += tmpl[i++];
            continue;
        }
        const size_t close = tmpl.find('}', i);
        if (close == std::string::npos) {
            out.append(tmpl, i, std::string::npos);
            break;
        }
        const std::string field = tmpl.substr(i + 1, close - i - 1);
        const size_t bar = field.find('|');
        const std::string name = field.substr(0, bar);
        if (name == "value") {
            const std::string fmt = bar == std::string::npos ? std::string() : field.substr(bar + 1);
            if (fmt.empty()) out += Number(value, -1);
            else if (IsDecimalCount(fmt)) out += Number(value, std::stoi(fmt));
            else if (HasDateLetters(fmt)) out += FormatDate(fmt, value);
            else out += Number(value, -1);
        }
        i = close + 1;
    }
    return out;
}

double dateTemplateResolution(const std::string& tmpl) {
    const size_t open = tmpl.find("{value|");
    if (open == std::string::npos) return 0;
    const size_t close = tmpl.find('}', open);
    const std::string fmt = tmpl.substr(open + 7, close == std::string::npos ? std::string::npos : close - open - 7);
    if (IsDecimalCount(fmt) || !HasDateLetters(fmt)) return 0;
    size_t f = 0;
    for (char c : fmt) f += c == 'f';
    if (f > 0) return f >= 3 ? 0.001 : f == 2 ? 0.01 : 0.1;
    if (fmt.find('s') != std::string::npos) return 1;
    if (fmt.find('n') != std::string::npos) return 60;
    if (fmt.find('h') != std::string::npos) return 3600;
    return 86400;
}

}  // namespace tchart
