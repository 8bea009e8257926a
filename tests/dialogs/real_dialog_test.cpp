// A configuration dialog shown for real (win32 only: the window the platform
// builds from the resources) and worked by a user at the screen: the edits
// and boxes show the current settings, and what the user changes comes back
// on OK and not on Cancel. (That the resources hold every control of both
// templates is checked against the resource script; the GEOPAK dialog's
// exchange is the configure tests'.)
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "plugin/module_entry.h"
#include "support/protocol_settings.h"
#include "support/win32/screen_user.h"

#include <gtest/gtest.h>

namespace {

const plat::DialogTemplate& TemplateOf(int id) {
    for (const plat::DialogTemplate& dialog : PluginDialogTemplates())
        if (dialog.id == id) return dialog;
    throw std::logic_error("no template " + std::to_string(id));
}

class RealDialog : public testing::Test {
protected:
    void SetUp() override { PluginDllMain(nullptr, kProcessAttach, nullptr); }
    void TearDown() override { PluginDllMain(nullptr, kProcessDetach, nullptr); }

    testsupport::Sandbox sandbox;
};

// Cancel first, so the settings shown the second time are still the old ones.
TEST_F(RealDialog, CosmosShowsTheSettingsCancelKeepsThemAndOkCopiesBackWhatWasTypedAndTicked) {
    const plat::DialogTemplate& dialog = TemplateOf(IDD_CONFIG_COSMOS);
    MitutoyoCosmosProtocol protocol;
    testsupport::SetSetting(protocol, "CosmosPath", "D:\\CMM\\");
    testsupport::SetSetting(protocol, "GeoPak Local", 0);
    testsupport::SetSetting(protocol, "MachineType", 1);
    testsupport::SetSetting(protocol, "ExitGEOPAKKeyStroke", "%X");
    for (const int button : {plat::kIdCancel, plat::kIdOk}) {
        testsupport::ScreenUser user;
        user.Start([&] { return protocol.Configure(); });
        ASSERT_TRUE(user.WaitForDialog(dialog.caption)) << "no dialog \"" << dialog.caption << "\"";
        EXPECT_EQ(user.Text(IDC_COSMOS_PATH), "D:\\CMM\\");
        EXPECT_EQ(user.Text(IDC_COSMOS_EXIT_KEYS), "%X");
        EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_CLASS),
                  testsupport::StoredSetting(protocol, "GeoPakWinClassName", std::string()));
        EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_LOCAL), "0");
        EXPECT_EQ(user.Text(IDC_COSMOS_MACHINE_TYPE), "1");
        user.SetText(IDC_COSMOS_PATH, "E:\\NEW");
        user.SetText(IDC_COSMOS_EXIT_KEYS, "%Q{ENTER}");
        user.Click(IDC_COSMOS_GEOPAK_LOCAL);
        user.Click(IDC_COSMOS_MACHINE_TYPE);
        EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_LOCAL), "1");
        user.Click(button);
        int result = -1;
        ASSERT_TRUE(user.Finished(result)) << "button " << button << " did not end the dialog";
        EXPECT_EQ(result, button == plat::kIdOk ? TRUE : FALSE);
    }
    // Mended on the way back.
    EXPECT_EQ(testsupport::StoredSetting(protocol, "CosmosPath", std::string()), "E:\\NEW\\");
    EXPECT_EQ(testsupport::StoredSetting(protocol, "ExitGEOPAKKeyStroke", std::string()), "%Q{ENTER}");
    EXPECT_EQ(testsupport::StoredSetting(protocol, "GeoPak Local", 9u), 1u);
    EXPECT_EQ(testsupport::StoredSetting(protocol, "MachineType", 9u), 0u);
}

}  // namespace
