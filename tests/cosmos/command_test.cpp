// COSMOS commands through the worker against the scripted COSMOS side: the
// hand-over and its dialog, cancelling and closing mid-command (restart
// keys, nested re-send), position polling and its interplay with commands
// and transaction ends, and the measuring operations' values and refusals.
#include "cosmos_fixture.h"
#include "dialogs/resource.h"

#include <cmath>
#include <limits>
#include <thread>

namespace {

using testsupport::Eventually;

double Value(ParameterMap map, const char* name) { return map[name]; }

bool Has(const ParameterMap& map, const char* name) {
    double value = 0.0;
    return map.Lookup(name, value);
}

class Commands : public CosmosTest {
protected:
    // The newest command dialog as the host UI saw it.
    testsupport::ScriptedUI::Modeless LastDialog() {
        auto dialogs = box.ui().ModelessDialogs();
        EXPECT_FALSE(dialogs.empty());
        return dialogs.empty() ? testsupport::ScriptedUI::Modeless{} : dialogs.back();
    }

    // Runs the caller's command on this thread while another thread acts
    // once the scripted side has taken the command.
    int RunWhileTaken(size_t commandsBefore, const std::function<void()>& action) {
        std::thread actor([&] {
            EXPECT_TRUE(Eventually([&] { return cosmos.CommandCount() > commandsBefore; }));
            action();
        });
        const int result = protocol->RunCosmosCommand();
        actor.join();
        return result;
    }
};

TEST_F(Commands, NotConnectedGives13WithoutFileOrDialog) {
    EXPECT_EQ(protocol->RunCosmosCommand(), 13);
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
    EXPECT_TRUE(box.ui().ModelessDialogs().empty());
    EXPECT_FALSE(box.Exists("C:\\COSMOS\\VELMOR\\ZOR_GEO.DAT"));
    EXPECT_TRUE(Reports().empty());
    // Probing still announces the nominal point.
    EXPECT_EQ(protocol->MeasurePoint(1, 2, 3, 0, 0, 1), TRUE);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].type, 1);
    EXPECT_EQ(Reports()[0].reportedPoint.z, 3.0);
}

TEST_F(Commands, MoveToReportsTheReachedPointAndShowsTheDialog) {
    ConnectAndStart();
    cosmos.SetResponder([](const ParameterMap&) { return ScriptedCosmos::PointAnswer(1, 2, 3, 90, 90, 0); });
    EXPECT_EQ(protocol->MoveTo(-12.5, 2, 3), TRUE);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].type, 2);
    EXPECT_EQ(reports[0].position.x, 1.0);
    EXPECT_EQ(reports[0].position.z, 3.0);
    EXPECT_NEAR(reports[0].secondPoint.x, 1.0, 1e-12);
    EXPECT_NEAR(reports[0].secondPoint.y, 2.0, 1e-12);
    EXPECT_NEAR(reports[0].secondPoint.z, 2.0, 1e-12);
    EXPECT_EQ(reports[1].type, 1);
    EXPECT_EQ(reports[1].reportedPoint.y, 2.0);

    const auto command = cosmos.Commands().back();
    EXPECT_NE(command.bytes.find("XGoto=     -12.500\r\n"), std::string::npos);
    EXPECT_EQ(Value(command.values, "Cmd"), 9.0);
    EXPECT_EQ(Value(command.values, "SkipInit"), 0.0);
    EXPECT_EQ(Value(command.values, "MachType"), 1.0);
    const auto dialog = LastDialog();
    EXPECT_EQ(dialog.templateId, IDD_COSMOS_COMMAND);
    EXPECT_EQ(dialog.texts.at(-1), "Cosmos Command In Progress 9 0\n");
    // The dialog closes itself once its queued close is pumped.
    plat::PumpMessages();
    EXPECT_TRUE(LastDialog().destroyed);
    EXPECT_EQ(protocol->m_commandDialog, nullptr);
    // The answer came back into the caller's map.
    EXPECT_EQ(protocol->m_parameters["ActualA"], 90.0);
}

TEST_F(Commands, MoveToWithAnErrorReportsNothing) {
    ConnectAndStart();
    cosmos.SetResponder([](const ParameterMap&) { return ScriptedCosmos::PointAnswer(1, 2, 3, 0, 0, 0, 1); });
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);
    EXPECT_TRUE(Reports().empty());
    // "Error" stays in the maps, so an answer without it still counts as 1.
    cosmos.SetResponder([](const ParameterMap&) { return std::string("ActualX=4\n"); });
    protocol->m_parameters["Cmd"] = 9.0;
    EXPECT_EQ(protocol->RunCosmosCommand(), 1);
    EXPECT_EQ(Value(LastCommand(), "Error"), 1.0);
}

