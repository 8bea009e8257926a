// Whether standard input is a terminal, for the tools' interactive prompts,
// writes to a closed pipe as plain failures, and Ctrl-C (SIGINT) handed to
// the tool's own handler.
#include "platform/platform.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace plat {
namespace {

using InterruptHandler = void (*)();
std::atomic<InterruptHandler> g_interrupt{nullptr};
static_assert(std::atomic<InterruptHandler>::is_always_lock_free, "read inside a signal handler");

extern "C" void OnSigInt(int) {
    InterruptHandler handler = g_interrupt.load();
    if (handler != nullptr) handler();
}

}  // namespace

bool StandardInputIsTerminal() { return ::isatty(STDIN_FILENO) == 1; }

void IgnoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

void OnInterrupt(void (*handler)()) {
    g_interrupt.store(handler);
    struct sigaction action {};
    sigemptyset(&action.sa_mask);
    // Blocking reads and waits carry on: the tool looks at its flag when it
    // next pumps, not in the middle of a system call.
    action.sa_flags = SA_RESTART;
    action.sa_handler = handler != nullptr ? OnSigInt : SIG_DFL;
    ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace plat
