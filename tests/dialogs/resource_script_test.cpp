// Keeps dialogs/Mitutoyo.rc and the portable templates in step: every
// portable template is written out as resource statements, which must equal
// the script's own lines once its symbols are replaced by their values from
// resource.h. Styles, font and language are part of the comparison.
#include "dialogs/templates.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>

namespace {

std::vector<std::string> SourceLines(const std::string& file) {
    std::ifstream in(std::string(CMM_GOLDEN_DIR) + "/../../dialogs/" + file);
    EXPECT_TRUE(in) << "cannot read " << file;
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// The script's statements, symbols replaced by their values and the padding
// after the statement name folded to one space.
std::vector<std::string> ScriptStatements() {
    std::map<std::string, std::string> values{{"IDOK", "1"}, {"IDCANCEL", "2"}};
    for (const std::string& line : SourceLines("resource.h")) {
        std::istringstream words(line);
        std::string directive, name, value;
        if (words >> directive >> name >> value && directive == "#define")
            values[name] = value == "(-1)" ? "-1" : value;
    }
    // A quoted text is one token and stays as typed.
    static const std::regex token(R"("(?:[^"]|"")*"|[A-Za-z_]\w*)"), padding(R"(^\s*(\w+)\s+)");
    std::vector<std::string> statements;
    for (const std::string& line : SourceLines("Mitutoyo.rc")) {
        if (line.find_first_not_of(' ') == std::string::npos || line[0] == '#' || line.rfind("//", 0) == 0) continue;
        std::string out;
        size_t done = 0;
        for (auto it = std::sregex_iterator(line.begin(), line.end(), token); it != std::sregex_iterator(); ++it) {
            const std::string word = it->str();
            out += line.substr(done, it->position() - done) + (values.count(word) ? values[word] : word);
            done = it->position() + it->length();
        }
        statements.push_back(std::regex_replace(out + line.substr(done), padding, "$1 "));
    }
    return statements;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '\n' ? std::string("\\n") : c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::vector<std::string> PortableStatements() {
    std::vector<std::string> out{"LANGUAGE LANG_ENGLISH, SUBLANG_ENGLISH_US"};
    for (const plat::DialogTemplate& d : PluginDialogTemplates()) {
        out.push_back(std::to_string(d.id) + " DIALOGEX 0, 0, " + std::to_string(d.width) + ", " +
                      std::to_string(d.height));
        // Not WS_VISIBLE: the command window stays hidden until shown.
        out.push_back("STYLE DS_SETFONT | DS_MODALFRAME | DS_FIXEDSYS | WS_POPUP | WS_CAPTION | WS_SYSMENU");
        out.push_back("CAPTION " + Quoted(d.caption));
        out.push_back("FONT " + std::to_string(d.pointSize) + ", " + Quoted(d.font) + ", 400, 0, 0x1");
        out.push_back("BEGIN");
        for (const plat::ControlTemplate& c : d.controls) {
            const std::string id = std::to_string(c.id), text = Quoted(c.text) + "," + id;
            const std::string box = "," + std::to_string(c.x) + "," + std::to_string(c.y) + "," +
                                    std::to_string(c.width) + "," + std::to_string(c.height);
            switch (c.kind) {
                case plat::ControlKind::kDefPushButton: out.push_back("DEFPUSHBUTTON " + text + box); break;
                case plat::ControlKind::kPushButton: out.push_back("PUSHBUTTON " + text + box); break;
                case plat::ControlKind::kStatic: out.push_back("LTEXT " + text + box); break;
                case plat::ControlKind::kEdit: out.push_back("EDITTEXT " + id + box + ",ES_AUTOHSCROLL"); break;
                case plat::ControlKind::kCheckBox:
                    out.push_back("CONTROL " + text + ",\"Button\",BS_AUTOCHECKBOX | WS_TABSTOP" + box);
            }
        }
        out.push_back("END");
    }
    return out;
}

TEST(ResourceScript, EveryTemplateMatchesThePortableDescriptionControlByControl) {
    const std::vector<std::string> script = ScriptStatements(), portable = PortableStatements();
    for (size_t i = 0; i < std::min(script.size(), portable.size()); ++i)
        EXPECT_EQ(script[i], portable[i]) << "statement " << i + 1;
    EXPECT_EQ(script.size(), portable.size());
}

}  // namespace
