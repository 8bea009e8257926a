// The screen user on the real Win32 dialog (see screen_user.h), and the
// registry clean-up of the tests.
#include "support/win32/screen_user.h"

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace testsupport {
namespace {

HWND Control(plat::WindowHandle dialog, int controlId) {
    return dialog == plat::kNoWindow ? nullptr : ::GetDlgItem(reinterpret_cast<HWND>(dialog), controlId);
}

bool IsButton(HWND control) {
    char name[32] = {};
    ::GetClassNameA(control, name, sizeof name);
    return lstrcmpiA(name, "Button") == 0;
}

}  // namespace

ScreenUser::ScreenUser() : m_previous(plat::CurrentHostUI()) { plat::SetHostUI(nullptr); }

ScreenUser::~ScreenUser() {
    if (m_body.joinable()) {
        HWND dialog = m_caption.empty() ? nullptr : ::FindWindowA("#32770", m_caption.c_str());
        if (!m_done && dialog != nullptr) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
        if (Eventually([this] { return m_done.load(); }, 10000)) {
            m_body.join();
        } else {
            ADD_FAILURE() << "the code that showed the dialog did not return once it was closed";
            m_body.detach();  // the test's time limit ends the process
        }
    }
    plat::SetHostUI(m_previous);
}

void ScreenUser::Start(std::function<int()> body) {
    m_body = std::thread([this, body = std::move(body)] {
        m_result = body();
        m_done = true;
    });
}

bool ScreenUser::WaitForDialog(const std::string& caption, int realMs) {
    m_caption = caption;
    return Eventually([&] {
        HWND dialog = ::FindWindowA("#32770", caption.c_str());
        m_dialog = reinterpret_cast<plat::WindowHandle>(dialog);
        return dialog != nullptr && ::IsWindowVisible(dialog);
    }, realMs);
}

std::string ScreenUser::Text(int controlId) {
    HWND control = Control(m_dialog, controlId);
    if (control == nullptr) return std::string();
    if (IsButton(control)) return ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(control)) + 1, '\0');
    const int length = ::GetWindowTextA(control, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

void ScreenUser::SetText(int controlId, const std::string& text) {
    if (HWND control = Control(m_dialog, controlId))
        ::SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ScreenUser::Click(int controlId) {
    if (HWND control = Control(m_dialog, controlId)) ::SendMessageA(control, BM_CLICK, 0, 0);
}

bool ScreenUser::Finished(int& result, int realMs) {
    if (!m_body.joinable() || !Eventually([this] { return m_done.load(); }, realMs)) return false;
    m_body.join();
    result = m_result;
    return true;
}

bool DeleteRegistryKey(const std::string& subkey) {
    if (subkey.empty()) return false;  // never the whole of HKEY_CURRENT_USER
    // The tree call empties the key (and on most systems removes it too).
    const LSTATUS emptied = ::RegDeleteTreeA(HKEY_CURRENT_USER, subkey.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, subkey.c_str());
    return emptied == ERROR_SUCCESS;
}

}  // namespace testsupport
