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
    std::vector<std::string> seen;  // what GEO_COMM.ASK holds at each question
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
        if (m.text == kLaunchRemote) {
            EXPECT_FALSE(sandbox.Exists(kAns) || sandbox.Exists("C:\\DATA\\GEO_IN.DAT"));
            return IDOK;
        }
        seen.push_back(sandbox.ReadFile(kAsk));
        // The macro takes the first command slowly (a rewrite would show), then answers.
        sandbox.WriteFile(seen.size() == 1 ? kAsk : kAns, seen.size() == 1 ? "taken" : "");
        return IDYES;
    });
    ASSERT_TRUE(protocol.Connect());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion, kFirstQuestion, kSecondQuestion}));
    EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK);
    EXPECT_EQ(seen, (std::vector<std::string>{"CMD05(C:\\GEOPAK\\MELDAX\\)", "taken",
                                              testsupport::Golden("geopak_comm_ask.dat")}));
    EXPECT_EQ(sandbox.ReadFile(kAsk), testsupport::Golden("geopak_comm_ask.dat"));
    EXPECT_FALSE(sandbox.Exists(kAns));
}

// What Connect shows and returns when the launch fails, when GEOPAK is
// started by hand, when the command file cannot be written, and on No or
// Cancel to either question (a Yes to the first is played as the macro
// answering). Disconnecting then leaves the quit command for the macro.
TEST_F(GeopakConnect, FailuresManualStartAndRefusals) {
    const std::string command2 = testsupport::Golden("geopak_comm_ask.dat");
    const unsigned ok = MB_OK | MB_SYSTEMMODAL, asked = MB_ICONEXCLAMATION | MB_SYSTEMMODAL;
    const struct {
        int local, automatic;
        const char* exchange;
        int first, second;  // the answers to the two questions
        BOOL result;
        std::vector<std::string> texts;
        unsigned lastStyle;
        std::string ask;  // what GEO_COMM.ASK holds afterwards ("": no file)
    } cases[] = {
        {1, 1, "C:\\DATA\\", IDNO, IDNO, FALSE,  // no C:\GEOPAK\GEOZOR.PIF
         {"Cannot Launch GEOPAK  (C:\\GEOPAK\\\\C:\\GEOPAK\\GEOZOR.PIF invalid pif File)"}, ok, ""},
        {0, 1, "C:\\MISSING\\", IDNO, IDNO, FALSE,
         {kLaunchRemote, "Cannot open Command file : C:\\MISSING\\GEO_COMM.ASK"}, ok, ""},
        // The second command is never written.
        {0, 1, "C:\\DATA\\", IDNO, IDNO, FALSE, {kLaunchRemote, kFirstQuestion}, MB_YESNO | asked,
         "CMD05(C:\\GEOPAK\\MELDAX\\)"},
        {0, 1, "C:\\DATA\\", IDYES, IDCANCEL, FALSE, {kLaunchRemote, kFirstQuestion, kSecondQuestion},
         MB_YESNOCANCEL | asked, command2},
        {0, 0, "C:\\DATA\\", IDNO, IDNO, TRUE,  // GEO_COMM.ASK left as it was
         {kLaunchRemote, "Start the MELDAX Macro in GEOPAK and press OK"}, ok, command2},
    };
    for (const auto& c : cases) {
        sandbox.ui().ClearMessages();
        geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
            if (m.text == kFirstQuestion && c.first == IDYES) sandbox.WriteFile(kAns, "");
            return m.text == kFirstQuestion ? c.first : m.text == kSecondQuestion ? c.second : IDOK;
        });
        Set("GeoPak Local", c.local);
        Set("Automatic Startup", c.automatic);
        Set("GeoPak Exchange Directory", c.exchange);
        EXPECT_EQ(protocol.Connect(), c.result);
        EXPECT_EQ(protocol.IsConnected(), c.result);
        ASSERT_EQ(Texts(), c.texts);
        EXPECT_EQ(sandbox.ui().Messages().back().style, c.lastStyle);
        EXPECT_EQ(c.ask.empty() ? "" : sandbox.ReadFile(kAsk), c.ask);
        EXPECT_EQ(sandbox.Exists(kAsk), !c.ask.empty());
    }
    protocol.Disconnect();
    EXPECT_FALSE(protocol.IsConnected());
    const auto quit = geopaktest::ParseCommandText(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"));
    EXPECT_EQ(quit ? quit->code : -1, 13);
}

}  // namespace
