// Host-side operations with no worker running: single round trips, stale
// and rejected answers, probing, head turns, the pedal, the trace file and
// the registry settings.
#include "fake_geopak.h"
#include "framework/regfile.h"
#include "geopak/geopak_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

namespace {

using geopaktest::AnswerText;
using geopaktest::FakeGeopak;
using testsupport::Eventually;
using testsupport::Sandbox;

const char kOut[] = "C:\\DATA\\GEO_OUT.DAT";

struct Recorder {
    std::mutex lock;
    std::vector<ClientMessage> messages;
    void Attach(MitutoyoProtocol& protocol) {
        protocol.SetClient([this](const ClientMessage& m) {
            std::lock_guard<std::mutex> guard(lock);
            messages.push_back(m);
        });
    }
    std::vector<ClientMessage> Take() {
        std::lock_guard<std::mutex> guard(lock);
        return messages;
    }
};

class GeopakMeasure : public ::testing::Test {
protected:
    explicit GeopakMeasure(double scale = 20.0) : sandbox(scale) {
        sandbox.MakeDir("C:\\DATA");
        recorder.Attach(protocol);
    }
    Sandbox sandbox;
    MitutoyoProtocol protocol;
    Recorder recorder;
};

// The macro must answer within the one look, and see commands that are soon
// replaced: real time gives it room on a busy machine.
class GeopakMeasureSlow : public GeopakMeasure {
protected:
    GeopakMeasureSlow() : GeopakMeasure(1.0) {}
};

TEST_F(GeopakMeasure, StaleAnswerIsNeverTakenForANewOne) {
    sandbox.WriteFile(kOut, AnswerText(999, 999, 999, 0, 0, 0));
    GeopakCommand command(8, 1, 2, 3, 4, 5, 6);
    EXPECT_FALSE(protocol.SendGEOPAKCommand(command));
    EXPECT_EQ(command.d1, 1.0);
    EXPECT_EQ(command.d6, 6.0);
    EXPECT_FALSE(sandbox.Exists(kOut));
}

TEST_F(GeopakMeasure, OutsideATransactionOnlyOneLookIsTaken) {
    FakeGeopak geopak(sandbox);
    geopak.SetDefaultAnswer(AnswerText(1, 2, 3, 90, 90, 0));
    geopak.SetAnswerDelay(200);  // well after the one look at 50 ms
    GeopakCommand command(5);
    EXPECT_FALSE(protocol.SendGEOPAKCommand(command));
    EXPECT_EQ(command.d1, 0.0);
    EXPECT_TRUE(Eventually([&] { return sandbox.Exists(kOut); }));  // came, but too late
}

TEST_F(GeopakMeasureSlow, RejectedAnswerIsConsumedAndLeavesTheRecordAsSent) {
    sandbox.WriteFile(kOut, "stale");
    FakeGeopak geopak(sandbox);
    for (const char* bad : {"0\r\n1\r\n2\r\n3\r\n", "0\r\n1\r\nZ\r\n3\r\n0\r\n0\r\n0\r\n"}) {
        geopak.QueueAnswer(bad);
        GeopakCommand command(5, 7, 7, 7, 7, 7, 7);
        EXPECT_FALSE(protocol.SendGEOPAKCommand(command));
        EXPECT_EQ(command.d1, 7.0);
        EXPECT_EQ(command.d4, 7.0);
    }
    EXPECT_EQ(geopak.Codes(), (std::vector<int>{5, 5}));
    EXPECT_EQ(recorder.Take().size(), 0u);
    EXPECT_FALSE(sandbox.Exists(kOut));

    // The same macro's good answer is taken.
    geopak.QueueAnswer(AnswerText(1, 2, 3, 0, 90, 180));
    GeopakCommand command(5);
    EXPECT_TRUE(protocol.SendGEOPAKCommand(command));
    EXPECT_EQ(command.d3, 3.0);
    EXPECT_DOUBLE_EQ(command.d6, -1.0);
}

TEST_F(GeopakMeasureSlow, MeasurePointProbesThroughTheNominalPointAndReportsIt) {
    FakeGeopak geopak(sandbox);
    geopak.SetDefaultAnswer(AnswerText(99, 99, 99, 0, 0, 0));
    EXPECT_TRUE(protocol.MeasurePoint(10, 20, 30, 0, 0, -2));
    ASSERT_TRUE(Eventually([&] { return geopak.CommandCount() >= 3; }));
    EXPECT_EQ(geopak.Codes(), (std::vector<int>{12, 8, 11}));
    const GeopakCommand probe = geopak.Commands()[1];
    EXPECT_EQ(probe.d1, 10.0);
    EXPECT_EQ(probe.d2, 20.0);
    EXPECT_EQ(probe.d3, 33.0);
    EXPECT_EQ(probe.d4, 10.0);
    EXPECT_EQ(probe.d5, 20.0);
    EXPECT_EQ(probe.d6, 27.0);
    const auto messages = recorder.Take();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].type, 1);
    EXPECT_EQ(messages[0].reportedPoint.x, 10.0);
    EXPECT_EQ(messages[0].reportedPoint.y, 20.0);
    EXPECT_EQ(messages[0].reportedPoint.z, 30.0);
    EXPECT_EQ(sandbox.ui().MessageCount(), 0u);
}

