// Connecting to GEOPAK: the startup handshake with a scripted macro, every
// time-out question and its answers, the launch failure, the manual start, and
// the command left for the macro at disconnection.
#include "fake_geopak.h"
#include "geopak/geopak_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

using testsupport::Sandbox;
using testsupport::ShownMessage;

const char kAsk[] = "C:\\DATA\\GEO_COMM.ASK";
const char kAns[] = "C:\\DATA\\GEO_COMM.ANS";
const char kLaunchRemote[] = "Please Launch GEOPAK manually on the other PC";
const char kFirstQuestion[] = "(1)The GEOPAK Software did not response\n Do you want to continue ?";
const char kSecondQuestion[] = "(2)The GEOPAK Software did not respond\n Do you want to continue ? ";
constexpr unsigned kFirstStyle = MB_YESNO | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;
constexpr unsigned kSecondStyle = MB_YESNOCANCEL | MB_ICONEXCLAMATION | MB_SYSTEMMODAL;

// A huge time scale: the 60 s and 10 s acknowledgement waits take moments.
class GeopakConnect : public ::testing::Test {
protected:
    GeopakConnect() : sandbox(5000.0) {
        sandbox.MakeDir("C:\\DATA");
        protocol.m_geopakLocal = 0;
    }
    std::vector<std::string> Texts() {
        std::vector<std::string> texts;
        for (const ShownMessage& m : sandbox.ui().Messages()) texts.push_back(m.text);
        return texts;
    }
    Sandbox sandbox;
    MitutoyoProtocol protocol;
};

TEST_F(GeopakConnect, HandshakeWithRunningMacroConnects) {
    geopaktest::FakeGeopak geopak(sandbox);
    // A busy machine may keep the macro past a time-out: then wait on.
    int questions = 0;
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
        if (m.text == kLaunchRemote) return IDOK;
        ++questions;
        return IDYES;
    });
    ASSERT_TRUE(protocol.Connect());
    EXPECT_TRUE(protocol.IsConnected());
    EXPECT_EQ(geopak.StartupCommands(),
              (std::vector<std::string>{protocol.m_startupCommand1, protocol.m_startupCommand2}));
    EXPECT_EQ(Texts().size(), 1u + questions);
    EXPECT_EQ(Texts()[0], kLaunchRemote);
    EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK);
    EXPECT_FALSE(sandbox.Exists(kAns));
}

// Without a macro thread: the questions are where the test plays GEOPAK.
TEST_F(GeopakConnect, LeftoversGoFirstAndTheLastCommandStays) {
    sandbox.WriteFile(kAns, "old");
    sandbox.WriteFile("C:\\DATA\\GEO_IN.DAT", "old");
    sandbox.WriteFile(kAsk, "a much longer left-over startup command text than any default");
    std::vector<std::string> seen;
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
        if (m.text == kLaunchRemote) {
            EXPECT_FALSE(sandbox.Exists(kAns));
            EXPECT_FALSE(sandbox.Exists("C:\\DATA\\GEO_IN.DAT"));
            return IDOK;
        }
        seen.push_back(sandbox.ReadFile(kAsk));
        sandbox.WriteFile(kAns, "");
        return IDYES;
    });
    ASSERT_TRUE(protocol.Connect());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion, kSecondQuestion}));
    EXPECT_EQ(seen, (std::vector<std::string>{"CMD05(C:\\GEOPAK\\MELDAX\\)",
                                              testsupport::Golden("geopak_comm_ask.dat")}));
    EXPECT_EQ(sandbox.ReadFile(kAsk), testsupport::Golden("geopak_comm_ask.dat"));
    EXPECT_FALSE(sandbox.Exists(kAns));
}

