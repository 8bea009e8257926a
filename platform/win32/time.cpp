// Time on Windows: sleeps and real-time deadlines from the virtual clock that
// both halves share (common/clock.cpp), whose tick count starts where
// GetTickCount stands.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <cmath>
#include <timeapi.h>

namespace plat {

double common::FirstTickMs() { return static_cast<double>(::GetTickCount64()); }

namespace win32 {

DWORD RealMs(uint32_t virtualMs) {
    if (virtualMs == kInfinite) return INFINITE;
    double real = std::ceil(static_cast<double>(virtualMs) / TimeScale());
    return real >= static_cast<double>(INFINITE - 1) ? INFINITE - 1 : static_cast<DWORD>(real);
}

// On the performance counter, not GetTickCount64: that one moves in whole
// scheduler ticks (15.6 ms), so a 10 ms look found its deadline not yet
// passed after 10 ms and waited another 10.
Deadline::Deadline(uint32_t virtualMs)
    : m_infinite(virtualMs == kInfinite),
      m_end(std::chrono::steady_clock::now() + std::chrono::milliseconds(RealMs(virtualMs))) {}

DWORD MsUntil(std::chrono::steady_clock::time_point until) {
    if (until == std::chrono::steady_clock::time_point::max()) return INFINITE;
    const auto left = until - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
}

DWORD Deadline::Left() const { return m_infinite ? INFINITE : MsUntil(m_end); }

}  // namespace win32

FineTimer::FineTimer() : m_held(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

FineTimer::~FineTimer() {
    if (m_held) ::timeEndPeriod(1);
}

void Sleep(uint32_t ms) {
    if (ms == kInfinite) {
        ::Sleep(INFINITE);
        return;
    }
    // Until the virtual clock has moved on by ms: ::Sleep may wake a little early.
    const double until = static_cast<double>(TickCount()) + ms;
    for (double now = TickCount(); now < until; now = TickCount()) ::Sleep(win32::RealMs(static_cast<uint32_t>(until - now)));
}

}  // namespace plat
