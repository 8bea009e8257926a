// Configure of both protocols through the scripted host UI: what the dialog
// is shown, what comes back on OK and what does not on Cancel or failure, the
// COSMOS folder mending, the worker held off only around the copy back, and
// the GEOPAK disconnection that happens whatever the user does.
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "framework/plugin/module.h"
#include "geopak/geopak_protocol.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using Values = std::map<int, std::string>;
using testsupport::ScriptedUI;

constexpr auto kBound = std::chrono::seconds(5);

class ConfigureTest : public testing::Test {
protected:
    void SetUp() override {
        PluginDllMain(nullptr, kProcessAttach, nullptr);
        plat::SetResourceModule(&m_hostModule);
    }
    void TearDown() override {
        // The scope must have put the host's module back on every way out.
        EXPECT_EQ(plat::ResourceModule(), &m_hostModule);
        plat::SetResourceModule(nullptr);
        PluginDllMain(nullptr, kProcessDetach, nullptr);
    }
    // Queues one modal run: records what was shown, applies edits, answers.
    void Answer(int answer, Values edits = {}) {
        sandbox.ui().QueueModal([this, answer, edits](const plat::DialogTemplate& dialog, Values& values) {
            shownTemplate = dialog.id;
            shownValues = values;
            moduleDuringRun = plat::ResourceModule();
            for (const auto& [id, text] : edits) values[id] = text;
            return answer;
        });
    }

    testsupport::Sandbox sandbox;
    int m_hostModule = 0;
    int shownTemplate = 0;
    Values shownValues;
    plat::ModuleHandle moduleDuringRun = nullptr;
};

// True when another thread can take the lock right now.
bool LockFreeForOthers(plat::CriticalSection& lock) {
    bool taken = false;
    std::thread probe([&] {
        taken = lock.TryEnter();
        if (taken) lock.Leave();
    });
    probe.join();
    return taken;
}

// Holds a protocol's lock on another thread until released.
class LockHolder {
public:
    explicit LockHolder(plat::CriticalSection& lock)
        : m_thread([this, &lock] {
              lock.Enter();
              m_held.set_value();
              m_release.get_future().wait();
              lock.Leave();
          }) {
        m_held.get_future().wait();
    }
    ~LockHolder() { Release(); }
    void Release() {
        if (!m_thread.joinable()) return;
        m_release.set_value();
        m_thread.join();
    }

private:
    std::promise<void> m_held, m_release;
    std::thread m_thread;
};

// ---------------------------------------------------------------- COSMOS

TEST_F(ConfigureTest, CosmosShowsTheCurrentSettingsInTemplate104) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_machineType = 7;
    protocol.m_geopakLocal = 0;
    protocol.m_cosmosPath = "D:\\CMM";
    Answer(plat::kIdCancel);
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(shownTemplate, IDD_CONFIG_COSMOS);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
    const Values expected{{IDC_COSMOS_PATH, "D:\\CMM"},
                          {IDC_COSMOS_CANCEL_KEYS, "%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}"},
                          {IDC_COSMOS_RESTART_KEYS1, "%R{DOWN}{ENTER}"},
                          {IDC_COSMOS_RESTART_KEYS2, "1{ENTER}{ENTER}"},
                          {IDC_COSMOS_EXIT_KEYS, "%I{DOWN}{DOWN}{ENTER}"},
                          {IDC_COSMOS_PARTMANAGER_CLASS, "xpartmngr4500drawtask9012"},
                          {IDC_COSMOS_GEOPAK_CLASS, "xmeas_res4500drawtask9012"},
                          {IDC_COSMOS_GEOPAK_LOCAL, "0"},
                          {IDC_COSMOS_MACHINE_TYPE, "1"},
                          {IDC_COSMOS_INDEXABLE_HEAD, "1"}};
    EXPECT_EQ(shownValues, expected);
}

TEST_F(ConfigureTest, CosmosOkMendsTheFolderToExactlyOneBackslash) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\COSMOS", "C:\\COSMOS\\"}, {"C:\\COSMOS\\", "C:\\COSMOS\\"}, {"", "\\"},
        {"C:/x/", "C:/x/\\"},           {"C:\\\\", "C:\\\\"},             {"\\", "\\"},
    };
    for (const auto& [typed, stored] : cases) {
        MitutoyoCosmosProtocol protocol;
        Answer(plat::kIdOk, {{IDC_COSMOS_PATH, typed}});
        EXPECT_EQ(protocol.Configure(), TRUE) << typed;
        EXPECT_EQ(protocol.m_cosmosPath, stored) << "typed \"" << typed << "\"";
    }
}

