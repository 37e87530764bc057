#include "app/ini.h"

#include "app/c_locale.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

CIni::CIni(const char* section, const std::string& path) : m_section(section) { SetPath(path); }

CIni::~CIni() = default;

void CIni::SetPath(const std::string& path) { std::snprintf(m_path, sizeof m_path, "%s", path.c_str()); }

void CIni::BeginPass(bool save) {
    // A save also starts from the file as it is now, so keys, sections and
    // comments that other programs put there are kept.
    (void)save;
    m_file.Load(m_path);
}

void CIni::EndPass(bool save) {
    if (save) m_file.Save(m_path);
}

void CIni::Int(bool save, const char* key, int& field, int defaultValue) {
    if (save) {
        char text[32];
        std::snprintf(text, sizeof text, "%d", field);
        m_file.Set(m_section, key, text);
        return;
    }
    const auto value = m_file.Get(m_section, key);
    field = value ? CIniFile::ParseInt(*value) : defaultValue;
}

void CIni::IntInRange(bool save, const char* key, int& field, int defaultValue, int minimum, int maximum) {
    auto limit = [&](int v) { return v < minimum ? minimum : v > maximum ? maximum : v; };
    if (save) {
        field = limit(field);
        Int(save, key, field, defaultValue);
        return;
    }
    const auto value = m_file.Get(m_section, key);
    field = value && CIniFile::IsInt(*value) ? limit(CIniFile::ParseInt(*value)) : defaultValue;
}

void CIni::Double(bool save, const char* key, double& field, double defaultValue) {
    if (save) {
        // C locale: "37.1235" under every LANG, never "37,1235".
        m_file.Set(m_section, key, FormatC("%g", field));
        return;
    }
    std::string text = m_file.Get(m_section, key).value_or(FormatC("%g", defaultValue));
    if (text.size() > 127) text.resize(127);
    // atof's rule (text that is not a number gives 0), in the C locale.
    field = ParseDoubleC(text.c_str());
}

void CIni::Text(bool save, const char* key, char* field, int size, const char* defaultValue) {
    if (save) {
        if (std::strpbrk(field, "\r\n") == nullptr) m_file.Set(m_section, key, std::string("\"") + field + "\"");
        return;
    }
    const std::string value = m_file.Get(m_section, key).value_or(defaultValue);
    std::snprintf(field, static_cast<size_t>(size), "%s", value.c_str());
}
