// Ctrl-C (and Ctrl-Break) for cmmhost, one rule inside and outside a command:
// the first Ctrl-C cancels — the command dialog's Cancel when one shows,
// otherwise the script stops before its next line — and the host's clean-up
// (stop the transaction, disconnect) still runs. A second Ctrl-C, or a request
// to end from outside (SIGTERM, SIGHUP, the console closing), ends cmmhost at
// once with kHardStopExitCode. The handlers only touch atomic flags; the
// RunGuard's thread acts on them.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

void InstallCtrlCHandler();  // Ctrl-C and the requests to end
bool CtrlCPending();
bool TakeCtrlC();  // true when a Ctrl-C was pending; clears it

constexpr int kHardStopExitCode = 6;

// While it lives, a thread that keeps the waiting note on the status line up
// to date and, on a hard stop, says why on stderr, gives lastWords (the caller's
// own clean-up) at most 1.5 s and ends the process within 2 s.
class RunGuard {
public:
    explicit RunGuard(std::function<void(const std::string& why)> lastWords = {});
    ~RunGuard();
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    [[noreturn]] void HardStop(const char* why);
    std::function<void(const std::string&)> m_lastWords;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};
