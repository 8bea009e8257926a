// Connecting the COSMOS protocol against the scripted COSMOS side: the whole
// start-up, every failure the user is told about (exact texts and styles),
// the late Remote Manager answer, the bounded wait for GEOPAK-WIN, the log.
#include "cosmos_fixture.h"
#include "framework/toolbox.h"

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

std::vector<std::string> KeyLines(const std::string& keys) {
    std::vector<std::string> lines;
    for (const plat::KeyStroke& key : ParseKeyString(keys).keys) lines.push_back(plat::KeyStrokeText(key));
    return lines;
}

namespace {

using testsupport::Golden;
constexpr unsigned kErrorBox = MB_ICONHAND | MB_OK | MB_SYSTEMMODAL;
constexpr unsigned kErrorQuestion = MB_ICONHAND | MB_YESNO | MB_SYSTEMMODAL;
const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";
const char* const kDeclined =
    "Remote Manager did not anwser !\nPlease check that PartManager has been configured\nto automatically launch "
    "RemoteManager at startup\nYou can recover temporaly from this error by making sure thatthe Zorvane macro is "
    "running on GEOPAK-WIN and then click 'YES' on this dialogbox";
const char* const kWaitLonger =
    " REMOTE MANAGER  did not anwser to the request to start the ZOR macro\nDo you want to wait longer ? ";

std::vector<std::string> LogMessages(testsupport::Sandbox& box) {
    std::istringstream in(box.ReadFile("C:\\cosmosvelmor.log"));
    std::vector<std::string> messages;
    // "%x %X" in the C locale, " : ", the message, CR LF.
    const std::regex line("^(\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d) : (.*)\r$");
    for (std::string text; std::getline(in, text);) {
        std::smatch match;
        EXPECT_TRUE(std::regex_match(text, match, line)) << text;
        if (match.size() == 3) messages.push_back(match[2]);
    }
    return messages;
}

std::vector<std::string> Texts(const std::vector<testsupport::ShownMessage>& shown) {
    std::vector<std::string> texts;
    for (const auto& message : shown) texts.push_back(message.text);
    return texts;
}

class Connect : public CosmosTest {};

TEST_F(Connect, ClosesGeopakStartsTheMacroAndSendsTheFirstExchange) {
    protocol->m_debugLog = 1;
    cosmos.OpenGeopak();
    cosmos.OpenPartManager();
    box.WriteFile(kVelmor + "REMOTE.MSG", "stale");
    box.WriteFile(kVelmor + "GEO_ZOR.DAT", "Error=1\r\n");
    cosmos.Start();

    ASSERT_EQ(protocol->Connect(), 1);
    EXPECT_TRUE(protocol->IsConnected());
    EXPECT_TRUE(box.ui().Messages().empty());
    // Cancel, then exit, typed into the old GEOPAK-WIN.
    std::vector<std::string> expectedKeys = KeyLines(protocol->m_cancelMacroKeys);
    for (const std::string& key : KeyLines(protocol->m_exitGeopakKeys)) expectedKeys.push_back(key);
    EXPECT_EQ(cosmos.KeyTexts(), expectedKeys);
    EXPECT_EQ(cosmos.RemoteAsksAnswered(), 1);
    EXPECT_EQ(cosmos.LastRemoteAsk(), Golden("cosmos_remote_ask.dat"));
    ASSERT_EQ(cosmos.CommandCount(), 1u);
    EXPECT_EQ(cosmos.Commands()[0].bytes, Golden("cosmos_connect.dat"));
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.ASK"));
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.ANS"));
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.MSG"));
    EXPECT_FALSE(box.Exists("C:\\COSMOS\\EXE\\launched.txt"));  // PartManager ran already
    EXPECT_EQ(protocol->m_geopakWindow.load(), plat::kNoWindow);
    EXPECT_EQ(LogMessages(box), (std::vector<std::string>{" Sending SkipInit =0 ", " --> Connection SuccessFULL "}));

    // Connected already: 0, and no file is touched.
    box.WriteFile(kVelmor + "REMOTE.MSG", "keep");
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_TRUE(box.Exists(kVelmor + "REMOTE.MSG"));
}

TEST_F(Connect, LaunchesPartManagerWithTheVolumeFile) {
    protocol->m_cosmosPath = "C:\\COSMOS";  // no trailing backslash: added and kept
    cosmos.Start();
    ASSERT_EQ(protocol->Connect(), 1);
    EXPECT_EQ(protocol->m_cosmosPath, "C:\\COSMOS\\");
    ASSERT_TRUE(testsupport::Eventually([&] { return box.Exists("C:\\COSMOS\\EXE\\launched.txt"); }));
    ASSERT_TRUE(testsupport::Eventually(
        [&] { return box.ReadFile("C:\\COSMOS\\EXE\\launched.txt") == "C:\\COSMOS\\VELMOR\\PARTVOL.MDF"; }));
}

TEST_F(Connect, GeopakOnAnotherComputerIsLeftToTheUserAndTheHandshakeStillRuns) {
    protocol->m_geopakLocal = 0;
    cosmos.Start();
    ASSERT_EQ(protocol->Connect(), 1);
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text, "Please Launch GEOPAK manually on the other PC");
    EXPECT_EQ(box.ui().Messages()[0].style, MB_OK);
    EXPECT_EQ(cosmos.RemoteAsksAnswered(), 1);
    EXPECT_FALSE(box.Exists("C:\\COSMOS\\EXE\\launched.txt"));
}