TEST_F(ConfigureTest, CosmosOkTakesEveryFieldBackAndNormalisesTheMachineType) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_debugLog = 1;
    protocol.m_machineType = 7;
    protocol.m_remoteStartTimeout = 3456;
    Answer(plat::kIdOk, {{IDC_COSMOS_CANCEL_KEYS, "a"},
                         {IDC_COSMOS_RESTART_KEYS1, "b"},
                         {IDC_COSMOS_RESTART_KEYS2, "c"},
                         {IDC_COSMOS_EXIT_KEYS, "d"},
                         {IDC_COSMOS_PARTMANAGER_CLASS, "e"},
                         {IDC_COSMOS_GEOPAK_CLASS, "f"},
                         {IDC_COSMOS_GEOPAK_LOCAL, "0"},
                         {IDC_COSMOS_INDEXABLE_HEAD, "0"}});
    ASSERT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(protocol.m_cancelMacroKeys, "a");
    EXPECT_EQ(protocol.m_restartMacroKeys1, "b");
    EXPECT_EQ(protocol.m_restartMacroKeys2, "c");
    EXPECT_EQ(protocol.m_exitGeopakKeys, "d");
    EXPECT_EQ(protocol.m_partManagerWindowClass, "e");
    EXPECT_EQ(protocol.m_geopakWindowClass, "f");
    EXPECT_EQ(protocol.m_geopakLocal, 0);
    EXPECT_EQ(protocol.m_hasIndexableHead, 0);
    EXPECT_EQ(protocol.m_machineType, 1);  // untouched box: 7 came back as ticked
    EXPECT_EQ(protocol.m_debugLog, 1);
    EXPECT_EQ(protocol.m_remoteStartTimeout, 3456);
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\COSMOS\\");

    Answer(plat::kIdOk, {{IDC_COSMOS_MACHINE_TYPE, "0"}});
    ASSERT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(protocol.m_machineType, 0);
}

TEST_F(ConfigureTest, CosmosCancelChangesNothingAndNeverWaitsForTheWorker) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_cosmosPath = "C:\\NOSLASH";
    protocol.m_machineType = 5;
    Answer(plat::kIdCancel, {{IDC_COSMOS_PATH, "X:\\"}, {IDC_COSMOS_MACHINE_TYPE, "0"},
                             {IDC_COSMOS_CANCEL_KEYS, "zz"}, {IDC_COSMOS_GEOPAK_LOCAL, "0"}});
    LockHolder worker(protocol.m_protocolLock);  // a worker busy in its cycle
    auto configured = std::async(std::launch::async, [&] { return protocol.Configure(); });
    const bool returned = configured.wait_for(kBound) == std::future_status::ready;
    worker.Release();
    ASSERT_TRUE(returned) << "Cancel waited for the worker";
    EXPECT_EQ(configured.get(), FALSE);
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\NOSLASH");
    EXPECT_EQ(protocol.m_machineType, 5);
    EXPECT_EQ(protocol.m_cancelMacroKeys, "%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}");
    EXPECT_EQ(protocol.m_geopakLocal, 1);
}

TEST_F(ConfigureTest, CosmosOkHoldsTheWorkerOffOnlyForTheCopyBack) {
    MitutoyoCosmosProtocol protocol;
    std::unique_ptr<LockHolder> worker;
    bool freeWhileOpen = false;
    std::promise<void> cycleStarted;
    sandbox.ui().QueueModal([&](const plat::DialogTemplate&, Values& values) {
        freeWhileOpen = LockFreeForOthers(protocol.m_protocolLock);
        worker = std::make_unique<LockHolder>(protocol.m_protocolLock);  // worker starts a cycle
        cycleStarted.set_value();
        values[IDC_COSMOS_PATH] = "E:\\NEW";
        return plat::kIdOk;
    });
    auto configured = std::async(std::launch::async, [&] { return protocol.Configure(); });
    ASSERT_EQ(cycleStarted.get_future().wait_for(kBound), std::future_status::ready);
    // The copy back waits for the worker's cycle to end.
    EXPECT_EQ(configured.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    EXPECT_TRUE(freeWhileOpen) << "the worker was held off while the dialog was open";
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\COSMOS\\");
    worker->Release();
    ASSERT_EQ(configured.wait_for(kBound), std::future_status::ready);
    EXPECT_EQ(configured.get(), TRUE);
    EXPECT_EQ(protocol.m_cosmosPath, "E:\\NEW\\");
    EXPECT_TRUE(LockFreeForOthers(protocol.m_protocolLock)) << "the worker was not resumed";
}

TEST_F(ConfigureTest, CosmosReturnsFalseWhenTheDialogCannotBeShown) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_cosmosPath = "C:\\KEEP";
    Answer(-1, {{IDC_COSMOS_PATH, "X"}});
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\KEEP");

    PluginDllMain(nullptr, kProcessDetach, nullptr);  // no template anywhere
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.m_cosmosPath, "C:\\KEEP");
    EXPECT_EQ(sandbox.ui().ModalTemplatesShown().size(), 1u);
}

