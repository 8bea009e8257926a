// Pid records, windows, shutdown flag and wait slices (see runtime.h).
#include "runtime.h"

#include "state.h"
#include "platform/tools.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace cmmsim {

uint32_t SliceMs() {
    double ms = 25.0 * std::max(plat::TimeScale(), 0.001);
    return static_cast<uint32_t>(std::clamp(ms, 1.0, 600000.0));
}

void SleepRealMs(unsigned ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

namespace {

// The process whose end ends this world (CMM_SIM_OWNER: a test, the demo),
// so that a world whose owner was killed before its shutdown does not live on.
bool OwnerEnded() {
    static const unsigned long owner = [] {
        const char* text = std::getenv("CMM_SIM_OWNER");
        return text != nullptr ? std::strtoul(text, nullptr, 10) : 0UL;
    }();
    return owner != 0 && !plat::IsProcessRunning(owner);
}

}  // namespace

bool ShutdownRequested() { return plat::PathExists(kShutdownFlag) || OwnerEnded(); }

std::string PidRecord::PathOf(unsigned long pid) { return std::string(kPidFolder) + std::to_string(pid); }

PidRecord::PidRecord(const std::string& role) : m_path(PathOf(plat::CurrentProcessId())) {
    plat::MakeDirectory(kPidFolder);
    plat::File file;
    if (file.Open(m_path, plat::kFileWrite | plat::kFileCreate)) {
        file.Write(role + "\n");
        file.Close();
    }
}

PidRecord::~PidRecord() { plat::RemoveFile(m_path); }

SimWindow::SimWindow(const std::string& windowClass, const std::string& title)
    : m_window(plat::CreateTopLevelWindow(windowClass, title)) {}

SimWindow::~SimWindow() { Close(); }

void SimWindow::Close() {
    if (m_window != plat::kNoWindow) plat::DestroyTopLevelWindow(m_window);
    m_window = plat::kNoWindow;
}

bool SimWindow::Alive() const {
    return m_window != plat::kNoWindow && plat::IsWindow(m_window) && !ShutdownRequested();
}

std::vector<std::string> SimWindow::Keys(uint32_t ms) const {
    if (m_window == plat::kNoWindow) return {};
    return plat::TakeKeyStrokes(m_window, ms);
}

WaitEnd WaitWhileServing(const SimWindow& window, const std::string& commandPath, uint32_t ms,
                         const std::function<bool()>& ready,
                         const std::function<bool()>& stillWanted) {
    const uint32_t start = plat::TickCount();
    for (;;) {
        if (!stillWanted()) return WaitEnd::kDropped;
        if (!window.Alive()) return WaitEnd::kClosed;
        if (plat::PathExists(commandPath)) return WaitEnd::kNewCommand;
        if (ready()) return WaitEnd::kReady;
        uint32_t slice = SliceMs();
        if (ms != plat::kInfinite) {
            uint32_t spent = plat::TickCount() - start;
            if (spent >= ms) return WaitEnd::kElapsed;
            slice = std::min(slice, ms - spent);
        }
        plat::WaitForPath(commandPath, slice);
    }
}

void Crash(SimWindow& window, const std::string& role) {
    window.Close();
    plat::RemoveFile(PidRecord::PathOf(plat::CurrentProcessId()));
    plat::DebugOutput("cmmsim " + role + ": crashing as asked\n");
    std::_Exit(3);
}

}  // namespace cmmsim
