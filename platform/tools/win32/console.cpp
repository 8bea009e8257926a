// Whether standard input is a console, for the tools' interactive prompts,
// Ctrl-C / Ctrl-Break at the console handed to the tool's own handler, and
// Escape taken from the console's key events.
#include "win32_internal.h"
#include "platform/tools.h"

#include <io.h>
#include <stdio.h>

#include <atomic>

namespace plat {
namespace {

using InterruptHandler = void (*)();
std::atomic<InterruptHandler> g_interrupt{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free, "read on the console's own thread");

std::atomic<InterruptHandler> g_terminate{nullptr};

// The console runs this on a thread it starts in our process.
BOOL WINAPI OnConsoleControl(DWORD event) {
    const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
    const bool terminate = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (!interrupt && !terminate) return FALSE;
    InterruptHandler handler = interrupt ? g_interrupt.load() : g_terminate.load();
    if (handler == nullptr) return FALSE;  // the next handler: the default ends us
    handler();
    return TRUE;
}

std::atomic<bool> g_keysOn{false};

}  // namespace

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

// A closed pipe makes the write fail here; there is no signal to ignore.
void IgnoreBrokenPipes() {}

bool StandardErrorIsTerminal() { return _isatty(_fileno(stderr)) != 0; }

namespace {
void InstallControlHandler() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    // A program started in a new process group (as shells and our own
    // ChildProcess start them) begins with Ctrl-C ignored; it is our Cancel.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
}
}  // namespace

void OnInterrupt(void (*handler)()) {
    g_interrupt.store(handler);
    if (handler != nullptr) InstallControlHandler();
}

void OnTerminate(void (*handler)()) {
    g_terminate.store(handler);
    if (handler != nullptr) InstallControlHandler();
}

// A console hands over key events as they come: there is nothing to switch,
// only whether they are ours to take.
void ConsoleKeys(bool on) { g_keysOn = on; }

bool TakeConsoleEscape() {
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (!g_keysOn || !::GetConsoleMode(input, &mode)) return false;
    bool escape = false;
    DWORD pending = 0;
    while (::GetNumberOfConsoleInputEvents(input, &pending) && pending > 0) {
        INPUT_RECORD events[16];
        DWORD read = 0;
        if (!::ReadConsoleInputA(input, events, 16, &read) || read == 0) break;
        for (DWORD i = 0; i < read; ++i) {
            const KEY_EVENT_RECORD& key = events[i].Event.KeyEvent;
            if (events[i].EventType == KEY_EVENT && key.bKeyDown && key.wVirtualKeyCode == VK_ESCAPE) escape = true;
        }
    }
    return escape;
}

}  // namespace plat
