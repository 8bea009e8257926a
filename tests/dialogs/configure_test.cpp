// Configure of both protocols through the scripted host UI: what the dialog
// is shown, what comes back on OK and what does not on Cancel or failure, the
// COSMOS folder mending, the worker held off only around the copy back, and
// the GEOPAK disconnection that happens whatever the user does.
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "dialogs/resource_scope.h"
#include "geopak/geopak_protocol.h"
#include "plugin/module_entry.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {

using Values = std::map<int, std::string>;

constexpr auto kBound = std::chrono::seconds(5);
const char kCancelKeys[] = "%RI{TAB}{TAB}{TAB}{DOWN}{DOWN}{TAB}{TAB}{ENTER}";

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

// ---------------------------------------------------------------- COSMOS

TEST_F(ConfigureTest, CosmosCancelShowsTheSettingsChangesNothingAndNeverWaitsForTheWorker) {
    MitutoyoCosmosProtocol protocol;
    protocol.m_machineType = 7;
    protocol.m_geopakLocal = 0;
    protocol.m_cosmosPath = "D:\\CMM";
    Answer(plat::kIdCancel, {{IDC_COSMOS_PATH, "X:\\"}, {IDC_COSMOS_MACHINE_TYPE, "0"},
                             {IDC_COSMOS_CANCEL_KEYS, "zz"}, {IDC_COSMOS_GEOPAK_LOCAL, "1"}});
    protocol.m_protocolLock.Enter();  // a worker busy in its cycle
    auto configured = std::async(std::launch::async, [&] { return protocol.Configure(); });
    const bool returned = configured.wait_for(kBound) == std::future_status::ready;
    protocol.m_protocolLock.Leave();
    ASSERT_TRUE(returned) << "Cancel waited for the worker";
    EXPECT_EQ(configured.get(), FALSE);
    // Shown as stored, the machine type as a ticked box.
    EXPECT_EQ(shownTemplate, IDD_CONFIG_COSMOS);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
    const Values expected{{IDC_COSMOS_PATH, "D:\\CMM"}, {IDC_COSMOS_CANCEL_KEYS, kCancelKeys},
                          {IDC_COSMOS_RESTART_KEYS1, "%R{DOWN}{ENTER}"}, {IDC_COSMOS_RESTART_KEYS2, "1{ENTER}{ENTER}"},
                          {IDC_COSMOS_EXIT_KEYS, "%I{DOWN}{DOWN}{ENTER}"},
                          {IDC_COSMOS_PARTMANAGER_CLASS, "xpartmngr4500drawtask9012"},
                          {IDC_COSMOS_GEOPAK_CLASS, "xmeas_res4500drawtask9012"}, {IDC_COSMOS_GEOPAK_LOCAL, "0"},
                          {IDC_COSMOS_MACHINE_TYPE, "1"}, {IDC_COSMOS_INDEXABLE_HEAD, "1"}};
    EXPECT_EQ(shownValues, expected);
    EXPECT_EQ(protocol.m_cosmosPath, "D:\\CMM");
    EXPECT_EQ(protocol.m_machineType, 7);
    EXPECT_EQ(protocol.m_cancelMacroKeys, kCancelKeys);
    EXPECT_EQ(protocol.m_geopakLocal, 0);
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

TEST_F(ConfigureTest, GeopakDisconnectsBeforeTheDialogWhateverTheAnswer) {
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

    ASSERT_TRUE(protocol.ConnectForTest());
    Answer(-1);  // the dialog cannot be shown
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.events.size(), 3u);
    EXPECT_FALSE(protocol.IsConnected());

    Answer(plat::kIdOk);  // not connected now: no disconnection
    EXPECT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(protocol.events.size(), 3u);
    EXPECT_EQ(shownTemplate, IDD_CONFIG_GEOPAK);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
    EXPECT_EQ(shownValues.size(), 9u);
}

}  // namespace