TEST_F(GeopakMeasure, DirectionWithoutLengthIsRefusedAndNothingIsSent) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(protocol.MeasurePoint(10, 20, 30, 0, 0, 0));
    EXPECT_FALSE(protocol.MeasurePoint(10, 20, 30, nan, 0, 1));
    EXPECT_FALSE(protocol.MeasurePoint(10, 20, 30, 1e200, 0, 0));  // length beyond doubles
    EXPECT_FALSE(protocol.MeasurePoint(inf, 20, 30, 0, 0, 1));
    EXPECT_FALSE(protocol.MoveTo(nan, 0, 0));
    EXPECT_FALSE(protocol.SetApproachVector(0, inf, 0));
    EXPECT_EQ(protocol.m_approachVectorPending, 0);
    EXPECT_FALSE(sandbox.Exists("C:\\DATA\\GEO_IN.DAT"));
    EXPECT_EQ(recorder.Take().size(), 0u);
    EXPECT_EQ(sandbox.ui().MessageCount(), 0u);
}

TEST_F(GeopakMeasure, HeadTurnWaitsForTheUsersConfirmation) {
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const testsupport::ShownMessage&) {
        // The command is out before the user is asked.
        EXPECT_EQ(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"), testsupport::Golden("geopak_in_head.dat"));
        return IDOK;
    });
    EXPECT_TRUE(protocol.SetProbeAngles(90, 180, 0));
    ASSERT_EQ(sandbox.ui().MessageCount(), 1u);
    EXPECT_EQ(sandbox.ui().Messages()[0].text, "Press OK when Probe has finished its move ( 90.000 , 180.000 ) ");
    EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK | MB_SYSTEMMODAL);
}

TEST_F(GeopakMeasure, PedalEndsTheRecordingAndItsAnswerIsThrownAway) {
    protocol.m_useSendKey = 0;
    FakeGeopak geopak(sandbox);  // only for its window: it must receive no key
    for (bool answerComes : {true, false}) {
        protocol.OnStartTransaction();
        sandbox.ui().ClearMessages();
        geopaktest::HandleEveryMessage(sandbox.ui(), [&](const testsupport::ShownMessage&) {
            if (answerComes) sandbox.WriteFile(kOut, AnswerText(1, 2, 3, 0, 0, 0));
            return IDOK;
        });
        protocol.OnStopTransaction();
        EXPECT_FALSE(protocol.IsTransactionStarted());
        ASSERT_EQ(sandbox.ui().MessageCount(), 1u);
        EXPECT_EQ(sandbox.ui().Messages()[0].text, "Press the MITUTOYO Pedal to End the Recording\n");
        EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK);
        EXPECT_FALSE(sandbox.Exists(kOut));
    }
    EXPECT_TRUE(sandbox.KeyLog(geopak.Window()).empty());

    // No transaction: nothing to end, no message.
    sandbox.ui().ClearMessages();
    protocol.OnStopTransaction();
    EXPECT_EQ(sandbox.ui().MessageCount(), 0u);
}

