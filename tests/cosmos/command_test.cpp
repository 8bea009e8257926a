// COSMOS commands through the worker against the scripted COSMOS side: the
// hand-over and its dialog, what an answer lets reach the host, the
// accumulated parameter map, closing and interrupting mid-command (restart
// keys, nested re-send, with or without the GEOPAK-WIN window; the dialog's
// Cancel is the end-to-end Ctrl-C test's), a waiting poll ended by the stop,
// and the measuring operations' refusals. (Reports stay in pairs by the
// host-thread tests.)
#include "cosmos_fixture.h"

#include <limits>

namespace {

using testsupport::Eventually;

ScriptedCosmos::Responder Answer(std::string text) {
    return [text](const CosmosCommand&) { return std::optional<std::string>(text); };
}

class Commands : public CosmosTest {
protected:
    // The newest command dialog as the host UI saw it.
    testsupport::ScriptedUI::Modeless LastDialog() {
        auto dialogs = box.ui().ModelessDialogs();
        EXPECT_FALSE(dialogs.empty());
        return dialogs.empty() ? testsupport::ScriptedUI::Modeless{} : dialogs.back();
    }
};

// "Error" stays in the maps: an answer without it keeps the last error. A
// value a point is built from that is not a finite number fails the command,
// goes out again as a number, and is named on the debugger output.
TEST_F(Commands, MoveToReportsTheReachedPointOnlyFromAGoodAnswer) {
    ConnectAndStart();
    std::mutex lock;
    std::string debug;  // written by the worker
    plat::SetDebugOutputHook([&](const std::string& text) { Locked(lock, [&] { debug += text; }); });
    const std::string point = "Error=0\nActualX=1\nActualY=2\nActualZ=3\nActualA=90\nActualB=90\nActualC=0\n";
    const std::pair<std::string, size_t> cases[] = {
        {"Error=1\nActualX=1\n", 0}, {"ActualX=1\n", 0},  // the error stands
        {point + "ActualX=nan\n", 0}, {point + "ActualY=inf\n", 0}, {point + "ActualZ=abc\n", 0},
        {point + "ActualC=-1e999\n", 0}, {point + "ActualB=\n", 0},
        {point + "ActualQ=abc\n", 2},  // not a value a point is built from
        {point + "ActualA=90mm\n", 2},  // a number, as "%lf" reads it
        {point, 2},
    };
    for (const auto& [answer, reports] : cases) {
        cosmos.SetResponder(Answer(answer));
        const size_t before = Reports().size();
        EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
        EXPECT_EQ(Reports().size() - before, reports) << answer;
    }
    plat::SetDebugOutputHook(nullptr);
    std::lock_guard<std::mutex> guard(lock);
    for (const char* named : {"ActualX=nan", "ActualY=inf", "ActualZ=abc", "ActualC=-1e999", "ActualB="})
        EXPECT_NE(debug.find(named), std::string::npos) << debug;  // the points lost, named
    const auto seen = cosmos.Snapshot();
    EXPECT_EQ(seen.commands.at(2)["Error"], 1.0);
    for (const char* bad : {"nan", "inf"}) EXPECT_EQ(seen.Last().bytes.find(bad), std::string::npos);
    const auto reports = Reports();
    ASSERT_GE(reports.size(), 2u);
    const ClientMessage &two = reports[reports.size() - 2], &one = reports.back();
    EXPECT_TRUE(two.type == 2 && two.position.z == 3.0 && one.type == 1 && one.reportedPoint.y == 2.0);
    EXPECT_NEAR(two.secondPoint.x, 1.0, 1e-12);  // point minus the direction cosines
    EXPECT_NEAR(two.secondPoint.z, 2.0, 1e-12);
    // The dialog closes itself once its queued close is pumped.
    plat::PumpMessages();
    EXPECT_TRUE(LastDialog().destroyed);
}

// Every name a map ever held goes out again, in the order the map keeps
// (names from answers included: case counts, characters are signed).
TEST_F(Commands, LaterCommandsCarryTheWholeAccumulatedMap) {
    ConnectAndStart();
    cosmos.SetResponder(Answer("Error=0\nActualX=1.5\nActualY=-2\nActualZ=3.25\nActualA=90\nActualB=0\nActualC=45\n"
                               "error=2\nZ\xE9=1\n"));
    EXPECT_EQ(protocol->MeasurePoint(10, 20, 30, 0, 0, -2), TRUE);
    EXPECT_EQ(protocol->SetProbeAngles(90, 180, 0), TRUE);
    EXPECT_EQ(protocol->MoveTo(5, 6, 7), TRUE);
    EXPECT_EQ(cosmos.Snapshot().Last().bytes, testsupport::Golden("cosmos_accumulated.dat"));
}

TEST_F(Commands, NotConnectedOrRefusedSendsNothing) {
    EXPECT_EQ(protocol->RunCosmosCommand(), 13);
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 0, 0, 1), TRUE);  // still announces the nominal point
    ConnectAndStart();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // The third direction's length overflows.
    for (BOOL refused : {protocol->MeasurePoint(1, 2, 3, 0, 0, 0), protocol->MeasurePoint(1, 2, 3, nan, 0, 1),
                         protocol->MeasurePoint(1, 2, 3, 1e200, 1e200, 0), protocol->MeasurePoint(nan, 2, 3, 0, 0, 1),
                         protocol->MoveTo(std::numeric_limits<double>::infinity(), 0, 0)})
        EXPECT_EQ(refused, FALSE);
    Set("MachineType", 0);
    Set("Has PH9/PH10 Head", 0);
    for (BOOL refused : {protocol->MeasurePoint(1, 2, 3, 0, 0, 1), protocol->MoveTo(1, 2, 3),
                         protocol->SetProbeAngles(90, 180, 0)})
        EXPECT_EQ(refused, FALSE);
    EXPECT_EQ(cosmos.CommandCount(), 1u);  // Connect's
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].type, 1);
}

