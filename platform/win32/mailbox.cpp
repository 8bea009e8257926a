// Work handed to one thread on Windows: a message-only window of that thread
// receives one posted message per piece of work, so any message loop of the
// thread runs it, in the order posted, modal loops included. The queue itself
// lives beside the window and outlives the mailbox object until the window is
// gone, so a message that arrives late finds an empty queue, never freed
// memory.
#include "win32_internal.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace plat {
namespace {

constexpr char kMailboxClass[] = "CmmThreadMailbox";

struct Queue {
    std::mutex lock;
    std::deque<std::function<void()>> work;
    bool closed = false;
};

std::function<void()> TakeOne(Queue& queue) {
    std::lock_guard<std::mutex> guard(queue.lock);
    if (queue.work.empty()) return nullptr;
    std::function<void()> next = std::move(queue.work.front());
    queue.work.pop_front();
    return next;
}

LRESULT CALLBACK MailboxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* held = reinterpret_cast<std::shared_ptr<Queue>*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == kWmMailbox && held != nullptr) {
        std::shared_ptr<Queue> queue = *held;  // the work may destroy the mailbox
        if (std::function<void()> work = TakeOne(*queue)) work();
        return 0;
    }
    if (message == WM_NCDESTROY && held != nullptr) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        delete held;
    }
    return ::DefWindowProcA(window, message, wParam, lParam);
}

void RegisterMailboxClass() {
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSA type{};
        type.lpfnWndProc = MailboxProc;
        type.hInstance = ::GetModuleHandleA(nullptr);
        type.lpszClassName = kMailboxClass;
        ::RegisterClassA(&type);
    });
}

}  // namespace

struct ThreadMailbox::Impl {
    std::shared_ptr<Queue> queue = std::make_shared<Queue>();
    HWND window = nullptr;
    DWORD owner = ::GetCurrentThreadId();
};

ThreadMailbox::ThreadMailbox() : impl_(new Impl) {
    RegisterMailboxClass();
    impl_->window = ::CreateWindowExA(0, kMailboxClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      ::GetModuleHandleA(nullptr), nullptr);
    if (impl_->window != nullptr)
        ::SetWindowLongPtrA(impl_->window, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(new std::shared_ptr<Queue>(impl_->queue)));
}

ThreadMailbox::~ThreadMailbox() {
    {
        std::lock_guard<std::mutex> guard(impl_->queue->lock);
        impl_->queue->closed = true;
        impl_->queue->work.clear();
    }
    if (impl_->window != nullptr) {
        // Only the owner may destroy the window; elsewhere it closes itself
        // when its thread next looks at its messages.
        if (::GetCurrentThreadId() == impl_->owner)
            ::DestroyWindow(impl_->window);
        else
            ::PostMessageA(impl_->window, WM_CLOSE, 0, 0);
    }
    delete impl_;
}

bool ThreadMailbox::Post(std::function<void()> work) {
    if (impl_->window == nullptr) return false;
    {
        std::lock_guard<std::mutex> guard(impl_->queue->lock);
        if (impl_->queue->closed) return false;
        impl_->queue->work.push_back(std::move(work));
    }
    if (::PostMessageA(impl_->window, kWmMailbox, 0, 0)) return true;
    // The thread's queue is full: the work is withdrawn, not left behind.
    std::lock_guard<std::mutex> guard(impl_->queue->lock);
    impl_->queue->work.pop_back();
    return false;
}

bool ThreadMailbox::OwnedByCallingThread() const { return ::GetCurrentThreadId() == impl_->owner; }

}  // namespace plat
