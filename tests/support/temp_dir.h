#pragma once
// The one temporary folder of the tests.
#include <string>

// A fresh temporary folder, removed with its contents by the destructor.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Makes the folder the working directory (for windows that write files
    // next to the program); the destructor returns to the one before.
    bool Enter();

private:
    std::string m_path;
    std::string m_oldCwd;
};
