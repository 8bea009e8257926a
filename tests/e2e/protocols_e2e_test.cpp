// Both protocols end to end: cmmhost runs a script as a real process against
// cmmsim's processes on a real folder. Checks what a host sees: the order of
// notifications, measured positions close to the part's true surface, and
// exactly one reported position per probed point.
#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace e2e;

namespace {

// Every position the simulator handed out reached the host exactly once.
void ExpectEachPointOnce(SimWorld& world, const HostResult& r, size_t positionsOutsideTransactions) {
    json status = world.Status();
    ASSERT_TRUE(status.is_object()) << "cmmsim status is not JSON";
    std::set<std::vector<double>> seen;
    for (const json& p : r.Positions())
        EXPECT_TRUE(seen.insert(p["position"].get<std::vector<double>>()).second) << "duplicate " << p.dump();
    EXPECT_EQ(r.Positions().size() - positionsOutsideTransactions, status.value("points_answered", 0u))
        << r.Describe();
}

const char kCosmosScript[] =
    "connect\n"                          // 1
    "head 0 0 2\n"                       // 2
    "move 100 75 80\n"                   // 3
    "transaction start\n"                // 4
    "measure 120 75 25 1 0 0\n"          // 5: bore wall, +X
    "wait-points 1 60000\n"              // 6
    "measure 40 30 50 0 0 -1\n"          // 7: top face
    "wait-points 2 60000\n"              // 8
    "transaction stop\n"                 // 9
    "disconnect\n";                      // 10

}  // namespace

// Also with the simulator's faults that only slow or clutter the answers
// (answers delayed, held locked or cluttered by another process): nothing a
// host sees changes. (REMOTE.MSG, a silent Remote Manager, error answers,
// unanswered polls and a lost macro window are the COSMOS unit tests'.)
TEST(CosmosEndToEnd, ConnectMoveHeadRecordingDisconnectWithAndWithoutFaults) {
    const std::vector<std::string> faults[] = {{}, {"--answer-delay", "500"}, {"--lock-answer", "400"}, {"--garbage"}};
    for (const std::vector<std::string>& fault : faults) {
        SCOPED_TRACE(fault.empty() ? "no fault" : fault[0]);
        SimWorld world(fault);
        ASSERT_TRUE(world.Installed()) << world.InstallOutput();
        HostResult r = world.Run(kCosmos, kCosmosScript);
        ASSERT_EQ(r.exitCode, 0) << r.Describe();
        for (int line : {1, 2, 3, 5, 7, 10}) EXPECT_EQ(r.Result(line), 1) << "line " << line;

        // The move reports the reached point: TYPE 2, then TYPE 1 with the same point.
        ASSERT_GE(r.lines.size(), 3u);
        std::vector<json> positions = r.Positions();
        ASSERT_EQ(positions.size(), 3u) << r.Describe();
        EXPECT_LT(Distance(positions[0]["position"], 100, 75, 80), 0.05);
        // The polls deliver the probed surface points, in probing order.
        EXPECT_LT(Distance(positions[1]["position"], 120, 75, 25), 0.05);
        EXPECT_LT(Distance(positions[2]["position"], 40, 30, 50), 0.05);
        // MeasurePoint's own TYPE 1 is the nominal point, exactly.
        bool nominalSeen = false;
        for (const json& p : r.OfType(1)) nominalSeen |= p["point"] == json::array({120, 75, 25});
        EXPECT_TRUE(nominalSeen) << r.Describe();
        ExpectEachPointOnce(world, r, 1);
    }
}

