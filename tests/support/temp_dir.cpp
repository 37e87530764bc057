#include "tests/support/temp_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

CTempDir::CTempDir() {
    // Port paths keep their full length, so TMPDIR may be long; only one that
    // leaves no room below the 259 characters of a port path gives way to /tmp.
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec || base.string().size() > 160) base = "/tmp";
    std::string pattern = (base / "tarvik-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) m_path = buffer.data();
}

bool CTempDir::Enter() {
    std::error_code ec;
    if (m_oldCwd.empty()) m_oldCwd = std::filesystem::current_path(ec).string();
    return !ec && !m_path.empty() && chdir(m_path.c_str()) == 0;
}

CTempDir::~CTempDir() {
    std::error_code ec;
    if (!m_oldCwd.empty()) std::filesystem::current_path(m_oldCwd, ec);
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
}
