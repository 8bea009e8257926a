// The protocol base classes: a client replaced from within, the worker
// thread's start, exit request and ExitThread, failures contained, and long
// locale-independent formatting. (Suspension and deletion mid-run are the
// host-thread tests'.)
#include "framework/protocol.h"
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <stdexcept>

namespace {

// A worker that counts its cycles, each under m_protocolLock, woken by the
// poll event, pausing between cycles when suspended; it leaves with
// ExitThread like the protocols' workers do.
class CountingProtocol : public CMMProtocolWithThread {
public:
    std::atomic<int> cycles{0};
    std::atomic<int> unwound{0};
    std::atomic<bool> throwInstead{false};
    std::atomic<BOOL> endFromWorker{-1};

    ThreadFunction GetThreadFunction() override { return &Worker; }

private:
    struct UnwindMarker {
        CountingProtocol* self;
        ~UnwindMarker() { ++self->unwound; }
    };

    static void Worker(CMMProtocolWithThread* base) {
        auto* self = static_cast<CountingProtocol*>(base);
        UnwindMarker marker{self};
        plat::Event* events[] = {&self->m_wakeEvent, &self->m_pollEvent};
        while (!self->ThreadExitRequested()) {
            plat::WaitAny(events, 2, 1000);
            self->m_protocolLock.Enter();
            ++self->cycles;
            self->m_protocolLock.Leave();
            if (self->throwInstead) throw std::runtime_error("worker broke");
            if (self->cycles == 1000) self->endFromWorker = self->EndThread();
            self->AtCycleBoundary();
        }
        ExitThread(0);
    }
};

// (Order, snapshots and the host's thread are the host-thread tests'.)
TEST(ProtocolBase, ClientMayReplaceItselfFromWithinWithoutDeadlock) {
    CMMProtocolWithThread p;
    p.SendMessageToClient(1);  // no client yet: nothing happens
    int first = 0, second = 0;
    p.SetClient([&](const ClientMessage&) {
        ++first;
        p.SetClient([&](const ClientMessage&) { ++second; });
    });
    p.SendMessageToClient(2);
    plat::PumpMessages();
    p.SendMessageToClient(1);
    plat::PumpMessages();
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
}

TEST(ProtocolThread, RunsCyclesStopsOnRequestAndUnwindsThroughExitThread) {
    testsupport::Sandbox sandbox;
    CountingProtocol p;
    ASSERT_EQ(p.StartThread(), TRUE);
    EXPECT_EQ(p.StartThread(), FALSE) << "one worker per protocol";
    p.SignalPoll();
    ASSERT_TRUE(testsupport::Eventually([&] { return p.cycles >= 1; }));

    EXPECT_EQ(p.EndThread(), TRUE);
    EXPECT_EQ(p.unwound, 1) << "ExitThread must unwind the worker's stack";
    EXPECT_EQ(p.ThreadExitRequested(), TRUE);

    // A worker can be started again after it ended.
    ASSERT_EQ(p.StartThread(), TRUE);
    EXPECT_EQ(p.ThreadExitRequested(), FALSE);
    EXPECT_EQ(p.EndThread(), TRUE);
    EXPECT_EQ(p.unwound, 2);
}

TEST(ProtocolThread, WorkerFailuresAreContainedAndSelfEndIsRefused) {
    testsupport::Sandbox sandbox;
    std::mutex lock;
    std::vector<std::string> lines;
    plat::SetDebugOutputHook([&](const std::string& l) { testsupport::Locked(lock, [&] { lines.push_back(l); }); });
    for (bool breaks : {true, false}) {
        CountingProtocol p;
        p.throwInstead = breaks;
        p.cycles = breaks ? 0 : 999;  // otherwise the next cycle ends the worker from within
        ASSERT_EQ(p.StartThread(), TRUE);
        p.SignalPoll();
        ASSERT_TRUE(testsupport::Eventually([&] { return p.unwound == 1; }));
        EXPECT_EQ(p.endFromWorker, breaks ? -1 : FALSE) << "the worker cannot join itself";
        EXPECT_EQ(p.EndThread(), TRUE);
    }
    plat::SetDebugOutputHook(nullptr);
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("worker broke"), std::string::npos) << lines[0];
}

// (Under a comma locale the decimal point stays a dot: the COSMOS parameter
// file golden test runs its writer under one.)
TEST(LocaleIndependentFormat, LongResultsAreNeverCut) {
    const std::string big(5000, 'q');
    EXPECT_EQ(CRT_LOCALE_INDEPENDANT::sprintf("<%s>%.1f", big.c_str(), 0.375), "<" + big + ">0.4");
}

}  // namespace
