// The .reg file store: one registry key's values read from and written to a
// REGEDIT4 text file. String values are "Name"="text" with \ and " escaped;
// integers are "Name"=dword:0000000c. Sections of other keys in the same file
// are kept verbatim (hex values of other keys included). Reading is strict
// and bounded: anything unexpected is an error naming file and line, and the
// key keeps what it held.
#include "framework/regfile.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace {

constexpr size_t kMaxFileBytes = 16u << 20;
// A value's line, escapes included, always fits the line limit, so whatever
// is stored is written back in a form the reader takes.
constexpr size_t kMaxLineLength = 256u << 10;
constexpr size_t kMaxNameLength = 16383;  // the registry's own limit
constexpr size_t kMaxTextLength = 32u << 10;
constexpr size_t kMaxValuesPerSection = 100000;
constexpr const char* kHeader = "REGEDIT4";
constexpr const char* kLineEnd = "\r\n";

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Text a value may hold: a line break or NUL would break the line format.
bool Storable(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos &&
           text.size() <= kMaxTextLength;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string DwordText(uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%08x", static_cast<unsigned>(value));
    return std::string("dword:") + buffer;
}

struct ParsedValue {
    std::string name;
    RegFileKey::Value value;
    bool foreign = false;  // a kind this store does not hold (hex...)
};

// One line of a .reg file, parsed; `error` set when it is malformed.
class LineParser {
public:
    explicit LineParser(const std::string& line) : m_line(line) {}

    bool ParseValue(ParsedValue& out, std::string& error) {
        if (!ParseQuoted(out.name, error)) return false;
        if (out.name.size() > kMaxNameLength) return Error(error, "value name too long");
        if (out.name.find('\0') != std::string::npos) return Error(error, "NUL in a value name");
        if (!Expect('=', error)) return false;
        if (Peek() == '"') {
            if (!ParseQuoted(out.value.text, error)) return false;
            if (out.value.text.size() > kMaxTextLength) return Error(error, "value longer than 32 KiB");
            if (out.value.text.find('\0') != std::string::npos) return Error(error, "NUL in a value");
            return AtEndOfLine(error);
        }
        const std::string rest = m_line.substr(m_pos);
        if (rest.compare(0, 6, "dword:") == 0) return ParseDword(rest.substr(6), out, error);
        if (rest.compare(0, 3, "hex") == 0) {
            out.foreign = true;
            return true;
        }
        return Error(error, "expected a \"string\" or dword: value after '='");
    }

private:
    char Peek() const { return m_pos < m_line.size() ? m_line[m_pos] : '\0'; }

    static bool Error(std::string& error, const std::string& what) {
        error = what;
        return false;
    }

    bool Expect(char c, std::string& error) {
        if (Peek() != c) return Error(error, std::string("expected '") + c + "'");
        ++m_pos;
        return true;
    }

    bool ParseQuoted(std::string& out, std::string& error) {
        if (!Expect('"', error)) return false;
        out.clear();
        while (m_pos < m_line.size()) {
            char c = m_line[m_pos++];
            if (c == '"') return true;
            if (c == '\\') {
                if (m_pos >= m_line.size()) break;
                c = m_line[m_pos++];
                if (c != '\\' && c != '"') return Error(error, "unknown escape '\\" + std::string(1, c) + "'");
            }
            out += c;
        }
        return Error(error, "unterminated quoted text");
    }

    bool AtEndOfLine(std::string& error) {
        if (m_pos != m_line.size()) return Error(error, "unexpected text after the value");
        return true;
    }

    static bool ParseDword(const std::string& digits, ParsedValue& out, std::string& error) {
        if (digits.empty() || digits.size() > 8) return Error(error, "dword needs 1 to 8 hex digits");
        uint32_t value = 0;
        for (char d : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(d))) return Error(error, "bad hex digit in dword");
            const int nibble = std::isdigit(static_cast<unsigned char>(d))
                                   ? d - '0'
                                   : std::tolower(static_cast<unsigned char>(d)) - 'a' + 10;
            value = (value << 4) | static_cast<uint32_t>(nibble);
        }
        out.value.isDword = true;
        out.value.dword = value;
        return true;
    }

    const std::string& m_line;
    size_t m_pos = 0;
};

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string ReadWholeFile(const std::string& path, bool& exists) {
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    if (!exists) return std::string();
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxFileBytes) throw RegFileError(path, 0, "file larger than 16 MiB");
    }
    if (in.bad()) throw RegFileError(path, 0, "cannot read the file");
    return text;
}

}  // namespace

RegFileError::RegFileError(const std::string& file, int line, const std::string& what)
    : std::runtime_error(file + ":" + std::to_string(line) + ": " + what), m_line(line) {}

RegFileKey::RegFileKey(std::string keyPath) : m_keyPath(std::move(keyPath)) {}

void RegFileKey::Load(const std::string& nativePath) {
    bool exists = false;
    std::string text = ReadWholeFile(nativePath, exists);
    if (!exists) {
        // A store that does not exist yet is an empty key, not an error, but
        // a folder or unreadable path in its place is.
        std::error_code ec;
        if (std::filesystem::exists(nativePath, ec))
            throw RegFileError(nativePath, 0, "cannot open the file");
        m_values.clear();
        m_otherSections.clear();
        m_ownSectionIndex = 0;
        return;
    }
    FromText(text, nativePath);
}

