#pragma once
// An INI file held in memory with the semantics of the Windows private-profile
// functions: section and key names compare without case; a read trims blanks
// and removes one pair of enclosing quotes; a write updates the key in place,
// appends a new key at the end of its section and a new section at the end of
// the file, and keeps every other line (comments, blank lines, unknown keys,
// other sections) as it was. CRLF files read the same and keep their line ends.
#include <optional>
#include <string>
#include <vector>

class CIniFile {
public:
    // Reads the file; a missing or unreadable file gives an empty one.
    bool Load(const std::string& path);
    void LoadText(const std::string& text);
    // Writes the whole file atomically (a temporary file in the same folder,
    // then a rename). A symbolic link is written through to its target; a
    // file that is read-only (or not writable by the user) is left alone.
    // False, and the old file untouched, when the file is not written.
    bool Save(const std::string& path) const;
    std::string Text() const;

    // The key's text (trimmed, one pair of enclosing quotes removed), or
    // nothing when the section or the key is absent.
    std::optional<std::string> Get(const std::string& section, const std::string& key) const;
    void Set(const std::string& section, const std::string& key, const std::string& value);

    // GetPrivateProfileInt's number rule: optional blanks, an optional sign and
    // decimal digits; text that is not a number gives 0.
    static int ParseInt(const std::string& text);
    // Whether the text starts (after blanks and a sign) with a decimal digit.
    static bool IsInt(const std::string& text);

private:
    struct Line {
        std::string text;  // without the line end
    };
    int FindSection(const std::string& section) const;  // line of its header, -1 if none
    int FindKey(int sectionLine, const std::string& key) const;
    int SectionEnd(int sectionLine) const;              // one past its last key line

    std::vector<Line> m_lines;
    std::string m_eol = "\n";
    bool m_finalEol = true;
};
