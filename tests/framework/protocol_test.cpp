// The protocol base classes: notifications to the client, the worker thread's start, suspension, exit request and
// ExitThread, and locale-independent formatting.
#include "framework/protocol.h"
#include "framework/toolbox.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
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

// A worker that touches only the base part, so it may outlive the derived
// part while the base destructor ends it.
class BaseOnlyProtocol : public CMMProtocolWithThread {
public:
    ThreadFunction GetThreadFunction() override { return &Worker; }

private:
    static void Worker(CMMProtocolWithThread* p) {
        while (!p->ThreadExitRequested()) p->m_wakeEvent.Wait(1000);
        ExitThread(0);
    }
};

TEST(ProtocolBase, ClientGetsSnapshotsInOrderAndMayCallBackIn) {
    CMMProtocolWithThread p;
    p.SendMessageToClient(1);  // no client yet: nothing happens
    std::vector<ClientMessage> seen;
    p.SetClient([&](const ClientMessage& m) {
        seen.push_back(m);
        p.m_position.x = -1;       // both snapshots were taken when sent
        p.SetClient(p.m_position.y > 5 ? nullptr : ClientCallback([&](const ClientMessage& n) {
            seen.push_back(n);
        }));                        // re-entry must not deadlock
    });
    p.m_position = {1, 2, 3};
    p.m_secondPoint = {0.5, 2, 3};
    p.m_reportedPoint = {9, 8, 7};
    p.SendMessageToClient(2);
    p.m_reportedPoint.z = 6;
    p.SendMessageToClient(1);
    EXPECT_TRUE(seen.empty()) << "the client runs from the host's message loop, never inside the call";
    plat::PumpMessages();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ((std::vector<double>{double(seen[0].type), seen[0].position.x, seen[0].secondPoint.x}),
              (std::vector<double>{2, 1, 0.5}));
    EXPECT_EQ((std::vector<double>{double(seen[1].type), seen[1].position.x, seen[1].reportedPoint.z}),
              (std::vector<double>{1, 1, 6}));
}

TEST(ProtocolThread, RunsCyclesStopsOnRequestAndUnwindsThroughExitThread) {
    testsupport::Sandbox sandbox;
    CountingProtocol p;
    ASSERT_EQ(p.StartThread(), TRUE);
    EXPECT_EQ(p.StartThread(), FALSE) << "one worker per protocol";
    p.SignalPoll();
    ASSERT_TRUE(testsupport::Eventually([&] { return p.cycles >= 1; }));

    // Suspended, the worker cannot start a cycle however often it is woken.
    p.SuspendThread();
    const int frozen = p.cycles;
    for (int i = 0; i < 20; ++i) {
        p.SignalPoll();
        plat::Sleep(250);
    }
    EXPECT_EQ(p.cycles, frozen) << "cycles ran while suspended";
    const int afterSuspend = p.cycles;
    p.ResumeThread();
    p.SignalPoll();
    ASSERT_TRUE(testsupport::Eventually([&] { return p.cycles > afterSuspend; }));

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
    plat::SetDebugOutputHook([&](const std::string& l) {
        std::lock_guard<std::mutex> guard(lock);
        lines.push_back(l);
    });
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
    {
        // Deleting a protocol whose worker still runs ends the worker first.
        auto* p = new BaseOnlyProtocol;
        ASSERT_EQ(p->StartThread(), TRUE);
        delete static_cast<CMMProtocolWithThread*>(p);
    }
    plat::SetDebugOutputHook(nullptr);
    std::lock_guard<std::mutex> guard(lock);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find("worker broke"), std::string::npos) << lines[0];
}

TEST(LocaleIndependentFormat, DecimalPointStaysADotUnderACommaLocaleAndLongResultsAreNeverCut) {
    const std::string big(5000, 'q');
    EXPECT_EQ(CRT_LOCALE_INDEPENDANT::sprintf("<%s>%.1f", big.c_str(), 0.375), "<" + big + ">0.4");
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"};
    std::string previous = std::setlocale(LC_ALL, nullptr);
    const char* found = nullptr;
    for (const char* name : names) {
        if (std::setlocale(LC_ALL, name) != nullptr) {
            found = name;
            break;
        }
    }
    if (found == nullptr) GTEST_SKIP() << "no locale with a decimal comma is installed";
    char native[64];
    std::snprintf(native, sizeof native, "%.3f", 1.5);
    const std::string formatted = CRT_LOCALE_INDEPENDANT::sprintf("%12.6lf|%d|%s", -2.25, 7, "x");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_STREQ(native, "1,500") << found << " is not a comma locale";
    EXPECT_EQ(formatted, "   -2.250000|7|x");
}

}  // namespace
