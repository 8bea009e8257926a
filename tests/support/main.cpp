// The shared main of every test binary: runs a helper mode when asked to,
// otherwise the tests under a watchdog that aborts the process, naming the
// test, when one test runs longer than CMM_TEST_WATCHDOG seconds (default 30).
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace {

int WatchdogSeconds() {
    const char* text = std::getenv("CMM_TEST_WATCHDOG");
    int seconds = text != nullptr ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : testsupport::kDefaultWatchdogSeconds;
}

class Watchdog : public testing::EmptyTestEventListener {
public:
    explicit Watchdog(int seconds) : m_limit(seconds), m_thread([this] { Watch(); }) {}

    ~Watchdog() override {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void OnTestStart(const testing::TestInfo& test) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_current = std::string(test.test_suite_name()) + "." + test.name();
        m_deadline = std::chrono::steady_clock::now() + m_limit;
        m_running = true;
        m_changed.notify_all();
    }

    void OnTestEnd(const testing::TestInfo&) override {
        std::lock_guard<std::mutex> guard(m_lock);
        m_running = false;
        m_changed.notify_all();
    }

private:
    void Watch() {
        std::unique_lock<std::mutex> guard(m_lock);
        while (!m_stopping) {
            if (!m_running) {
                m_changed.wait(guard);
                continue;
            }
            auto deadline = m_deadline;
            if (m_changed.wait_until(guard, deadline) == std::cv_status::timeout && m_running &&
                m_deadline == deadline) {
                std::fprintf(stderr, "\nWATCHDOG: test %s still running after %lld s; aborting\n",
                             m_current.c_str(), static_cast<long long>(m_limit.count()));
                std::fflush(stderr);
                std::abort();
            }
        }
    }

    std::chrono::seconds m_limit;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_current;
    std::chrono::steady_clock::time_point m_deadline{};
    bool m_running = false;
    bool m_stopping = false;
    std::thread m_thread;  // last: starts once the state above exists
};

}  // namespace

int main(int argc, char** argv) {
    testsupport::SetSelfPath(argv[0]);
    int exitCode = 0;
    if (testsupport::RunChildMode(argc, argv, exitCode)) return exitCode;
    testing::InitGoogleTest(&argc, argv);
    auto* watchdog = new Watchdog(WatchdogSeconds());
    testing::UnitTest::GetInstance()->listeners().Append(watchdog);
    int result = RUN_ALL_TESTS();
    delete testing::UnitTest::GetInstance()->listeners().Release(watchdog);
    return result;
}
