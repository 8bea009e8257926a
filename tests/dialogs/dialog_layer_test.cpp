// The dialog layer's own semantics: data exchange in both directions, OK
// versus Cancel of a modal run, and the modeless lifecycle (Cancel hides,
// a close request destroys, PostNcDestroy comes last and may delete the
// object, creation refused by OnCreate).
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
    const testsupport::ScriptedUI::Modeless* Shown(plat::DialogHandle handle) {
        m_modeless = sandbox.ui().ModelessDialogs();
        for (const auto& dialog : m_modeless)
            if (dialog.handle == handle) return &dialog;
        return nullptr;
    }

    testsupport::Sandbox sandbox;
    int m_module = 0;
    std::vector<testsupport::ScriptedUI::Modeless> m_modeless;
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
    dialog.path = "C:\\A";
    dialog.flag = 9;  // any non-zero value shows as ticked
    Values shown;
    sandbox.ui().QueueModal([&](const plat::DialogTemplate& layout, Values& values) {
        EXPECT_EQ(layout.id, IDD_GEOPAK_4000);
        shown = values;
        values[IDC_G4000_DATA_PATH] = "typed";
        values[IDC_G4000_OUTER_MATERIAL] = "0";
        return plat::kIdCancel;
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    EXPECT_EQ(shown, (Values{{IDC_G4000_DATA_PATH, "C:\\A"}, {IDC_G4000_OUTER_MATERIAL, "1"}}));
    EXPECT_EQ(dialog.path, "C:\\A");
    EXPECT_EQ(dialog.flag, 9);
    EXPECT_EQ(dialog.exchanges, 1);

    sandbox.ui().QueueModal([](const plat::DialogTemplate&, Values& values) {
        values[IDC_G4000_DATA_PATH] = "typed";
        values[IDC_G4000_OUTER_MATERIAL] = "0";
        return plat::kIdOk;
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.path, "typed");
    EXPECT_EQ(dialog.flag, 0);
    EXPECT_EQ(dialog.exchanges, 3);
}

TEST_F(DialogLayerTest, DataExchangeReadsCheckBoxesAsZeroOrOneAndSkipsMissingControls) {
    Values values{{1, "1"}, {2, "0"}, {3, "2"}, {4, "junk"}};
    CDataExchange read(true, values);
    int a = 5, b = 5, c = 5, d = 5, e = 5;
    std::string text = "kept";
    DDX_Check(&read, 1, a);
    DDX_Check(&read, 2, b);
    DDX_Check(&read, 3, c);
    DDX_Check(&read, 4, d);
    DDX_Check(&read, 99, e);
    DDX_Text(&read, 98, text);
    EXPECT_EQ((std::vector<int>{a, b, c, d, e}), (std::vector<int>{1, 0, 1, 0, 5}));
    EXPECT_EQ(text, "kept");
}

TEST_F(DialogLayerTest, ModalRunFailsWithoutATemplate) {
    CDialog dialog(4711);
    EXPECT_EQ(dialog.DoModal(), -1);
    EXPECT_TRUE(sandbox.ui().ModalTemplatesShown().empty());
}

// A modeless dialog that deletes itself, as the command window does.
class SelfDeleting : public CDialog {
public:
    explicit SelfDeleting(std::vector<std::string>& log) : m_log(log) {}
    int OnCreate() override { return m_refuse ? -1 : 0; }
    void OnCancel() override {
        m_log.push_back("cancel");
        CDialog::OnCancel();
    }
    void OnClose() override {
        m_log.push_back("close");
        CDialog::OnClose();
    }
    void PostNcDestroy() override {
        m_log.push_back("post-nc-destroy");
        CDialog::PostNcDestroy();
        delete this;
    }
    bool m_refuse = false;

private:
    std::vector<std::string>& m_log;
};

TEST_F(DialogLayerTest, ModelessCancelHidesAndCloseDestroysThenDeletes) {
    std::vector<std::string> log;
    auto* dialog = new SelfDeleting(log);
    ASSERT_TRUE(dialog->Create(IDD_COSMOS_COMMAND));
    const plat::DialogHandle handle = dialog->Handle();
    dialog->ShowWindow(plat::kSwShow);
    EXPECT_EQ(dialog->GetWindowText(), "Cosmos Command In Progress");
    EXPECT_TRUE(dialog->HasDlgItem(IDC_COMMAND_COUNTER));
    EXPECT_FALSE(dialog->HasDlgItem(1234));
    dialog->SetDlgItemText(IDC_COMMAND_COUNTER, "3");
    ASSERT_NE(Shown(handle), nullptr);
    EXPECT_TRUE(Shown(handle)->visible);
    EXPECT_EQ(Shown(handle)->texts.at(IDC_COMMAND_COUNTER), "3");

    plat::PostDialogCommand(handle, IDCANCEL);
    EXPECT_TRUE(log.empty()) << "handled before the pump ran";
    plat::PumpMessages();
    EXPECT_EQ(log, std::vector<std::string>{"cancel"});
    EXPECT_FALSE(Shown(handle)->visible);
    EXPECT_FALSE(Shown(handle)->destroyed);

    dialog->PostCloseMessage();
    plat::PumpMessages();
    EXPECT_EQ(log, (std::vector<std::string>{"cancel", "close", "post-nc-destroy"}));
    EXPECT_TRUE(Shown(handle)->destroyed);
    plat::PostDialogClose(handle);  // a stale handle reaches nobody
    plat::PumpMessages();
    EXPECT_EQ(log.size(), 3u);
}

TEST_F(DialogLayerTest, ModelessCreationRefusedByOnCreateLeavesNoWindow) {
    std::vector<std::string> log;
    auto* dialog = new SelfDeleting(log);
    dialog->m_refuse = true;
    EXPECT_FALSE(dialog->Create(IDD_COSMOS_COMMAND));
    EXPECT_EQ(dialog->Handle(), 0u);
    EXPECT_TRUE(log.empty()) << "the object must survive a failed creation";
    for (const auto& shown : sandbox.ui().ModelessDialogs()) EXPECT_TRUE(shown.destroyed);

    // The same object can still own a window, and hears of its end.
    dialog->m_refuse = false;
    ASSERT_TRUE(dialog->Create(IDD_COSMOS_COMMAND));
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
