// Host-side operations with no worker running: probing and its refusals,
// the user's confirmations (head turn, pedal), the trace file, and the wait
// that only the stop flag ends.
#include "fake_geopak.h"

#include <limits>
#include <thread>

namespace {

using geopaktest::AnswerText;
using geopaktest::FakeGeopak;
using testsupport::Eventually;

const char kOut[] = "C:\\DATA\\GEO_OUT.DAT";

// The probe command stands for the plug-in's single 50 ms look before the
// resume command replaces it, and the interrupt before it for 100 ms. The host
// hears of the point only later, from its own message queue, so nothing can
// hold the plug-in in between: a twentieth of real time gives the macro a
// whole second to take each of them, which a busy machine still grants.
class GeopakMeasureSlow : public geopaktest::GeopakTest {
protected:
    GeopakMeasureSlow() : GeopakTest(0.05) {}
};

// A direction without length, or input that is not finite, is refused at
// once and nothing is sent.
TEST_F(GeopakMeasureSlow, MeasurePointProbesAlongTheUnitDirectionThroughTheNominalPointAndReportsIt) {
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    // The last direction's length is beyond doubles.
    for (BOOL refused : {protocol.MeasurePoint(10, 20, 30, 0, 0, 0), protocol.MeasurePoint(10, 20, 30, nan, 0, 1),
                         protocol.MeasurePoint(inf, 20, 30, 0, 0, 1), protocol.MoveTo(nan, 0, 0),
                         protocol.SetProbeAngles(0, inf, 0), protocol.MeasurePoint(10, 20, 30, 1e200, 0, 0)})
        EXPECT_FALSE(refused);
    EXPECT_FALSE(sandbox.Exists("C:\\DATA\\GEO_IN.DAT"));
    FakeGeopak geopak(sandbox);  // it never answers: outside a transaction one look is all, a second would hang
    EXPECT_TRUE(protocol.MeasurePoint(10, 20, 30, 0, 0, -2));
    ASSERT_TRUE(Eventually([&] { return geopak.Codes() == std::vector<int>{12, 8, 11}; }))
        << ::testing::PrintToString(geopak.Codes());
    const GeopakCommand probe = geopak.Commands()[1];
    EXPECT_EQ(std::vector<double>({probe.d1, probe.d2, probe.d3, probe.d4, probe.d5, probe.d6}),
              std::vector<double>({10, 20, 33, 10, 20, 27}));
    const auto reports = Reports();  // the nominal point, answered or not
    ASSERT_EQ(reports.size(), 1u);
    const auto& nominal = reports[0].reportedPoint;
    EXPECT_EQ(std::vector<double>({double(reports[0].type), nominal.x, nominal.y, nominal.z}), std::vector<double>({1, 10, 20, 30}));
    EXPECT_EQ(sandbox.ui().Messages().size(), 0u);
}

class GeopakMeasure : public geopaktest::GeopakTest {};

// A head turn asks the user to confirm once its command is out. The pedal
// ends a recording (no key is sent) and its answer is thrown away; a wait in
// a recording ends only by the stop flag; DEBUG traces each step.
TEST_F(GeopakMeasure, HeadTurnAndPedalWaitForTheUserTheStopFlagEndsAWaitAndDebugTraces) {
    protocol.OnStopTransaction();  // no transaction: nothing to end, no message
    sandbox.ui().OnMessage([&](const testsupport::ShownMessage& m) {
        EXPECT_EQ(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"), testsupport::Golden("geopak_in_head.dat"));
        EXPECT_EQ(m.style, MB_OK | MB_SYSTEMMODAL);
        return IDOK;
    });
    EXPECT_TRUE(protocol.SetProbeAngles(90, 180, 0));
    EXPECT_EQ(Texts(), std::vector<std::string>{"Press OK when Probe has finished its move ( 90.000 , 180.000 ) "});
    Set("Use Send KEY", 0);
    FakeGeopak geopak(sandbox);  // it never answers
    Set("DEBUG", 1);
    for (bool answerComes : {true, false}) {
        protocol.OnStartTransaction();
        if (answerComes) {
            GeopakCommand poll(5);
            std::thread waiter([&] { EXPECT_FALSE(protocol.SendGEOPAKCommand(poll)); });
            plat::Sleep(500);  // ten looks, none answered
            protocol.SetStopWaiting(1);
            waiter.join();  // a hang ends at the test's time limit
            protocol.SetStopWaiting(0);
        }
        sandbox.ui().ClearMessages();
        sandbox.ui().OnMessage([&](const testsupport::ShownMessage& m) {
            EXPECT_EQ(m.style, MB_OK);
            if (answerComes) sandbox.WriteFile(kOut, AnswerText(1, 2, 3, 0, 0, 0));
            return IDOK;
        });
        protocol.OnStopTransaction();
        EXPECT_FALSE(protocol.IsTransactionStarted());
        EXPECT_EQ(Texts(), std::vector<std::string>{"Press the MITUTOYO Pedal to End the Recording\n"});
        EXPECT_FALSE(sandbox.Exists(kOut));
    }
    EXPECT_TRUE(sandbox.KeyLog(geopak.Window()).empty());
    EXPECT_EQ(sandbox.ReadFile("C:\\dump.txt"), "StartTRANSACTION ******\r\nEntering Send GEOPAKCommand\r\n"
                                                "STOPTRANSACTION ******\r\nStartTRANSACTION ******\r\nSTOPTRANSACTION ******\r\n");
}

}  // namespace