TEST_F(Connect, InstallationFailuresAreReportedAndStaleFilesAreGoneAnyway) {
    struct Case {
        std::string path;
        std::string message;
    };
    box.MakeDir("C:\\EMPTY");
    box.MakeDir("C:\\NOEXE\\VELMOR");
    const std::vector<Case> cases = {
        {"C:\\NOPE",
         " Cannot locate the COSMOS folder (C:\\NOPE\\)Please check that COSMOS is properly installed\n"},
        {"C:\\EMPTY\\",
         "The VELMOR folder cannot be found under the (C:\\EMPTY\\) FOLDER Please contact your VELMOR AGENT\n"},
        {"C:\\NOEXE\\",
         "PartManager  cannot be located on (C:\\NOEXE\\)\nthe expected file is C:\\NOEXE\\EXE\\PMGRWIN.EXE\n Please "
         "check that COSMOS is properly installed\n"},
    };
    for (const Case& c : cases) {
        box.ui().ClearMessages();
        protocol->m_cosmosPath = c.path;
        EXPECT_EQ(protocol->Connect(), 0) << c.path;
        ASSERT_EQ(box.ui().MessageCount(), 1u) << c.path;
        EXPECT_EQ(box.ui().Messages()[0].text, c.message);
        EXPECT_EQ(box.ui().Messages()[0].style, kErrorBox);
        EXPECT_FALSE(protocol->IsConnected());
    }
    // Stale exchange files go before the checks that fail.
    for (const char* name : {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"}) {
        box.WriteFile(std::string("C:\\NOEXE\\VELMOR\\") + name, "stale");
    }
    EXPECT_EQ(protocol->Connect(), 0);
    for (const char* name : {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"}) {
        EXPECT_FALSE(box.Exists(std::string("C:\\NOEXE\\VELMOR\\") + name)) << name;
    }
    protocol->m_cosmosPath = "";
    box.ui().ClearMessages();
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_EQ(box.ui().MessageCount(), 0u);
}

TEST_F(Connect, LaunchFailureIsReported) {
    box.WriteFile("C:\\COSMOS\\EXE\\PMGRWIN.EXE", "not a program");  // no longer executable
    std::filesystem::permissions(plat::NativePath("C:\\COSMOS\\EXE\\PMGRWIN.EXE"), std::filesystem::perms::owner_read |
                                                                                   std::filesystem::perms::owner_write);
    EXPECT_EQ(protocol->Connect(), 0);
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text,
              "Cannot launch PartManager  (PMGRWIN.EXE) \n Please check that COSMOS is properly installed\n");
    EXPECT_EQ(box.ui().Messages()[0].style, kErrorBox);
}

TEST_F(Connect, RemoteManagerSilentAndUserGivesUp) {
    protocol->m_debugLog = 1;
    cosmos.SetAnswerRemoteAsk(false);
    cosmos.OpenPartManager();
    cosmos.Start();
    EXPECT_EQ(protocol->Connect(), 0);
    const auto shown = box.ui().Messages();
    EXPECT_EQ(Texts(shown), (std::vector<std::string>{kWaitLonger, kDeclined, "the connection has been canceled"}));
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].style, kErrorQuestion);
    EXPECT_EQ(shown[1].style, kErrorQuestion);
    EXPECT_EQ(shown[2].style, MB_OK);
    EXPECT_TRUE(box.Exists(kVelmor + "REMOTE.ASK"));
    EXPECT_FALSE(protocol->IsConnected());
    EXPECT_EQ(LogMessages(box), (std::vector<std::string>{" the file : " + kVelmor +
                                                          "REMOTE.ANS has not been found while executing remote start "}));
}

TEST_F(Connect, UserWaitsLongerAndRemoteManagerAnswers) {
    cosmos.SetAnswerRemoteAsk(false);
    cosmos.OpenPartManager();
    cosmos.Start();
    box.ui().OnMessage([&](const testsupport::ShownMessage&) {
        cosmos.SetAnswerRemoteAsk(true);
        return IDYES;
    });
    EXPECT_EQ(protocol->Connect(), 1);
    EXPECT_EQ(Texts(box.ui().Messages()), (std::vector<std::string>{kWaitLonger}));
}

