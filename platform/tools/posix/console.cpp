// Whether standard input is a terminal, for the tools' interactive prompts,
// writes to a closed pipe as plain failures, Ctrl-C (SIGINT) handed to the
// tool's own handler, and the terminal switched to single keys for a while.
#include "platform/tools.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <termios.h>
#include <unistd.h>

namespace plat {
namespace {

using InterruptHandler = void (*)();
std::atomic<InterruptHandler> g_interrupt{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free, "read inside a signal handler");

std::atomic<InterruptHandler> g_terminate{nullptr};

extern "C" void OnSigInt(int) {
    InterruptHandler handler = g_interrupt.load();
    if (handler != nullptr) handler();
}

extern "C" void OnSigTerm(int) {
    InterruptHandler handler = g_terminate.load();
    if (handler != nullptr) handler();
}

void Route(int signal, void (*to)(int), bool on) {
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    // Blocking reads and waits carry on: the tool looks at its flag when it
    // next pumps, not in the middle of a system call.
    action.sa_flags = SA_RESTART;
    action.sa_handler = on ? to : SIG_DFL;
    ::sigaction(signal, &action, nullptr);
}

// The terminal's settings from before ConsoleKeys(true), put back after.
std::mutex g_keysLock;
bool g_keysOn = false;
termios g_savedTerminal{};

void RestoreTerminalAtExit() { ConsoleKeys(false); }

// A tool run in the background must not touch the terminal: reading would
// stop it (SIGTTIN) until brought to the front.
bool InForeground() { return ::tcgetpgrp(STDIN_FILENO) == ::getpgrp(); }

// Changing the terminal from the background would stop the tool as well
// (SIGTTOU); with the signal blocked the change just happens.
bool SetTerminal(const termios& settings) {
    sigset_t ttou, before;
    sigemptyset(&ttou);
    sigaddset(&ttou, SIGTTOU);
    ::pthread_sigmask(SIG_BLOCK, &ttou, &before);
    const bool set = ::tcsetattr(STDIN_FILENO, TCSANOW, &settings) == 0;
    ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return set;
}

}  // namespace

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void OnInterrupt(void (*handler)()) {
    g_interrupt.store(handler);
    Route(SIGINT, OnSigInt, handler != nullptr);
}

void OnTerminate(void (*handler)()) {
    g_terminate.store(handler);
    Route(SIGTERM, OnSigTerm, handler != nullptr);
    Route(SIGHUP, OnSigTerm, handler != nullptr);
}

void ConsoleKeys(bool on) {
    std::lock_guard<std::mutex> guard(g_keysLock);
    if (on == g_keysOn) return;
    if (!on) {
        SetTerminal(g_savedTerminal);
        g_keysOn = false;
        return;
    }
    if (::isatty(STDIN_FILENO) != 1 || !InForeground() || ::tcgetattr(STDIN_FILENO, &g_savedTerminal) != 0) return;
    termios keys = g_savedTerminal;
    keys.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    keys.c_cc[VMIN] = 0;  // a read returns at once, with what was typed
    keys.c_cc[VTIME] = 0;
    if (!SetTerminal(keys)) return;
    g_keysOn = true;
    // A tool that ends while the keys are on must not leave the shell without echo.
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit(RestoreTerminalAtExit); });
}

bool TakeConsoleEscape() {
    std::lock_guard<std::mutex> guard(g_keysLock);
    if (!g_keysOn || !InForeground()) return false;
    bool escape = false;
    char typed[64];
    ssize_t n;
    while ((n = ::read(STDIN_FILENO, typed, sizeof typed)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (typed[i] != '\x1b') continue;
            // Arrow and function keys arrive as Escape with "[" or "O" behind it, all at once.
            const bool sequence = i + 1 < n && (typed[i + 1] == '[' || typed[i + 1] == 'O');
            escape = escape || !sequence;
        }
    }
    return escape;
}

}  // namespace plat
