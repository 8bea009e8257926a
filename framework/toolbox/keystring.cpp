// Parser of the SendKeyString notation into keystrokes with Win32 virtual-key
// codes. "+", "^" and "%" hold Shift, Ctrl and Alt for the next key or for a
// parenthesised group; "~" is Enter; "{NAME}" names a key, "{NAME n}" repeats
// it, and a single character in braces types that character. Everything else
// types itself. Malformed text is rejected whole with the offset of the fault.
#include "framework/text.h"
#include "framework/toolbox.h"

#include <array>
#include <cctype>
#include <string_view>

namespace {

constexpr int kMaxRepeat = 255;
// Bounds what one string may expand to ("{TAB 255}" a thousand times).
constexpr size_t kMaxKeys = 65536;

struct NamedKey {
    std::string_view name;
    uint16_t vk;
};

constexpr std::array<NamedKey, 32> kNamedKeys{{
    {"BACKSPACE", 0x08}, {"BS", 0x08},        {"BKSP", 0x08},     {"BREAK", 0x03},
    {"CAPSLOCK", 0x14},  {"DELETE", 0x2E},    {"DEL", 0x2E},      {"DOWN", 0x28},
    {"END", 0x23},       {"ENTER", 0x0D},     {"ESC", 0x1B},      {"HELP", 0x2F},
    {"HOME", 0x24},      {"INSERT", 0x2D},    {"INS", 0x2D},      {"LEFT", 0x25},
    {"NUMLOCK", 0x90},   {"PGDN", 0x22},      {"PGUP", 0x21},     {"PRTSC", 0x2C},
    {"RIGHT", 0x27},     {"SCROLLLOCK", 0x91}, {"TAB", 0x09},     {"UP", 0x26},
    {"ADD", 0x6B},       {"SUBTRACT", 0x6D},  {"MULTIPLY", 0x6A}, {"DIVIDE", 0x6F},
    {"F1", 0x70},        {"F2", 0x71},        {"F3", 0x72},       {"F4", 0x73},
}};

// F1..F16 (F1..F4 are also in the table; the rule covers them all).
bool FunctionKey(std::string_view name, uint16_t& vk) {
    if (name.size() < 2 || name.size() > 3 || std::toupper(static_cast<unsigned char>(name[0])) != 'F')
        return false;
    int number = 0;
    for (size_t i = 1; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return false;
        number = number * 10 + (name[i] - '0');
    }
    if (name[1] == '0' || number < 1 || number > 16) return false;
    vk = static_cast<uint16_t>(0x70 + number - 1);
    return true;
}

bool LookUpName(std::string_view name, uint16_t& vk) {
    if (FunctionKey(name, vk)) return true;
    for (const NamedKey& key : kNamedKeys) {
        if (EqualNoCase(key.name, name)) {
            vk = key.vk;
            return true;
        }
    }
    return false;
}

struct Modifiers {
    bool alt = false, ctrl = false, shift = false;
    bool Any() const { return alt || ctrl || shift; }
};

class Parser {
public:
    explicit Parser(const std::string& text) : m_text(text) {}

    KeyParseResult Run() {
        KeyParseResult result;
        if (ParseSequence(false)) {
            result.ok = true;
            result.keys = std::move(m_keys);
        } else {
            result.error = m_error;
            result.errorOffset = m_errorOffset;
        }
        return result;
    }

private:
    bool Fail(const std::string& what, size_t offset) {
        m_error = what;
        m_errorOffset = offset;
        return false;
    }

    bool AtEnd() const { return m_pos >= m_text.size(); }

    // Items up to the end, or up to the ")" that closes a group.
    bool ParseSequence(bool inGroup) {
        while (!AtEnd()) {
            if (m_text[m_pos] == ')') {
                if (inGroup) return true;
                return Fail("')' without a matching '('", m_pos);
            }
            if (!ParseItem(Modifiers{})) return false;
        }
        return true;
    }

