// Simulator faults end to end, where the unit tests' scripted sides do not
// reach: answers slowed, held locked or cluttered by another process; no
// measured position is lost or reported twice. (REMOTE.MSG, a silent Remote
// Manager, error answers, polls never answered and a lost macro window
// are the COSMOS unit tests'.)
#include "e2e_support.h"

#include <gtest/gtest.h>

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
