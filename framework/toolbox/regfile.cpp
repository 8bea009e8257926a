// The .reg file store: one registry key's values read from and written to a
// .reg text file (REGEDIT4, or version 5.00 in UTF-16LE or UTF-8). String values are "Name"="text" with \ and " escaped;
// integers are "Name"=dword:0000000c. Sections of other keys in the same file
// are kept verbatim (hex values of other keys included). Reading is strict
// and bounded: anything unexpected is an error naming file and line, and the
// key keeps what it held.
#include "framework/regfile.h"
#include "framework/text.h"

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
constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kLineEnd = "\r\n";
constexpr const char* kUtf8Bom = "\xEF\xBB\xBF";
constexpr int kMaxLinkHops = 40;

std::string Lower(const std::string& name) {
    std::string out = name;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// UTF-16LE bytes (after the byte order mark) as UTF-8; a lone surrogate or an
// odd byte count is an error naming the line it is on.
std::string Utf16ToUtf8(const std::string& bytes, size_t from, const std::string& nameForErrors) {
    std::string out;
    out.reserve(bytes.size() / 2);
    int line = 1;
    auto unit = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) |
               static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    };
    if ((bytes.size() - from) % 2 != 0) throw RegFileError(nameForErrors, 0, "UTF-16 text of an odd number of bytes");
    for (size_t i = from; i < bytes.size(); i += 2) {
        uint32_t code = unit(i);
        if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            throw RegFileError(nameForErrors, line, "not valid UTF-16 text (a lone surrogate)");
        }
        if (code == '\n') ++line;
        AppendUtf8(out, code);
    }
    return out;
}

// UTF-8 as UTF-16LE bytes; what is not valid UTF-8 goes byte by byte, as
// the code page would have read it.
std::string Utf8ToUtf16(const std::string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int extra = c >= 0xF0 && c < 0xF8 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (c >= 0xF8) extra = 0;
        uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
        bool valid = i + static_cast<size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            code = c;
            extra = 0;
        }
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    return out;
}

// The file a path names, links followed; the path itself when it is none.
std::filesystem::path RealTarget(const std::filesystem::path& path) {
    std::filesystem::path target = path;
    std::error_code ec;
    for (int hop = 0; hop < kMaxLinkHops && std::filesystem::is_symlink(target, ec); ++hop) {
        std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec) break;
        target = next.is_absolute() ? next : target.parent_path() / next;
    }
    return target;
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
        m_index.clear();
        m_otherSections.clear();
        m_ownSectionIndex = 0;
        m_format = Format::kRegedit4;
        m_byteOrderMark = false;
        return;
    }
    FromText(text, nativePath);
}

void RegFileKey::FromText(const std::string& bytes, const std::string& nameForErrors) {
    if (bytes.size() > kMaxFileBytes) throw RegFileError(nameForErrors, 0, "file larger than 16 MiB");
    const bool utf16 = bytes.compare(0, 2, "\xFF\xFE") == 0;
    const bool bom = !utf16 && bytes.compare(0, 3, kUtf8Bom) == 0;
    const std::string text = utf16 ? Utf16ToUtf8(bytes, 2, nameForErrors) : bom ? bytes.substr(3) : bytes;
    std::vector<std::string> lines = SplitLines(text);
    std::vector<std::pair<std::string, Value>> ownValues;
    std::unordered_map<std::string, size_t> ownIndex;
    std::vector<std::pair<std::string, std::vector<std::string>>> others;
    size_t ownPlace = std::string::npos;
    enum class Where { kNone, kOwn, kOther } where = Where::kNone;
    bool continued = false;  // the previous hex line ended in "\"

    auto fail = [&](size_t index, const std::string& what) {
        throw RegFileError(nameForErrors, static_cast<int>(index + 1), what);
    };

    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) ++first;
    const std::string header = first < lines.size() ? lines[first] : std::string();
    Format format = Format::kRegedit4;
    if (header == kHeader5) format = utf16 ? Format::kVersion5Utf16 : Format::kVersion5Utf8;
    else if (header != kHeader || utf16)
        fail(first, std::string("expected REGEDIT4 or ") + kHeader5 + " as the first line");

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
                if (ownPlace != std::string::npos) fail(i, "the key appears twice");
                ownPlace = others.size();
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
        auto [it, added] = ownIndex.emplace(Lower(parsed.name), ownValues.size());
        if (!added) {
            ownValues[it->second].second = parsed.value;  // a repeated value: the last one counts
        } else {
            if (ownValues.size() >= kMaxValuesPerSection) fail(i, "too many values");
            ownValues.push_back({parsed.name, parsed.value});
        }
    }
    if (continued) fail(lines.size() - 1, "file ends inside a continued value");

    m_values = std::move(ownValues);
    m_index = std::move(ownIndex);
    m_otherSections = std::move(others);
    m_ownSectionIndex = ownPlace == std::string::npos ? m_otherSections.size() : ownPlace;
    m_format = format;
    m_byteOrderMark = bom;
}

