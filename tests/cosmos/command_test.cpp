// COSMOS commands through the worker against the scripted COSMOS side: the
// hand-over and its dialog, cancelling and closing mid-command (restart
// keys, nested re-send), position polling and its interplay with commands
// and transaction ends, and the measuring operations' values and refusals.
#include "cosmos_fixture.h"
#include "dialogs/resource.h"

#include <cmath>
#include <limits>

namespace {

using testsupport::Eventually;

double Value(ParameterMap map, const char* name) { return map[name]; }

void ExpectValues(const ParameterMap& map, std::initializer_list<std::pair<const char*, double>> expected) {
    for (const auto& [name, value] : expected) EXPECT_EQ(Value(map, name), value) << name;
}

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
        cosmos.SetResponder([hold](const ParameterMap&) -> std::optional<std::string> {
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

TEST_F(Commands, MoveToReportsTheReachedPointOnlyWithoutError) {
    ConnectAndStart();
    cosmos.SetResponder([](const ParameterMap&) { return PointAnswer(1, 2, 3, 0, 0, 0, 1); });
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
    EXPECT_TRUE(Reports().empty());
    cosmos.SetResponder([](const ParameterMap&) { return PointAnswer(1, 2, 3, 90, 90, 0); });
    EXPECT_EQ(protocol->MoveTo(-12.5, 2, 3), TRUE);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].type, 2);
    EXPECT_EQ(reports[0].position.z, 3.0);
    EXPECT_NEAR(reports[0].secondPoint.x, 1.0, 1e-12);  // point minus the direction cosines
    EXPECT_NEAR(reports[0].secondPoint.z, 2.0, 1e-12);
    EXPECT_EQ(reports[1].type, 1);
    EXPECT_EQ(reports[1].reportedPoint.y, 2.0);

    const auto command = cosmos.Snapshot().commands.back();
    EXPECT_NE(command.bytes.find("XGoto=     -12.500\r\n"), std::string::npos);
    ExpectValues(command.values, {{"Cmd", 9.0}, {"SkipInit", 0.0}, {"MachType", 1.0}});
    const auto dialog = LastDialog();
    EXPECT_EQ(dialog.templateId, IDD_COSMOS_COMMAND);
    EXPECT_EQ(dialog.texts.at(-1), "Cosmos Command In Progress 9 0\n");
    // The dialog closes itself once its queued close is pumped.
    plat::PumpMessages();
    EXPECT_TRUE(LastDialog().destroyed);
    EXPECT_EQ(protocol->m_commandDialog, nullptr);
    EXPECT_EQ(protocol->m_parameters["ActualA"], 90.0);  // the answer came back into the caller's map
}

TEST_F(Commands, MeasuringValuesAndLaterFilesKeepThem) {
    ConnectAndStart();
    EXPECT_EQ(protocol->MeasurePoint(10, 20, 30, 0, 0, -2), TRUE);
    ExpectValues(cosmos.Snapshot().Last(), {{"Cmd", 8.0}, {"XStart", 10.0}, {"YStart", 20.0}, {"ZStart", 33.0},
                                            {"XTarget", 10.0}, {"YTarget", 20.0}, {"ZTarget", 27.0}});

    EXPECT_EQ(protocol->MoveTo(5, 6, 7), TRUE);
    ExpectValues(cosmos.Snapshot().Last(), {{"Cmd", 9.0}, {"ZStart", 33.0}, {"ZTarget", 27.0}, {"ZGoto", 7.0}});
    EXPECT_EQ(protocol->SetProbeAngles(90, 180, 0), TRUE);
    const ParameterMap head = cosmos.Snapshot().Last();
    ExpectValues(head, {{"Cmd", 2.0}, {"ProbeD", 2.0}, {"Ph9A", 90.0}, {"Ph9B", 180.0}, {"ZGoto", 7.0}});
    double value = 0.0;
    for (const char* zero : {"Tree", "XProbe", "YProbe", "ZProbe"}) EXPECT_TRUE(head.Lookup(zero, value)) << zero;
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, -1.5), TRUE);
    EXPECT_EQ(Value(cosmos.Snapshot().Last(), "ProbeD"), -1.5);
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
    EXPECT_EQ(Value(cosmos.Snapshot().Last(), "XTarget"), 3.0);
}

