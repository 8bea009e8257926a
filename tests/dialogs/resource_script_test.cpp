// Keeps dialogs/Mitutoyo.rc and the portable templates in step: a small
// reader for the resource statements the script uses turns it into
// templates, which must equal PluginDialogTemplates() control by control.
// It also holds the script to the window styles the dialogs need.
#include "dialogs/templates.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

namespace {

const std::string kSourceDir = std::string(CMM_GOLDEN_DIR) + "/../../dialogs/";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Token {
    enum Kind { kWord, kString, kNumber, kPunct } kind;
    std::string text;
};

// Splits one statement into words, numbers, strings ("" and \n unescaped)
// and the punctuation , and |.
std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> tokens;
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '"') {
            std::string text;
            for (++i;; ++i) {
                if (i >= line.size()) throw std::runtime_error("unterminated string: " + line);
                if (line[i] == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                    text += '"';
                    ++i;
                } else if (line[i] == '"') {
                    ++i;
                    break;
                } else if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 'n') {
                    text += '\n';
                    ++i;
                } else {
                    text += line[i];
                }
            }
            tokens.push_back({Token::kString, text});
        } else if (c == ',' || c == '|') {
            tokens.push_back({Token::kPunct, std::string(1, c)});
            ++i;
        } else {
            size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])) &&
                   line[end] != ',' && line[end] != '|' && line[end] != '"')
                ++end;
            const std::string word = line.substr(i, end - i);
            const bool number = std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-';
            tokens.push_back({number ? Token::kNumber : Token::kWord, word});
            i = end;
        }
    }
    return tokens;
}

std::map<std::string, int> ReadDefines(const std::string& header) {
    std::map<std::string, int> defines{{"IDOK", 1}, {"IDCANCEL", 2}};
    std::istringstream lines(header);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (!(words >> directive >> name >> value) || directive != "#define") continue;
        std::string digits;
        for (char c : value)
            if (c != '(' && c != ')') digits += c;
        defines[name] = std::stoi(digits);
    }
    return defines;
}

struct ScriptControl {
    plat::ControlTemplate control;
    std::set<std::string> styles;
};
struct ScriptDialog {
    plat::DialogTemplate dialog;
    std::set<std::string> styles;
    std::vector<ScriptControl> controls;
};
struct Script {
    std::string language;
    std::vector<ScriptDialog> dialogs;
};

// Reads the arguments of a statement: a comma-separated list whose items are
// a string, a number, a symbol, or flags joined by |.
class Arguments {
public:
    Arguments(const std::vector<Token>& tokens, size_t first, std::map<std::string, int> const& defines)
        : m_defines(defines) {
        std::vector<Token> item;
        for (size_t i = first; i < tokens.size(); ++i) {
            if (tokens[i].kind == Token::kPunct && tokens[i].text == ",") {
                m_items.push_back(item);
                item.clear();
            } else if (!(tokens[i].kind == Token::kPunct && tokens[i].text == "|")) {
                item.push_back(tokens[i]);
            }
        }
        m_items.push_back(item);
    }
    size_t Count() const { return m_items.size(); }
    std::string Text(size_t i) const { return Single(i, Token::kString).text; }
    int Number(size_t i) const {
        const Token& token = Single(i, Token::kNumber);
        return std::stoi(token.text, nullptr, 0);
    }
    int Id(size_t i) const {
        const Token& token = m_items.at(i).at(0);
        if (token.kind == Token::kNumber) return Number(i);
        auto it = m_defines.find(token.text);
        if (it == m_defines.end()) throw std::runtime_error("unknown identifier " + token.text);
        return it->second;
    }
    std::set<std::string> Flags(size_t i) const {
        std::set<std::string> flags;
        if (i < m_items.size())
            for (const Token& token : m_items[i]) flags.insert(token.text);
        return flags;
    }

private:
    const Token& Single(size_t i, Token::Kind kind) const {
        const auto& item = m_items.at(i);
        if (item.size() != 1 || item[0].kind != kind)
            throw std::runtime_error("unexpected argument " + std::to_string(i));
        return item[0];
    }
    const std::map<std::string, int>& m_defines;
    std::vector<std::vector<Token>> m_items;
};

