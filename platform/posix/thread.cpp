// Threads on std::thread, with a bounded join in virtual milliseconds. A
// thread still running when its object dies is detached, as a Win32 thread
// outlives a closed handle; its completion flag lives in shared state so the
// late finish touches nothing freed.
#include "platform/platform.h"
#include "posix_internal.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace plat {
namespace {

struct Completion {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
};

}  // namespace

struct Thread::Impl {
    std::thread thread;
    std::shared_ptr<Completion> completion;
};

Thread::Thread() : impl_(new Impl) {}

Thread::~Thread() {
    if (impl_->thread.joinable()) {
        // A thread may drop its own object on the way out; it cannot join itself.
        if (Running() || impl_->thread.get_id() == std::this_thread::get_id()) {
            impl_->thread.detach();
        } else {
            impl_->thread.join();
        }
    }
    delete impl_;
}

bool Thread::Start(std::function<void()> body) {
    if (Running() || !body) return false;
    if (impl_->thread.joinable()) impl_->thread.join();
    auto completion = std::make_shared<Completion>();
    try {
        impl_->thread = std::thread([completion, body = std::move(body)]() {
            body();
            {
                std::lock_guard<std::mutex> guard(completion->lock);
                completion->finished = true;
            }
            completion->done.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    impl_->completion = completion;
    return true;
}

bool Thread::Join(uint32_t ms) {
    if (!impl_->thread.joinable()) return true;
    if (impl_->thread.get_id() == std::this_thread::get_id()) return false;
    std::shared_ptr<Completion> completion = impl_->completion;
    std::optional<posix::Clock::time_point> deadline = posix::DeadlineAfter(ms);
    {
        std::unique_lock<std::mutex> guard(completion->lock);
        auto finished = [&] { return completion->finished; };
        if (!deadline) {
            completion->done.wait(guard, finished);
        } else if (!completion->done.wait_until(guard, *deadline, finished)) {
            return false;
        }
    }
    impl_->thread.join();
    return true;
}

bool Thread::Running() const {
    if (!impl_->thread.joinable() || !impl_->completion) return false;
    std::lock_guard<std::mutex> guard(impl_->completion->lock);
    return !impl_->completion->finished;
}

}  // namespace plat
