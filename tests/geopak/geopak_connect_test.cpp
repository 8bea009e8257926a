// Connecting to GEOPAK: the startup handshake, every time-out question and its
// answers, the launch failure, the manual start, and the command left for the
// macro at disconnection. The tests play the macro from the questions.
#include "fake_geopak.h"

namespace {

using testsupport::ShownMessage;

const char kAsk[] = "C:\\DATA\\GEO_COMM.ASK";
const char kAns[] = "C:\\DATA\\GEO_COMM.ANS";
const char kLaunchRemote[] = "Please Launch GEOPAK manually on the other PC";
const char kFirstQuestion[] = "(1)The GEOPAK Software did not response\n Do you want to continue ?";
const char kSecondQuestion[] = "(2)The GEOPAK Software did not respond\n Do you want to continue ? ";

// A huge time scale: the 60 s and 10 s acknowledgement waits take moments.
class GeopakConnect : public geopaktest::GeopakTest {
protected:
    GeopakConnect() : GeopakTest(5000.0) { Set("GeoPak Local", 0); }
};

TEST_F(GeopakConnect, LeftoversGoFirstYesWaitsAgainWithoutRewritingAndTheLastCommandStays) {
    sandbox.WriteFile(kAns, "old");
    sandbox.WriteFile("C:\\DATA\\GEO_IN.DAT", "old");
    sandbox.WriteFile(kAsk, "a much longer left-over startup command text than any default");
    std::vector<std::string> seen;
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
        if (m.text == kLaunchRemote) {
            EXPECT_EQ(m.style, MB_OK);
            EXPECT_FALSE(sandbox.Exists(kAns));
            EXPECT_FALSE(sandbox.Exists("C:\\DATA\\GEO_IN.DAT"));
            return IDOK;
        }
        const bool first = m.text == kFirstQuestion;
        EXPECT_EQ(m.style, (first ? MB_YESNO : MB_YESNOCANCEL) | MB_ICONEXCLAMATION | MB_SYSTEMMODAL);
        seen.push_back(sandbox.ReadFile(kAsk));
        if (first && seen.size() == 1) {
            sandbox.WriteFile(kAsk, "taken");  // the macro took it, slowly; a rewrite would show
            return IDYES;
        }
        sandbox.WriteFile(kAns, "");
        return IDYES;
    });
    ASSERT_TRUE(protocol.Connect());
    EXPECT_TRUE(protocol.IsConnected());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion, kFirstQuestion, kSecondQuestion}));
    EXPECT_EQ(seen, (std::vector<std::string>{"CMD05(C:\\GEOPAK\\MELDAX\\)", "taken",
                                              testsupport::Golden("geopak_comm_ask.dat")}));
    EXPECT_EQ(sandbox.ReadFile(kAsk), testsupport::Golden("geopak_comm_ask.dat"));
    EXPECT_FALSE(sandbox.Exists(kAns));
}

TEST_F(GeopakConnect, NoToEitherQuestionFails) {
    // First question: No. The second command is never written.
    sandbox.ui().SetDefaultAnswer(IDNO);
    EXPECT_FALSE(protocol.Connect());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion}));
    EXPECT_EQ(sandbox.ReadFile(kAsk), "CMD05(C:\\GEOPAK\\MELDAX\\)");
    // Second question: No, and then Cancel.
    for (int refusal : {IDNO, IDCANCEL}) {
        sandbox.ui().ClearMessages();
        geopaktest::HandleEveryMessage(sandbox.ui(), [&, refusal](const ShownMessage& m) {
            if (m.text == kFirstQuestion) sandbox.WriteFile(kAns, "");
            return m.text == kFirstQuestion ? IDYES : m.text == kSecondQuestion ? refusal : IDOK;
        });
        EXPECT_FALSE(protocol.Connect());
        EXPECT_FALSE(protocol.IsConnected());
        EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion, kSecondQuestion}));
    }
}

TEST_F(GeopakConnect, LaunchFailureManualStartAndUnwritableCommandFile) {
    const struct {
        int local, automatic;
        const char* exchange;
        BOOL result;
        std::vector<std::string> texts;
    } cases[] = {
        {1, 1, "C:\\DATA\\", FALSE,  // no C:\GEOPAK\GEOZOR.PIF
         {"Cannot Launch GEOPAK  (C:\\GEOPAK\\\\C:\\GEOPAK\\GEOZOR.PIF invalid pif File)"}},
        {0, 1, "C:\\MISSING\\", FALSE, {kLaunchRemote, "Cannot open Command file : C:\\MISSING\\GEO_COMM.ASK"}},
        {0, 0, "C:\\DATA\\", TRUE, {kLaunchRemote, "Start the MELDAX Macro in GEOPAK and press OK"}},
    };
    for (const auto& c : cases) {
        sandbox.ui().ClearMessages();
        Set("GeoPak Local", c.local);
        Set("Automatic Startup", c.automatic);
        Set("GeoPak Exchange Directory", c.exchange);
        EXPECT_EQ(protocol.Connect(), c.result);
        EXPECT_EQ(protocol.IsConnected(), c.result);
        ASSERT_EQ(Texts(), c.texts);
        EXPECT_EQ(sandbox.ui().Messages().back().style, MB_OK | MB_SYSTEMMODAL);
        EXPECT_FALSE(sandbox.Exists(kAsk));
    }
    // Disconnecting leaves the quit command for the macro.
    protocol.Disconnect();
    EXPECT_FALSE(protocol.IsConnected());
    auto command = geopaktest::ParseCommandText(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->code, 13);
    EXPECT_EQ(command->d1, 0.0);
    EXPECT_EQ(command->d6, 0.0);
}

}  // namespace
