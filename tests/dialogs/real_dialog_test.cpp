// Both configuration dialogs shown for real (win32 only: the window the
// platform builds from the resources) and worked by a user at the screen:
// the edits show the current settings, and what the user changes comes back
// on OK and not on Cancel. (That the resources hold every control of the
// templates is checked against the resource script.)
#include "cosmos/cosmos_protocol.h"
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "framework/plugin/module.h"
#include "geopak/geopak_protocol.h"
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

TEST_F(RealDialog, CosmosShowsItsTemplateAndOkCopiesBackWhatWasTypedAndTicked) {
    const plat::DialogTemplate& dialog = TemplateOf(IDD_CONFIG_COSMOS);
    MitutoyoCosmosProtocol protocol;
    protocol.m_cosmosPath = "D:\\CMM\\";
    protocol.m_geopakLocal = 0;
    protocol.m_machineType = 1;
    protocol.m_exitGeopakKeys = "%X";
    testsupport::ScreenUser user;
    user.Start([&] { return protocol.Configure(); });
    ASSERT_TRUE(user.WaitForDialog(dialog.caption)) << "no dialog \"" << dialog.caption << "\"";
    EXPECT_EQ(user.Text(IDC_COSMOS_PATH), "D:\\CMM\\");
    EXPECT_EQ(user.Text(IDC_COSMOS_EXIT_KEYS), "%X");
    EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_CLASS), protocol.m_geopakWindowClass);
    EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_LOCAL), "0");
    EXPECT_EQ(user.Text(IDC_COSMOS_MACHINE_TYPE), "1");

    user.SetText(IDC_COSMOS_PATH, "E:\\NEW");
    user.SetText(IDC_COSMOS_EXIT_KEYS, "%Q{ENTER}");
    user.Click(IDC_COSMOS_GEOPAK_LOCAL);
    user.Click(IDC_COSMOS_MACHINE_TYPE);
    EXPECT_EQ(user.Text(IDC_COSMOS_GEOPAK_LOCAL), "1");
    user.Click(plat::kIdOk);
    int result = 0;
    ASSERT_TRUE(user.Finished(result)) << "OK did not end the dialog";
    EXPECT_EQ(result, TRUE);
    EXPECT_EQ(protocol.m_cosmosPath, "E:\\NEW\\");  // mended on the way back
    EXPECT_EQ(protocol.m_exitGeopakKeys, "%Q{ENTER}");
    EXPECT_EQ(protocol.m_geopakLocal, 1);
    EXPECT_EQ(protocol.m_machineType, 0);
}

TEST_F(RealDialog, GeopakCancelKeepsEverythingAndOkTakesTheEdits) {
    const plat::DialogTemplate& dialog = TemplateOf(IDD_CONFIG_GEOPAK);
    MitutoyoProtocol protocol;
    protocol.m_exchangeDirectory = "C:\\DATA\\";
    protocol.m_useSendKey = 1;
    for (const int button : {plat::kIdCancel, plat::kIdOk}) {
        testsupport::ScreenUser user;
        user.Start([&] { return protocol.Configure(); });
        ASSERT_TRUE(user.WaitForDialog(dialog.caption)) << "no dialog \"" << dialog.caption << "\"";
        EXPECT_EQ(user.Text(IDC_GEOPAK_EXCHANGE_DIRECTORY), "C:\\DATA\\");
        EXPECT_EQ(user.Text(IDC_GEOPAK_USE_SEND_KEY), "1");
        user.SetText(IDC_GEOPAK_EXCHANGE_DIRECTORY, "Q:\\X");
        user.SetText(IDC_GEOPAK_STARTUP_COMMAND2, "");
        user.Click(IDC_GEOPAK_USE_SEND_KEY);
        user.Click(button);
        int result = -1;
        ASSERT_TRUE(user.Finished(result)) << "button " << button << " did not end the dialog";
        if (button == plat::kIdCancel) {
            EXPECT_EQ(result, FALSE);
            EXPECT_EQ(protocol.m_exchangeDirectory, "C:\\DATA\\");
            EXPECT_EQ(protocol.m_useSendKey, 1);
            EXPECT_FALSE(protocol.m_startupCommand2.empty());
        } else {
            EXPECT_EQ(result, TRUE);
            EXPECT_EQ(protocol.m_exchangeDirectory, "Q:\\X");
            EXPECT_EQ(protocol.m_useSendKey, 0);
            EXPECT_EQ(protocol.m_startupCommand2, "");
        }
    }
}

}  // namespace
