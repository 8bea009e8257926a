// COSMOS commands through the worker against the scripted COSMOS side: the
// hand-over and its dialog, the accumulated parameter map, cancelling,
// closing and interrupting mid-command (restart keys, nested re-send, with or
// without the GEOPAK-WIN window), position polling and its interplay with
// commands and transaction ends, and the measuring operations' refusals.
#include "cosmos_fixture.h"
#include "dialogs/resource.h"

#include <limits>

namespace {

using testsupport::Eventually;

void ExpectValues(const CosmosCommand& command, std::initializer_list<std::pair<const char*, double>> expected) {
    for (const auto& [name, value] : expected) EXPECT_EQ(command[name], value) << name;
}

std::optional<std::string> Answer(const std::string& text) { return text; }

class Commands : public CosmosTest {
protected:
    // The newest command dialog as the host UI saw it.
    testsupport::ScriptedUI::Modeless LastDialog() {
        auto dialogs = box.ui().ModelessDialogs();
        EXPECT_FALSE(dialogs.empty());
        return dialogs.empty() ? testsupport::ScriptedUI::Modeless{} : dialogs.back();
    }
    // Holds the next command unanswered; everything else is answered.
    void HoldNext() {
        auto hold = std::make_shared<std::atomic<bool>>(true);
        cosmos.SetResponder([hold](const CosmosCommand&) -> std::optional<std::string> {
            if (hold->exchange(false)) return std::nullopt;
            return std::string("Error=0\n");
        });
    }
};

TEST_F(Commands, NotConnectedGives13WithoutFileOrDialog) {
    EXPECT_EQ(protocol->RunCosmosCommand(), 13);
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
    EXPECT_TRUE(box.ui().ModelessDialogs().empty());
    EXPECT_FALSE(box.Exists("C:\\COSMOS\\VELMOR\\ZOR_GEO.DAT"));
    // Probing still announces the nominal point.
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 0, 0, 1), TRUE);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].type, 1);
}

TEST_F(Commands, MoveToReportsTheReachedPointOnlyWhileNoErrorStands) {
    ConnectAndStart();
    // "Error" stays in the maps: an answer without it keeps the last error.
    for (const char* answer : {"Error=1\nActualX=1\n", "ActualX=1\n"}) {
        cosmos.SetResponder([answer](const CosmosCommand&) { return Answer(answer); });
        EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
        EXPECT_TRUE(Reports().empty()) << answer;
    }
    EXPECT_EQ(cosmos.Snapshot().Last()["Error"], 1.0);
    EXPECT_EQ(protocol->RunCosmosCommand(), 1);
    cosmos.SetResponder([](const CosmosCommand&) { return PointAnswer(1, 2, 3, 90, 90, 0); });
    EXPECT_EQ(protocol->MoveTo(-12.5, 2, 3), TRUE);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].type, 2);
    EXPECT_EQ(reports[0].position.z, 3.0);
    EXPECT_NEAR(reports[0].secondPoint.x, 1.0, 1e-12);  // point minus the direction cosines
    EXPECT_NEAR(reports[0].secondPoint.z, 2.0, 1e-12);
    EXPECT_EQ(reports[1].type, 1);
    EXPECT_EQ(reports[1].reportedPoint.y, 2.0);

    const auto command = cosmos.Snapshot().Last();
    EXPECT_NE(command.bytes.find("XGoto=     -12.500\r\n"), std::string::npos);
    ExpectValues(command, {{"Cmd", 9.0}, {"SkipInit", 0.0}, {"MachType", 1.0}});
    const auto dialog = LastDialog();
    EXPECT_EQ(dialog.templateId, IDD_COSMOS_COMMAND);
    EXPECT_EQ(dialog.texts.at(-1), "Cosmos Command In Progress 9 0\n");
    // The dialog closes itself once its queued close is pumped.
    plat::PumpMessages();
    EXPECT_TRUE(LastDialog().destroyed);
    EXPECT_EQ(protocol->m_commandDialog, nullptr);
}

