// The settings of both protocols and their Configure through the scripted
// host UI. The description a host reads stores exactly the golden defaults,
// names each edit and check box of its template, and every value it
// writes comes back through ReadSettings. Configure: what the dialog is
// shown, what comes back on OK and nothing on Cancel or failure, the COSMOS
// folder mending, the worker held off only around the copy back, and the
// GEOPAK disconnection that happens whatever the user does. Settings go in
// and out through the protocols' registry operations on a .reg key only.
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "dialogs/resource_scope.h"
#include "dialogs/templates.h"
#include "framework/regfile.h"
#include "geopak/geopak_protocol.h"
#include "plugin/module_entry.h"
#include "support/protocol_settings.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <tuple>

namespace {

using Values = std::map<int, std::string>;

constexpr auto kBound = std::chrono::seconds(5);
const std::string kProtocolsKey = "HKEY_CURRENT_USER\\Software\\ZOR\\CMM Protocols\\";

using testsupport::StoredSettings;

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

TEST_F(ConfigureTest, EachDescriptionStoresItsGoldenDefaultsNamesItsTemplatesControlsAndRoundTrips) {
    const std::tuple<const char*, const char*, int> cases[] = {
        {"Mitutoyo - COSMOS1.3", "settings_cosmos_defaults.reg", IDD_CONFIG_COSMOS},
        {"Mitutoyo - GEOPAK3v5.3", "settings_geopak_defaults.reg", IDD_CONFIG_GEOPAK}};
    for (const auto& [name, golden, templateId] : cases) {
        RegFileKey defaults(kProtocolsKey + name), changed("HKEY_CURRENT_USER\\Software\\test");
        std::map<int, SettingControl> controls, inTemplate;
        uint32_t n = 0;
        for (const SettingInfo& row : RegisteredSettings(name)) {
            if (row.control != SettingControl::kNone) controls[row.controlId] = row.control;
            if (!row.written) continue;
            const bool text = row.kind == SettingKind::kText;
            text ? defaults.SetString(row.valueName, row.defaultText)
                 : defaults.SetDword(row.valueName, static_cast<uint32_t>(std::stoul(row.defaultText)));
            text ? changed.SetString(row.valueName, "v" + std::to_string(++n)) : changed.SetDword(row.valueName, ++n);
        }
        EXPECT_EQ(defaults.ToText(), testsupport::Golden(golden)) << name;
        using Kind = plat::ControlKind;
        for (const plat::DialogTemplate& dialog : PluginDialogTemplates())
            for (const plat::ControlTemplate& k : dialog.controls)
                if (dialog.id == templateId && (k.kind == Kind::kEdit || k.kind == Kind::kCheckBox))
                    inTemplate[k.id] = k.kind == Kind::kEdit ? SettingControl::kEdit : SettingControl::kCheckBox;
        EXPECT_EQ(controls, inTemplate) << name;
        // Each value lands in a member of its own and is written back from it.
        const std::unique_ptr<CMMProtocolWithThread> protocol(CreateProtocol(name));
        ASSERT_TRUE(protocol) << name;
        protocol->ReadSettings(&changed);
        EXPECT_EQ(StoredSettings(*protocol).ToText(), changed.ToText()) << name;
    }
}

TEST_F(ConfigureTest, CosmosCancelShowsTheSettingsChangesNothingAndNeverWaitsForTheWorker) {
    MitutoyoCosmosProtocol protocol;
    RegFileKey seed("K");
    seed.SetDword("MachineType", 7);
    seed.SetString("CosmosPath", "D:\\CMM");
    protocol.ReadSettings(&seed);
    const std::string before = StoredSettings(protocol).ToText();
    Answer(plat::kIdCancel, {{IDC_COSMOS_PATH, "X:\\"}, {IDC_COSMOS_MACHINE_TYPE, "0"},
                             {IDC_COSMOS_CANCEL_KEYS, "zz"}, {IDC_COSMOS_GEOPAK_LOCAL, "1"}});
    protocol.m_protocolLock.Enter();  // a worker busy in its cycle
    auto configured = std::async(std::launch::async, [&] { return protocol.Configure(); });
    const bool returned = configured.wait_for(kBound) == std::future_status::ready;
    protocol.m_protocolLock.Leave();
    ASSERT_TRUE(returned) << "Cancel waited for the worker";
    EXPECT_EQ(configured.get(), FALSE);
    // Shown as stored, the machine type 7 as a ticked box; every control filled.
    EXPECT_EQ(shownTemplate, IDD_CONFIG_COSMOS);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
    EXPECT_EQ(shownValues.size(), 10u);
    EXPECT_EQ(shownValues[IDC_COSMOS_PATH] + shownValues[IDC_COSMOS_MACHINE_TYPE] + shownValues[IDC_COSMOS_EXIT_KEYS],
              "D:\\CMM1%I{DOWN}{DOWN}{ENTER}");
    // Neither a dialog that cannot be shown nor a missing template changes anything.
    Answer(-1, {{IDC_COSMOS_PATH, "X"}});
    EXPECT_EQ(protocol.Configure(), FALSE);
    PluginDllMain(nullptr, kProcessDetach, nullptr);
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(sandbox.ui().ModalTemplatesShown().size(), 2u);
    EXPECT_EQ(StoredSettings(protocol).ToText(), before);
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
        EXPECT_EQ(testsupport::StoredSetting(protocol, "CosmosPath", std::string()), stored)
            << "typed \"" << typed << "\"";
    }
}

// Records the order of disconnection and dialog; connects without GEOPAK.
class RecordingGeopak : public MitutoyoProtocol {
public:
    BOOL Disconnect() override {
        events.push_back("disconnect");
        return _CMMProtocol::Disconnect();
    }
    std::vector<std::string> events;
};

TEST_F(ConfigureTest, GeopakDisconnectsBeforeTheDialogWhateverTheAnswer) {
    RecordingGeopak protocol;
    const std::string before = StoredSettings(protocol).ToText();
    ASSERT_TRUE(protocol._CMMProtocol::Connect());
    sandbox.ui().QueueModal([&](const plat::DialogTemplate&, Values& values) {
        protocol.events.push_back(protocol.IsConnected() ? "dialog, connected" : "dialog");
        values[IDC_GEOPAK_EXCHANGE_DIRECTORY] = "Q:\\";
        return plat::kIdCancel;
    });
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.events, (std::vector<std::string>{"disconnect", "dialog"}));
    EXPECT_FALSE(protocol.IsConnected());
    EXPECT_EQ(StoredSettings(protocol).ToText(), before);

    ASSERT_TRUE(protocol._CMMProtocol::Connect());
    Answer(-1);  // the dialog cannot be shown
    EXPECT_EQ(protocol.Configure(), FALSE);
    EXPECT_EQ(protocol.events.size(), 3u);
    EXPECT_FALSE(protocol.IsConnected());

    Answer(plat::kIdOk);  // not connected now: no disconnection
    EXPECT_EQ(protocol.Configure(), TRUE);
    EXPECT_EQ(protocol.events.size(), 3u);
    EXPECT_EQ(shownTemplate, IDD_CONFIG_GEOPAK);
    EXPECT_EQ(moduleDuringRun, PluginResourceModule());
}

}  // namespace