TEST_F(Commands, LostGeopakWindowAsksFirst) {
    ConnectAndStart();
    plat::DestroyTopLevelWindow(cosmos.Geopak());
    const size_t before = cosmos.CommandCount();
    EXPECT_EQ(protocol->RunCosmosCommand(), 12);
    EXPECT_EQ(box.ui().Messages().at(0).style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_EQ(cosmos.CommandCount(), before);
    box.ui().QueueAnswer(IDYES);
    EXPECT_EQ(protocol->RunCosmosCommand(), 0);
    EXPECT_EQ(cosmos.CommandCount(), before + 1);
}

TEST_F(Commands, CancelOrCloseMidCommandRestartsTheMacroAndLaterCommandsKeepSkipInit) {
    ConnectAndStart();
    plat::SetTimeScale(2.0);  // the 250 ms between the restart strings, measured from outside
    const std::vector<std::string> cancel = KeyLines(protocol->m_cancelMacroKeys);
    const std::vector<std::string> restart1 = KeyLines(protocol->m_restartMacroKeys1);
    const std::vector<std::string> expected =
        KeyLines(protocol->m_cancelMacroKeys + protocol->m_restartMacroKeys1 + protocol->m_restartMacroKeys2);
    protocol->m_parameters["XGoto"] = 4.0;
    for (const bool close : {false, true}) {
        HoldNext();
        protocol->m_parameters["Cmd"] = close ? 8.0 : 9.0;
        const size_t before = cosmos.CommandCount();
        std::thread actor([&] {
            ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() > before; }));
            if (close) {
                plat::PostDialogClose(LastDialog().handle);
            } else {
                plat::PostDialogCommand(LastDialog().handle, IDCANCEL);
            }
        });
        EXPECT_EQ(protocol->RunCosmosCommand(), 202);
        actor.join();
        // Cancel hides; the close comes after the command. The close box destroys at once.
        EXPECT_FALSE(LastDialog().visible);
        EXPECT_EQ(LastDialog().destroyed, close);
        EXPECT_EQ(protocol->m_commandDialog, nullptr);
        // The nested re-send carried the caller's map with SkipInit 1.
        const auto commands = cosmos.Snapshot().commands;
        ASSERT_EQ(commands.size(), before + 2);
        ExpectValues(commands[before + 1].values, {{"SkipInit", 1.0}, {"MachType", 1.0}, {"XGoto", 4.0}});
        EXPECT_EQ(protocol->m_parameters["SkipInit"], 1.0);
    }
    ASSERT_TRUE(Eventually([&] { return cosmos.Snapshot().keys.size() >= 2 * expected.size(); }))
        << ::testing::PrintToString(cosmos.Snapshot().keys);
    const ScriptedCosmos::Seen seen = cosmos.Snapshot();
    std::vector<std::string> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    ASSERT_EQ(seen.keys, twice);
    const size_t firstOf2 = cancel.size() + restart1.size();
    const uint32_t gap = seen.keyTicks[firstOf2] - seen.keyTicks[firstOf2 - 1];
    EXPECT_GE(gap, 180u);  // taken by polling: a little late either side
    EXPECT_LT(gap, 2000u);

    EXPECT_EQ(protocol->SetProbeAngles(0, 0, 0), TRUE);
    EXPECT_EQ(Value(cosmos.Snapshot().Last(), "SkipInit"), 1.0);
    EXPECT_EQ(LastDialog().texts.at(-1), "Cosmos Command In Progress 2 1\n");
}

TEST_F(Commands, CounterShowsZeroAfterTheFirstSlice) {
    ConnectAndStart();
    std::string firstCounter;
    cosmos.SetResponder([](const ParameterMap&) -> std::optional<std::string> { return std::nullopt; });
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
        cosmos.SetResponder([this](const ParameterMap& command) -> std::optional<std::string> {
            if (Value(command, "Cmd") != 5.0) return PointAnswer(-1, -1, -1, 90, 90, 0);
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
        if (Value(command.values, "Cmd") == 5.0) {
            EXPECT_EQ(command.bytes, testsupport::Golden("cosmos_poll.dat"));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Reports().size(), reports.size());
}

TEST_F(Polling, StopDuringAWaitingPollRestartsTheMacroBeforeItReturns) {
    StartPolling(true);
    protocol->OnStopTransaction();
    // The handshake came back only after the restart keys and the re-send.
    const auto restart2 = KeyLines(protocol->m_restartMacroKeys2);
    const auto keys = cosmos.Snapshot().keys;
    ASSERT_GE(keys.size(), restart2.size());
    EXPECT_TRUE(std::equal(restart2.begin(), restart2.end(), keys.end() - restart2.size()));
    EXPECT_EQ(Value(cosmos.Snapshot().Last(), "SkipInit"), 1.0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, AnswerOfAPollWhoseTransactionEndedIsDropped) {
    StartPolling(true);
    // The framework ends the transaction while the answer is awaited.
    protocol->CMMProtocolWithThread::OnStopTransaction();
    cosmos.WriteAnswer(PointAnswer(7, 7, 7, 0, 0, 0));
    ASSERT_TRUE(Eventually([&] { return !box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, CommandHandedOverDuringAPollEndsItWith201AndNoKeys) {
    StartPolling(true);
    const size_t before = cosmos.CommandCount();
    // The hand-over itself, without the pause that RunCosmosCommand puts first.
    protocol->m_workerParameters["Cmd"] = 9.0;
    protocol->m_pendingCommandKind = 1;
    protocol->m_commandRequestEvent.Set();
    ASSERT_TRUE(protocol->m_commandDoneEvent.Wait(100000));
    EXPECT_EQ(protocol->m_lastCommandResult, 0);
    EXPECT_TRUE(cosmos.Snapshot().keys.empty());
    const auto commands = cosmos.Snapshot().commands;
    ASSERT_GT(commands.size(), before);
    EXPECT_EQ(Value(commands[before].values, "Cmd"), 9.0);
    EXPECT_TRUE(Reports().empty());
}

}  // namespace
