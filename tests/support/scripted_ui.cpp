// The scripted host UI of the test suite: message boxes answered from a
// queue (or a handler, or the default answer) and recorded; modal dialogs run
// by queued handlers; modeless dialogs recorded as the platform announces
// them.
#include "support/test_support.h"

#include <utility>

namespace testsupport {
namespace {

int DefaultAnswerFor(unsigned style) {
    switch (style & 0xF) {
    case plat::kMbYesNo: return plat::kIdNo;
    case plat::kMbYesNoCancel: return plat::kIdCancel;
    default: return plat::kIdOk;
    }
}

}  // namespace

std::vector<std::string> ScriptedUI::Texts() const {
    std::vector<std::string> texts;
    for (const ShownMessage& m : Messages()) texts.push_back(m.text);
    return texts;
}

int ScriptedUI::MessageBox(const std::string& text, unsigned style) {
    const ShownMessage shown{text, style};
    std::unique_lock<std::mutex> guard(m_lock);
    m_messages.push_back(shown);
    if (auto handler = std::exchange(m_messageHandler, nullptr)) {
        // One message box per handler; it runs without the lock, so it may script more.
        guard.unlock();
        return handler(shown);
    }
    if (m_answers.empty()) return m_defaultAnswer != 0 ? m_defaultAnswer : DefaultAnswerFor(style);
    const int answer = m_answers.front();
    m_answers.pop_front();
    return answer;
}

int ScriptedUI::RunModal(const plat::DialogTemplate& dialog, std::map<int, std::string>& values) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_modalShown.push_back(dialog.id);
    if (m_modals.empty()) return plat::kIdCancel;
    const ModalHandler handler = std::move(m_modals.front());
    m_modals.pop_front();
    guard.unlock();
    return handler(dialog, values);
}

void ScriptedUI::ModelessShown(plat::DialogHandle handle, const plat::DialogTemplate& dialog, bool visible) {
    // The current texts, read before taking the lock: the platform may be asked.
    std::map<int, std::string> texts{{-1, plat::GetDialogTitle(handle)}};
    for (const plat::ControlTemplate& control : dialog.controls)
        if (control.id != -1) texts[control.id] = plat::GetDialogItemText(handle, control.id);
    std::lock_guard<std::mutex> guard(m_lock);
    Modeless& known = Find(handle);
    known = {handle, dialog.id, visible, std::move(texts), known.destroyed};
}

void ScriptedUI::ModelessText(plat::DialogHandle handle, int controlId, const std::string& text) {
    // Text may come before the dialog was first shown: the template id follows on show.
    std::lock_guard<std::mutex> guard(m_lock);
    Find(handle).texts[controlId] = text;
}

void ScriptedUI::ModelessDestroyed(plat::DialogHandle handle) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (Modeless& known : m_modeless)
        if (known.handle == handle) known.destroyed = true;
}

ScriptedUI::Modeless& ScriptedUI::Find(plat::DialogHandle handle) {
    for (Modeless& known : m_modeless)
        if (known.handle == handle) return known;
    return m_modeless.emplace_back(Modeless{handle, 0, false, {}, false});
}

}  // namespace testsupport
