// Synchronisation on Windows: kernel events waited on with
// WaitForMultipleObjects, critical sections and threads.
#include "win32_internal.h"

#include <process.h>

#include <vector>

namespace plat {

struct Event::Impl {
    HANDLE handle;
};

Event::Event(bool manualReset, bool initiallySet)
    : impl_(new Impl{::CreateEventA(nullptr, manualReset ? TRUE : FALSE, initiallySet ? TRUE : FALSE, nullptr)}) {}

Event::~Event() {
    if (impl_->handle != nullptr) ::CloseHandle(impl_->handle);
    delete impl_;
}

void Event::Set() { ::SetEvent(impl_->handle); }
void Event::Reset() { ::ResetEvent(impl_->handle); }

bool Event::Wait(uint32_t ms) {
    return ::WaitForSingleObject(impl_->handle, win32::RealMs(ms)) == WAIT_OBJECT_0;
}

int WaitAny(Event* const* events, size_t count, uint32_t ms) {
    if (events == nullptr || count == 0 || count > MAXIMUM_WAIT_OBJECTS) return kWaitFailed;
    std::vector<HANDLE> handles;
    for (size_t i = 0; i < count; ++i) {
        if (events[i] == nullptr || events[i]->impl()->handle == nullptr) return kWaitFailed;
        handles.push_back(events[i]->impl()->handle);
    }
    DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(count), handles.data(), FALSE, win32::RealMs(ms));
    if (result == WAIT_TIMEOUT) return kWaitTimeout;
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) return static_cast<int>(result - WAIT_OBJECT_0);
    return kWaitFailed;
}

struct CriticalSection::Impl {
    CRITICAL_SECTION section;
};

CriticalSection::CriticalSection() : impl_(new Impl) { ::InitializeCriticalSection(&impl_->section); }

CriticalSection::~CriticalSection() {
    ::DeleteCriticalSection(&impl_->section);
    delete impl_;
}

void CriticalSection::Enter() { ::EnterCriticalSection(&impl_->section); }
void CriticalSection::Leave() { ::LeaveCriticalSection(&impl_->section); }
bool CriticalSection::TryEnter() { return ::TryEnterCriticalSection(&impl_->section) != FALSE; }

struct Thread::Impl {
    HANDLE handle = nullptr;
    DWORD id = 0;
};

namespace {

unsigned __stdcall ThreadEntry(void* argument) {
    auto* body = static_cast<std::function<void()>*>(argument);
    (*body)();
    delete body;
    return 0;
}

}  // namespace

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() {
    if (impl_->handle != nullptr) ::CloseHandle(impl_->handle);
    delete impl_;
}

bool Thread::Start(std::function<void()> body) {
    if (Running() || !body) return false;
    if (impl_->handle != nullptr) ::CloseHandle(impl_->handle);
    impl_->handle = nullptr;
    auto* owned = new std::function<void()>(std::move(body));
    unsigned id = 0;
    // _beginthreadex rather than CreateThread: the body uses the C runtime.
    uintptr_t handle = ::_beginthreadex(nullptr, 0, ThreadEntry, owned, 0, &id);
    if (handle == 0) {
        delete owned;
        return false;
    }
    impl_->handle = reinterpret_cast<HANDLE>(handle);
    impl_->id = id;
    return true;
}

bool Thread::Join(uint32_t ms) {
    if (impl_->handle == nullptr) return true;
    if (impl_->id == ::GetCurrentThreadId()) return false;
    return ::WaitForSingleObject(impl_->handle, win32::RealMs(ms)) == WAIT_OBJECT_0;
}

bool Thread::Running() const {
    return impl_->handle != nullptr && ::WaitForSingleObject(impl_->handle, 0) == WAIT_TIMEOUT;
}

}  // namespace plat
