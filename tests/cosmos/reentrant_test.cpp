// A host that behaves like one, against the scripted COSMOS side: it calls
// back into the protocol from its notifications, its message loop quits
// during a command, and it deletes the protocol while the worker waits for
// an answer that never comes. Every wait is bounded: a deadlock fails here
// instead of hanging.
#include "cosmos_fixture.h"
#include "dialogs/resource.h"

#include <future>

namespace {

using testsupport::Eventually;

constexpr auto kBound = std::chrono::seconds(10);

// A point answer as the macro writes it, the probe along +Z (A = B = 90).
std::string PointAnswer(int x) {
    return "Error=0\nActualX=" + std::to_string(x) + "\nActualY=2\nActualZ=3\nActualA=90\nActualB=90\nActualC=0\n";
}

class Reentrant : public CosmosTest {
protected:
    void TearDown() override {
        if (protocol) CosmosTest::TearDown();
    }
    // Answers polls with one point, everything else with another; or nothing.
    void Respond(bool answer) {
        cosmos.SetResponder([answer](const CosmosCommand& command) -> std::optional<std::string> {
            if (!answer) return std::nullopt;
            return PointAnswer(command["Cmd"] == 5.0 ? 10 : 1);
        });
    }
    // Waits until the scripted side has taken more than n files.
    void AwaitFiles(size_t n) { ASSERT_TRUE(Eventually([&] { return cosmos.CommandCount() > n; })); }
};

// From its notifications the host measures the next point (each TYPE 1 of a
// poll), moves (the first poll's TYPE 2) and stops the transaction (a TYPE 2
// once enough points are in). Each call either works or refuses at once.
TEST_F(Reentrant, HostCallsBackFromEveryKindOfNotification) {
    ConnectAndStart();
    Respond(true);
    // A poll's report may arrive while the host's own move pumps: that
    // MeasurePoint is refused at once and the next report tries again.
    int measured = 0, moved = 0, stopped = 0, typeTwos = 0;
    protocol->SetClient([&](const ClientMessage& m) {
        if (m.type == 2 && ++typeTwos == 1) {
            moved += protocol->MoveTo(5, 5, 5);
        } else if (m.type == 2 && measured >= 2 && protocol->IsTransactionStarted()) {
            protocol->OnStopTransaction();
            ++stopped;
        } else if (m.type == 1 && measured < 2) {
            measured += protocol->MeasurePoint(m.reportedPoint.x, 0, 0, 0, 0, 1);
        }
    });
    protocol->OnStartTransaction();
    ASSERT_TRUE(Eventually([&] { return plat::PumpMessages(), stopped == 1; }, 10000));
    EXPECT_EQ(moved, 1);
    EXPECT_GE(measured, 2);
    EXPECT_FALSE(protocol->IsTransactionStarted());
}

// A notification delivered while a command pumps messages: the host's
// command refuses at once, its transaction stop works without cancelling
// the running command.
TEST_F(Reentrant, CallsDuringACommandRefuseOrWorkWithoutWaiting) {
    ConnectAndStart();
    std::vector<BOOL> nested;
    std::atomic<bool> nestedDone{false};
    protocol->SetClient([&](const ClientMessage&) {
        if (!nested.empty()) return;  // once, from inside the command
        nested = {protocol->MoveTo(1, 1, 1), protocol->MeasurePoint(1, 1, 1, 0, 0, 1), protocol->Configure()};
        protocol->OnStopTransaction();
        nestedDone = true;
    });
    const size_t keysBefore = cosmos.Snapshot().keys.size();
    // Once the move is handed over (no poll can be under way then), the
    // transaction opens and a report is queued for the host; the move stays
    // unanswered until the host has run its nested calls.
    cosmos.SetResponder([&](const CosmosCommand& command) -> std::optional<std::string> {
        if (command["Cmd"] != 9.0) return std::string("Error=0\n");
        protocol->CMMProtocolWithThread::OnStartTransaction();
        protocol->SendMessageToClient(1);
        return std::nullopt;
    });
    std::thread release([&] {
        Eventually([&] { return nestedDone.load(); }, 10000);
        cosmos.WriteAnswer(PointAnswer(4));
    });
    EXPECT_EQ(protocol->MoveTo(4, 5, 6), TRUE);
    release.join();
    ASSERT_EQ(nested, (std::vector<BOOL>{FALSE, FALSE, FALSE}));
    EXPECT_FALSE(protocol->IsTransactionStarted());
    EXPECT_EQ(cosmos.Snapshot().keys.size(), keysBefore) << "the command was cancelled";
}

// The user closes the host's main window during an unanswered command: the
// quit ends the command and reaches the host's loop; then the host deletes
// the protocol while its worker waits for a poll's answer.
TEST_F(Reentrant, QuitDuringAnUnansweredCommandEndsItAndTheWorker) {
    ConnectAndStart();
    Respond(false);
    protocol->SendMessageToClient(1);  // waiting in the queue when the command starts
    box.ui().OnNextIdle([] { plat::PostQuitMessage(0); });
    EXPECT_EQ(protocol->MoveTo(1, 2, 3), TRUE);  // returns: the quit gave the wait up
    EXPECT_FALSE(plat::PumpMessages()) << "the host's own loop sees the quit";
    EXPECT_EQ(Reports().size(), 1u);
    const size_t files = cosmos.CommandCount();
    protocol->CMMProtocolWithThread::OnStartTransaction();
    AwaitFiles(files);  // a poll left unanswered
    auto deleted = std::async(std::launch::async, [&] { protocol.reset(); });
    ASSERT_EQ(deleted.wait_for(kBound), std::future_status::ready) << "deleting the protocol hung";
}

// Configure's OK while GEOPAK-WIN has stopped answering a poll: the poll
// gives up, the worker pauses for the copy-back and polls again afterwards.
TEST_F(Reentrant, ConfigureOkDoesNotWaitForAnUnansweredPoll) {
    ConnectAndStart();
    Respond(false);
    const size_t keysBefore = cosmos.Snapshot().keys.size(), files = cosmos.CommandCount();
    protocol->CMMProtocolWithThread::OnStartTransaction();
    AwaitFiles(files);
    box.ui().QueueModal([](const plat::DialogTemplate&, std::map<int, std::string>& values) {
        values[IDC_COSMOS_PATH] = "C:\\COSMOS";
        return plat::kIdOk;
    });
    auto configured = std::async(std::launch::async, [&] { return protocol->Configure(); });
    ASSERT_EQ(configured.wait_for(kBound), std::future_status::ready) << "Configure waited for the poll";
    EXPECT_EQ(configured.get(), TRUE);
    AwaitFiles(files + 1);  // the worker went on
    EXPECT_EQ(cosmos.Snapshot().keys.size(), keysBefore) << "a given-up poll restarts nothing";
}

}  // namespace
