// Events with Win32 semantics (manual or auto reset, wait on one or on any of
// several with priority to the lowest index) and a recursive critical
// section. All events share one process-wide mutex and condition variable:
// waiting on several events at once then needs no per-waiter bookkeeping, and
// the few events a plug-in uses make the shared wake-ups cheap.
#include "platform/platform.h"
#include "posix_internal.h"

#include <condition_variable>
#include <mutex>

namespace plat {

struct Event::Impl {
    bool manualReset;
    bool signalled;
};

namespace {

std::mutex& EventLock() {
    static std::mutex lock;
    return lock;
}

std::condition_variable& EventChanged() {
    static std::condition_variable changed;
    return changed;
}

// With the event lock held: the lowest signalled index, consumed if it is
// auto-reset; -1 when none is signalled.
int TakeFirstSignalled(Event* const* events, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        Event::Impl* impl = events[i]->impl();
        if (!impl->signalled) continue;
        if (!impl->manualReset) impl->signalled = false;
        return static_cast<int>(i);
    }
    return -1;
}

}  // namespace

Event::Event(bool manualReset, bool initiallySet) : impl_(new Impl{manualReset, initiallySet}) {}

Event::~Event() { delete impl_; }

void Event::Set() {
    {
        std::lock_guard<std::mutex> guard(EventLock());
        impl_->signalled = true;
    }
    EventChanged().notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(EventLock());
    impl_->signalled = false;
}

bool Event::Wait(uint32_t ms) {
    Event* self = this;
    return WaitAny(&self, 1, ms) == 0;
}

int WaitAny(Event* const* events, size_t count, uint32_t ms) {
    if (events == nullptr || count == 0) return kWaitFailed;
    for (size_t i = 0; i < count; ++i) {
        if (events[i] == nullptr) return kWaitFailed;
    }
    std::optional<posix::Clock::time_point> deadline = posix::DeadlineAfter(ms);
    std::unique_lock<std::mutex> guard(EventLock());
    for (;;) {
        int index = TakeFirstSignalled(events, count);
        if (index >= 0) return index;
        if (!deadline) {
            EventChanged().wait(guard);
        } else if (EventChanged().wait_until(guard, *deadline) == std::cv_status::timeout) {
            index = TakeFirstSignalled(events, count);
            return index >= 0 ? index : kWaitTimeout;
        }
    }
}

struct CriticalSection::Impl {
    std::recursive_mutex mutex;
};

CriticalSection::CriticalSection() : impl_(new Impl) {}
CriticalSection::~CriticalSection() { delete impl_; }
void CriticalSection::Enter() { impl_->mutex.lock(); }
void CriticalSection::Leave() { impl_->mutex.unlock(); }
bool CriticalSection::TryEnter() { return impl_->mutex.try_lock(); }

}  // namespace plat