TEST_F(Commands, MeasurePointSendsStartAndTargetAndLaterFilesKeepThem) {
    ConnectAndStart();
    EXPECT_EQ(protocol->MeasurePoint(10, 20, 30, 0, 0, -2), TRUE);
    const ParameterMap measure = LastCommand();
    EXPECT_EQ(Value(measure, "Cmd"), 8.0);
    EXPECT_EQ(Value(measure, "XStart"), 10.0);
    EXPECT_EQ(Value(measure, "YStart"), 20.0);
    EXPECT_EQ(Value(measure, "ZStart"), 33.0);
    EXPECT_EQ(Value(measure, "XTarget"), 10.0);
    EXPECT_EQ(Value(measure, "YTarget"), 20.0);
    EXPECT_EQ(Value(measure, "ZTarget"), 27.0);
    ASSERT_EQ(Reports().size(), 1u);
    EXPECT_EQ(Reports()[0].type, 1);
    EXPECT_EQ(Reports()[0].reportedPoint.x, 10.0);
    EXPECT_EQ(Reports()[0].reportedPoint.z, 30.0);

    EXPECT_EQ(protocol->MoveTo(5, 6, 7), TRUE);
    const ParameterMap move = LastCommand();
    EXPECT_EQ(Value(move, "Cmd"), 9.0);
    EXPECT_EQ(Value(move, "ZStart"), 33.0);
    EXPECT_EQ(Value(move, "ZTarget"), 27.0);
    EXPECT_EQ(Value(move, "ZGoto"), 7.0);
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
    EXPECT_EQ(Value(LastCommand(), "XTarget"), 3.0);
}

TEST_F(Commands, SetProbeAnglesValues) {
    ConnectAndStart();
    EXPECT_EQ(protocol->SetProbeAngles(90, 180, 0), TRUE);
    ParameterMap sent = LastCommand();
    EXPECT_EQ(Value(sent, "Cmd"), 2.0);
    EXPECT_EQ(Value(sent, "ProbeD"), 2.0);
    EXPECT_EQ(Value(sent, "Ph9A"), 90.0);
    EXPECT_EQ(Value(sent, "Ph9B"), 180.0);
    for (const char* zero : {"Tree", "XProbe", "YProbe", "ZProbe"}) EXPECT_TRUE(Has(sent, zero)) << zero;
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, 3), TRUE);
    EXPECT_EQ(Value(LastCommand(), "ProbeD"), 3.0);
    EXPECT_EQ(protocol->SetProbeAngles(0, 0, -1.5), TRUE);
    EXPECT_EQ(Value(LastCommand(), "ProbeD"), -1.5);
}

TEST_F(Commands, LostGeopakWindowAsksFirst) {
    ConnectAndStart();
    plat::DestroyTopLevelWindow(cosmos.Geopak());
    const size_t before = cosmos.CommandCount();
    protocol->m_parameters["Cmd"] = 9.0;
    EXPECT_EQ(protocol->RunCosmosCommand(), 12);
    ASSERT_EQ(box.ui().MessageCount(), 1u);
    EXPECT_EQ(box.ui().Messages()[0].text, " Geopak Window Lost - Do you want to continue anyway ?");
    EXPECT_EQ(box.ui().Messages()[0].style, MB_YESNO | MB_SYSTEMMODAL);
    EXPECT_EQ(cosmos.CommandCount(), before);
    box.ui().QueueAnswer(IDYES);
    EXPECT_EQ(protocol->RunCosmosCommand(), 0);
    EXPECT_EQ(cosmos.CommandCount(), before + 1);
}

