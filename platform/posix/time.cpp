// Virtual time: a tick count and sleeps that run faster than real time by the
// time scale (virtual ms per real ms), so tests can exercise minute-long
// protocol waits in a fraction of a second. Changing the scale re-bases the
// clock, so the tick count never jumps backwards.
#include "platform/platform.h"
#include "posix_internal.h"

#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace plat {
namespace {

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
    posix::Clock::time_point realBase = posix::Clock::now();
    double virtualBaseMs = 0.0;

    double NowMs() {
        std::chrono::duration<double, std::milli> real = posix::Clock::now() - realBase;
        return virtualBaseMs + real.count() * scale;
    }
};

VirtualClock& TheClock() {
    static VirtualClock clock;
    return clock;
}

// Started with the process, so TickCount counts from (about) process start.
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
    clock.realBase = posix::Clock::now();
    clock.scale = virtualMsPerRealMs;
}

double TimeScale() {
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    return clock.scale;
}

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
    double realMs = static_cast<double>(ms) / TimeScale();
    auto real = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(realMs));
    return Clock::now() + real;
}

int RealMsLeft(const std::optional<Clock::time_point>& deadline) {
    if (!deadline) return -1;
    auto left = *deadline - Clock::now();
    if (left <= Clock::duration::zero()) return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return ms > 1000000 ? 1000000 : static_cast<int>(ms);
}

}  // namespace posix
}  // namespace plat