ScriptControl ReadControl(const std::string& statement, const Arguments& args) {
    using plat::ControlKind;
    ScriptControl c{};
    auto place = [&](size_t first) {
        c.control.x = args.Number(first);
        c.control.y = args.Number(first + 1);
        c.control.width = args.Number(first + 2);
        c.control.height = args.Number(first + 3);
    };
    if (statement == "EDITTEXT") {
        c.control.kind = ControlKind::kEdit;
        c.control.id = args.Id(0);
        place(1);
        c.styles = args.Flags(5);
        return c;
    }
    if (statement == "CONTROL") {
        c.control.text = args.Text(0);
        c.control.id = args.Id(1);
        const std::string windowClass = args.Text(2);
        c.styles = args.Flags(3);
        place(4);
        if (windowClass == "Button" && c.styles.count("BS_AUTOCHECKBOX"))
            c.control.kind = ControlKind::kCheckBox;
        else if (windowClass == "Static")
            c.control.kind = ControlKind::kStatic;
        else
            throw std::runtime_error("control of unknown kind: " + c.control.text);
        return c;
    }
    static const std::map<std::string, ControlKind> kinds{{"DEFPUSHBUTTON", ControlKind::kDefPushButton},
                                                          {"PUSHBUTTON", ControlKind::kPushButton},
                                                          {"LTEXT", ControlKind::kStatic},
                                                          {"AUTOCHECKBOX", ControlKind::kCheckBox}};
    auto kind = kinds.find(statement);
    if (kind == kinds.end()) throw std::runtime_error("unknown statement " + statement);
    c.control.kind = kind->second;
    c.control.text = args.Text(0);
    c.control.id = args.Id(1);
    place(2);
    c.styles = args.Flags(6);
    return c;
}

std::string StripComment(const std::string& line) {
    bool quoted = false;
    for (size_t i = 0; i + 1 < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (!quoted && line[i] == '/' && line[i + 1] == '/') return line.substr(0, i);
    }
    return line;
}

Script ReadScript(const std::string& rc, const std::map<std::string, int>& defines) {
    Script script;
    bool inBody = false;
    std::istringstream lines(rc);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        line = StripComment(line);
        if (line.empty() || line[0] == '#') continue;
        const std::vector<Token> tokens = Tokenize(line);
        if (tokens.empty()) continue;
        const std::string& head = tokens[0].text;
        if (head == "LANGUAGE") {
            script.language = line.substr(line.find("LANGUAGE") + 9);
        } else if (tokens.size() > 1 && tokens[1].text == "DIALOGEX") {
            ScriptDialog d{};
            const Arguments args(tokens, 2, defines);
            d.dialog.id = defines.at(head);
            d.dialog.width = args.Number(2);
            d.dialog.height = args.Number(3);
            script.dialogs.push_back(d);
        } else if (head == "STYLE") {
            script.dialogs.back().styles = Arguments(tokens, 1, defines).Flags(0);
        } else if (head == "CAPTION") {
            script.dialogs.back().dialog.caption = Arguments(tokens, 1, defines).Text(0);
        } else if (head == "FONT") {
            const Arguments args(tokens, 1, defines);
            script.dialogs.back().dialog.pointSize = args.Number(0);
            script.dialogs.back().dialog.font = args.Text(1);
        } else if (head == "BEGIN") {
            inBody = true;
        } else if (head == "END") {
            inBody = false;
        } else if (inBody) {
            script.dialogs.back().controls.push_back(ReadControl(head, Arguments(tokens, 1, defines)));
        } else {
            throw std::runtime_error("unexpected line: " + line);
        }
    }
    return script;
}

Script LoadScript() {
    return ReadScript(ReadText(kSourceDir + "Mitutoyo.rc"), ReadDefines(ReadText(kSourceDir + "resource.h")));
}