    bool ParseItem(Modifiers held) {
        // Modifiers gather without recursion, so a long run cannot exhaust the stack.
        while (!AtEnd() && IsModifier(m_text[m_pos])) {
            const char c = m_text[m_pos];
            held.shift |= c == '+';
            held.ctrl |= c == '^';
            held.alt |= c == '%';
            ++m_pos;
            if (AtEnd() || m_text[m_pos] == ')')
                return Fail(std::string("modifier '") + c + "' with no key after it", m_pos - 1);
        }
        const size_t start = m_pos;
        const char c = m_text[m_pos];
        switch (c) {
        case '(':
            return ParseGroup(held);
        case '{':
            return ParseBraces(held);
        case '~':
            ++m_pos;
            return Add(0x0D, 0, held, 1, start);
        case '}':
            return Fail("'}' without a matching '{' (write {}} to type it)", start);
        default:
            ++m_pos;
            return AddCharacter(c, held, 1, start);
        }
    }

    static bool IsModifier(char c) { return c == '+' || c == '^' || c == '%'; }

    bool ParseGroup(Modifiers held) {
        const size_t open = m_pos++;
        if (m_depth >= 8) return Fail("groups nested too deeply", open);
        ++m_depth;
        const size_t before = m_keys.size();
        const bool ok = ParseSequence(true);
        --m_depth;
        if (!ok) return false;
        if (AtEnd()) return Fail("'(' without a matching ')'", open);
        ++m_pos;  // the ")"
        if (m_keys.size() == before && held.Any())
            return Fail("modifier with an empty group", open);
        for (size_t i = before; i < m_keys.size(); ++i) {
            m_keys[i].alt |= held.alt;
            m_keys[i].ctrl |= held.ctrl;
            m_keys[i].shift |= held.shift;
        }
        return true;
    }

    // "{NAME}", "{NAME n}", "{c}" and the brace forms "{{}" and "{}}".
    bool ParseBraces(Modifiers held) {
        const size_t open = m_pos;
        // "{}}" would otherwise read as an empty name followed by "}".
        size_t close = (m_text.compare(open, 3, "{}}") == 0) ? open + 2
                                                               : m_text.find('}', open + 1);
        if (close == std::string::npos) return Fail("'{' without a matching '}'", open);
        std::string_view inside(m_text.data() + open + 1, close - open - 1);
        m_pos = close + 1;
        if (inside.empty()) return Fail("empty key name in braces", open);

        int repeat = 1;
        const size_t blank = inside.find(' ', 1);
        if (blank != std::string_view::npos) {
            if (!ParseRepeat(inside.substr(blank + 1), repeat, open + 1 + blank + 1)) return false;
            inside = inside.substr(0, blank);
        }
        if (inside.size() == 1) return AddCharacter(inside[0], held, repeat, open);
        uint16_t vk = 0;
        if (!LookUpName(inside, vk))
            return Fail("unknown key name '" + std::string(inside) + "'", open + 1);
        return Add(vk, 0, held, repeat, open);
    }

    bool ParseRepeat(std::string_view digits, int& repeat, size_t offset) {
        if (digits.empty() || digits.size() > 3)
            return Fail("bad repeat count (1 to 3 digits expected)", offset);
        int value = 0;
        for (char d : digits) {
            if (!std::isdigit(static_cast<unsigned char>(d)))
                return Fail("bad repeat count '" + std::string(digits) + "'", offset);
            value = value * 10 + (d - '0');
        }
        if (value > kMaxRepeat)
            return Fail("repeat count above " + std::to_string(kMaxRepeat), offset);
        repeat = value;
        return true;
    }

    bool AddCharacter(char c, Modifiers held, int repeat, size_t offset) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return Fail("control character in key string", offset);
        uint16_t vk = 0;
        if (std::isalpha(u) && u < 0x80) vk = static_cast<uint16_t>(std::toupper(u));
        if (std::isdigit(u)) vk = u;
        return Add(vk, c, held, repeat, offset);
    }

    bool Add(uint16_t vk, char ch, Modifiers held, int repeat, size_t offset) {
        if (m_keys.size() + static_cast<size_t>(repeat) > kMaxKeys)
            return Fail("key string expands to too many keys", offset);
        plat::KeyStroke key;
        key.vk = vk;
        key.ch = ch;
        key.alt = held.alt;
        key.ctrl = held.ctrl;
        key.shift = held.shift;
        m_keys.insert(m_keys.end(), static_cast<size_t>(repeat), key);
        return true;
    }

    const std::string& m_text;
    size_t m_pos = 0;
    int m_depth = 0;
    std::vector<plat::KeyStroke> m_keys;
    std::string m_error;
    size_t m_errorOffset = 0;
};

}  // namespace

KeyParseResult ParseKeyString(const std::string& keys) { return Parser(keys).Run(); }