TEST_F(Commands, CancelMidCommandRestartsTheMacroAndLaterCommandsKeepSkipInit) {
    ConnectAndStart();
    plat::SetTimeScale(2.0);  // the 250 ms between the restart strings, measured from outside
    // The macro sits on the first move; everything else it answers.
    cosmos.SetResponder([](const ParameterMap& command) -> std::optional<std::string> {
        if (Value(command, "Cmd") == 9.0 && Value(command, "SkipInit") == 0.0) return std::nullopt;
        return std::string("Error=0\n");
    });
    protocol->m_parameters["Cmd"] = 9.0;
    protocol->m_parameters["XGoto"] = 4.0;
    const size_t before = cosmos.CommandCount();
    const int result = RunWhileTaken(before, [&] { plat::PostDialogCommand(LastDialog().handle, IDCANCEL); });
    EXPECT_EQ(result, 202);
    EXPECT_FALSE(LastDialog().visible);  // Cancel hides; the close comes after the command

    std::vector<std::string> expected = KeyLines(protocol->m_cancelMacroKeys);
    const auto restart1 = KeyLines(protocol->m_restartMacroKeys1);
    const auto restart2 = KeyLines(protocol->m_restartMacroKeys2);
    expected.insert(expected.end(), restart1.begin(), restart1.end());
    expected.insert(expected.end(), restart2.begin(), restart2.end());
    Eventually([&] { return cosmos.Keys().size() >= expected.size(); });
    const auto keys = cosmos.Keys();
    ASSERT_EQ(cosmos.KeyTexts(), expected);
    const size_t firstOf2 = expected.size() - restart2.size();
    const uint32_t gap = keys[firstOf2].tick - keys[firstOf2 - 1].tick;
    EXPECT_GE(gap, 180u);  // taken by polling: a little late either side
    EXPECT_LT(gap, 2000u);

    // The nested re-send carried the caller's map with SkipInit 1.
    const auto commands = cosmos.Commands();
    ASSERT_EQ(commands.size(), before + 2);
    EXPECT_EQ(Value(commands[before + 1].values, "SkipInit"), 1.0);
    EXPECT_EQ(Value(commands[before + 1].values, "MachType"), 1.0);
    EXPECT_EQ(Value(commands[before + 1].values, "XGoto"), 4.0);
    EXPECT_EQ(protocol->m_parameters["SkipInit"], 1.0);

    EXPECT_EQ(protocol->SetProbeAngles(0, 0, 0), TRUE);
    EXPECT_EQ(Value(LastCommand(), "SkipInit"), 1.0);
    EXPECT_EQ(LastDialog().texts.at(-1), "Cosmos Command In Progress 2 1\n");
}

TEST_F(Commands, CloseBoxMidCommandDestroysTheDialogAndEndsWith202) {
    ConnectAndStart();
    cosmos.SetResponder([](const ParameterMap& command) -> std::optional<std::string> {
        if (Value(command, "Cmd") == 8.0 && Value(command, "SkipInit") == 0.0) return std::nullopt;
        return std::string("Error=0\n");
    });
    protocol->m_parameters["Cmd"] = 8.0;
    const int result = RunWhileTaken(cosmos.CommandCount(), [&] { plat::PostDialogClose(LastDialog().handle); });
    EXPECT_EQ(result, 202);
    EXPECT_TRUE(LastDialog().destroyed);
    EXPECT_EQ(protocol->m_commandDialog, nullptr);
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
    protocol->m_parameters["Cmd"] = 2.0;
    EXPECT_EQ(protocol->RunCosmosCommand(), 0);
    EXPECT_EQ(firstCounter, "0");
    EXPECT_NE(LastDialog().texts.at(IDC_COMMAND_COUNTER), "Static");
}

class Polling : public CosmosTest {
protected:
    void StartPolling() {
        ConnectAndStart();
        cosmos.SetResponder([this](const ParameterMap& command) -> std::optional<std::string> {
            if (Value(command, "Cmd") != 5.0) return std::string("Error=0\n");
            if (m_holdPolls) return std::nullopt;
            ++m_polls;
            return ScriptedCosmos::PointAnswer(m_polls, 0, 0, 0, 90, 90);
        });
        protocol->OnStartTransaction();
    }
    std::atomic<bool> m_holdPolls{false};
    std::atomic<int> m_polls{0};
};

