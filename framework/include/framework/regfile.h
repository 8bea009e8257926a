// Registry keys kept as .reg text files, so settings move to and from a
// Windows registry unchanged. Strings are string values, integers dword
// values. REGEDIT4 files are read, and so are the exports of a current
// regedit ("Windows Registry Editor Version 5.00", UTF-16LE with a byte order
// mark, or UTF-8); a file is written back in the format it was read in, a new
// one as REGEDIT4. Saving writes a temporary file beside the real one (a
// symbolic link is followed to it) and renames it over the old one, so a
// crash never leaves half a file; a read-only file is refused, not replaced.
#pragma once

#include "platform/platform.h"

#include <map>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class RegFileError : public std::runtime_error {
public:
    RegFileError(const std::string& file, int line, const std::string& what);
    int line() const { return m_line; }

private:
    int m_line;
};

class RegFileKey : public plat::RegistryKey {
public:
    // keyPath: "HKEY_CURRENT_USER\Software\...", the section the values live in.
    explicit RegFileKey(std::string keyPath);

    // Loads a file (native path). A missing file is an empty key; a malformed
    // one throws RegFileError naming the line, and leaves the key unchanged.
    void Load(const std::string& nativePath);
    // Writes the whole file atomically; other sections of a loaded file are kept.
    void Save(const std::string& nativePath) const;
    std::string ToText() const;
    void FromText(const std::string& text, const std::string& nameForErrors);
    // Throws RegFileError when Save would be refused: the file (or what its
    // link points to) is read-only.
    static void CheckWritable(const std::string& nativePath);

    // How the file was (or will be) written.
    enum class Format { kRegedit4, kVersion5Utf16, kVersion5Utf8 };
    Format FileFormat() const { return m_format; }

    // Value names match without regard to case, as in the registry. Set
    // refuses (false) empty or over-long names and texts holding a line
    // break or NUL, which the line format cannot carry.
    bool GetString(const std::string& name, std::string& value) const override;
    bool GetDword(const std::string& name, uint32_t& value) const override;
    bool SetString(const std::string& name, const std::string& value) override;
    bool SetDword(const std::string& name, uint32_t value) override;

    struct Value {
        bool isDword = false;
        std::string text;
        uint32_t dword = 0;
    };
    const std::vector<std::pair<std::string, Value>>& Values() const;

private:
    Value* Find(const std::string& name);
    const Value* Find(const std::string& name) const;
    void Put(const std::string& name, const Value& value);

    std::string m_keyPath;
    Format m_format = Format::kRegedit4;
    bool m_byteOrderMark = false;  // a UTF-8 file that began with one
    std::vector<std::pair<std::string, Value>> m_values;  // in insertion order
    std::unordered_map<std::string, size_t> m_index;      // lower-case name -> place in m_values
    std::vector<std::pair<std::string, std::vector<std::string>>> m_otherSections;
    size_t m_ownSectionIndex = 0;  // where this key's section sits among the others
};
