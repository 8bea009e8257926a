// Simulator faults end to end, where the unit tests' scripted sides do not
// reach: what the user sees (message texts, command results, exit code) and
// that no measured position is lost or reported twice. (REMOTE.MSG and a
// silent Remote Manager are the COSMOS unit tests'.)
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {

bool Contains(const std::vector<std::string>& messages, const std::string& text) {
    return std::find(messages.begin(), messages.end(), text) != messages.end();
}

const char kRecording[] =
    "connect\n"                      // 1
    "transaction start\n"            // 2
    "measure 120 75 25 1 0 0\n"      // 3
    "wait-points 1 60000\n"          // 4
    "transaction stop\n"             // 5
    "disconnect\n";                  // 6

void ExpectOnePositionAt(const HostResult& r, double x, double y, double z) {
    std::vector<json> positions = r.Positions();
    ASSERT_EQ(positions.size(), 1u) << r.Describe();
    EXPECT_LT(Distance(positions[0]["position"], x, y, z), 0.05) << r.Describe();
}

}  // namespace

// Faults that only slow or clutter the answers: the point still arrives, once.
TEST(Faults, DelayedLockedOrClutteredAnswersStillBringThePointOnce) {
    const std::vector<std::string> faults[] = {
        {"--answer-delay", "500"}, {"--lock-answer", "400"}, {"--garbage"}};
    for (const std::vector<std::string>& fault : faults) {
        SimWorld world(fault);
        ASSERT_TRUE(world.Installed()) << world.InstallOutput();
        HostResult r = world.Run(kCosmos, kRecording);
        EXPECT_EQ(r.exitCode, 0) << fault[0] << r.Describe();
        ExpectOnePositionAt(r, 120, 75, 25);
    }
}

TEST(Faults, NeverAnsweredPollsEndWithTheTransaction) {
    SimWorld world({"--never-answer-cmd", "5"});
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    HostResult r = world.Run(kCosmos,
                             "connect\ntransaction start\nmeasure 120 75 25 1 0 0\nwait-points 1 2000\n"
                             "transaction stop\ndisconnect\n");
    EXPECT_EQ(r.exitCode, 1) << "the wait for the point fails" << r.Describe();
    EXPECT_EQ(r.Result(4), 0);
    EXPECT_TRUE(r.Positions().empty()) << r.Describe();
    EXPECT_TRUE(r.finished) << "stopping the transaction must not hang";
}

TEST(Faults, ErrorAnswerMakesMoveReportNothing) {
    for (const char* code : {"1", "2"}) {
        SimWorld world;
        ASSERT_TRUE(world.Installed()) << world.InstallOutput();
        auto run = world.Start(kCosmos, "connect\nwait 12000\nmove 1 2 3\nmove 4 5 6\ndisconnect\n");
        ASSERT_TRUE(run);
        // Armed once connected, so the one-shot error lands on the first move. The wait
        // leaves room for starting cmmsim, which takes a second or more under Wine.
        ASSERT_TRUE(testsupport::Eventually([&] { return run->Output().find("\"line\":1") != std::string::npos; },
                                            15000));
        EXPECT_EQ(world.Sim({"fault", "--error", code}), 0);
        HostResult r = SimWorld::Finish(*run);
        EXPECT_EQ(r.exitCode, 0) << r.Describe();
        EXPECT_EQ(r.Result(3), 1) << "MoveTo absorbs the error";
        ExpectOnePositionAt(r, 4, 5, 6);
    }
}

TEST(Faults, CrashedMacroIsReportedAsALostWindow) {
    SimWorld world({"--crash-after", "2"});
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    HostResult r = world.Run(kCosmos, "connect\nmove 1 2 3\nwait 500\nmove 4 5 6\nmove 7 8 9\n", "no");
    EXPECT_TRUE(Contains(r.Messages(), " Geopak Window Lost - Do you want to continue anyway ?")) << r.Describe();
    for (const json& p : r.Positions()) EXPECT_LT(Distance(p["position"], 1, 2, 3), 0.05) << r.Describe();
}
