// Connecting the COSMOS protocol against the scripted COSMOS side: the whole
// start-up, every failure the user is told about (exact texts and styles),
// the Remote Manager answer paths, the bounded wait for GEOPAK-WIN, the log.
#include "cosmos_fixture.h"

#include <filesystem>
#include <regex>

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
const std::string kLaunchByHand = "Please Launch GEOPAK manually on the other PC";

// The log's messages: each line is "%x %X" in the C locale, " : ", the message, CR LF.
Strings LogMessages(testsupport::Sandbox& box) {
    const std::string log = box.ReadFile("C:\\cosmosvelmor.log");
    const std::regex line("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d : ([^\r\n]*)\r\n");
    Strings messages;
    for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it) messages.push_back((*it)[1]);
    return messages;
}

class Connect : public CosmosTest {};

TEST_F(Connect, ClosesGeopakStartsTheMacroAndSendsTheFirstExchange) {
    Set("DEBUG", 1);
    cosmos.OpenGeopak();
    cosmos.OpenPartManager();
    EXPECT_EQ(protocol->Disconnect(), 1);  // not connected: no keys

    ASSERT_EQ(protocol->Connect(), 1) << ::testing::PrintToString(Texts(box.ui().Messages()));
    // Cancel, then exit, typed into the old GEOPAK-WIN.
    const ScriptedCosmos::Seen seen = cosmos.Snapshot();
    EXPECT_EQ(seen.keys, Join(kCancelKeys, kExitKeys));
    EXPECT_EQ(seen.remoteAsks, 1);
    EXPECT_EQ(seen.lastAsk, Golden("cosmos_remote_ask.dat"));
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0].bytes, Golden("cosmos_connect.dat"));
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.ASK"));
    EXPECT_FALSE(testsupport::ReadLaunchRecord(kExe));  // PartManager ran already
    // The closed GEOPAK-WIN is forgotten: the new one is brought forward.
    plat::SetForegroundWindow(cosmos.PartManager());
    protocol->OnStartTransaction();
    EXPECT_EQ(plat::ForegroundWindow(), cosmos.Geopak());

    // Connected already: 0, and no file is touched.
    box.WriteFile(kVelmor + "REMOTE.MSG", "keep");
    EXPECT_EQ(protocol->Connect(), 0);
    EXPECT_TRUE(box.Exists(kVelmor + "REMOTE.MSG"));
}

// What Connect shows, logs and returns when the installation is broken, when
// Remote Manager stays silent (the user's answers, and what turns up
// meanwhile, decide), when the request cannot be written, when the host UI
// throws, and when GEOPAK runs on another computer (the handshake still runs).
// PartManager, where it does not run yet, is started on the part volume.
struct Outcome {
    const char* name;
    std::string cosmosPath;
    std::vector<int> answers;  // to the message boxes in turn; then the last one's side effect
    enum { kNothing, kRemoteManagerWakes, kLateAnswerFile, kThrows } then;
    int result;
    Strings texts, log;
    bool geopakLocal = true;
};

class ConnectOutcome : public CosmosTest, public ::testing::WithParamInterface<Outcome> {};

unsigned StyleOf(const std::string& text) {
    if (text == kCanceled || text == kLaunchByHand) return MB_OK;
    if (text == kWaitLonger || text == kDeclined) return MB_ICONHAND | MB_YESNO | MB_SYSTEMMODAL;
    return kErrorBox;
}

