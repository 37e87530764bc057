#include "app/ini_file.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
    return true;
}

// "[name]" -> name; false for other lines.
bool SectionName(const std::string& line, std::string* name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key; false for comments and lines without '='.
bool KeyName(const std::string& line, std::string* key, std::string* value) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    *key = Trim(t.substr(0, eq));
    if (value != nullptr) *value = t.substr(eq + 1);
    return true;
}

}  // namespace

bool CIniFile::Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        LoadText("");
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    LoadText(text.str());
    return true;
}

void CIniFile::LoadText(const std::string& text) {
    m_lines.clear();
    m_eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
    m_finalEol = text.empty() || text.back() == '\n';
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        // Every carriage return at the line's end goes, not only the one of a
        // CR LF: a line kept ending in CR would be written back as a CR LF
        // line end and turn a LF file into a CRLF one on the next read.
        while (!line.empty() && line.back() == '\r') line.pop_back();
        m_lines.push_back({line});
        start = end + 1;
    }
}

std::string CIniFile::Text() const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        out += m_lines[i].text;
        if (i + 1 < m_lines.size() || m_finalEol) out += m_eol;
    }
    return out;
}

namespace {

// The file a save must replace: a symbolic link is followed to its target
// (also a dangling one, whose target the save then creates), so that the
// link stays a link.
std::string SaveTarget(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path p = path;
    for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(p, ec)); ++hops) {
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) break;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return p.string();
}

}  // namespace

bool CIniFile::Save(const std::string& path) const {
    const std::string target = SaveTarget(path);
    // A file the user may not write, or one marked read-only (no write bit at
    // all, which binds root too), keeps its content: the rename below would
    // otherwise replace it, since only the folder's rights count for that.
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && (::access(target.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0))
        return false;
    const std::string temp = target + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << Text();
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    // The new file keeps the old one's permissions.
    if (exists) (void)::chmod(temp.c_str(), st.st_mode & 07777);
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

int CIniFile::FindSection(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (SectionName(m_lines[i].text, &name) && SameName(name, section)) return static_cast<int>(i);
    return -1;
}

int CIniFile::SectionEnd(int sectionLine) const {
    // One past the last non-blank line of the section, so a new key goes
    // before the blank lines that separate it from the next section.
    std::string name;
    int last = sectionLine;
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (SectionName(m_lines[i].text, &name)) break;
        if (!Trim(m_lines[i].text).empty()) last = static_cast<int>(i);
    }
    return last + 1;
}

int CIniFile::FindKey(int sectionLine, const std::string& key) const {
    std::string name, k;
    for (size_t i = sectionLine + 1; i < m_lines.size(); ++i) {
        if (SectionName(m_lines[i].text, &name)) break;
        if (KeyName(m_lines[i].text, &k, nullptr) && SameName(k, key)) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::string> CIniFile::Get(const std::string& section, const std::string& key) const {
    const int s = FindSection(section);
    if (s < 0) return std::nullopt;
    const int k = FindKey(s, key);
    if (k < 0) return std::nullopt;
    std::string name, value;
    KeyName(m_lines[k].text, &name, &value);
    value = Trim(value);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return value;
}

void CIniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    const std::string line = key + "=" + value;
    int s = FindSection(section);
    if (s < 0) {
        if (!m_lines.empty() && !Trim(m_lines.back().text).empty()) m_lines.push_back({""});
        m_lines.push_back({"[" + section + "]"});
        m_lines.push_back({line});
        m_finalEol = true;
        return;
    }
    const int k = FindKey(s, key);
    if (k >= 0) {
        m_lines[k].text = line;
        return;
    }
    const int end = SectionEnd(s);
    m_lines.insert(m_lines.begin() + end, Line{line});
    if (end == static_cast<int>(m_lines.size()) - 1) m_finalEol = true;
}

int CIniFile::ParseInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 0xFFFFFFFFLL) value = 0xFFFFFFFFLL;  // saturate instead of overflowing
    }
    // Like the Windows call, the value is taken as 32 bits.
    const uint32_t bits = static_cast<uint32_t>(negative ? -value : value);
    return static_cast<int>(bits);
}

bool CIniFile::IsInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    return i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]));
}