const char* KindName(plat::ControlKind kind) {
    switch (kind) {
        case plat::ControlKind::kDefPushButton: return "default push button";
        case plat::ControlKind::kPushButton: return "push button";
        case plat::ControlKind::kEdit: return "edit";
        case plat::ControlKind::kStatic: return "static";
        case plat::ControlKind::kCheckBox: return "check box";
    }
    return "?";
}

std::string Describe(const plat::ControlTemplate& c) {
    std::ostringstream out;
    out << c.id << " " << KindName(c.kind) << " \"" << c.text << "\" at " << c.x << "," << c.y << " size "
        << c.width << "x" << c.height;
    return out.str();
}

TEST(ResourceScript, EveryTemplateMatchesThePortableDescription) {
    const Script script = LoadScript();
    const auto& portable = PluginDialogTemplates();
    ASSERT_EQ(script.dialogs.size(), portable.size());
    for (size_t d = 0; d < portable.size(); ++d) {
        const plat::DialogTemplate& expected = portable[d];
        const plat::DialogTemplate& actual = script.dialogs[d].dialog;
        SCOPED_TRACE("template " + std::to_string(expected.id));
        EXPECT_EQ(actual.id, expected.id);
        EXPECT_EQ(actual.caption, expected.caption);
        EXPECT_EQ(actual.width, expected.width);
        EXPECT_EQ(actual.height, expected.height);
        EXPECT_EQ(actual.font, expected.font);
        EXPECT_EQ(actual.pointSize, expected.pointSize);
        ASSERT_EQ(script.dialogs[d].controls.size(), expected.controls.size());
        for (size_t c = 0; c < expected.controls.size(); ++c)
            EXPECT_EQ(Describe(script.dialogs[d].controls[c].control), Describe(expected.controls[c]))
                << "control #" << c + 1;
    }
}

TEST(ResourceScript, StylesAreThoseTheDialogsNeed) {
    const Script script = LoadScript();
    EXPECT_EQ(script.language, "LANG_ENGLISH, SUBLANG_ENGLISH_US");
    const std::set<std::string> dialogStyle{"DS_SETFONT", "DS_MODALFRAME", "DS_FIXEDSYS",
                                            "WS_POPUP",   "WS_CAPTION",    "WS_SYSMENU"};
    for (const ScriptDialog& d : script.dialogs) {
        SCOPED_TRACE("template " + std::to_string(d.dialog.id));
        // Not WS_VISIBLE: the command window stays hidden until shown.
        EXPECT_EQ(d.styles, dialogStyle);
        for (const ScriptControl& c : d.controls) {
            SCOPED_TRACE(Describe(c.control));
            switch (c.control.kind) {
                case plat::ControlKind::kEdit:
                    EXPECT_EQ(c.styles, std::set<std::string>{"ES_AUTOHSCROLL"});
                    break;
                case plat::ControlKind::kCheckBox:
                    EXPECT_EQ(c.styles, (std::set<std::string>{"BS_AUTOCHECKBOX", "WS_TABSTOP"}));
                    break;
                default:  // the statement's own defaults: visible, tab stop or group
                    EXPECT_TRUE(c.styles.empty());
            }
        }
    }
}

TEST(ResourceScript, ReaderRejectsWhatItDoesNotKnow) {
    const std::map<std::string, int> defines{{"IDD_X", 7}};
    const std::string head = "IDD_X DIALOGEX 0, 0, 10, 10\nBEGIN\n";
    EXPECT_THROW(ReadScript(head + "    COMBOBOX 5,1,1,1,1\nEND\n", defines), std::runtime_error);
    EXPECT_THROW(ReadScript(head + "    EDITTEXT IDC_NOPE,1,1,1,1\nEND\n", defines), std::runtime_error);
    EXPECT_THROW(ReadScript(head + "    LTEXT \"open,-1,1,1,1,1\nEND\n", defines), std::runtime_error);
    const Script ok = ReadScript(head + "    LTEXT \"a \"\"b\"\"\\nc\",-1,1,2,3,4\nEND\n", defines);
    ASSERT_EQ(ok.dialogs.at(0).controls.size(), 1u);
    EXPECT_EQ(ok.dialogs[0].controls[0].control.text, "a \"b\"\nc");
}

}  // namespace
