// Debugger output, the same on both halves: each line goes to the system's
// own channel (each half's SystemDebugOutput), then to the hook a tool or
// test installed. The hook is copied out before it runs, so it may log or
// replace itself without deadlocking.
#include "common_internal.h"

#include <mutex>

namespace plat {
namespace {

struct DebugHook {
    std::mutex lock;
    std::function<void(const std::string&)> hook;
};

DebugHook& TheHook() {
    static DebugHook hook;
    return hook;
}

}  // namespace

void DebugOutput(const std::string& text) {
    common::SystemDebugOutput(text);
    DebugHook& holder = TheHook();
    std::function<void(const std::string&)> hook;
    {
        std::lock_guard<std::mutex> guard(holder.lock);
        hook = holder.hook;
    }
    if (hook) hook(text);
}

void SetDebugOutputHook(std::function<void(const std::string&)> hook) {
    DebugHook& holder = TheHook();
    std::lock_guard<std::mutex> guard(holder.lock);
    holder.hook = std::move(hook);
}

}  // namespace plat