// Every name a map ever held goes out again, in the order the map keeps.
TEST_F(Commands, LaterCommandsCarryTheWholeAccumulatedMap) {
    ConnectAndStart();
    cosmos.SetResponder([](const CosmosCommand&) { return Answer("Error=0\nActualX=1.5\nActualY=-2\nActualZ=3.25\n"
                                                                 "ActualA=90\nActualB=0\nActualC=45\n"); });
    EXPECT_EQ(protocol->MeasurePoint(10, 20, 30, 0, 0, -2), TRUE);
    EXPECT_EQ(protocol->SetProbeAngles(90, 180, 0), TRUE);
    EXPECT_EQ(protocol->MoveTo(5, 6, 7), TRUE);
    EXPECT_EQ(cosmos.Snapshot().Last().bytes, testsupport::Golden("cosmos_accumulated.dat"));
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, -1.5), TRUE);  // only exactly 0 becomes 2
    EXPECT_EQ(cosmos.Snapshot().Last()["ProbeD"], -1.5);
}

TEST_F(Commands, RefusalsSendNothing) {
    ConnectAndStart();
    const size_t before = cosmos.CommandCount();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 0, 0, 0), FALSE);
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, nan, 0, 1), FALSE);
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 1e200, 1e200, 0), FALSE);  // length overflows
    EXPECT_EQ(protocol->MeasurePoint(nan, 2, 3, 0, 0, 1), FALSE);
    EXPECT_EQ(protocol->MoveTo(std::numeric_limits<double>::infinity(), 0, 0), FALSE);
    protocol->m_machineType = 0;
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 0, 0, 1), FALSE);
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), FALSE);
    protocol->m_hasIndexableHead = 0;
    EXPECT_EQ(protocol->SetProbeAngles(90, 180, 0), FALSE);
    EXPECT_EQ(cosmos.CommandCount(), before);
    EXPECT_TRUE(Reports().empty());
    EXPECT_TRUE(box.ui().ModelessDialogs().empty());
    // A tiny but real direction is fine.
    protocol->m_machineType = 1;
    EXPECT_EQ(protocol->MeasurePoint(0, 0, 0, 1e-100, 0, 0), TRUE);
    EXPECT_EQ(cosmos.Snapshot().Last()["XTarget"], 3.0);
}

TEST_F(Commands, LostGeopakWindowAsksFirst) {
    ConnectAndStart();
    cosmos.CloseGeopak();
    const size_t before = cosmos.CommandCount();
    EXPECT_EQ(protocol->RunCosmosCommand(), 12);
    EXPECT_EQ(box.ui().Messages().at(0).style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_EQ(cosmos.CommandCount(), before);
    box.ui().QueueAnswer(IDYES);
    EXPECT_EQ(protocol->RunCosmosCommand(), 0);
    EXPECT_EQ(cosmos.CommandCount(), before + 1);
}

// Cancel or the close box in the dialog, or the host's interrupt, while a
// command waits: the macro is cancelled and restarted, the caller's map is
// re-sent with SkipInit 1, and every later command keeps SkipInit 1.
struct StopCase {
    enum { kCancel, kClose, kInterrupt } how;
    int result;
    bool visible, destroyed;  // the dialog, before its queued close is pumped
};

TEST_F(Commands, StoppedCommandRestartsTheMacroAndLaterCommandsKeepSkipInit) {
    ConnectAndStart();
    protocol->m_parameters["XGoto"] = 4.0;
    const StopCase cases[] = {{StopCase::kCancel, 202, false, false},
                              {StopCase::kClose, 202, false, true},
                              {StopCase::kInterrupt, 200, true, false}};
    for (const StopCase& c : cases) {
        HoldNext();
        protocol->m_parameters["Cmd"] = 8.0 + static_cast<int>(c.how);
        const size_t before = cosmos.CommandCount();
        const size_t keysBefore = cosmos.Snapshot().keys.size();
        uint32_t stoppedAt = 0;
        std::thread actor([&] {
            ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() > before; }));
            stoppedAt = plat::TickCount();
            if (c.how == StopCase::kClose) plat::PostDialogClose(LastDialog().handle);
            if (c.how == StopCase::kCancel) plat::PostDialogCommand(LastDialog().handle, IDCANCEL);
            if (c.how == StopCase::kInterrupt) protocol->SignalInterrupt();
        });
        EXPECT_EQ(protocol->RunCosmosCommand(), c.result);
        actor.join();
        EXPECT_EQ(LastDialog().visible, c.visible);
        EXPECT_EQ(LastDialog().destroyed, c.destroyed);
        EXPECT_EQ(protocol->m_commandDialog, nullptr);
        // The nested re-send was answered, so every key came before it.
        const auto seen = cosmos.Snapshot();
        ASSERT_EQ(seen.commands.size(), before + 2);
        ExpectValues(seen.commands[before + 1], {{"SkipInit", 1.0}, {"MachType", 1.0}, {"XGoto", 4.0}});
        const std::vector<std::string> keys(seen.keys.begin() + keysBefore, seen.keys.end());
        ASSERT_EQ(keys, Join(Join(kCancelKeys, kRestartKeys1), kRestartKeys2));
        // The second restart string waits 250 ms after the first.
        EXPECT_GE(seen.keyTicks[keysBefore + kCancelKeys.size() + kRestartKeys1.size()] - stoppedAt, 250u);
    }
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, 0), TRUE);
    EXPECT_EQ(cosmos.Snapshot().Last()["SkipInit"], 1.0);
    EXPECT_EQ(LastDialog().texts.at(-1), "Cosmos Command In Progress 2 1\n");
}