// The close box in the dialog, or the host's interrupt, while a command
// waits: the macro is cancelled and restarted, the caller's map is re-sent
// with SkipInit 1, and every later command keeps SkipInit 1. Without a
// GEOPAK-WIN window the cancel searches 5 s, asks, says so, and the restart
// keys still go where the focus is.
struct StopCase {
    enum { kClose, kInterrupt, kInterruptWithoutWindow } how;
    int result;
    bool visible, destroyed;  // the dialog, before its queued close is pumped
};

TEST_F(Commands, StoppedCommandRestartsTheMacroAndLaterCommandsKeepSkipInit) {
    ConnectAndStart();
    EXPECT_EQ(protocol->MoveTo(4, 0, 0), TRUE);
    std::atomic<int> taken{0};  // the first command of a round stays unanswered
    const auto answer = Answer("Error=0\n");
    cosmos.SetResponder([&](const CosmosCommand& command) { return taken++ ? answer(command) : std::nullopt; });
    // The questions' answer stays No after the rounds too, so these outlive them.
    uint32_t askedAt = 0, stoppedAt = 0;
    box.ui().OnMessage([&](const testsupport::ShownMessage&) { return askedAt = plat::TickCount(), IDNO; });
    for (const StopCase& c : {StopCase{StopCase::kInterruptWithoutWindow, 200, true, false},
                              {StopCase::kClose, 202, false, true}, {StopCase::kInterrupt, 200, true, false}}) {
        const bool window = c.how != StopCase::kInterruptWithoutWindow;
        cosmos.OpenGeopak();
        taken = 0;
        box.ui().ClearMessages();
        askedAt = stoppedAt = 0;
        const size_t before = cosmos.CommandCount(), keysBefore = cosmos.Snapshot().keys.size();
        std::thread actor([&] {
            EXPECT_TRUE(Eventually([&] { return cosmos.CommandCount() > before; }, 20000));  // stops it anyway
            if (!window) cosmos.CloseGeopak(), plat::SetForegroundWindow(cosmos.PartManager());  // keys go to the focus
            stoppedAt = plat::TickCount();
            if (c.how == StopCase::kClose) plat::PostDialogClose(LastDialog().handle);
            if (c.how != StopCase::kClose) protocol->SignalInterrupt();
        });
        EXPECT_EQ(protocol->RunCosmosCommand(), c.result);
        actor.join();
        const auto dialog = LastDialog();
        EXPECT_EQ(std::pair(dialog.visible, dialog.destroyed), std::pair(c.visible, c.destroyed));
        // The nested re-send was answered, so every key came before it.
        const auto seen = cosmos.Snapshot();
        ASSERT_EQ(seen.commands.size(), before + 2);
        EXPECT_EQ(seen.commands[before]["SkipInit"], window ? 1.0 : 0.0);  // 0 before the first restart only
        const CosmosCommand& resent = seen.commands[before + 1];
        EXPECT_EQ(std::pair(resent["SkipInit"], resent["XGoto"]), std::pair(1.0, 4.0));
        const Strings search = {" The Windows with classname xmeas_res4500drawtask9012 cannot be located on the "
                                "system \n do you want to wait more longer ?",
                                "CANNOT LOCATE THE GEOPAK WINDOW\n"};
        EXPECT_EQ(box.ui().Texts(), window ? Strings() : search);
        if (window) {
            EXPECT_EQ(Strings(seen.keys.begin() + keysBefore, seen.keys.end()), Join(kCancelKeys, kRestartKeys));
        } else {
            EXPECT_EQ(seen.partManagerKeys, kRestartKeys);
            EXPECT_GE(askedAt - stoppedAt, 5000u);
            EXPECT_EQ(box.ui().Messages().at(1).style, MB_ICONHAND | MB_SYSTEMMODAL);
        }
    }
    // A command whose window is gone asks first: No sends nothing (12), Yes goes on.
    cosmos.CloseGeopak();
    cosmos.SetResponder(Answer("Error=0\n"));
    box.ui().ClearMessages();
    EXPECT_EQ(protocol->RunCosmosCommand(), 12);
    EXPECT_EQ(cosmos.CommandCount(), 8u);  // Connect's, the move, and two for each stop
    box.ui().QueueAnswer(IDYES);
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, 0), TRUE);
    EXPECT_EQ(box.ui().Texts(), Strings(2, " Geopak Window Lost - Do you want to continue anyway ?"));
    EXPECT_EQ(box.ui().Messages().at(0).style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_EQ(LastDialog().texts.at(-1), "Cosmos Command In Progress 2 1\n");
}

// A poll left waiting ends by the stop, restart keys and re-send first,
// without a report. Every poll is a fresh "Cmd" only map.
TEST_F(Commands, WaitingPollEndsByStopWithRestartWithoutReport) {
    ConnectAndStart();
    cosmos.SetResponder([](const CosmosCommand& c) { return c["Cmd"] == 5.0 ? std::nullopt : Answer("Error=0\n")(c); });
    protocol->OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));  // Connect's, then the first poll
    protocol->OnStopTransaction();
    const auto seen = cosmos.Snapshot();
    EXPECT_EQ(seen.commands.at(1).bytes, testsupport::Golden("cosmos_poll.dat"));
    EXPECT_EQ(seen.keys, Join(kCancelKeys, kRestartKeys));
    EXPECT_EQ(seen.Last()["SkipInit"], 1.0);
    EXPECT_TRUE(Reports().empty());
}

}  // namespace
