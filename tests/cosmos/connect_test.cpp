// Connecting the COSMOS protocol against the scripted COSMOS side: the whole
// start-up, every failure the user is told about (exact texts and styles),
// the Remote Manager answer paths, the bounded wait for GEOPAK-WIN, the log.
#include "cosmos_fixture.h"

#include <filesystem>
#include <regex>
#include <sstream>

namespace {

using testsupport::Golden;
constexpr unsigned kErrorBox = MB_ICONHAND | MB_OK | MB_SYSTEMMODAL;
const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";
const std::string kExe = "C:\\COSMOS\\EXE\\";
const std::string kAns = kVelmor + "REMOTE.ANS";
const std::string kDeclined =
    "Remote Manager did not anwser !\nPlease check that PartManager has been configured\nto automatically launch "
    "RemoteManager at startup\nYou can recover temporaly from this error by making sure thatthe Zorvane macro is "
    "running on GEOPAK-WIN and then click 'YES' on this dialogbox";
const std::string kWaitLonger =
    " REMOTE MANAGER  did not anwser to the request to start the ZOR macro\nDo you want to wait longer ? ";
const std::string kCanceled = "the connection has been canceled";
const std::string kNotFound = " the file : " + kAns + " has not been found while executing remote start ";
const std::string kSending = " Sending SkipInit =0 ";
const std::string kSuccess = " --> Connection SuccessFULL ";

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

class Connect : public CosmosTest {};

TEST_F(Connect, ClosesGeopakStartsTheMacroAndSendsTheFirstExchange) {
    protocol->m_debugLog = 1;
    cosmos.OpenGeopak();
    cosmos.OpenPartManager();
    box.WriteFile(kVelmor + "REMOTE.MSG", "stale");
    box.WriteFile(kVelmor + "GEO_ZOR.DAT", "Error=1\r\n");

    ASSERT_EQ(protocol->Connect(), 1) << ::testing::PrintToString(Texts(box.ui().Messages()));
    EXPECT_TRUE(protocol->IsConnected());
    // Cancel, then exit, typed into the old GEOPAK-WIN.
    const ScriptedCosmos::Seen seen = cosmos.Snapshot();
    EXPECT_EQ(seen.keys, Join(kCancelKeys, kExitKeys));
    EXPECT_EQ(seen.remoteAsks, 1);
    EXPECT_EQ(seen.lastAsk, Golden("cosmos_remote_ask.dat"));
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0].bytes, Golden("cosmos_connect.dat"));
    for (const char* gone : {"REMOTE.ASK", "REMOTE.ANS", "REMOTE.MSG"}) EXPECT_FALSE(box.Exists(kVelmor + gone));
    EXPECT_FALSE(testsupport::ReadLaunchRecord(kExe));  // PartManager ran already
    EXPECT_EQ(protocol->m_geopakWindow.load(), plat::kNoWindow);
    EXPECT_EQ(LogMessages(box), (std::vector<std::string>{kSending, kSuccess}));

    // Connected already: 0, and no file is touched.
    box.WriteFile(kVelmor + "REMOTE.MSG", "keep");
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_TRUE(box.Exists(kVelmor + "REMOTE.MSG"));
}

TEST_F(Connect, LaunchesPartManagerOrLeavesGeopakToTheUserAndDisconnectCancelsTheMacro) {
    EXPECT_EQ(protocol->Disconnect(), 1);  // not connected: no keys
    protocol->m_cosmosPath = "C:\\COSMOS";  // no trailing backslash: added and kept
    ASSERT_EQ(protocol->Connect(), 1);
    EXPECT_EQ(protocol->m_cosmosPath, "C:\\COSMOS\\");
    std::optional<testsupport::LaunchRecord> launched;
    ASSERT_TRUE(testsupport::Eventually([&] { return (launched = testsupport::ReadLaunchRecord(kExe)).has_value(); }));
    EXPECT_EQ(launched->args, std::vector<std::string>{kVelmor + "PARTVOL.MDF"});
    EXPECT_TRUE(testsupport::SamePath(launched->folder, plat::NativePath(kExe)));
    EXPECT_FALSE(box.Exists("C:\\cosmosvelmor.log"));  // no log without DEBUG
    EXPECT_TRUE(cosmos.Snapshot().keys.empty());
    EXPECT_EQ(protocol->Disconnect(), 1);
    EXPECT_FALSE(protocol->IsConnected());
    ASSERT_TRUE(testsupport::Eventually([&] { return cosmos.Snapshot().keys == kCancelKeys; }));

    // GEOPAK on another computer: the user is told, the handshake still runs.
    protocol->m_geopakLocal = 0;
    std::filesystem::remove(plat::NativePath(kExe + "launched.txt"));
    ASSERT_EQ(protocol->Connect(), 1);
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text, "Please Launch GEOPAK manually on the other PC");
    EXPECT_EQ(box.ui().Messages()[0].style, MB_OK);
    EXPECT_EQ(cosmos.Snapshot().remoteAsks, 2);
    EXPECT_FALSE(testsupport::ReadLaunchRecord(kExe));
}

