// Connecting to GEOPAK: the startup handshake, every time-out question and its
// answers, the launch failure, the manual start, and the command left for the
// macro at disconnection. The tests play the macro from the questions.
#include "fake_geopak.h"

#include <regex>
#include <sstream>

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
    const struct {
        const char* name;
        int local, automatic;
        const char* exchange;
        int first, second;  // the answers to the two questions
    } cases[] = {
        {"NoPifFile", 1, 1, "C:\\DATA\\", IDNO, IDNO},  // no C:\GEOPAK\GEOZOR.PIF
        {"NoExchangeFolder", 0, 1, "C:\\MISSING\\", IDNO, IDNO},
        {"NoToTheFirstQuestion", 0, 1, "C:\\DATA\\", IDNO, IDNO},  // the second command is never written
        {"CancelToTheSecondQuestion", 0, 1, "C:\\DATA\\", IDYES, IDCANCEL},
        {"ManualStart", 0, 0, "C:\\DATA\\", IDNO, IDNO},  // GEO_COMM.ASK left as it was
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
        const BOOL result = protocol.Connect();
        EXPECT_EQ(protocol.IsConnected(), result);
        // What it returned, showed (style and text) and left in GEO_COMM.ASK, as the row's golden file holds it.
        std::ostringstream out;
        out << "result " << result << "\n" << std::hex;
        for (const auto& m : sandbox.ui().Messages())
            out << "box " << m.style << " \"" << std::regex_replace(m.text, std::regex("\n"), "\\n") << "\"\n";
        out << "ask " << (sandbox.Exists(kAsk) ? "\"" + sandbox.ReadFile(kAsk) + "\"" : "none") << "\n";
        EXPECT_EQ(out.str(), testsupport::Golden("geopak_connect/" + std::string(c.name) + ".txt"));
    }
    protocol.Disconnect();
    const auto quit = geopaktest::ParseCommandText(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"));
    EXPECT_EQ(quit ? quit->code : -1, 13);
}

}  // namespace
