// The GEOPAK worker thread: while a recording runs it asks GEOPAK for the
// current point, one round trip per cycle, and hands every answer to the host
// before it asks again. Outside a recording it idles on the framework's
// events; while not connected it only sleeps.
#include "geopak/geopak_protocol.h"

namespace {

constexpr uint32_t kNotConnectedSleepMs = 1000;
constexpr uint32_t kIdleWaitMs = 100;

class LockScope {
public:
    explicit LockScope(plat::CriticalSection& lock) : m_lock(lock) { m_lock.Enter(); }
    ~LockScope() { m_lock.Leave(); }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    plat::CriticalSection& m_lock;
};

}  // namespace

void MitutoyoProtocol::GeopakWorkerThread(CMMProtocolWithThread* protocol) {
    auto* self = static_cast<MitutoyoProtocol*>(protocol);
    for (;;) {
        self->RunWorkerCycle();
        if (self->ThreadExitRequested()) ExitThread(0);
        self->AtCycleBoundary();
    }
}

void MitutoyoProtocol::RunWorkerCycle() {
    // The whole cycle, round trip included, runs under the framework's lock.
    LockScope lock(m_protocolLock);
    if (!IsConnected()) {
        plat::Sleep(kNotConnectedSleepMs);
    } else if (IsTransactionStarted()) {
        GeopakCommand command = NextPollCommand();
        if (SendGEOPAKCommand(command) && IsTransactionStarted()) ReportAnswer(command);
    } else {
        plat::Event* const events[] = {&m_interruptEvent, &m_pollEvent, &m_wakeEvent};
        plat::WaitAny(events, 3, kIdleWaitMs);
    }
}

GeopakCommand MitutoyoProtocol::NextPollCommand() {
    CMMPoint approach;
    {
        std::lock_guard<std::mutex> guard(m_approachLock);
        if (!m_approachVectorPending) return GeopakCommand(geopak_code::kPoll);
        m_approachVectorPending = 0;
        approach = m_approachVector;
    }
    // GEOPAK's window is raised for the new direction, neither moved nor resized.
    const HWND window = plat::FindWindowByTitle(m_windowName);
    if (window != plat::kNoWindow) {
        plat::SetFocus(window);
        plat::SetWindowTopmostOrder(window);
        plat::SetActiveWindow(window);
    }
    return GeopakCommand(geopak_code::kPollWithApproach, approach.x, approach.y, approach.z);
}