TEST_F(GeopakConnect, YesWaitsAgainWithoutRewritingTheCommand) {
    int firstQuestions = 0;
    geopaktest::HandleEveryMessage(sandbox.ui(), [&](const ShownMessage& m) {
        if (m.text == kFirstQuestion) {
            EXPECT_EQ(m.style, kFirstStyle);
            if (++firstQuestions == 1) {
                sandbox.WriteFile(kAsk, "taken");  // the macro took it; a rewrite would show
                return IDYES;
            }
            EXPECT_EQ(sandbox.ReadFile(kAsk), "taken");
            sandbox.WriteFile(kAns, "");
            return IDYES;
        }
        if (m.text == kSecondQuestion) {
            EXPECT_EQ(m.style, kSecondStyle);
            EXPECT_EQ(sandbox.ReadFile(kAsk), protocol.m_startupCommand2);
            sandbox.WriteFile(kAns, "");
            return IDYES;
        }
        return IDOK;
    });
    ASSERT_TRUE(protocol.Connect());
    EXPECT_EQ(firstQuestions, 2);
    EXPECT_TRUE(protocol.IsConnected());
}

TEST_F(GeopakConnect, NoToEitherQuestionFails) {
    // First question: No. The second command is never written.
    sandbox.ui().SetDefaultAnswer(IDNO);
    EXPECT_FALSE(protocol.Connect());
    EXPECT_FALSE(protocol.IsConnected());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion}));
    EXPECT_EQ(sandbox.ReadFile(kAsk), protocol.m_startupCommand1);

    // Second question: No, and then Cancel.
    for (int refusal : {IDNO, IDCANCEL}) {
        sandbox.ui().ClearMessages();
        geopaktest::HandleEveryMessage(sandbox.ui(), [&, refusal](const ShownMessage& m) {
            if (m.text == kFirstQuestion) {
                sandbox.WriteFile(kAns, "");
                return IDYES;
            }
            return m.text == kSecondQuestion ? refusal : IDOK;
        });
        EXPECT_FALSE(protocol.Connect());
        EXPECT_FALSE(protocol.IsConnected());
        EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote, kFirstQuestion, kSecondQuestion}));
    }
}

TEST_F(GeopakConnect, FailedLaunchNamesTheProgramFile) {
    protocol.m_geopakLocal = 1;  // no C:\GEOPAK\GEOZOR.PIF
    EXPECT_FALSE(protocol.Connect());
    ASSERT_EQ(sandbox.ui().MessageCount(), 1u);
    EXPECT_EQ(Texts()[0], "Cannot Launch GEOPAK  (C:\\GEOPAK\\\\C:\\GEOPAK\\GEOZOR.PIF invalid pif File)");
    EXPECT_EQ(sandbox.ui().Messages()[0].style, MB_OK | MB_SYSTEMMODAL);
    EXPECT_FALSE(sandbox.Exists(kAsk));
}

TEST_F(GeopakConnect, ManualMacroStartWritesNothing) {
    protocol.m_automaticStartup = 0;
    EXPECT_TRUE(protocol.Connect());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote,
                                                 "Start the MELDAX Macro in GEOPAK and press OK"}));
    EXPECT_EQ(sandbox.ui().Messages()[1].style, MB_OK | MB_SYSTEMMODAL);
    EXPECT_FALSE(sandbox.Exists(kAsk));
}

TEST_F(GeopakConnect, UnwritableCommandFileFails) {
    protocol.m_exchangeDirectory = "C:\\MISSING\\";
    EXPECT_FALSE(protocol.Connect());
    EXPECT_EQ(Texts(), (std::vector<std::string>{kLaunchRemote,
                                                 "Cannot open Command file : C:\\MISSING\\GEO_COMM.ASK"}));
    EXPECT_FALSE(protocol.IsConnected());
}

TEST_F(GeopakConnect, DisconnectLeavesTheQuitCommand) {
    protocol.m_automaticStartup = 0;
    ASSERT_TRUE(protocol.Connect());
    protocol.Disconnect();
    EXPECT_FALSE(protocol.IsConnected());
    auto command = geopaktest::ParseCommandText(sandbox.ReadFile("C:\\DATA\\GEO_IN.DAT"));
    ASSERT_TRUE(command);
    EXPECT_EQ(command->code, 13);
    EXPECT_EQ(command->d1, 0.0);
    EXPECT_EQ(command->d6, 0.0);
}

}  // namespace