TEST_P(ConnectOutcome, ShowsLogsAndReturns) {
    const Outcome& row = GetParam();
    box.MakeDir("C:\\EMPTY");
    box.MakeDir("C:\\NOEXE\\VELMOR");
    box.WriteFile("C:\\BAD\\VELMOR\\x", "");
    box.WriteFile("C:\\BAD\\EXE\\PMGRWIN.EXE", "not a program");  // not executable
    box.MakeDir("C:\\NOASK\\VELMOR\\REMOTE.ASK\\sub");  // a folder that deletion cannot remove
    testsupport::InstallRecordingProgram("C:\\NOASK\\EXE\\PMGRWIN.EXE");
    // Stale exchange files where the scripted side does not look (on Windows its
    // looks would keep a stale ZOR_GEO.DAT from being removed).
    const Strings stale = {"REMOTE.MSG", "GEO_ZOR.DAT", "ZOR_GEO.DAT", "REMOTE.ASK", "REMOTE.ANS"};
    for (const std::string& name : stale) box.WriteFile("C:\\NOEXE\\VELMOR\\" + name, "stale");
    Set("CosmosPath", row.cosmosPath);
    Set("GeoPak Local", row.geopakLocal ? 1 : 0);
    Set("DEBUG", 1);
    Set("REMOTESTARTTIMEOUT", 1000);  // meant to run out
    cosmos.SetAnswerRemoteAsk(false);
    size_t asked = 0;
    std::function<int(const testsupport::ShownMessage&)> answer = [&](const auto&) {
        const bool last = ++asked >= row.answers.size();
        if (!last) box.ui().OnMessage(answer);
        if (last && row.then == Outcome::kThrows) throw std::runtime_error("host UI failed");
        if (last && row.then == Outcome::kLateAnswerFile) box.WriteFile(kAns, "late");
        if (last && row.then == Outcome::kRemoteManagerWakes) {
            Set("REMOTESTARTTIMEOUT", kWindowBudgetMs);  // to outlast GEOPAK-WIN's window being made
            cosmos.SetAnswerRemoteAsk(true);
        }
        return row.answers.empty() ? IDOK : row.answers[asked - 1];
    };
    box.ui().OnMessage(answer);
    EXPECT_EQ(protocol->Connect(), row.result);
    EXPECT_EQ(protocol->IsConnected(), row.result == 1);
    EXPECT_EQ(Texts(box.ui().Messages()), row.texts);
    for (const auto& shown : box.ui().Messages()) EXPECT_EQ(shown.style, StyleOf(shown.text)) << shown.text;
    EXPECT_EQ(LogMessages(box), row.log);
    // Only Connect on their folder removes them, and does so however it ends.
    for (const std::string& name : stale) {
        EXPECT_EQ(box.Exists("C:\\NOEXE\\VELMOR\\" + name), row.cosmosPath != "C:\\NOEXE\\") << name;
    }
    EXPECT_FALSE(box.Exists(kAns));
    EXPECT_EQ(cosmos.CommandCount(), row.result == 1 ? 1u : 0u);
    if (row.cosmosPath != "C:\\COSMOS\\") return;
    std::optional<testsupport::LaunchRecord> launched;
    ASSERT_TRUE(testsupport::Eventually([&] { return (launched = testsupport::ReadLaunchRecord(kExe)).has_value(); }));
    EXPECT_EQ(launched->args, std::vector<std::string>{kVelmor + "PARTVOL.MDF"});
    EXPECT_TRUE(testsupport::SamePath(launched->folder, plat::NativePath(kExe)));
}

const std::string kNoCosmos = " Cannot locate the COSMOS folder (C:\\NOPE\\)Please check that COSMOS is properly installed\n";
const std::string kAppeared = " the file : " + kAns + " has appeared now : may be we should adjust the time out ";
const std::string kStillNot = " the file : " + kAns + " is still not here and the user asked to continue";
INSTANTIATE_TEST_SUITE_P(
    Paths, ConnectOutcome,
    ::testing::Values(
        Outcome{"NoCosmosFolder", "C:\\NOPE", {}, Outcome::kNothing, 0, {kNoCosmos}, {}},
        Outcome{"NoVelmorFolder", "C:\\EMPTY\\", {}, Outcome::kNothing, 0,
                {"The VELMOR folder cannot be found under the (C:\\EMPTY\\) FOLDER Please contact your VELMOR AGENT\n"}, {}},
        Outcome{"NoPartManager", "C:\\NOEXE\\", {}, Outcome::kNothing, 0,
                {"PartManager  cannot be located on (C:\\NOEXE\\)\nthe expected file is C:\\NOEXE\\EXE\\PMGRWIN.EXE\n "
                 "Please check that COSMOS is properly installed\n"}, {}},
        Outcome{"PartManagerDoesNotStart", "C:\\BAD\\", {}, Outcome::kNothing, 0,
                {"Cannot launch PartManager  (PMGRWIN.EXE) \n Please check that COSMOS is properly installed\n"}, {}},
        Outcome{"NoFolderSet", "", {}, Outcome::kNothing, 0, {}, {}},
        Outcome{"ExceptionIsLogged", "C:\\NOPE\\", {}, Outcome::kThrows, 0, {kNoCosmos},
                {"There was an untrapped execption in MitutoyoCosmosProtocol::Connect"}},
        Outcome{"RequestCannotBeWritten", "C:\\NOASK\\", {IDOK, IDNO}, Outcome::kNothing, 0,
                {"Cannot Open C:\\NOASK\\VELMOR\\REMOTE.ASK", kDeclined, kCanceled}, {}},
        Outcome{"UserGivesUp", "C:\\COSMOS\\", {IDNO, IDNO}, Outcome::kNothing, 0,
                {kWaitLonger, kDeclined, kCanceled}, {kNotFound}},
        Outcome{"RemoteManagerAnswersTheSecondWait", "C:\\COSMOS\\", {IDYES}, Outcome::kRemoteManagerWakes, 1,
                {kWaitLonger}, {kNotFound, kSending, kSuccess}},
        Outcome{"LateAnswerFile", "C:\\COSMOS\\", {IDNO, IDYES}, Outcome::kLateAnswerFile, 1,
                {kWaitLonger, kDeclined}, {kNotFound, kAppeared, kSending, kSuccess}},
        Outcome{"UserContinuesAnyway", "C:\\COSMOS\\", {IDNO, IDYES}, Outcome::kNothing, 1,
                {kWaitLonger, kDeclined}, {kNotFound, kStillNot, kSending, kSuccess}},
        Outcome{"GeopakElsewhere", "C:\\COSMOS", {IDOK}, Outcome::kRemoteManagerWakes, 1, {kLaunchByHand},
                {kSending, kSuccess}, false}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::string(info.param.name); });

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
