// What every long-running simulator process shares: its pid record in
// "C:\CMMSIM\PIDS\" (so that shutdown can find it), its window on the
// desktop, the shutdown flag, and the wait slice that bounds every wait so a
// process notices shutdown or a closed window within a few real milliseconds.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <string>
#include <vector>

namespace cmmsim {

// Virtual milliseconds that make about 25 real milliseconds at the current
// time scale: long enough not to spin, short enough to notice a shutdown.
uint32_t SliceMs();
// Sleeps for a real time, whatever the time scale (lock and claim retries).
void SleepRealMs(unsigned ms);

// Shutdown was asked for, or the process named by CMM_SIM_OWNER has ended.
bool ShutdownRequested();

// Records this process (pid and role) for its lifetime.
class PidRecord {
public:
    explicit PidRecord(const std::string& role);
    ~PidRecord();
    PidRecord(const PidRecord&) = delete;
    PidRecord& operator=(const PidRecord&) = delete;
    static std::string PathOf(unsigned long pid);

private:
    std::string m_path;
};

// A top-level window of the simulated program, closed on destruction.
class SimWindow {
public:
    SimWindow(const std::string& windowClass, const std::string& title);
    ~SimWindow();
    SimWindow(const SimWindow&) = delete;
    SimWindow& operator=(const SimWindow&) = delete;
    plat::WindowHandle Handle() const { return m_window; }
    // The window still stands and no shutdown was asked for.
    bool Alive() const;
    // Keystrokes that reached the window, waiting up to ms for the first.
    std::vector<std::string> Keys(uint32_t ms) const;
    void Close();

private:
    plat::WindowHandle m_window;
};

enum class WaitEnd { kReady, kElapsed, kDropped, kNewCommand, kClosed };
// The wait of a macro that holds a command: up to ms (kInfinite: no limit)
// until ready() holds. Between looks, stillWanted() handles the keys that
// came in and tells whether the command still stands; a new command file
// or a closed window ends the wait as well. Wakes when the command file
// appears, else once a slice.
WaitEnd WaitWhileServing(const SimWindow& window, const std::string& commandPath, uint32_t ms,
                         const std::function<bool()>& ready,
                         const std::function<bool()>& stillWanted);

// Ends the process at once, as a crash would: the window goes with it, the
// pid record is removed so shutdown has nothing left to do.
[[noreturn]] void Crash(SimWindow& window, const std::string& role);

}  // namespace cmmsim