TEST_F(Commands, RestartWithoutGeopakWindowSearchesAsksAndStillSendsTheRestartKeys) {
    ConnectAndStart();
    HoldNext();
    plat::WindowHandle partManager = cosmos.PartManager();
    uint32_t stoppedAt = 0, askedAt = 0;
    box.ui().OnMessage([&](const testsupport::ShownMessage&) {
        askedAt = plat::TickCount();
        return IDNO;
    });
    std::thread actor([&] {
        ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() == 2; }));
        cosmos.CloseGeopak();
        plat::SetForegroundWindow(partManager);  // the keys go where the focus is
        stoppedAt = plat::TickCount();
        protocol->SignalInterrupt();
    });
    EXPECT_EQ(protocol->RunCosmosCommand(), 200);
    actor.join();
    EXPECT_GE(askedAt - stoppedAt, 5000u);
    EXPECT_EQ(Texts(box.ui().Messages()),
              (std::vector<std::string>{" The Windows with classname xmeas_res4500drawtask9012 cannot be located on "
                                        "the system \n do you want to wait more longer ?",
                                        "CANNOT LOCATE THE GEOPAK WINDOW\n"}));
    EXPECT_EQ(box.ui().Messages().at(0).style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_EQ(box.ui().Messages().at(1).style, MB_ICONHAND | MB_SYSTEMMODAL);
    EXPECT_EQ(protocol->m_geopakWindow.load(), plat::kNoWindow);
    const auto seen = cosmos.Snapshot();
    EXPECT_EQ(seen.partManagerKeys, Join(kRestartKeys1, kRestartKeys2));
    ASSERT_EQ(seen.commands.size(), 3u);
    EXPECT_EQ(seen.commands[2]["SkipInit"], 1.0);
}

TEST_F(Commands, CounterShowsZeroAfterTheFirstSlice) {
    ConnectAndStart();
    std::string firstCounter;
    cosmos.SetResponder([](const CosmosCommand&) -> std::optional<std::string> { return std::nullopt; });
    box.ui().OnNextIdle([&] {
        box.ui().OnNextIdle([&] {
            firstCounter = LastDialog().texts.at(IDC_COMMAND_COUNTER);
            box.ui().OnNextIdle([&] { cosmos.WriteAnswer("Error=0\n"); });
        });
    });
    EXPECT_EQ(protocol->RunCosmosCommand(), 0);
    EXPECT_EQ(firstCounter, "0");
}

