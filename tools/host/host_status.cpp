// The status line: one lock orders every write to stdout and stderr that may
// meet it. On a terminal it is erased with spaces (no escape sequences, so a
// Windows console shows the same); elsewhere it is ended with a line break.
#include "host_status.h"

#include "platform/tools.h"

#include <chrono>
#include <mutex>

namespace hoststatus {
namespace {

using Clock = std::chrono::steady_clock;

struct State {
    std::mutex lock;
    bool terminal = plat::StandardErrorIsTerminal();
    size_t shownWidth = 0;  // a status line is on screen
    bool dialog = false;    // and it is the dialog's
    std::string activity;
    Clock::time_point since;
    long lastNoteSecond = -1;
};

State& S() {
    static State state;
    return state;
}

// With the lock held.
void ClearLocked(State& s) {
    if (s.shownWidth == 0) return;
    if (s.terminal) std::fprintf(stderr, "\r%*s\r", static_cast<int>(s.shownWidth), "");
    else std::fputc('\n', stderr);
    std::fflush(stderr);
    s.shownWidth = 0;
    s.dialog = false;
}

void DrawLocked(State& s, const std::string& text, bool dialog) {
    if (s.terminal && s.shownWidth > text.size()) ClearLocked(s);
    std::fprintf(stderr, "\r%s", text.c_str());
    std::fflush(stderr);
    s.shownWidth = text.size() + 1;
    s.dialog = dialog;
}

}  // namespace

void Print(std::FILE* out, const std::string& text) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    ClearLocked(s);
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

void ShowDialog(const std::string& text) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    DrawLocked(s, text, true);
}

void EndDialog() {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.shownWidth == 0 || !s.dialog) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    s.shownWidth = 0;
    s.dialog = false;
}

void SetActivity(const std::string& what) {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.dialog) ClearLocked(s);
    s.activity = what;
    s.since = Clock::now();
    s.lastNoteSecond = -1;
}

std::string WaitingNote() {
    State& s = S();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.activity.empty()) return std::string();
    const long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - s.since).count());
    const std::string note = s.activity + ", " + std::to_string(seconds) + " s";
    if (s.dialog || seconds < 1 || seconds == s.lastNoteSecond) return note;
    if (s.terminal) {
        DrawLocked(s, "[waiting " + std::to_string(seconds) + " s for " + s.activity +
                          "]  Ctrl-C: cancel; again: quit", false);
        s.lastNoteSecond = seconds;
    } else if (seconds == 5 || (seconds > 5 && seconds % 60 == 5)) {
        std::fprintf(stderr, "cmmhost: still waiting after %ld s for %s (Ctrl-C cancels; a second Ctrl-C ends cmmhost)\n",
                     seconds, s.activity.c_str());
        std::fflush(stderr);
        s.lastNoteSecond = seconds;
    }
    return note;
}

}  // namespace hoststatus
