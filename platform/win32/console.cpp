// Whether standard input is a console, for the tools' interactive prompts,
// and Ctrl-C / Ctrl-Break at the console handed to the tool's own handler.
#include "win32_internal.h"

#include <io.h>
#include <stdio.h>

#include <atomic>

namespace plat {
namespace {

using InterruptHandler = void (*)();
std::atomic<InterruptHandler> g_interrupt{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free, "read on the console's own thread");

// The console runs this on a thread it starts in our process.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    InterruptHandler handler = g_interrupt.load();
    if (handler == nullptr) return FALSE;  // the next handler: the default ends us
    handler();
    return TRUE;
}

}  // namespace

bool StandardInputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

// A closed pipe makes the write fail here; there is no signal to ignore.
void IgnoreBrokenPipes() {}

void OnInterrupt(void (*handler)()) {
    static std::atomic<bool> installed{false};
    g_interrupt.store(handler);
    if (handler == nullptr || installed.exchange(true)) return;
    ::SetConsoleCtrlHandler(OnConsoleControl, TRUE);
    // A program started in a new process group (as shells and our own
    // ChildProcess start them) begins with Ctrl-C ignored; it is our Cancel.
    ::SetConsoleCtrlHandler(nullptr, FALSE);
}

}  // namespace plat
