// The interrupt and terminate handlers, and the guard thread that turns a
// second Ctrl-C or a request to end into a prompt, explained exit.
#include "host_signal.h"
#include "host_status.h"

#include "platform/tools.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

std::atomic<int> g_ctrlC{0};    // a Ctrl-C not yet taken as a Cancel
std::atomic<int> g_presses{0};  // every Ctrl-C of the run
std::atomic<int> g_terminate{0};
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt handler needs lock-free flags");

void OnCtrlC() {
    g_ctrlC.store(1);
    g_presses.fetch_add(1);
}

void OnTerminate() { g_terminate.store(1); }

const char* HardStopReason() {
    if (g_terminate.load() != 0) return "asked to end from outside";
    if (g_presses.load() >= 2) return "a second Ctrl-C";
    return nullptr;
}

constexpr auto kPoll = std::chrono::milliseconds(50);
constexpr auto kLastWordsLimit = std::chrono::milliseconds(1500);

// Runs work on a thread of its own and waits for it at most limit: a clean-up
// stuck on the same wait as the host must not keep the process alive.
void RunBounded(std::function<void()> work, std::chrono::milliseconds limit) {
    struct Shared {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, work = std::move(work)] {
        work();
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->finished = true;
        shared->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> guard(shared->lock);
    shared->done.wait_for(guard, limit, [&] { return shared->finished; });
}

}  // namespace

void InstallCtrlCHandler() {
    plat::OnInterrupt(OnCtrlC);
    plat::OnTerminate(OnTerminate);
}
bool CtrlCPending() { return g_ctrlC.load() != 0 || g_terminate.load() != 0; }
bool TakeCtrlC() { return g_ctrlC.exchange(0) != 0; }

RunGuard::RunGuard(std::function<void(const std::string&)> lastWords) : m_lastWords(std::move(lastWords)) {
    m_thread = std::thread([this] {
        std::unique_lock<std::mutex> guard(m_lock);
        while (!m_wake.wait_for(guard, kPoll, [this] { return m_done; })) {
            if (const char* why = HardStopReason()) HardStop(why);
            hoststatus::WaitingNote();
        }
    });
}

RunGuard::~RunGuard() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_done = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

void RunGuard::HardStop(const char* why) {
    std::string waiting = hoststatus::WaitingNote();
    hoststatus::Print(stderr, std::string("cmmhost: ") + why + ": ending now" +
                                  (waiting.empty() ? std::string() : " (was waiting for " + waiting + ")") +
                                  "; exit code " + std::to_string(kHardStopExitCode) + "\n");
    if (m_lastWords) RunBounded([this, why] { m_lastWords(why); }, kLastWordsLimit);
    plat::ConsoleKeys(false);
    std::fflush(nullptr);
    std::_Exit(kHardStopExitCode);
}