std::string RegFileKey::ToText() const {
    std::ostringstream out;
    out << (m_format == Format::kRegedit4 ? kHeader : kHeader5) << kLineEnd << kLineEnd;
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

void RegFileKey::CheckWritable(const std::string& nativePath) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(RealTarget(nativePath), ec);
    if (ec || !std::filesystem::exists(status)) return;  // a new file: its folder decides
    if ((status.permissions() & std::filesystem::perms::owner_write) == std::filesystem::perms::none)
        throw RegFileError(nativePath, 0, "the file is read-only; make it writable or choose another store");
}

void RegFileKey::Save(const std::string& nativePath) const {
    CheckWritable(nativePath);
    const std::string logical = ToText();
    const std::string text = m_format == Format::kVersion5Utf16 ? "\xFF\xFE" + Utf8ToUtf16(logical)
                             : m_byteOrderMark                   ? kUtf8Bom + logical
                                                                 : logical;
    // Written through a link to the file it names, so the link stays a link.
    const std::filesystem::path target = RealTarget(nativePath);
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

RegFileKey::Value* RegFileKey::Find(const std::string& name) {
    auto found = m_index.find(Lower(name));
    return found == m_index.end() ? nullptr : &m_values[found->second].second;
}

const RegFileKey::Value* RegFileKey::Find(const std::string& name) const {
    auto found = m_index.find(Lower(name));
    return found == m_index.end() ? nullptr : &m_values[found->second].second;
}

void RegFileKey::Put(const std::string& name, const Value& value) {
    auto [it, added] = m_index.emplace(Lower(name), m_values.size());
    if (added) m_values.push_back({name, value});
    else m_values[it->second].second = value;
}

bool RegFileKey::GetString(const std::string& name, std::string& value) const {
    const Value* found = Find(name);
    if (found == nullptr || found->isDword) return false;
    value = found->text;
    return true;
}

bool RegFileKey::GetDword(const std::string& name, uint32_t& value) const {
    const Value* found = Find(name);
    if (found == nullptr || !found->isDword) return false;
    value = found->dword;
    return true;
}

bool RegFileKey::SetString(const std::string& name, const std::string& value) {
    if (name.empty() || name.size() > kMaxNameLength || !Storable(name) || !Storable(value))
        return false;
    Value stored;
    stored.text = value;
    Put(name, stored);
    return true;
}

bool RegFileKey::SetDword(const std::string& name, uint32_t value) {
    if (name.empty() || name.size() > kMaxNameLength || !Storable(name)) return false;
    Value stored;
    stored.isDword = true;
    stored.dword = value;
    Put(name, stored);
    return true;
}

const std::vector<std::pair<std::string, RegFileKey::Value>>& RegFileKey::Values() const {
    return m_values;
}
