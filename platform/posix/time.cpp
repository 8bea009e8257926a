// Sleeps and real deadlines of the posix half, from the virtual clock that
// both halves share (common/clock.cpp).
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <thread>

namespace plat {

double common::FirstTickMs() { return 0.0; }

// Linux timers already wake to the microsecond.
FineTimer::FineTimer() : m_held(false) {}
FineTimer::~FineTimer() = default;

void Sleep(uint32_t ms) {
    std::optional<posix::Clock::time_point> deadline = posix::DeadlineAfter(ms);
    if (!deadline) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_until(*deadline);
}

namespace posix {

std::optional<Clock::time_point> DeadlineAfter(uint32_t ms) {
    if (ms == kInfinite) return std::nullopt;
    return Clock::now() + common::RealDuration(ms);
}

}  // namespace posix
}  // namespace plat
