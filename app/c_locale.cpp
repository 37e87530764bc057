#include "app/c_locale.h"

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace {

// The C locale object, made once and kept for the process's life.
locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

// Puts the calling thread into the C locale for its scope.
class CScopedCLocale {
public:
    CScopedCLocale() : m_old(CLocale() ? uselocale(CLocale()) : static_cast<locale_t>(nullptr)) {}
    ~CScopedCLocale() {
        if (m_old) uselocale(m_old);
    }
    CScopedCLocale(const CScopedCLocale&) = delete;
    CScopedCLocale& operator=(const CScopedCLocale&) = delete;

private:
    locale_t m_old;
};

std::string FormatCv(const char* format, va_list args) {
    CScopedCLocale scope;
    char buffer[128];
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
    std::string text(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(n));
    return text;
}

}  // namespace

std::string FormatC(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatCv(format, args);
    va_end(args);
    return text;
}

double ParseDoubleC(const char* text, char** end) {
    if (CLocale()) return strtod_l(text, end, CLocale());
    return std::strtod(text, end);
}

void UseCNumericLocale() { std::setlocale(LC_NUMERIC, "C"); }
