// Message boxes on the terminal: the text and the buttons are printed, and
// the answer comes from the --answers policy (a fixed word, or a list used in
// order) or from a line typed on standard input. When standard input ends,
// the box is answered the way that gives up: No, Cancel, or OK.
#include "terminal_ui.h"

#include "host_status.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

namespace {

enum class Buttons { kOk, kOkCancel, kYesNo, kYesNoCancel };

Buttons ButtonsOf(unsigned style) {
    switch (style & 0x0F) {
    case plat::kMbOkCancel: return Buttons::kOkCancel;
    case plat::kMbYesNo: return Buttons::kYesNo;
    case plat::kMbYesNoCancel: return Buttons::kYesNoCancel;
    default: return Buttons::kOk;
    }
}

const char* ButtonText(Buttons b) {
    switch (b) {
    case Buttons::kOkCancel: return "[O]K [C]ancel";
    case Buttons::kYesNo: return "[Y]es [N]o";
    case Buttons::kYesNoCancel: return "[Y]es [N]o [C]ancel";
    default: return "[O]K";
    }
}

// The answer that gives up, for a closed standard input.
int GiveUp(Buttons b) {
    switch (b) {
    case Buttons::kOkCancel: return plat::kIdCancel;
    case Buttons::kYesNo: return plat::kIdNo;
    case Buttons::kYesNoCancel: return plat::kIdCancel;
    default: return plat::kIdOk;
    }
}

// y/n/o/c (or the whole word) as an answer this box offers; 0 if it offers none.
int AnswerFor(char letter, Buttons b) {
    const bool yesNo = b == Buttons::kYesNo || b == Buttons::kYesNoCancel;
    const bool cancel = b == Buttons::kOkCancel || b == Buttons::kYesNoCancel;
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'y': return yesNo ? plat::kIdYes : plat::kIdOk;
    case 'o': return yesNo ? plat::kIdYes : plat::kIdOk;
    case 'n': return yesNo ? plat::kIdNo : (cancel ? plat::kIdCancel : plat::kIdOk);
    case 'c': return cancel ? plat::kIdCancel : (yesNo ? plat::kIdNo : plat::kIdOk);
    default: return 0;
    }
}

// A typed line: a letter, Enter (the default button of an OK-only box) or
// Escape (Cancel where the box offers it; an OK-only box takes it as OK).
int AnswerForLine(const std::string& line, Buttons b) {
    if (line.find('\x1b') != std::string::npos) {
        if (b == Buttons::kOkCancel || b == Buttons::kYesNoCancel) return plat::kIdCancel;
        return b == Buttons::kOk ? plat::kIdOk : 0;
    }
    if (line.empty() || line == "\r") return b == Buttons::kOk ? plat::kIdOk : 0;
    return AnswerFor(line[0], b);
}

const char* AnswerName(int answer) {
    switch (answer) {
    case plat::kIdYes: return "Yes";
    case plat::kIdNo: return "No";
    case plat::kIdCancel: return "Cancel";
    default: return "OK";
    }
}

}  // namespace

std::mutex& TerminalUI::InputLock() {
    static std::mutex lock;
    return lock;
}

TerminalUI::TerminalUI(std::string policy) : m_policy(std::move(policy)) {
    if (m_policy.find(',') != std::string::npos) {
        std::stringstream list(m_policy);
        std::string word;
        while (std::getline(list, word, ',')) {
            if (!word.empty()) m_scripted.push_back(word);
        }
        m_policy = "ask";
    }
}

bool TerminalUI::Interactive() const { return m_policy == "ask"; }

int TerminalUI::MessageBox(const std::string& text, unsigned style) {
    const Buttons buttons = ButtonsOf(style);
    std::lock_guard<std::mutex> guard(InputLock());
    // A box asked while the status line takes single keys is answered in lines.
    if (m_consoleKeys) plat::ConsoleKeys(false);
    // Human text goes to standard error: standard output is for programs.
    hoststatus::Print(stderr, "\n[message] " + text + "\n[buttons] " + ButtonText(buttons) + "\n");

    std::string word;
    if (!m_scripted.empty()) {
        word = m_scripted.front();
        m_scripted.erase(m_scripted.begin());
    } else if (m_policy != "ask") {
        word = m_policy;
    }
    int answer = word.empty() ? 0 : AnswerFor(word[0], buttons);
    for (int tries = 0; answer == 0 && tries < 5; ++tries) {
        hoststatus::Print(stderr, "answer? ");
        std::string line;
        if (!std::getline(std::cin, line)) {
            answer = GiveUp(buttons);
            break;
        }
        answer = AnswerForLine(line, buttons);
    }
    if (answer == 0) answer = GiveUp(buttons);
    hoststatus::Print(stderr, std::string("[answer] ") + AnswerName(answer) + "\n");
    if (m_consoleKeys) plat::ConsoleKeys(true);
    return answer;
}
