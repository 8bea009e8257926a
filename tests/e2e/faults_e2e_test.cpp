// Simulator faults end to end, where the unit tests' scripted sides do not
// reach: answers slowed, held locked or cluttered by another process, and a
// macro process that dies; no measured position is lost or reported twice.
// (REMOTE.MSG, a silent Remote Manager, error answers and polls never
// answered are the COSMOS unit tests'.)
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {

const char kRecording[] =
    "connect\n"                      // 1
    "transaction start\n"            // 2
    "measure 120 75 25 1 0 0\n"      // 3
    "wait-points 1 60000\n"          // 4
    "transaction stop\n"             // 5
    "disconnect\n";                  // 6

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
        const std::vector<json> positions = r.Positions();
        ASSERT_EQ(positions.size(), 1u) << r.Describe();
        EXPECT_LT(Distance(positions[0]["position"], 120, 75, 25), 0.05) << r.Describe();
    }
}

TEST(Faults, CrashedMacroIsReportedAsALostWindow) {
    SimWorld world({"--crash-after", "2"});
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    HostResult r = world.Run(kCosmos, "connect\nmove 1 2 3\nwait 500\nmove 4 5 6\nmove 7 8 9\n", "no");
    const std::vector<std::string> messages = r.Messages();
    EXPECT_NE(std::find(messages.begin(), messages.end(), " Geopak Window Lost - Do you want to continue anyway ?"),
              messages.end()) << r.Describe();
    for (const json& p : r.Positions()) EXPECT_LT(Distance(p["position"], 1, 2, 3), 0.05) << r.Describe();
}