TEST_F(Polling, OpenTransactionReportsEachPollAndTheStopWaitsForTheWorker) {
    StartPolling();
    ASSERT_TRUE(Eventually([&] { return Reports().size() >= 6; }));
    protocol->OnStopTransaction();
    const size_t reported = Reports().size();
    const auto reports = Reports();
    EXPECT_EQ(reports[0].type, 2);
    EXPECT_EQ(reports[0].position.x, 1.0);
    EXPECT_NEAR(reports[0].secondPoint.x, 0.0, 1e-12);  // cos 0 = 1
    // Every poll is a fresh "Cmd" only map.
    for (const auto& command : cosmos.Commands()) {
        if (Value(command.values, "Cmd") == 5.0) {
            EXPECT_EQ(command.bytes, testsupport::Golden("cosmos_poll.dat"));
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Reports().size(), reported);
}

TEST_F(Polling, StopDuringAWaitingPollRestartsTheMacroBeforeItReturns) {
    m_holdPolls = true;
    StartPolling();
    ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));  // connect, then a poll
    protocol->OnStopTransaction();
    // The handshake came back only after the restart keys and the re-send.
    const auto restart2 = KeyLines(protocol->m_restartMacroKeys2);
    Eventually([&] {
        const auto taken = cosmos.KeyTexts();
        return taken.size() >= restart2.size() && std::equal(restart2.begin(), restart2.end(), taken.end() - restart2.size());
    });
    const auto keys = cosmos.KeyTexts();
    ASSERT_GE(keys.size(), restart2.size());
    EXPECT_TRUE(std::equal(restart2.begin(), restart2.end(), keys.end() - restart2.size()));
    EXPECT_EQ(Value(LastCommand(), "SkipInit"), 1.0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, AnswerOfAPollWhoseTransactionEndedIsDropped) {
    m_holdPolls = true;
    StartPolling();
    ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));
    // The framework ends the transaction while the answer is awaited.
    protocol->CMMProtocolWithThread::OnStopTransaction();
    cosmos.WriteAnswer(ScriptedCosmos::PointAnswer(7, 7, 7, 0, 0, 0));
    ASSERT_TRUE(Eventually([&] { return !box.Exists("C:\\COSMOS\\VELMOR\\GEO_ZOR.DAT"); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, CommandHandedOverDuringAPollEndsItWith201AndNoKeys) {
    m_holdPolls = true;
    StartPolling();
    ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));
    const size_t before = cosmos.CommandCount();
    // The hand-over itself, without the pause that RunCosmosCommand puts first.
    protocol->m_workerParameters["Cmd"] = 9.0;
    protocol->m_pendingCommandKind = 1;
    protocol->m_commandRequestEvent.Set();
    ASSERT_TRUE(protocol->m_commandDoneEvent.Wait(100000));
    EXPECT_EQ(protocol->m_lastCommandResult, 0);
    EXPECT_TRUE(cosmos.KeyTexts().empty());
    const auto commands = cosmos.Commands();
    ASSERT_GT(commands.size(), before);
    EXPECT_EQ(Value(commands[before].values, "Cmd"), 9.0);
    EXPECT_TRUE(Reports().empty());
}

TEST_F(Polling, CommandDuringAWaitingPollRunsAfterThePause) {
    m_holdPolls = true;
    StartPolling();
    ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() >= 2; }));
    cosmos.SetResponder([](const ParameterMap& command) -> std::optional<std::string> {
        if (Value(command, "Cmd") == 5.0) return std::nullopt;
        return ScriptedCosmos::PointAnswer(3, 2, 1, 90, 90, 0);
    });
    EXPECT_EQ(protocol->MoveTo(3, 2, 1), TRUE);
    const auto reports = Reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[1].reportedPoint.x, 3.0);
    m_holdPolls = false;
}

TEST_F(Polling, WorkerAndMoveToReportsNeverInterleave) {
    StartPolling();
    for (int i = 0; i < 5; ++i) {
        cosmos.SetResponder([this](const ParameterMap& command) -> std::optional<std::string> {
            if (Value(command, "Cmd") == 5.0) return ScriptedCosmos::PointAnswer(++m_polls, 0, 0, 0, 90, 90);
            return ScriptedCosmos::PointAnswer(-1, -1, -1, 90, 90, 0);
        });
        EXPECT_EQ(protocol->MoveTo(0, 0, 0), TRUE);
    }
    protocol->OnStopTransaction();
    const auto reports = Reports();
    ASSERT_EQ(reports.size() % 2, 0u);
    for (size_t i = 0; i < reports.size(); i += 2) {
        EXPECT_EQ(reports[i].type, 2);
        EXPECT_EQ(reports[i + 1].type, 1);
        EXPECT_EQ(reports[i + 1].reportedPoint.x, reports[i].position.x) << i;
        EXPECT_EQ(reports[i + 1].position.x, reports[i].position.x) << i;
    }
}

}  // namespace