class Polling : public CosmosTest {
protected:
    void StartPolling(bool hold) {
        m_holdPolls = hold;
        ConnectAndStart();
        cosmos.SetResponder([this](const CosmosCommand& command) -> std::optional<std::string> {
            if (command["Cmd"] != 5.0) return PointAnswer(-1, -1, -1, 90, 90, 0);
            if (m_holdPolls) return std::nullopt;
            return PointAnswer(++m_polls, 0, 0, 0, 90, 90);
        });
        protocol->OnStartTransaction();
        // Connect's command, then a poll.
        if (hold) {
            ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));
        }
    }
    std::atomic<bool> m_holdPolls{false};
    std::atomic<int> m_polls{0};
};

TEST_F(Polling, ReportsNeverInterleaveAndTheStopWaitsForTheWorker) {
    StartPolling(false);
    ASSERT_TRUE(Eventually([&] { return Reports().size() >= 6; }));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(protocol->MoveTo(0, 0, 0), TRUE);
    protocol->OnStopTransaction();
    const auto reports = Reports();
    EXPECT_EQ(reports[0].position.x, 1.0);
    ASSERT_EQ(reports.size() % 2, 0u);
    for (size_t i = 0; i < reports.size(); i += 2) {
        EXPECT_EQ(reports[i].type, 2);
        EXPECT_EQ(reports[i + 1].type, 1);
        EXPECT_EQ(reports[i + 1].reportedPoint.x, reports[i].position.x) << i;
        EXPECT_EQ(reports[i + 1].position.x, reports[i].position.x) << i;
    }
    // Every poll is a fresh "Cmd" only map.
    for (const auto& command : cosmos.Snapshot().commands) {
        if (command["Cmd"] == 5.0) {
            EXPECT_EQ(command.bytes, testsupport::Golden("cosmos_poll.dat"));
        }
    }
    // Once the stop has returned the worker's cycle is over: nothing more comes.
    protocol->SuspendThread();
    protocol->ResumeThread();
    EXPECT_EQ(Reports().size(), reports.size());
}

TEST_F(Polling, StopDuringAWaitingPollRestartsTheMacroBeforeItReturns) {
    StartPolling(true);
    protocol->OnStopTransaction();
    // The handshake came back only after the restart keys and the re-send.
    EXPECT_EQ(cosmos.Snapshot().keys, Join(Join(kCancelKeys, kRestartKeys1), kRestartKeys2));
    EXPECT_EQ(cosmos.Snapshot().Last()["SkipInit"], 1.0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, AnswerOfAPollWhoseTransactionEndedIsDropped) {
    StartPolling(true);
    // The framework ends the transaction while the answer is awaited.
    protocol->CMMProtocolWithThread::OnStopTransaction();
    cosmos.WriteAnswer(PointAnswer(7, 7, 7, 0, 0, 0));
    ASSERT_TRUE(Eventually([&] { return !box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT"); }));
    protocol->SuspendThread();  // the cycle that took the answer is over
    protocol->ResumeThread();
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, CommandHandedOverDuringAPollEndsItWith201AndNoKeys) {
    StartPolling(true);
    const size_t before = cosmos.CommandCount();
    // The hand-over itself, without the pause that RunCosmosCommand puts first.
    protocol->m_workerParameters["Cmd"] = 9.0;
    protocol->m_pendingCommandKind = 1;
    protocol->m_commandRequestEvent.Set();
    ASSERT_TRUE(protocol->m_commandDoneEvent.Wait(250000));
    EXPECT_EQ(protocol->m_lastCommandResult, 0);
    EXPECT_TRUE(cosmos.Snapshot().keys.empty());
    const auto commands = cosmos.Snapshot().commands;
    ASSERT_GT(commands.size(), before);
    EXPECT_EQ(commands[before]["Cmd"], 9.0);
    EXPECT_TRUE(Reports().empty());
}

}  // namespace
