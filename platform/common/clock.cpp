// Virtual time, the same on both halves: a tick count that runs faster than
// real time by the time scale (virtual ms per real ms), so tests can exercise
// minute-long protocol waits in a fraction of a second. Changing the scale
// re-bases the clock, so the tick count never jumps backwards.
#include "common_internal.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace plat {
namespace {

using RealClock = std::chrono::steady_clock;

double ScaleFromEnvironment() {
    const char* text = std::getenv("CMM_TIME_SCALE");
    if (text == nullptr) return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return (end != text && std::isfinite(value) && value > 0.0) ? value : 1.0;
}

struct VirtualClock {
    std::mutex lock;
    double scale = ScaleFromEnvironment();
    RealClock::time_point realBase = RealClock::now();
    double virtualBaseMs = common::FirstTickMs();

    double NowMs() const {
        std::chrono::duration<double, std::milli> real = RealClock::now() - realBase;
        return virtualBaseMs + real.count() * scale;
    }
};

VirtualClock& TheClock() {
    static VirtualClock clock;
    return clock;
}

// Started with the process, so the tick count starts where FirstTickMs says.
[[maybe_unused]] const bool kClockStarted = (TheClock(), true);

}  // namespace

uint32_t TickCount() {
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    return static_cast<uint32_t>(static_cast<uint64_t>(clock.NowMs()));
}

void SetTimeScale(double virtualMsPerRealMs) {
    if (!(virtualMsPerRealMs > 0.0) || !std::isfinite(virtualMsPerRealMs)) return;
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    clock.virtualBaseMs = clock.NowMs();
    clock.realBase = RealClock::now();
    clock.scale = virtualMsPerRealMs;
}

double TimeScale() {
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    return clock.scale;
}

}  // namespace plat