// Each probe's point arrives through the next recording's poll, and the
// next measure ends that recording. With the first answer held locked for a
// while, a script that went straight on would end the recording before the
// point was read: measure waits for its point, so both arrive.
TEST(GeopakEndToEnd, ConnectMoveHeadRecordingDisconnect) {
    SimWorld world({}, kGeopakTimeScale);
    ASSERT_TRUE(world.Installed()) << world.InstallOutput();
    ASSERT_EQ(world.Sim({"fault", "--lock-answer", "300"}), 0);
    HostResult r = world.Run(kGeopak,
                             "connect\n"                  // 1
                             "head 90 180 0\n"            // 2: confirmation box, answered OK
                             "move 100 75 80\n"           // 3
                             "transaction start\n"        // 4
                             "measure 80 75 25 -1 0 0\n"  // 5
                             "measure 160 120 50 0 0 -1\n"
                             "wait-points 2 60000\n"
                             "transaction stop\n"
                             "disconnect\n",
                             "ok");
    ASSERT_EQ(r.exitCode, 0) << r.Describe() << world.Status().dump();
    std::vector<std::string> messages = r.Messages();
    // On Windows the macro's claim of the move's code 9 (a rename) can meet the
    // plug-in's rewrite with code 11 at once: the plug-in's open is refused and
    // it says "Cannot Open", as it would with the real macro.
    const auto refused = std::find(messages.begin(), messages.end(), "Cannot Open C:\\DATA\\GEO_IN.DAT");
    if (testsupport::RunsOnWin32() && refused != messages.end()) messages.erase(refused);
    ASSERT_EQ(messages.size(), 1u) << r.Describe();
    EXPECT_EQ(messages[0], "Press OK when Probe has finished its move ( 90.000 , 180.000 ) ");
    const json box = r.Of("message").back();  // a JSON event: text, style and answer
    EXPECT_TRUE(box["style"].is_number() && box["answer"].is_number()) << box.dump();
    std::vector<json> positions = r.Positions();  // GEOPAK moves report nothing
    ASSERT_EQ(positions.size(), 2u) << r.Describe();
    EXPECT_LT(Distance(positions[0]["position"], 80, 75, 25), 0.05);
    EXPECT_LT(Distance(positions[1]["position"], 160, 120, 50), 0.05);
    // The second point is the position minus the unit probing direction.
    const json& p = positions[1];
    EXPECT_NEAR(p["second"][2].get<double>(), p["position"][2].get<double>() + 1.0, 0.01) << p.dump();
    ExpectEachPointOnce(world, r, 0);
}

// An Escape typed at cmmhost's terminal at once cancels the first move (it
// waits there until the first command dialog takes keys; output and errors
// both come through the terminal), and the second runs after the macro's
// restart. From a background job the Escape is not cmmhost's to take:
// touching the terminal from there would stop cmmhost for good. (Ctrl-C is
// the ways-out test's; the cancel and restart keys the COSMOS unit tests'.)
TEST(CosmosEndToEnd, EscapeCancelsTheCommandAndABackgroundJobLeavesTheTerminalAlone) {
    if (testsupport::OnPseudoTerminal("", {}).program.empty()) GTEST_SKIP() << "no pseudo terminal (util-linux script)";
    for (const bool background : {false, true}) {
        SCOPED_TRACE(background ? "background job" : "Escape");
        SimWorld world(background ? std::vector<std::string>{} : std::vector<std::string>{"--answer-delay", "3000"});
        ASSERT_TRUE(world.Installed()) << world.InstallOutput();
        // Line 2 is cancelled, line 3 runs after the restart.
        const char* const script = "connect\nmove 10 20 30\nmove 11 21 31\ndisconnect\n";
        auto run = world.Start(kCosmos, script, "no", "\x1b", background);
        ASSERT_TRUE(run);
        const HostResult r = SimWorld::Finish(*run);
        ASSERT_TRUE(r.finished && r.exitCode == 0) << r.Describe();
        const std::vector<json> positions = r.Positions();
        if (background) {
            EXPECT_EQ(positions.size(), 2u) << "nothing was cancelled" << r.Describe();
            continue;
        }
        EXPECT_NE(r.out.find("(Esc or Ctrl-C: Cancel)  [cancelled]"), std::string::npos) << r.Describe();
        EXPECT_EQ(r.out.find("[cancelled]", r.out.find("\"line\":2")), std::string::npos)
            << "the second move's dialog just closes";
        EXPECT_EQ(r.Result(2), 1);  // MoveTo absorbs the cancellation
        ASSERT_EQ(positions.size(), 1u) << "only the second move reports" << r.Describe();
        EXPECT_LT(Distance(positions[0]["position"], 11, 21, 31), 0.05);
        // GEOPAK-WIN takes the disconnect's keys a moment after cmmhost has ended.
        json status;
        testsupport::Eventually([&] { return (status = world.Status())["counts"].value("cosmos.cancel", 0u) >= 2; });
        EXPECT_EQ(status["counts"].value("cosmos.restart", 0u), 1u) << status.dump() << "\n" << r.Describe();
        EXPECT_EQ(status["counts"].value("cosmos.cancel", 0u), 2u) << "the cancel, then the disconnect";
    }
}