TEST_F(Connect, InstallationFailuresAreReportedAndStaleFilesAreGoneAnyway) {
    box.MakeDir("C:\\EMPTY");
    box.MakeDir("C:\\NOEXE\\VELMOR");
    box.WriteFile("C:\\BAD\\VELMOR\\x", "");
    box.WriteFile("C:\\BAD\\EXE\\PMGRWIN.EXE", "not a program");  // not executable
    for (const char* name : {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"}) {
        box.WriteFile(std::string("C:\\NOEXE\\VELMOR\\") + name, "stale");
    }
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\NOPE", " Cannot locate the COSMOS folder (C:\\NOPE\\)Please check that COSMOS is properly installed\n"},
        {"C:\\EMPTY\\",
         "The VELMOR folder cannot be found under the (C:\\EMPTY\\) FOLDER Please contact your VELMOR AGENT\n"},
        {"C:\\NOEXE\\", "PartManager  cannot be located on (C:\\NOEXE\\)\nthe expected file is C:\\NOEXE\\EXE\\PMGRWIN.EXE"
                        "\n Please check that COSMOS is properly installed\n"},
        {"C:\\BAD\\", "Cannot launch PartManager  (PMGRWIN.EXE) \n Please check that COSMOS is properly installed\n"},
    };
    for (const auto& [path, message] : cases) {
        box.ui().ClearMessages();
        protocol->m_cosmosPath = path;
        EXPECT_EQ(protocol->Connect(), 0) << path;
        EXPECT_EQ(Texts(box.ui().Messages()), std::vector<std::string>{message});
        EXPECT_EQ(box.ui().Messages().at(0).style, kErrorBox);
        EXPECT_FALSE(protocol->IsConnected());
    }
    for (const char* name : {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"}) {
        EXPECT_FALSE(box.Exists(std::string("C:\\NOEXE\\VELMOR\\") + name)) << name;
    }
    protocol->m_cosmosPath = "";
    box.ui().ClearMessages();
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_EQ(box.ui().MessageCount(), 0u);
}

// Remote Manager does not answer REMOTE.ASK: the user's answers to the two
// questions, and what may appear meanwhile, decide.
struct SilentCase {
    std::vector<int> answers;
    enum { kNothing, kRemoteManager, kLateFile } appearsOnLastAnswer;
    int result;
    std::vector<std::string> texts;
    std::vector<std::string> log;
};

class SilentRemoteManager : public CosmosTest, public ::testing::WithParamInterface<SilentCase> {};

TEST_P(SilentRemoteManager, UserAnswersDecide) {
    const SilentCase& row = GetParam();
    protocol->m_debugLog = 1;
    protocol->m_remoteStartTimeout = 1000;  // meant to run out
    cosmos.SetAnswerRemoteAsk(false);
    cosmos.OpenPartManager();
    size_t asked = 0;
    std::function<int(const testsupport::ShownMessage&)> answer = [&](const auto&) {
        const bool last = ++asked == row.answers.size();
        if (!last) box.ui().OnMessage(answer);
        if (last && row.appearsOnLastAnswer == SilentCase::kRemoteManager) {
            // The wait that follows has to outlast GEOPAK-WIN's window being made.
            protocol->m_remoteStartTimeout = kWindowBudgetMs;
            cosmos.SetAnswerRemoteAsk(true);
        }
        if (last && row.appearsOnLastAnswer == SilentCase::kLateFile) box.WriteFile(kAns, "late");
        return row.answers[asked - 1];
    };
    box.ui().OnMessage(answer);
    EXPECT_EQ(protocol->Connect(), row.result);
    EXPECT_EQ(protocol->IsConnected(), row.result == 1);
    EXPECT_EQ(Texts(box.ui().Messages()), row.texts);
    for (const auto& shown : box.ui().Messages()) {
        EXPECT_EQ(shown.style, shown.text == kCanceled ? MB_OK : MB_ICONHAND | MB_YESNO | MB_SYSTEMMODAL);
    }
    EXPECT_EQ(LogMessages(box), row.log);
    EXPECT_FALSE(box.Exists(kAns));
    EXPECT_EQ(cosmos.CommandCount(), row.result == 1 ? 1u : 0u);
}

const std::string kAppeared = " the file : " + kAns + " has appeared now : may be we should adjust the time out ";
const std::string kStillNot = " the file : " + kAns + " is still not here and the user asked to continue";
INSTANTIATE_TEST_SUITE_P(
    Paths, SilentRemoteManager,
    ::testing::Values(
        SilentCase{{IDNO, IDNO}, SilentCase::kNothing, 0, {kWaitLonger, kDeclined, kCanceled}, {kNotFound}},
        SilentCase{{IDYES}, SilentCase::kRemoteManager, 1, {kWaitLonger}, {kNotFound, kSending, kSuccess}},
        SilentCase{{IDNO, IDYES}, SilentCase::kLateFile, 1, {kWaitLonger, kDeclined},
                   {kNotFound, kAppeared, kSending, kSuccess}},
        SilentCase{{IDNO, IDYES}, SilentCase::kNothing, 1, {kWaitLonger, kDeclined},
                   {kNotFound, kStillNot, kSending, kSuccess}}));

TEST_F(Connect, RemoteAskThatCannotBeCreated) {
    box.MakeDir(kVelmor + "REMOTE.ASK\\sub");  // a folder that deletion cannot remove
    cosmos.OpenPartManager();
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_EQ(Texts(box.ui().Messages()),
              (std::vector<std::string>{"Cannot Open " + kVelmor + "REMOTE.ASK", kDeclined, kCanceled}));
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
    EXPECT_EQ(Texts(box.ui().Messages()), (std::vector<std::string>{question, question, kCanceled}));
    EXPECT_EQ(box.ui().Messages()[0].style, MB_YESNO | MB_SYSTEMMODAL);
    plat::DestroyTopLevelWindow(stuck);
}

}  // namespace
