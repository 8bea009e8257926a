// Key sequence recognition: the recent keystrokes are kept, and after each
// one the longest sequence that they end with wins. The configured sequences
// are read here, with a reader of the simulator's own, into the lines a
// window's keystroke log holds: modifiers "+", "^", "%" in that order, then
// the character typed (notation characters in braces) or the key's name in
// braces.
#include "keys.h"

#include <cctype>
#include <cstring>
#include <optional>

namespace cmmsim {
namespace {

constexpr int kMaxDepth = 8;
constexpr int kMaxRepeat = 255;

// Key names of the notation and the name the keystroke log gives each.
struct KeyName {
    const char* written;
    const char* logged;
};
constexpr KeyName kNames[] = {
    {"BS", "BS"},         {"BKSP", "BS"},        {"BACKSPACE", "BS"},    {"BREAK", "BREAK"},
    {"CAPSLOCK", "CAPSLOCK"}, {"CLEAR", "CLEAR"}, {"DEL", "DEL"},        {"DELETE", "DEL"},
    {"DOWN", "DOWN"},     {"END", "END"},        {"ENTER", "ENTER"},     {"ESC", "ESC"},
    {"HELP", "HELP"},     {"HOME", "HOME"},      {"INS", "INS"},         {"INSERT", "INS"},
    {"LEFT", "LEFT"},     {"NUMLOCK", "NUMLOCK"}, {"PAUSE", "PAUSE"},    {"PGDN", "PGDN"},
    {"PGUP", "PGUP"},     {"PRTSC", "PRTSC"},    {"RIGHT", "RIGHT"},     {"SCROLLLOCK", "SCROLLLOCK"},
    {"TAB", "TAB"},       {"UP", "UP"},
};

bool IsNotation(char c) { return c != '\0' && std::strchr("+^%~(){}[]", c) != nullptr; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// "{F8}" for a function key name, "{TAB}" for a named key, nothing otherwise.
std::optional<std::string> LoggedName(const std::string& name) {
    const std::string upper = Upper(name);
    for (const KeyName& key : kNames) {
        if (upper == key.written) return std::string("{") + key.logged + "}";
    }
    if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' &&
        std::isdigit(static_cast<unsigned char>(upper[1])) && (upper.size() == 2 || std::isdigit(static_cast<unsigned char>(upper[2])))) {
        int n = std::stoi(upper.substr(1));
        if (n >= 1 && n <= 16) return "{F" + std::to_string(n) + "}";
    }
    return std::nullopt;
}

std::string Character(char c) { return IsNotation(c) ? std::string("{") + c + "}" : std::string(1, c); }

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    std::optional<std::vector<std::string>> Read() {
        if (!Group(0, "") || m_at != m_text.size()) return std::nullopt;
        return m_keys;
    }

private:
    // Reads keys up to the end of the text, or up to ")" inside a group.
    bool Group(int depth, const std::string& held) {
        while (m_at < m_text.size() && m_text[m_at] != ')') {
            if (!Item(depth, held)) return false;
        }
        return depth == 0 || m_at < m_text.size();
    }

    // One key or parenthesised group, with the modifiers written before it.
    bool Item(int depth, const std::string& held) {
        bool shift = false, ctrl = false, alt = false;
        for (; m_at < m_text.size(); ++m_at) {
            char c = m_text[m_at];
            if (c == '+') shift = true;
            else if (c == '^') ctrl = true;
            else if (c == '%') alt = true;
            else break;
        }
        if (m_at >= m_text.size()) return false;  // modifiers without a key
        const std::string mods = Merge(held, shift, ctrl, alt);
        const char c = m_text[m_at];
        if (c == '(') {
            if (depth + 1 >= kMaxDepth) return false;
            ++m_at;
            if (!Group(depth + 1, mods)) return false;
            ++m_at;  // the closing ")"
            return true;
        }
        if (c == '{') return Braced(mods);
        if (c == '}' || c == ')' || c == '[' || c == ']') return false;
        ++m_at;
        m_keys.push_back(mods + (c == '~' ? std::string("{ENTER}") : Character(c)));
        return true;
    }

    // "{NAME}", "{NAME n}", "{c}" (a character, notation characters included).
    bool Braced(const std::string& mods) {
        size_t close = m_text.find('}', m_at + 2);  // "{}}" types "}"
        if (close == std::string::npos) return false;
        std::string inside = m_text.substr(m_at + 1, close - m_at - 1);
        m_at = close + 1;
        int repeat = 1;
        size_t blank = inside.find(' ');
        if (blank != std::string::npos && blank > 0) {
            std::string count = inside.substr(blank + 1);
            if (count.empty() || count.size() > 3) return false;
            for (char d : count)
                if (!std::isdigit(static_cast<unsigned char>(d))) return false;
            repeat = std::stoi(count);
            if (repeat > kMaxRepeat) return false;
            inside.resize(blank);
        }
        std::string key;
        if (inside.size() == 1) {
            key = inside == "~" ? "{~}" : Character(inside[0]);
        } else if (std::optional<std::string> name = LoggedName(inside)) {
            key = *name;
        } else {
            return false;
        }
        for (int i = 0; i < repeat; ++i) m_keys.push_back(mods + key);
        return true;
    }

    static std::string Merge(const std::string& held, bool shift, bool ctrl, bool alt) {
        shift = shift || held.find('+') != std::string::npos;
        ctrl = ctrl || held.find('^') != std::string::npos;
        alt = alt || held.find('%') != std::string::npos;
        return std::string(shift ? "+" : "") + (ctrl ? "^" : "") + (alt ? "%" : "");
    }

    const std::string& m_text;
    size_t m_at = 0;
    std::vector<std::string> m_keys;
};

}  // namespace

std::optional<std::vector<std::string>> ReadKeyString(const std::string& keyString) {
    return Reader(keyString).Read();
}

bool KeySequences::Add(int id, const std::string& keyString) {
    std::optional<std::vector<std::string>> strokes = ReadKeyString(keyString);
    if (!strokes) return false;
    if (!strokes->empty()) m_sequences.push_back(Sequence{id, *strokes});
    return true;
}

bool KeySequences::EndsWith(const Sequence& sequence) const {
    const std::vector<std::string>& s = sequence.strokes;
    if (s.size() > m_recent.size()) return false;
    size_t offset = m_recent.size() - s.size();
    for (size_t i = 0; i < s.size(); ++i) {
        if (m_recent[offset + i] != s[i]) return false;
    }
    return true;
}

std::vector<int> KeySequences::Feed(const std::vector<std::string>& strokes) {
    std::vector<int> matched;
    for (const std::string& stroke : strokes) {
        m_recent.push_back(stroke);
        if (m_recent.size() > 256) m_recent.pop_front();
        const Sequence* best = nullptr;
        for (const Sequence& sequence : m_sequences) {
            if (EndsWith(sequence) && (best == nullptr || sequence.strokes.size() > best->strokes.size()))
                best = &sequence;
        }
        if (best != nullptr) {
            matched.push_back(best->id);
            m_recent.clear();
        }
    }
    return matched;
}

}  // namespace cmmsim
