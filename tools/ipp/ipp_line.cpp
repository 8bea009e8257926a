// Recursive descent over one command line (see ipp_line.h).
#include "ipp_line.h"

#include <cctype>
#include <cstdlib>

namespace ipp {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

class Reader {
public:
    explicit Reader(const std::string& text) : m_text(text) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }
    std::size_t Pos() const { return m_pos; }
    void SkipSpaces() {
        while (Peek() == ' ') ++m_pos;
    }
    bool Take(char c) {
        if (Peek() != c) return false;
        ++m_pos;
        return true;
    }

    bool BasicName(std::string& out) {
        if (!IsLetter(Peek())) return false;
        std::size_t start = m_pos;
        while (IsLetter(Peek()) || IsDigit(Peek())) ++m_pos;
        out = m_text.substr(start, m_pos - start);
        return true;
    }

    bool Name(std::string& out) {
        if (!BasicName(out)) return false;
        while (Peek() == '.') {
            std::size_t dot = m_pos++;
            std::string part;
            if (!BasicName(part)) {
                m_pos = dot;
                return false;
            }
            out += "." + part;
        }
        return true;
    }

    // [+-] digits with an optional "." (at least one digit), an optional
    // exponent of 1-3 digits, at most 16 digits in the mantissa.
    bool Number(double& out) {
        std::size_t start = m_pos;
        if (Peek() == '+' || Peek() == '-') ++m_pos;
        int digits = 0;
        bool dot = false;
        for (;; ++m_pos) {
            char c = Peek();
            if (IsDigit(c)) ++digits;
            else if (c == '.' && !dot) dot = true;
            else break;
        }
        if (digits == 0 || digits > 16) return Fail(start);
        if (Peek() == 'E' || Peek() == 'e') {
            ++m_pos;
            if (Peek() == '+' || Peek() == '-') ++m_pos;
            int exponent = 0;
            while (IsDigit(Peek())) ++m_pos, ++exponent;
            if (exponent == 0 || exponent > 3) return Fail(start);
        }
        out = std::strtod(std::string(m_text, start, m_pos - start).c_str(), nullptr);
        return true;
    }

    bool String(std::string& out) {
        std::size_t start = m_pos;
        if (!Take('"')) return false;
        std::size_t open = m_pos;
        while (!AtEnd() && Peek() != '"') ++m_pos;
        if (AtEnd() || m_pos == open) return Fail(start);
        out = m_text.substr(open, m_pos - open);
        ++m_pos;
        return true;
    }

private:
    bool Fail(std::size_t start) {
        m_pos = start;
        return false;
    }
    const std::string& m_text;
    std::size_t m_pos = 0;
};

// _ "(" _ [Number {_ "," _ Number}] _ ")"  after a property's name.
bool PropertyValues(Reader& r, std::vector<double>& values) {
    r.SkipSpaces();
    if (!r.Take('(')) return false;
    r.SkipSpaces();
    if (r.Take(')')) return true;
    for (;;) {
        double v = 0;
        if (!r.Number(v)) return false;
        values.push_back(v);
        r.SkipSpaces();
        if (r.Take(')')) return true;
        if (!r.Take(',')) return false;
        r.SkipSpaces();
    }
}

bool ParseArg(Reader& r, Arg& arg) {
    char c = r.Peek();
    if (c == '"') {
        arg.kind = Arg::Kind::kString;
        return r.String(arg.text);
    }
    if (IsDigit(c) || c == '+' || c == '-' || c == '.') {
        arg.kind = Arg::Kind::kNumber;
        return r.Number(arg.number);
    }
    if (!r.Name(arg.text)) return false;
    r.SkipSpaces();
    if (r.Peek() == '(') {
        arg.kind = Arg::Kind::kProperty;
        return PropertyValues(r, arg.values);
    }
    if (IsETag(arg.text)) {
        arg.kind = Arg::Kind::kETag;
        return true;
    }
    arg.kind = Arg::Kind::kName;
    return arg.text.find('.') == std::string::npos;
}

LineParse Failure(int error, bool tagKnown, std::size_t offset) {
    LineParse p;
    p.error = error;
    p.tagKnown = tagKnown;
    p.offset = offset;
    return p;
}

}  // namespace

bool IsTag(const std::string& t) {
    if (t.size() != 5) return false;
    for (char c : t) {
        if (!IsDigit(c)) return false;
    }
    return t != "00000";
}

bool IsETag(const std::string& t) {
    if (t.size() != 5 || t[0] != 'E') return false;
    for (std::size_t i = 1; i < 5; ++i) {
        if (!IsDigit(t[i])) return false;
    }
    return t != "E0000";
}

LineParse ParseLine(const std::string& line) {
    const std::string tag = line.substr(0, 5);
    const bool tagOk = IsTag(tag) || IsETag(tag);
    for (std::size_t i = 0; i < line.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        if (c < 32 || c > 126) return Failure(7, tagOk, i);
    }
    if (line.size() > kMaxLineLength) return Failure(8, tagOk, kMaxLineLength);
    if (!tagOk) return Failure(1, false, 0);
    if (line.size() < 6 || line[5] != ' ') return Failure(2, true, 5);

    LineParse p;
    p.tagKnown = true;
    p.command.tag = tag;
    p.command.event = tag[0] == 'E';
    const std::string method = line.substr(6);
    Reader r(method);
    // The method's name, when it was read, names the method in the error.
    auto fail = [&](int error) {
        LineParse f = Failure(error, true, 6 + r.Pos());
        f.command.tag = tag;
        f.command.method = p.command.method;
        return f;
    };
    if (!r.BasicName(p.command.method)) return fail(8);
    r.SkipSpaces();
    if (!r.Take('(')) return fail(8);
    r.SkipSpaces();
    if (!r.Take(')')) {
        for (;;) {
            Arg arg;
            if (!ParseArg(r, arg)) return fail(509);
            p.command.args.push_back(std::move(arg));
            r.SkipSpaces();
            if (r.Take(')')) break;
            if (!r.Take(',')) return fail(509);
            r.SkipSpaces();
        }
    }
    if (!r.AtEnd()) return fail(8);
    p.ok = true;
    return p;
}

}  // namespace ipp
