#pragma once
// CIni: typed access to one section of one INI file, with the semantics of the
// Windows private-profile functions (CIniFile does the file handling). The
// file is read once at the start of a pass over the keys and written once at
// its end (BeginPass / EndPass); the per-key rules are those of the Windows calls.
#include "app/ini_file.h"

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
    void BeginPass(bool save);
    // Writes the file after a save pass; a file that cannot be written keeps
    // its old content and nothing is reported.
    void EndPass(bool save);

    // Each reads from the file when `save` is false and writes when true.
    void Int(bool save, const char* key, int& field, int defaultValue);
    // An int limited to minimum..maximum when loaded and saved; a text that
    // is not a number gives the default.
    void IntInRange(bool save, const char* key, int& field, int defaultValue, int minimum, int maximum);
    void Double(bool save, const char* key, double& field, double defaultValue);
    // A text holding a line break is not written: it would end the key's line
    // and could add keys or sections; the file keeps the key's old value.
    void Text(bool save, const char* key, char* field, int size, const char* defaultValue);

private:
    const char* m_section;
    char m_path[kPathSize] = {};
    CIniFile m_file;
};
