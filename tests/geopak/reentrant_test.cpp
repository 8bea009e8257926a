// A host that behaves like one, against the scripted GEOPAK: it calls back
// into the protocol from its notifications during a recording, and it
// deletes the protocol while the worker waits for a macro that never
// answers. Every wait is bounded: a deadlock fails here instead of hanging.
#include "fake_geopak.h"

#include <future>
#include <memory>

namespace {

using geopaktest::AnswerText;
using testsupport::Eventually;

constexpr auto kBound = std::chrono::seconds(10);

class GeopakHost : public geopaktest::GeopakTest {
protected:
    GeopakHost() : GeopakTest(5.0), geopak(sandbox) {
        Set("GeoPak Local", 0);
        sandbox.ui().SetDefaultAnswer(IDYES);
    }
    geopaktest::FakeGeopak geopak;
};

// From its notifications the host moves (the first poll report), measures
// the next point (the TYPE 1 of a poll) and ends the recording (a later
// TYPE 2). Each call works: none of them waits on the worker's lock.
TEST_F(GeopakHost, HostCallsBackFromEveryKindOfNotification) {
    ASSERT_TRUE(protocol.Connect());
    ASSERT_TRUE(protocol.StartThread());
    geopak.SetDefaultAnswer(AnswerText(1, 2, 3, 90, 90, 0));
    int polls = 0, moved = 0, measured = 0, stopped = 0;
    protocol.SetClient([&](const ClientMessage& m) {
        if (m.type == 2 && ++polls == 1) {
            moved += protocol.MoveTo(4, 5, 6);
        } else if (m.type == 1 && m.reportedPoint.x == 1.0 && measured == 0) {
            measured += protocol.MeasurePoint(7, 8, 9, 0, 0, 1);
        } else if (m.type == 2 && measured == 1 && protocol.IsTransactionStarted()) {
            protocol.OnStopTransaction();
            ++stopped;
        }
    });
    protocol.OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return plat::PumpMessages(), stopped == 1; }, 20000));
    EXPECT_EQ(moved, 1);
    EXPECT_EQ(measured, 1);
    EXPECT_FALSE(protocol.IsTransactionStarted());
    // Which of the frames' commands the macro saw is left to timing here:
    // each one stands only until the next is written.
    protocol.EndThread();
}

// Deleting the protocol in the middle of a recording whose macro never
// answers: the worker gives up its wait and ends before any member goes.
TEST_F(GeopakHost, DeletingMidRecordingEndsTheWorker) {
    auto owned = std::make_unique<MitutoyoProtocol>();
    testsupport::SetSetting(*owned, "GeoPak Local", 0);
    ASSERT_TRUE(owned->Connect());
    ASSERT_TRUE(owned->StartThread());
    geopak.SetDefaultAnswer("");
    const size_t before = geopak.Commands().size();
    owned->OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return geopak.Commands().size() > before; })) << "no poll went out";
    auto deleted = std::async(std::launch::async, [&] { owned.reset(); });
    ASSERT_EQ(deleted.wait_for(kBound), std::future_status::ready) << "deleting the protocol hung";
}

}  // namespace
