// Time on Windows: sleeps and real-time deadlines from the virtual clock that
// both halves share (common/clock.cpp), whose tick count starts where
// GetTickCount stands.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <cmath>

namespace plat {

double common::FirstTickMs() { return static_cast<double>(::GetTickCount64()); }

namespace win32 {

DWORD RealMs(uint32_t virtualMs) {
    if (virtualMs == kInfinite) return INFINITE;
    double real = std::ceil(static_cast<double>(virtualMs) / TimeScale());
    return real >= static_cast<double>(INFINITE - 1) ? INFINITE - 1 : static_cast<DWORD>(real);
}

Deadline::Deadline(uint32_t virtualMs)
    : m_infinite(virtualMs == kInfinite), m_end(::GetTickCount64() + RealMs(virtualMs)) {}

DWORD Deadline::Left() const {
    if (m_infinite) return INFINITE;
    ULONGLONG now = ::GetTickCount64();
    return now >= m_end ? 0 : static_cast<DWORD>(m_end - now);
}

}  // namespace win32

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
