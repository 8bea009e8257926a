// Time on Windows: GetTickCount and Sleep, stretched by the same time scale
// as the posix half (default 1, i.e. real time), so the shared tests can run
// minute-long protocol waits quickly under Wine as well.
#include "win32_internal.h"

#include <cmath>
#include <cstdlib>
#include <mutex>

namespace plat {
namespace {

double ScaleFromEnvironment() {
    const char* text = std::getenv("CMM_TIME_SCALE");
    if (text == nullptr) return 1.0;
    char* end = nullptr;
    double value = std::strtod(text, &end);
    return (end != text && std::isfinite(value) && value > 0.0) ? value : 1.0;
}

// Real milliseconds from the performance counter: finer than GetTickCount,
// so short scaled sleeps add up to what the virtual clock shows.
double RealNowMs() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        ::QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

struct VirtualClock {
    std::mutex lock;
    double scale = ScaleFromEnvironment();
    double realBase = RealNowMs();
    double virtualBase = static_cast<double>(::GetTickCount64());

    double NowMs() const { return virtualBase + (RealNowMs() - realBase) * scale; }
};

VirtualClock& TheClock() {
    static VirtualClock clock;
    return clock;
}

}  // namespace

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

uint32_t TickCount() {
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    return static_cast<uint32_t>(static_cast<uint64_t>(clock.NowMs()));
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

void SetTimeScale(double virtualMsPerRealMs) {
    if (!(virtualMsPerRealMs > 0.0) || !std::isfinite(virtualMsPerRealMs)) return;
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    clock.virtualBase = clock.NowMs();
    clock.realBase = RealNowMs();
    clock.scale = virtualMsPerRealMs;
}

double TimeScale() {
    VirtualClock& clock = TheClock();
    std::lock_guard<std::mutex> guard(clock.lock);
    return clock.scale;
}

}  // namespace plat
