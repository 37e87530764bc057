#include "app/ini.h"

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

void CIni::Double(bool save, const char* key, double& field, double defaultValue) {
    if (save) {
        char text[64];
        std::snprintf(text, sizeof text, "%g", field);
        m_file.Set(m_section, key, text);
        return;
    }
    char fallback[64];
    std::snprintf(fallback, sizeof fallback, "%g", defaultValue);
    std::string text = m_file.Get(m_section, key).value_or(fallback);
    if (text.size() > 127) text.resize(127);
    // atof's rule: text that is not a number gives 0.
    field = std::atof(text.c_str());
}

void CIni::Text(bool save, const char* key, char* field, int size, const char* defaultValue) {
    if (save) {
        m_file.Set(m_section, key, std::string("\"") + field + "\"");
        return;
    }
    const std::string value = m_file.Get(m_section, key).value_or(defaultValue);
    std::snprintf(field, static_cast<size_t>(size), "%s", value.c_str());
}
