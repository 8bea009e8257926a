// A host that behaves like one, against the scripted COSMOS side: it calls
// back into the protocol from a notification delivered during a command, and
// confirms the configuration while a poll waits for an answer that never
// comes. Every wait is bounded: a deadlock fails here instead of hanging.
// (A command during polling is the end-to-end recording's measure; a quit
// passed on, the host-thread tests'; deleting mid-wait gives up the same way
// as the configuration's pause.)
#include "cosmos_fixture.h"
#include "dialogs/resource.h"

#include <future>

namespace {


class Reentrant : public CosmosTest {};

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
        testsupport::Eventually([&] { return nestedDone.load(); }, 10000);
        cosmos.WriteAnswer("Error=0\nActualX=4\nActualY=2\nActualZ=3\nActualA=90\nActualB=90\nActualC=0\n");
    });
    EXPECT_EQ(protocol->MoveTo(4, 5, 6), TRUE);
    release.join();
    ASSERT_EQ(nested, (std::vector<BOOL>{FALSE, FALSE, FALSE}));
    EXPECT_FALSE(protocol->IsTransactionStarted());
    EXPECT_EQ(cosmos.Snapshot().keys.size(), keysBefore) << "the command was cancelled";
}

// Configure's OK while GEOPAK-WIN has stopped answering a poll: the poll
// gives up, the worker pauses for the copy-back and polls again afterwards.
TEST_F(Reentrant, ConfigureOkDoesNotWaitForAnUnansweredPoll) {
    ConnectAndStart();
    cosmos.SetResponder([](const CosmosCommand&) { return std::optional<std::string>(); });
    const size_t keysBefore = cosmos.Snapshot().keys.size(), files = cosmos.CommandCount();
    const auto awaitFiles = [&](size_t n) { return testsupport::Eventually([&] { return cosmos.CommandCount() > n; }); };
    protocol->CMMProtocolWithThread::OnStartTransaction();
    ASSERT_TRUE(awaitFiles(files));
    box.ui().QueueModal([](const plat::DialogTemplate&, std::map<int, std::string>& values) {
        values[IDC_COSMOS_PATH] = "C:\\COSMOS";
        return plat::kIdOk;
    });
    auto configured = std::async(std::launch::async, [&] { return protocol->Configure(); });
    ASSERT_EQ(configured.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "Configure waited for the poll";
    EXPECT_EQ(configured.get(), TRUE);
    EXPECT_TRUE(awaitFiles(files + 1));  // the worker went on
    EXPECT_EQ(cosmos.Snapshot().keys.size(), keysBefore) << "a given-up poll restarts nothing";
}

}  // namespace
