// The screen user's part that needs no window calls: the thread that runs
// the code which shows the dialog, the bounded wait for it, and the check of
// a dialog's controls against its template.
#include "support/win32/screen_user.h"

#include <gtest/gtest.h>

namespace testsupport {
namespace {

const char* KindName(plat::ControlKind kind) {
    switch (kind) {
    case plat::ControlKind::kDefPushButton: return "default push button";
    case plat::ControlKind::kPushButton: return "push button";
    case plat::ControlKind::kEdit: return "edit";
    case plat::ControlKind::kStatic: return "label";
    case plat::ControlKind::kCheckBox: return "check box";
    }
    return "?";
}

// Edits show the current values, not the template's empty text.
bool Matches(const ScreenUser::Control& shown, const plat::ControlTemplate& wanted) {
    return shown.id == wanted.id && shown.kind == wanted.kind &&
           (wanted.kind == plat::ControlKind::kEdit || shown.text == wanted.text);
}

}  // namespace

ScreenUser::ScreenUser() : m_screen(MakeScreen()) {}

ScreenUser::~ScreenUser() {
    if (!m_body.joinable()) return;
    if (!m_done) m_screen->CloseIfOpen();
    if (Eventually([this] { return m_done.load(); }, 10000)) {
        m_body.join();
    } else {
        ADD_FAILURE() << "the code that showed the dialog did not return once it was closed";
        m_body.detach();  // the test's time limit ends the process
    }
}

void ScreenUser::Start(std::function<int()> body) {
    m_body = std::thread([this, body = std::move(body)] {
        m_result = body();
        m_done = true;
    });
}

bool ScreenUser::WaitForDialog(const std::string& caption, int realMs) {
    return m_screen->WaitForDialog(caption, realMs);
}

void ScreenUser::ExpectControls(const plat::DialogTemplate& dialog) {
    const std::vector<Control> shown = m_screen->Controls();
    EXPECT_EQ(shown.size(), dialog.controls.size()) << "controls on dialog " << dialog.id;
    for (const plat::ControlTemplate& wanted : dialog.controls) {
        bool found = false;
        for (const Control& control : shown) found = found || Matches(control, wanted);
        EXPECT_TRUE(found) << "dialog " << dialog.id << " lacks the " << KindName(wanted.kind) << " " << wanted.id
                           << " \"" << wanted.text << "\"";
    }
}

std::string ScreenUser::Text(int controlId) { return m_screen->Text(controlId); }

void ScreenUser::SetText(int controlId, const std::string& text) { m_screen->SetText(controlId, text); }

void ScreenUser::Click(int controlId) { m_screen->Click(controlId); }

bool ScreenUser::Finished(int& result, int realMs) {
    if (!m_body.joinable() || !Eventually([this] { return m_done.load(); }, realMs)) return false;
    m_body.join();
    result = m_result;
    return true;
}

}  // namespace testsupport