void RegFileKey::FromText(const std::string& text, const std::string& nameForErrors) {
    if (text.size() > kMaxFileBytes) throw RegFileError(nameForErrors, 0, "file larger than 16 MiB");
    std::vector<std::string> lines = SplitLines(text);
    std::vector<std::pair<std::string, Value>> ownValues;
    std::vector<std::pair<std::string, std::vector<std::string>>> others;
    size_t ownIndex = std::string::npos;
    enum class Where { kNone, kOwn, kOther } where = Where::kNone;
    bool continued = false;  // the previous hex line ended in "\"

    auto fail = [&](size_t index, const std::string& what) {
        throw RegFileError(nameForErrors, static_cast<int>(index + 1), what);
    };

    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    std::string header = first < lines.size() ? lines[first] : std::string();
    if (header.compare(0, 3, "\xEF\xBB\xBF") == 0) header.erase(0, 3);
    if (header != kHeader) fail(first, "expected REGEDIT4 as the first line");

    for (size_t i = first + 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() > kMaxLineLength) fail(i, "line longer than 256 KiB");
        if (continued) {
            if (where == Where::kOther) others.back().second.push_back(line);
            continued = !line.empty() && line.back() == '\\';
            continue;
        }
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']' || line.size() < 3) fail(i, "malformed key line");
            const std::string path = line.substr(1, line.size() - 2);
            if (path[0] == '-') fail(i, "key deletions are not supported");
            if (EqualNoCase(path, m_keyPath)) {
                if (ownIndex != std::string::npos) fail(i, "the key appears twice");
                ownIndex = others.size();
                where = Where::kOwn;
            } else {
                others.push_back({path, {}});
                where = Where::kOther;
            }
            continue;
        }
        if (where == Where::kNone) fail(i, "value outside of any key");
        ParsedValue parsed;
        std::string error;
        if (line[0] == '@') {
            if (where == Where::kOwn) fail(i, "default values are not supported");
        } else if (!LineParser(line).ParseValue(parsed, error)) {
            fail(i, error);
        }
        if (where == Where::kOther) {
            others.back().second.push_back(line);
            continued = line.back() == '\\';
            continue;
        }
        if (parsed.foreign) fail(i, "only string and dword values are supported");
        auto it = ownValues.begin();
        while (it != ownValues.end() && !EqualNoCase(it->first, parsed.name)) ++it;
        if (it != ownValues.end()) {
            it->second = parsed.value;  // a repeated value: the last one counts
        } else {
            if (ownValues.size() >= kMaxValuesPerSection) fail(i, "too many values");
            ownValues.push_back({parsed.name, parsed.value});
        }
    }
    if (continued) fail(lines.size() - 1, "file ends inside a continued value");

    m_values = std::move(ownValues);
    m_otherSections = std::move(others);
    m_ownSectionIndex = ownIndex == std::string::npos ? m_otherSections.size() : ownIndex;
}

std::string RegFileKey::ToText() const {
    std::ostringstream out;
    out << kHeader << kLineEnd << kLineEnd;
    auto writeOwn = [&] {
        out << '[' << m_keyPath << ']' << kLineEnd;
        for (const auto& [name, value] : m_values) {
            out << Quote(name) << '=' << (value.isDword ? DwordText(value.dword) : Quote(value.text))
                << kLineEnd;
        }
        out << kLineEnd;
    };
    for (size_t i = 0; i < m_otherSections.size(); ++i) {
        if (i == m_ownSectionIndex) writeOwn();
        out << '[' << m_otherSections[i].first << ']' << kLineEnd;
        for (const std::string& line : m_otherSections[i].second) out << line << kLineEnd;
        out << kLineEnd;
    }
    if (m_ownSectionIndex >= m_otherSections.size()) writeOwn();
    return out.str();
}

void RegFileKey::Save(const std::string& nativePath) const {
    const std::string text = ToText();
    const std::filesystem::path target(nativePath);
    std::filesystem::path temp = target;
    temp += ".tmp" + std::to_string(plat::CurrentProcessId());
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
            throw RegFileError(nativePath, 0, "cannot write the temporary file");
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::error_code ignored;
        std::filesystem::remove(temp, ignored);
        throw RegFileError(nativePath, 0, "cannot replace the file: " + ec.message());
    }
}

namespace {
template <typename Values>
auto FindValue(Values& values, const std::string& name) {
    auto it = values.begin();
    while (it != values.end() && !EqualNoCase(it->first, name)) ++it;
    return it;
}
}  // namespace

bool RegFileKey::GetString(const std::string& name, std::string& value) const {
    auto it = FindValue(m_values, name);
    if (it == m_values.end() || it->second.isDword) return false;
    value = it->second.text;
    return true;
}

bool RegFileKey::GetDword(const std::string& name, uint32_t& value) const {
    auto it = FindValue(m_values, name);
    if (it == m_values.end() || !it->second.isDword) return false;
    value = it->second.dword;
    return true;
}

bool RegFileKey::SetString(const std::string& name, const std::string& value) {
    if (name.empty() || name.size() > kMaxNameLength || !Storable(name) || !Storable(value))
        return false;
    Value stored;
    stored.text = value;
    auto it = FindValue(m_values, name);
    if (it == m_values.end()) m_values.push_back({name, stored});
    else it->second = stored;
    return true;
}

bool RegFileKey::SetDword(const std::string& name, uint32_t value) {
    if (name.empty() || name.size() > kMaxNameLength || !Storable(name)) return false;
    Value stored;
    stored.isDword = true;
    stored.dword = value;
    auto it = FindValue(m_values, name);
    if (it == m_values.end()) m_values.push_back({name, stored});
    else it->second = stored;
    return true;
}

const std::vector<std::pair<std::string, RegFileKey::Value>>& RegFileKey::Values() const {
    return m_values;
}
