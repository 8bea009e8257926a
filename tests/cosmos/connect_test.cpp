// Connecting the COSMOS protocol against the scripted COSMOS side: the whole
// start-up, every failure the user is told about (exact texts and styles),
// the Remote Manager answer paths, the bounded wait for GEOPAK-WIN, the log.
#include "cosmos_fixture.h"

#include <regex>
#include <sstream>

namespace {

using testsupport::Golden;
const std::string kVelmor = "C:\\COSMOS\\VELMOR\\";
const std::string kExe = "C:\\COSMOS\\EXE\\";
const std::string kAns = kVelmor + "REMOTE.ANS";
const std::string kCanceled = "the connection has been canceled";

class Connect : public CosmosTest {};

TEST_F(Connect, ClosesGeopakStartsTheMacroAndSendsTheFirstExchange) {
    cosmos.OpenGeopak();
    cosmos.OpenPartManager();
    EXPECT_EQ(protocol->Disconnect(), 1);  // not connected: no keys

    ASSERT_EQ(protocol->Connect(), 1) << ::testing::PrintToString(box.ui().Texts());
    // Cancel, then exit, typed into the old GEOPAK-WIN.
    const ScriptedCosmos::Seen seen = cosmos.Snapshot();
    EXPECT_EQ(seen.keys, Join(kCancelKeys, kExitKeys));
    EXPECT_EQ(seen.asks, Strings{Golden("cosmos_remote_ask.dat")});
    ASSERT_EQ(seen.commands.size(), 1u);
    EXPECT_EQ(seen.commands[0].bytes, Golden("cosmos_connect.dat"));
    EXPECT_FALSE(box.Exists(kVelmor + "REMOTE.ASK"));
    EXPECT_FALSE(testsupport::ReadLaunchRecord(kExe));  // PartManager ran already
    // The closed GEOPAK-WIN is forgotten: the new one is brought forward.
    plat::SetForegroundWindow(cosmos.PartManager());
    protocol->OnStartTransaction();
    EXPECT_EQ(plat::ForegroundWindow(), cosmos.Geopak());
}

// What Connect returns, shows (style and text) and logs, against a golden
// file per row, when the installation is broken, when Remote Manager stays
// silent (the user's answers, and what turns up meanwhile, decide), when the
// request cannot be written, when the host UI throws, and when GEOPAK runs on
// another computer (the handshake still runs). PartManager, where it does not
// run yet, is started on the part volume.
struct Outcome {
    const char* name;
    std::string cosmosPath;
    std::vector<int> answers;  // to the message boxes in turn; then the last one's side effect
    enum { kNothing, kRemoteManagerWakes, kLateAnswerFile, kThrows } then;
    bool geopakLocal = true;
};

class ConnectOutcome : public CosmosTest, public ::testing::WithParamInterface<Outcome> {};

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
    const int result = protocol->Connect();
    EXPECT_EQ(protocol->IsConnected(), result == 1);
    std::ostringstream out;
    out << "result " << result << "\n" << std::hex;
    for (const auto& m : box.ui().Messages())
        out << "box " << m.style << " \"" << std::regex_replace(m.text, std::regex("\n"), "\\n") << "\"\n";
    // Each log line is "%x %X" in the C locale, " : ", the message, CR LF.
    const std::regex logLine("\\d\\d/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d : ([^\r\n]*)\r\n");
    out << std::regex_replace(box.ReadFile("C:\\cosmosvelmor.log"), logLine, "log \"$1\"\n");
    EXPECT_EQ(out.str(), Golden("cosmos_connect/" + std::string(row.name) + ".txt"));
    // Only Connect on their folder removes them, and does so however it ends.
    for (const std::string& name : stale)
        EXPECT_EQ(box.Exists("C:\\NOEXE\\VELMOR\\" + name), row.cosmosPath != "C:\\NOEXE\\") << name;
    EXPECT_FALSE(box.Exists(kAns));
    EXPECT_EQ(cosmos.CommandCount(), result == 1 ? 1u : 0u);
    if (row.cosmosPath != "C:\\COSMOS\\") return;
    std::optional<testsupport::LaunchRecord> launched;
    ASSERT_TRUE(testsupport::Eventually([&] { return (launched = testsupport::ReadLaunchRecord(kExe)).has_value(); }));
    EXPECT_EQ(launched->args, std::vector<std::string>{kVelmor + "PARTVOL.MDF"});
    EXPECT_TRUE(testsupport::SamePath(launched->folder, plat::NativePath(kExe)));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ConnectOutcome,
    ::testing::Values(Outcome{"NoCosmosFolder", "C:\\NOPE", {}, Outcome::kNothing},
                      Outcome{"NoVelmorFolder", "C:\\EMPTY\\", {}, Outcome::kNothing},
                      Outcome{"NoPartManager", "C:\\NOEXE\\", {}, Outcome::kNothing},
                      Outcome{"PartManagerDoesNotStart", "C:\\BAD\\", {}, Outcome::kNothing},
                      Outcome{"NoFolderSet", "", {}, Outcome::kNothing},
                      Outcome{"ExceptionIsLogged", "C:\\NOPE\\", {}, Outcome::kThrows},
                      Outcome{"RequestCannotBeWritten", "C:\\NOASK\\", {IDOK, IDNO}, Outcome::kNothing},
                      Outcome{"UserGivesUp", "C:\\COSMOS\\", {IDNO, IDNO}, Outcome::kNothing},
                      Outcome{"RemoteManagerAnswersTheSecondWait", "C:\\COSMOS\\", {IDYES}, Outcome::kRemoteManagerWakes},
                      Outcome{"LateAnswerFile", "C:\\COSMOS\\", {IDNO, IDYES}, Outcome::kLateAnswerFile},
                      Outcome{"UserContinuesAnyway", "C:\\COSMOS\\", {IDNO, IDYES}, Outcome::kNothing},
                      Outcome{"GeopakElsewhere", "C:\\COSMOS", {IDOK}, Outcome::kRemoteManagerWakes, false}),
    [](const ::testing::TestParamInfo<Outcome>& info) { return std::string(info.param.name); });

TEST_F(Connect, GeopakThatDoesNotCloseIsBoundedByTheUser) {
    // A GEOPAK-WIN that ignores its exit keys: nobody plays it.
    const plat::WindowHandle stuck = plat::CreateTopLevelWindow(ScriptedCosmos::kGeopakClass, "GEOPAK-WIN");
    box.ui().QueueAnswer(IDYES);
    EXPECT_EQ(protocol->Connect(), 0);  // after two rounds of 10 s
    const std::string question = "GEOPAK-WIN (window class xmeas_res4500drawtask9012) has not closed within 10 "
                                 "seconds\nDo you want to wait longer ?";
    EXPECT_EQ(box.ui().Texts(), (std::vector<std::string>{question, question, kCanceled}));
    EXPECT_EQ(box.ui().Messages()[0].style, MB_YESNO | MB_SYSTEMMODAL);
    plat::DestroyTopLevelWindow(stuck);
}

}  // namespace
