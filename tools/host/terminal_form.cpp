// Modal dialogs on the terminal: the template shown as a form — the caption,
// free texts, each edit with its label and current value, each check box as
// yes/no — numbered in tab order. Interactive on a terminal (pick a number,
// type the new value, "ok" or "cancel"); otherwise, or when the caller gave
// overrides, the overrides are applied as if typed and the form is confirmed
// with OK. A closed standard input, or Escape, cancels an interactive form.
// Each field shows the registry value name that --set takes beside its label.
#include "terminal_form.h"
#include "terminal_ui.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <iterator>
#include <vector>

namespace {

using plat::ControlKind;
using plat::ControlTemplate;
using plat::DialogTemplate;

bool Editable(const ControlTemplate& c) { return c.kind == ControlKind::kEdit || c.kind == ControlKind::kCheckBox; }

int VerticalOverlap(const ControlTemplate& a, const ControlTemplate& b) {
    return std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
}

const ControlTemplate* LabelOf(const DialogTemplate& dialog, const ControlTemplate& edit) {
    const ControlTemplate* best = nullptr;
    int bestOverlap = 0;
    for (const ControlTemplate& c : dialog.controls) {
        if (c.kind != ControlKind::kStatic || c.x >= edit.x) continue;
        const int overlap = VerticalOverlap(c, edit);
        if (overlap > bestOverlap) {
            best = &c;
            bestOverlap = overlap;
        }
    }
    return best;
}

bool IsLabel(const DialogTemplate& dialog, const ControlTemplate& stat) {
    for (const ControlTemplate& c : dialog.controls)
        if (c.kind == ControlKind::kEdit && LabelOf(dialog, c) == &stat) return true;
    return false;
}

std::string Shown(const ControlTemplate& c, const std::map<int, std::string>& values) {
    auto it = values.find(c.id);
    const std::string value = it != values.end() ? it->second : std::string();
    if (c.kind == ControlKind::kCheckBox) return value == "1" ? "yes" : "no";
    return "\"" + value + "\"";
}

std::vector<const ControlTemplate*> Fields(const DialogTemplate& dialog) {
    std::vector<const ControlTemplate*> fields;
    for (const ControlTemplate& c : dialog.controls)
        if (Editable(c)) fields.push_back(&c);
    return fields;
}

using FieldNames = std::map<int, std::string>;

void PrintForm(const DialogTemplate& dialog, const std::map<int, std::string>& values, const FieldNames& names) {
    std::printf("\n[dialog] %s\n", dialog.caption.c_str());
    // Texts that label nothing are notes to the reader: they come first.
    for (const ControlTemplate& c : dialog.controls) {
        if (c.kind != ControlKind::kStatic || IsLabel(dialog, c) || c.id != -1) continue;
        std::string text = c.text;
        for (size_t at = 0; (at = text.find('\n', at)) != std::string::npos; at += 5) text.replace(at, 1, "\n    ");
        std::printf("    %s\n", text.c_str());
    }
    int number = 0;
    for (const ControlTemplate& c : dialog.controls) {
        if (!Editable(c)) continue;
        auto name = names.find(c.id);
        const std::string tag = name != names.end() ? "[" + name->second + "] " : std::string();
        std::printf("%3d) %s%s: %s\n", ++number, tag.c_str(), FormLabel(dialog, c).c_str(), Shown(c, values).c_str());
    }
    std::printf("[buttons] OK Cancel\n");
}

// Sets field to text as typed; false (with a word to the user) when a
// check box gets something that is neither yes nor no.
bool Apply(const ControlTemplate& field, const std::string& text, std::map<int, std::string>& values) {
    if (field.kind != ControlKind::kCheckBox) {
        values[field.id] = text;
        return true;
    }
    std::string state;
    if (!ParseCheckAnswer(text, state)) {
        std::printf("\"%s\" is neither yes nor no\n", text.c_str());
        return false;
    }
    values[field.id] = state;
    return true;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ReadLine(const char* prompt, std::string& line) {
    std::printf("%s", prompt);
    std::fflush(stdout);
    if (!std::getline(std::cin, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

// Escape typed (then Enter, the terminal being in lines) is the dialog's Cancel.
bool IsEscape(const std::string& line) { return line.find('\x1b') != std::string::npos; }

// One user action on the form; false once the form is answered.
bool EditOnce(const DialogTemplate& dialog, std::map<int, std::string>& values, const FieldNames& names, int& answer) {
    const std::vector<const ControlTemplate*> fields = Fields(dialog);
    std::string line;
    if (!ReadLine("field number to change, \"ok\" or \"cancel\"? ", line)) {
        answer = plat::kIdCancel;
        return false;
    }
    const std::string word = Lower(line);
    if (IsEscape(line)) {
        answer = plat::kIdCancel;
        return false;
    }
    if (word == "ok" || word == "o") {
        answer = plat::kIdOk;
        return false;
    }
    if (word == "cancel" || word == "c") {
        answer = plat::kIdCancel;
        return false;
    }
    const size_t number = word.find_first_not_of("0123456789") == std::string::npos && !word.empty() &&
                                  word.size() < 4
                              ? std::stoul(word)
                              : 0;
    if (number == 0 || number > fields.size()) {
        std::printf("no field \"%s\"\n", line.c_str());
        return true;
    }
    const ControlTemplate& field = *fields[number - 1];
    const std::string prompt = FormLabel(dialog, field) + (field.kind == ControlKind::kCheckBox ? " (yes/no)? " : "? ");
    if (!ReadLine(prompt.c_str(), line) || IsEscape(line)) {
        answer = plat::kIdCancel;
        return false;
    }
    if (Apply(field, line, values)) PrintForm(dialog, values, names);
    return true;
}

}  // namespace

std::string FormLabel(const DialogTemplate& dialog, const ControlTemplate& control) {
    if (control.kind != ControlKind::kEdit) return control.text;
    const ControlTemplate* label = LabelOf(dialog, control);
    return label != nullptr ? label->text : "control " + std::to_string(control.id);
}

bool ParseCheckAnswer(const std::string& word, std::string& state) {
    static const char* const yes[] = {"1", "y", "yes", "true", "on", "x"};
    static const char* const no[] = {"0", "n", "no", "false", "off"};
    const std::string lower = Lower(word);
    const auto in = [&](const auto& words) {
        return std::find(std::begin(words), std::end(words), lower) != std::end(words);
    };
    if (in(yes)) state = "1";
    else if (in(no)) state = "0";
    else return false;
    return true;
}

int TerminalUI::RunModal(const plat::DialogTemplate& dialog, std::map<int, std::string>& values) {
    PrintForm(dialog, values, m_fieldNames);
    int answer = plat::kIdOk;
    if (!m_formOverrides.empty() || !plat::StandardInputIsTerminal()) {
        for (const ControlTemplate* field : Fields(dialog)) {
            auto typed = m_formOverrides.find(field->id);
            if (typed == m_formOverrides.end()) continue;
            if (!Apply(*field, typed->second, values)) return plat::kIdCancel;
            std::printf("[set] %s: %s\n", FormLabel(dialog, *field).c_str(), Shown(*field, values).c_str());
        }
    } else {
        while (EditOnce(dialog, values, m_fieldNames, answer)) {
        }
    }
    std::printf("[answer] %s\n", answer == plat::kIdOk ? "OK" : "Cancel");
    std::fflush(stdout);
    return answer;
}
