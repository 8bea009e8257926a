// The host side of the framework: notifications reach the host only on its
// own thread, from its message loop, in the order sent and with every pair
// whole; the wait loop offered to protocols goes by the host application and
// passes a quit on; a suspended worker pauses between cycles even while it
// waits for an answer; deleting a protocol ends its worker before any member
// goes.
#include "framework/host_app.h"
#include "framework/protocol.h"
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr auto kBound = std::chrono::seconds(10);

// Reports pairs (TYPE 2, then TYPE 1 of the same point) from whichever
// thread calls Report; x carries the source, y the sequence number.
class Reporter : public CMMProtocolWithThread {
public:
    void Report(double source, double sequence) {
        PointReport report(*this);
        m_position = {source, sequence, 0};
        m_secondPoint = {source, sequence, -1};
        SendMessageToClient(2);
        m_reportedPoint = m_position;
        SendMessageToClient(1);
    }
};

TEST(HostThread, NotificationsArriveOnTheHostThreadInOrderWithPairsWhole) {
    Reporter protocol;
    std::vector<ClientMessage> seen;
    std::vector<std::thread::id> threads;
    protocol.SetClient([&](const ClientMessage& m) {
        seen.push_back(m);
        threads.push_back(std::this_thread::get_id());
    });
    constexpr int kEach = 200;
    std::thread worker([&] {
        for (int n = 0; n < kEach; ++n) protocol.Report(1, n);
    });
    for (int n = 0; n < kEach; ++n) protocol.Report(2, n);
    worker.join();
    EXPECT_TRUE(seen.empty()) << "nothing reaches the host before it pumps";
    plat::PumpMessages();

    ASSERT_EQ(seen.size(), 4u * kEach);
    for (const std::thread::id& id : threads) ASSERT_EQ(id, std::this_thread::get_id());
    double next[3] = {0, 0, 0};
    for (size_t i = 0; i + 1 < seen.size(); i += 2) {
        const ClientMessage &two = seen[i], &one = seen[i + 1];
        ASSERT_EQ(std::pair(two.type, one.type), std::pair(2, 1)) << "at " << i;
        // Same source and sequence: nothing came between a pair, nor tore it.
        ASSERT_EQ(two.position.x, one.reportedPoint.x) << "at " << i;
        ASSERT_EQ(two.position.y, one.reportedPoint.y) << "at " << i;
        ASSERT_EQ(two.secondPoint.y, two.position.y) << "at " << i;
        const int source = static_cast<int>(two.position.x);
        EXPECT_EQ(two.position.y, next[source]++) << "source " << source << " out of order";
    }
}

TEST(HostThread, DeletedProtocolDropsWhatItQueuedAndAClearedClientGetsNothing) {
    int delivered = 0;
    auto protocol = std::make_unique<Reporter>();
    protocol->SetClient([&](const ClientMessage&) { ++delivered; });
    protocol->Report(1, 0);
    protocol.reset();
    Reporter other;
    other.SetClient([&](const ClientMessage&) { ++delivered; });
    other.Report(1, 0);
    other.SetClient(nullptr);
    plat::PumpMessages();
    EXPECT_EQ(delivered, 0);
}

class RecordingApplication : public CHostApplication {
public:
    BOOL PreTranslateMessage(const plat::WindowMessage& m) override {
        offered.push_back(m.message);
        return takeAll ? TRUE : FALSE;
    }
    BOOL OnIdle(long count) override {
        idles.push_back(count);
        return FALSE;
    }
    bool takeAll = false;
    std::vector<unsigned> offered;
    std::vector<long> idles;
};

TEST(HostThread, WaitingLoopGoesByTheApplicationAndPassesTheQuitOn) {
    RecordingApplication application;
    SetHostApplication(&application);
    Reporter protocol;
    int delivered = 0;
    protocol.SetClient([&](const ClientMessage&) { ++delivered; });
    protocol.Report(1, 0);
    protocol.Report(1, 1);
    plat::PostQuitMessage(0);
    EXPECT_FALSE(PumpWaitingMessages());
    EXPECT_EQ(delivered, 4);
    EXPECT_EQ(application.offered, std::vector<unsigned>(4, plat::kWmMailbox));
    EXPECT_EQ(application.idles, (std::vector<long>{0, 1}));
    // The quit was posted again: the host's own loop gets it, once.
    EXPECT_FALSE(plat::PumpMessages());
    EXPECT_TRUE(plat::PumpMessages());
    // A message the application takes is not dispatched.
    application.takeAll = true;
    protocol.Report(1, 2);
    EXPECT_TRUE(PumpWaitingMessages());
    EXPECT_EQ(delivered, 4);
    SetHostApplication(nullptr);
}

// A worker whose every cycle waits for an answer that never comes, except
// that it gives up when asked to, as the protocols' exchanges do.
class WaitingProtocol : public CMMProtocolWithThread {
public:
    ThreadFunction GetThreadFunction() override { return &Worker; }
    std::atomic<int> cycles{0};
    // Whether a worker still ran when the last object's destructor began.
    static inline std::atomic<bool> workerAtDestruction{true};
    ~WaitingProtocol() override { workerAtDestruction = WorkerRunning(); }

private:
    static void Worker(CMMProtocolWithThread* base) {
        auto* self = static_cast<WaitingProtocol*>(base);
        for (;;) {
            self->m_protocolLock.Enter();
            self->m_giveUpEvent.Wait(plat::kInfinite);
            ++self->cycles;
            self->m_protocolLock.Leave();
            if (self->ThreadExitRequested()) ExitThread(0);
            self->AtCycleBoundary();
        }
    }
};

TEST(HostThread, SuspendPausesAWaitingWorkerBetweenCycles) {
    testsupport::Sandbox sandbox;
    WaitingProtocol protocol;
    ASSERT_TRUE(protocol.StartThread());
    auto suspended = std::async(std::launch::async, [&] { protocol.SuspendThread(); });
    ASSERT_EQ(suspended.wait_for(kBound), std::future_status::ready) << "suspend waited on the answer";
    const int paused = protocol.cycles;
    EXPECT_EQ(paused, 1) << "the wait gave up once, then the worker paused";
    ASSERT_TRUE(protocol.m_protocolLock.TryEnter()) << "a paused worker holds no lock";
    protocol.m_protocolLock.Leave();
    protocol.ResumeThread();
    EXPECT_FALSE(protocol.GiveUpRequested());
    EXPECT_EQ(protocol.EndThread(), TRUE);
}

TEST(HostThread, DeletingAProtocolEndsItsWorkerBeforeAnyMemberGoes) {
    testsupport::Sandbox sandbox;
    CMMProtocolWithThread* asTheHostHoldsIt = new WaitingProtocol;
    ASSERT_TRUE(asTheHostHoldsIt->StartThread());
    auto deleted = std::async(std::launch::async, [&] { delete asTheHostHoldsIt; });
    ASSERT_EQ(deleted.wait_for(kBound), std::future_status::ready) << "deleting hung";
    EXPECT_FALSE(WaitingProtocol::workerAtDestruction) << "the worker outlived the start of destruction";
}

}  // namespace