// ---------------------------------------------------------------- GEOPAK

// Records the order of disconnection and dialog; connects without GEOPAK.
class RecordingGeopak : public MitutoyoProtocol {
public:
    BOOL ConnectForTest() { return _CMMProtocol::Connect(); }
    BOOL Disconnect() override {
        events.push_back("disconnect");
        return _CMMProtocol::Disconnect();
    }
    std::vector<std::string> events;
};

TEST_F(ConfigureTest, GeopakDisconnectsBeforeTheDialogAndStaysDisconnectedOnCancel) {
    RecordingGeopak protocol;
    ASSERT_TRUE(protocol.ConnectForTest());
    sandbox.ui().QueueModal([&](const plat::DialogTemplate&, Values& values) {
        protocol.events.push_back(protocol.IsConnected() ? "dialog, connected" : "dialog");
        values[IDC_GEOPAK_EXCHANGE_DIRECTORY] = "Q:\\";
        return plat::kIdCancel;
    });
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.events, (std::vector<std::string>{"disconnect", "dialog"}));
    EXPECT_FALSE(protocol.IsConnected());
    EXPECT_EQ(protocol.m_exchangeDirectory, "C:\\DATA\\");
}

TEST_F(ConfigureTest, GeopakDisconnectsEvenWhenTheDialogCannotBeShown) {
    RecordingGeopak protocol;
    ASSERT_TRUE(protocol.ConnectForTest());
    Answer(-1);
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.events, std::vector<std::string>{"disconnect"});
    EXPECT_FALSE(protocol.IsConnected());

    Answer(plat::kIdOk);  // not connected now: no second disconnection
    EXPECT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(protocol.events.size(), 1u);
}

TEST_F(ConfigureTest, GeopakOkStoresAllNineValuesAsTyped) {
    RecordingGeopak protocol;
    protocol.m_debugLog = 1;
    protocol.m_useSendKey = 0;
    Answer(plat::kIdOk, {{IDC_GEOPAK_EXCHANGE_DIRECTORY, "C:\\DATA"},
                         {IDC_GEOPAK_APPLICATION_DIRECTORY, "  odd path/"},
                         {IDC_GEOPAK_STARTUP_COMMAND2, ""},
                         {IDC_GEOPAK_LOCAL, "0"},
                         {IDC_GEOPAK_INDEXABLE_HEAD, "1"}});
    EXPECT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(shownTemplate, IDD_CONFIG_GEOPAK);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
    EXPECT_EQ(shownValues.at(IDC_GEOPAK_WINDOW_NAME), "GEOPAK - GEOPAK");
    EXPECT_EQ(shownValues.at(IDC_GEOPAK_USE_SEND_KEY), "0");
    EXPECT_EQ(shownValues.size(), 9u);
    EXPECT_EQ(protocol.m_exchangeDirectory, "C:\\DATA");
    EXPECT_EQ(protocol.m_applicationDirectory, "  odd path/");
    EXPECT_EQ(protocol.m_windowName, "GEOPAK - GEOPAK");
    EXPECT_EQ(protocol.m_startupCommand1, "CMD05(C:\\GEOPAK\\MELDAX\\)");
    EXPECT_EQ(protocol.m_startupCommand2, "");
    EXPECT_EQ(protocol.m_geopakLocal, 0);
    EXPECT_EQ(protocol.m_useSendKey, 0);
    EXPECT_EQ(protocol.m_automaticStartup, 1);
    EXPECT_EQ(protocol.m_hasIndexableHead, 1);
    EXPECT_EQ(protocol.m_debugLog, 1);
    EXPECT_TRUE(protocol.events.empty());
}

}  // namespace
