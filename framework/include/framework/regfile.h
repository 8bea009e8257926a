// Registry keys kept as REGEDIT4 .reg text files, so settings move to and
// from a Windows registry unchanged. Strings are string values, integers
// dword values. Saving writes a temporary file and renames it over the old
// one, so a crash never leaves half a file.
#pragma once

#include "platform/platform.h"

#include <map>
#include <stdexcept>
#include <string>
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
    std::string m_keyPath;
    std::vector<std::pair<std::string, Value>> m_values;  // in insertion order
    std::vector<std::pair<std::string, std::vector<std::string>>> m_otherSections;
    size_t m_ownSectionIndex = 0;  // where this key's section sits among the others
};
