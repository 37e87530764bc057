#pragma once
// CIni: typed access to one section of one INI file, with the semantics of the
// Windows private-profile functions (see ini_file.h for the file handling).
#include <string>

class CIni {
public:
    static constexpr int kPathSize = 260;

    CIni(const char* section, const std::string& path);
    virtual ~CIni();

    const char* Section() const { return m_section; }
    const char* Path() const { return m_path; }
    void SetPath(const std::string& path);

protected:
    // Each reads from the file when `save` is false and writes when true.
    void Int(bool save, const char* key, int& field, int defaultValue);
    void Double(bool save, const char* key, double& field, double defaultValue);
    void Text(bool save, const char* key, char* field, int size, const char* defaultValue);

private:
    const char* m_section;
    char m_path[kPathSize] = {};
};