TEST_F(GeopakMeasure, TraceFileGetsItsThreeLines) {
    protocol.m_debugLog = 1;
    protocol.m_useSendKey = 0;
    protocol.OnStartTransaction();
    GeopakCommand command(5);
    protocol.m_stopWaiting = 1;  // gives up after the first look
    EXPECT_FALSE(protocol.SendGEOPAKCommand(command));
    protocol.m_stopWaiting = 0;
    protocol.OnStopTransaction();
    const std::string expected =
        "StartTRANSACTION ******\r\nEntering Send GEOPAKCommand\r\nSTOPTRANSACTION ******\r\n";
    EXPECT_EQ(sandbox.ReadFile("C:\\dump.txt"), expected);
    protocol.m_debugLog = 0;
    protocol.OnStopTransaction();
    EXPECT_EQ(sandbox.ReadFile("C:\\dump.txt"), expected);
}

TEST_F(GeopakMeasure, StopWaitingEndsAnEndlessWaitInATransaction) {
    protocol.m_useSendKey = 0;
    protocol.OnStartTransaction();
    GeopakCommand command(5);
    BOOL result = TRUE;
    std::thread waiter([&] { result = protocol.SendGEOPAKCommand(command); });
    plat::Sleep(500);  // ten looks, none answered
    protocol.SetStopWaiting(1);
    waiter.join();  // the shared watchdog fails a hang
    EXPECT_FALSE(result);
    protocol.SetStopWaiting(0);
    protocol.OnStopTransaction();
}

TEST(GeopakSettings, RoundTripLeavesDebugAlone) {
    RegFileKey key("HKEY_CURRENT_USER\\Software\\Test");
    MitutoyoProtocol fresh;
    fresh.ReadSettings(&key);  // nothing stored: the defaults stay
    EXPECT_EQ(fresh.m_exchangeDirectory, "C:\\DATA\\");
    EXPECT_EQ(fresh.m_startupCommand2.size(), 53u);
    EXPECT_EQ(fresh.m_geopakLocal, 1);
    EXPECT_FALSE(fresh.HasIndexableHead());
    EXPECT_EQ(fresh.GetControllerName(), "Mitutoyo ");

    key.SetDword("DEBUG", 1);
    MitutoyoProtocol edited;
    edited.m_exchangeDirectory = "D:\\X";
    edited.m_windowName = "G";
    edited.m_geopakLocal = 0;
    edited.m_useSendKey = 0;
    edited.m_automaticStartup = 0;
    edited.m_hasIndexableHead = 1;
    edited.m_startupCommand1 = "A";
    edited.WriteSettings(&key);
    std::vector<std::string> names;
    for (const auto& value : key.Values()) names.push_back(value.first);
    EXPECT_EQ(names, (std::vector<std::string>{"DEBUG", "GeoPak Application Directory",
                                               "GeoPak Exchange Directory", "GeoPak Window name",
                                               "GeoPak Local", "Use Send KEY", "Startup Command 1",
                                               "Startup Command 2", "Automatic Startup",
                                               "Has PH9/PH10 Head"}));
    MitutoyoProtocol loaded;
    loaded.ReadSettings(&key);
    EXPECT_EQ(loaded.m_exchangeDirectory, "D:\\X");
    EXPECT_EQ(loaded.m_windowName, "G");
    EXPECT_EQ(loaded.m_startupCommand1, "A");
    EXPECT_EQ(loaded.m_geopakLocal, 0);
    EXPECT_EQ(loaded.m_useSendKey, 0);
    EXPECT_EQ(loaded.m_automaticStartup, 0);
    EXPECT_EQ(loaded.m_hasIndexableHead, 1);
    EXPECT_EQ(loaded.m_debugLog, 1);
}

}  // namespace