TEST_F(Connect, LateRemoteAnswerAfterTheUserSaysYes) {
    protocol->m_debugLog = 1;
    cosmos.SetAnswerRemoteAsk(false);
    cosmos.OpenPartManager();
    cosmos.OpenGeopak();  // the user made sure the macro runs
    cosmos.Start();
    // No to waiting longer; then Remote Manager answers just before the user's Yes.
    box.ui().OnMessage([&](const testsupport::ShownMessage& shown) {
        EXPECT_EQ(shown.text, kWaitLonger);
        box.ui().OnMessage([&](const testsupport::ShownMessage& declined) {
            EXPECT_EQ(declined.text, kDeclined);
            box.WriteFile(kVelmor + "REMOTE.ANS", "late");
            return IDYES;
        });
        return IDNO;
    });
    EXPECT_EQ(protocol->Connect(), 1);
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.ANS"));
    EXPECT_TRUE(box.Exists(kVelmor + "REMOTE.ASK"));
    const std::string ans = kVelmor + "REMOTE.ANS";
    EXPECT_EQ(LogMessages(box),
              (std::vector<std::string>{" the file : " + ans + " has not been found while executing remote start ",
                                        " the file : " + ans + " has appeared now : may be we should adjust the time out ",
                                        " Sending SkipInit =0 ", " --> Connection SuccessFULL "}));
    EXPECT_EQ(cosmos.CommandCount(), 1u);
}

TEST_F(Connect, StillMissingAnswerIsLoggedAndTheConnectionGoesOn) {
    protocol->m_debugLog = 1;
    cosmos.SetAnswerRemoteAsk(false);
    cosmos.OpenPartManager();
    cosmos.Start();
    box.ui().OnMessage([&](const testsupport::ShownMessage&) {
        box.ui().OnMessage([](const testsupport::ShownMessage&) { return IDYES; });
        return IDNO;
    });
    EXPECT_EQ(protocol->Connect(), 1);
    const auto log = LogMessages(box);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[1], " the file : " + kVelmor + "REMOTE.ANS is still not here and the user asked to continue");
}

TEST_F(Connect, RemoteAskThatCannotBeCreated) {
    box.MakeDir(kVelmor + "REMOTE.ASK\\sub");  // a folder that deletion cannot remove
    cosmos.OpenPartManager();
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_EQ(Texts(box.ui().Messages()), (std::vector<std::string>{"Cannot Open " + kVelmor + "REMOTE.ASK", kDeclined,
                                                                    "the connection has been canceled"}));
    EXPECT_EQ(box.ui().Messages()[0].style, kErrorBox);
}

TEST_F(Connect, ExceptionBecomesALogLineAndZero) {
    protocol->m_debugLog = 1;
    protocol->m_cosmosPath = "C:\\NOPE\\";
    box.ui().OnMessage([](const testsupport::ShownMessage&) -> int { throw std::runtime_error("host UI failed"); });
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_EQ(LogMessages(box),
              (std::vector<std::string>{"There was an untrapped execption in MitutoyoCosmosProtocol::Connect"}));
}

TEST_F(Connect, GeopakThatDoesNotCloseIsBoundedByTheUser) {
    // A GEOPAK-WIN that ignores its exit keys: nobody plays it.
    const plat::WindowHandle stuck = plat::CreateTopLevelWindow(ScriptedCosmos::kGeopakClass, "GEOPAK-WIN");
    box.ui().QueueAnswer(IDYES);
    const uint32_t start = plat::TickCount();
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_GE(plat::TickCount() - start, 20000u);  // two rounds of 10 s
    const std::string question = "GEOPAK-WIN (window class xmeas_res4500drawtask9012) has not closed within 10 "
                                 "seconds\nDo you want to wait longer ?";
    EXPECT_EQ(Texts(box.ui().Messages()),
              (std::vector<std::string>{question, question, "the connection has been canceled"}));
    EXPECT_EQ(box.ui().Messages()[0].style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_FALSE(protocol->IsConnected());
    plat::DestroyTopLevelWindow(stuck);
}

TEST_F(Connect, NoLogWithoutDebugAndDisconnectCancelsTheMacroOnlyWhenConnected) {
    EXPECT_EQ(protocol->Disconnect(), 1);
    EXPECT_TRUE(cosmos.KeyTexts().empty());
    cosmos.OpenPartManager();
    cosmos.Start();
    ASSERT_EQ(protocol->Connect(), 1);
    EXPECT_FALSE(box.Exists("C:\\cosmosvelmor.log"));
    EXPECT_EQ(protocol->Disconnect(), 1);
    EXPECT_FALSE(protocol->IsConnected());
    ASSERT_TRUE(testsupport::Eventually([&] { return cosmos.KeyTexts() == KeyLines(protocol->m_cancelMacroKeys); }));
}

TEST_F(Connect, MissingGeopakWindowAsksAfterFiveSeconds) {
    const uint32_t start = plat::TickCount();
    protocol->OnStartTransaction();
    EXPECT_GE(plat::TickCount() - start, 5000u);
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text,
              " The Windows with classname xmeas_res4500drawtask9012 cannot be located on the system \n do you want "
              "to wait more longer ?");
    EXPECT_EQ(protocol->m_geopakWindow.load(), plat::kNoWindow);
    EXPECT_TRUE(protocol->IsTransactionStarted());
    // Outside a transaction the stop does nothing; inside but not connected, only the base part.
    protocol->OnStopTransaction();
    EXPECT_FALSE(protocol->IsTransactionStarted());
    protocol->OnStopTransaction();
}

}  // namespace
