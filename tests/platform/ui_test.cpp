// Host UI plumbing: message boxes without a UI, and modeless dialogs whose
// user actions reach the sink only when the creating thread pumps. (Modal
// template look-up is the configure dialogs' tests'; a sink that destroys its
// dialog from within a call and deletes itself, the COSMOS command dialog's
// close in the command tests.)
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace {

const std::vector<plat::DialogTemplate> kOwnTemplates = {
    {103, "Cosmos Command In Progress", 200, 60, "MS Sans Serif", 8,
     {{2, plat::ControlKind::kPushButton, "Cancel", 75, 40, 50, 14},
      {1000, plat::ControlKind::kStatic, "waiting", 10, 10, 180, 20},
      {-1, plat::ControlKind::kStatic, "label", 10, 30, 50, 8}}},
};
char kOwnModule;  // only its address counts

struct Registered {
    Registered() {
        plat::RegisterTemplates(&kOwnModule, &kOwnTemplates);
        plat::SetResourceModule(&kOwnModule);
    }
    ~Registered() {
        plat::SetResourceModule(nullptr);
        plat::RegisterTemplates(&kOwnModule, nullptr);
    }
};

struct RecordingSink : plat::DialogSink {
    std::vector<std::string> calls;
    void OnCommand(int id) override { calls.push_back("command " + std::to_string(id)); }
    void OnCloseRequest() override { calls.push_back("close"); }
    void OnDestroyed() override { calls.push_back("destroyed"); }
};

TEST(MessageBoxes, WithoutAUiTheSafeAnswer) {
    CMM_SKIP_ON_WIN32("without a host UI Windows shows a real box and waits for the user");
    plat::HostUI* saved = plat::CurrentHostUI();
    plat::SetHostUI(nullptr);
    EXPECT_EQ(plat::MessageBox("ok?", plat::kMbOk | plat::kMbIconHand), plat::kIdOk);
    EXPECT_EQ(plat::MessageBox("ok or cancel?", plat::kMbOkCancel), plat::kIdOk);
    EXPECT_EQ(plat::MessageBox("yes or no?", plat::kMbYesNo | plat::kMbSystemModal), plat::kIdNo);
    EXPECT_EQ(plat::MessageBox("yes, no, cancel?", plat::kMbYesNoCancel), plat::kIdCancel);
    std::map<int, std::string> values;
    EXPECT_EQ(plat::RunModalDialog(103, values), -1);
    plat::SetHostUI(saved);
}

TEST(ModelessDialogs, ActionsReachTheSinkOnlyWhenTheCreatorPumps) {
    CMM_SKIP_ON_WIN32("Windows builds the dialog from the module's own resources, not from this test's template");
    testsupport::Sandbox box;
    Registered templates;
    RecordingSink sink;
    plat::DialogHandle dialog = plat::CreateModelessDialog(103, &sink);
    ASSERT_NE(dialog, 0u);
    EXPECT_EQ(plat::GetDialogTitle(dialog), "Cosmos Command In Progress");
    EXPECT_EQ(plat::GetDialogItemText(dialog, 1000), "waiting");
    EXPECT_FALSE(plat::HasDialogItem(dialog, -1));
    plat::ShowDialog(dialog, true);

    plat::Thread other;
    ASSERT_TRUE(other.Start([&] {
        plat::PostDialogCommand(dialog, 2);
        plat::PostDialogClose(dialog);
        plat::PumpMessages();  // not the creating thread: dispatches nothing
    }));
    ASSERT_TRUE(other.Join(500000));
    EXPECT_TRUE(sink.calls.empty());
    plat::PumpMessages();
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"command 2", "close"}));

    plat::SetDialogItemText(dialog, 1000, "done");
    plat::SetDialogTitle(dialog, "New title");
    plat::PostDialogCommand(dialog, 2);
    plat::DestroyDialog(dialog);
    plat::PumpMessages();
    plat::PostDialogCommand(dialog, 2);
    plat::PumpMessages();
    EXPECT_EQ(sink.calls, (std::vector<std::string>{"command 2", "close", "destroyed"}))
        << "messages for a destroyed dialog are dropped";

    std::vector<testsupport::ScriptedUI::Modeless> shown = box.ui().ModelessDialogs();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].templateId, 103);
    EXPECT_TRUE(shown[0].visible);
    EXPECT_TRUE(shown[0].destroyed);
    EXPECT_EQ(shown[0].texts[-1], "New title");
    EXPECT_EQ(shown[0].texts[1000], "done");
}

}  // namespace
