// The dialog layer's own semantics: data exchange in both directions, OK
// versus Cancel of a modal run, creation refused by OnCreate, PostNcDestroy
// as the last call, and a window that goes with its object.
#include "dialogs/resource.h"
#include "dialogs/templates.h"
#include "framework/dialog.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

using Values = std::map<int, std::string>;

class DialogLayerTest : public testing::Test {
protected:
    void SetUp() override {
        plat::RegisterTemplates(&m_module, &PluginDialogTemplates());
        plat::SetResourceModule(&m_module);
    }
    void TearDown() override {
        plat::SetResourceModule(nullptr);
        plat::RegisterTemplates(&m_module, nullptr);
    }
    testsupport::Sandbox sandbox;
    int m_module = 0;
};

class TwoFieldDialog : public CDialog {
public:
    TwoFieldDialog() : CDialog(IDD_GEOPAK_4000) {}
    std::string path;
    int flag = 0;
    int exchanges = 0;

protected:
    void DoDataExchange(CDataExchange* pDX) override {
        ++exchanges;
        DDX_Text(pDX, IDC_G4000_DATA_PATH, path);
        DDX_Check(pDX, IDC_G4000_OUTER_MATERIAL, flag);
    }
};

TEST_F(DialogLayerTest, ModalRunExchangesIntoControlsAndBackOnlyOnOk) {
    TwoFieldDialog dialog;
    Values shown;
    for (int answer : {plat::kIdCancel, plat::kIdOk}) {
        sandbox.ui().QueueModal([&, answer](const plat::DialogTemplate& layout, Values& values) {
            EXPECT_EQ(layout.id, IDD_GEOPAK_4000);
            shown = values;
            values.erase(IDC_G4000_DATA_PATH);  // a control that is gone leaves its member alone
            values[IDC_G4000_OUTER_MATERIAL] = "2";
            return answer;
        });
    }
    dialog.path = "C:\\A";
    dialog.flag = 0;
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, (Values{{IDC_G4000_DATA_PATH, "C:\\A"}, {IDC_G4000_OUTER_MATERIAL, "0"}}));
    EXPECT_EQ(dialog.flag, 0);
    EXPECT_EQ(dialog.exchanges, 1);
    dialog.flag = 9;  // any non-zero value shows as ticked
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(shown.at(IDC_G4000_OUTER_MATERIAL), "1");
    EXPECT_EQ(dialog.path, "C:\\A");
    EXPECT_EQ(dialog.flag, 1) << "a ticked box reads back as 1";
    EXPECT_EQ(dialog.exchanges, 3);
}

// A modeless dialog that deletes itself, as the command window does (whose
// Cancel and close are covered with the COSMOS commands).
class SelfDeleting : public CDialog {
public:
    explicit SelfDeleting(std::vector<std::string>& log) : m_log(log) {}
    int OnCreate() override { return m_refuse ? -1 : 0; }
    void PostNcDestroy() override {
        m_log.push_back("post-nc-destroy");
        delete this;
    }
    bool m_refuse = true;

private:
    std::vector<std::string>& m_log;
};

TEST_F(DialogLayerTest, CreationRefusedByOnCreateLeavesNoWindowAndTheObjectAlive) {
    std::vector<std::string> log;
    auto* dialog = new SelfDeleting(log);
    EXPECT_FALSE(dialog->Create(IDD_COSMOS_COMMAND));
    EXPECT_EQ(dialog->Handle(), 0u);
    EXPECT_TRUE(log.empty()) << "the object must survive a failed creation";
    for (const auto& shown : sandbox.ui().ModelessDialogs()) EXPECT_TRUE(shown.destroyed);

    // The same object can still own a window, and hears of its end.
    dialog->m_refuse = false;
    ASSERT_TRUE(dialog->Create(IDD_COSMOS_COMMAND));
    EXPECT_EQ(dialog->GetWindowText(), "Cosmos Command In Progress");
    dialog->DestroyWindow();
    EXPECT_EQ(log, std::vector<std::string>{"post-nc-destroy"});
    EXPECT_FALSE(CDialog().Create(4711)) << "no such template";
}

TEST_F(DialogLayerTest, DestroyingTheObjectDestroysItsWindow) {
    plat::DialogHandle handle = 0;
    {
        CDialog dialog;
        ASSERT_TRUE(dialog.Create(IDD_COSMOS_COMMAND));
        handle = dialog.Handle();
        EXPECT_FALSE(dialog.Create(IDD_COSMOS_COMMAND)) << "one window per object";
    }
    EXPECT_FALSE(plat::HasDialogItem(handle, IDC_COMMAND_COUNTER));
    plat::PostDialogCommand(handle, IDCANCEL);
    plat::PumpMessages();  // nothing left to reach: must not touch the old object
}

}  // namespace
