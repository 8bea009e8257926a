// The win32 screen of the test's screen user: the real dialog window, found
// by its class "#32770" and caption, seen through its child windows and
// worked with the messages a user's clicks and typing produce (WM_SETTEXT,
// BM_CLICK), sent from the test's thread to the dialog's own. No host UI is
// installed while the user lives, so the platform shows the real dialog.
// Also the registry clean-up of the tests.
#include "support/win32/screen_user.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace testsupport {
namespace {

std::string WindowText(HWND window) {
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    int length = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

bool KindOf(HWND control, plat::ControlKind& kind) {
    char name[32] = {};
    ::GetClassNameA(control, name, sizeof name);
    const LONG_PTR style = ::GetWindowLongPtrA(control, GWL_STYLE);
    if (lstrcmpiA(name, "Edit") == 0) kind = plat::ControlKind::kEdit;
    else if (lstrcmpiA(name, "Static") == 0) kind = plat::ControlKind::kStatic;
    else if (lstrcmpiA(name, "Button") != 0) return false;
    else if ((style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) kind = plat::ControlKind::kDefPushButton;
    else if ((style & BS_TYPEMASK) == BS_PUSHBUTTON) kind = plat::ControlKind::kPushButton;
    else if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX || (style & BS_TYPEMASK) == BS_CHECKBOX)
        kind = plat::ControlKind::kCheckBox;
    else return false;
    return true;
}

BOOL CALLBACK Collect(HWND control, LPARAM into) {
    auto* shown = reinterpret_cast<std::vector<ScreenUser::Control>*>(into);
    plat::ControlKind kind;
    if (!KindOf(control, kind)) kind = plat::ControlKind::kStatic;  // an unknown class still counts
    // Labels carry the id 0xFFFF, the 16-bit -1 of the template.
    int id = ::GetDlgCtrlID(control);
    if (id == 0xFFFF) id = -1;  // (or the whole -1, as a 32-bit id reads back)
    shown->push_back({id, kind, WindowText(control)});
    return TRUE;
}

class RealScreen : public ScreenUser::Screen {
public:
    RealScreen() : m_previous(plat::CurrentHostUI()) { plat::SetHostUI(nullptr); }
    ~RealScreen() override { plat::SetHostUI(m_previous); }

    bool WaitForDialog(const std::string& caption, int realMs) override {
        m_caption = caption;
        return Eventually([&] {
            m_dialog = ::FindWindowA("#32770", caption.c_str());
            return m_dialog != nullptr && ::IsWindowVisible(m_dialog);
        }, realMs);
    }

    std::vector<ScreenUser::Control> Controls() override {
        std::vector<ScreenUser::Control> shown;
        if (m_dialog != nullptr) ::EnumChildWindows(m_dialog, Collect, reinterpret_cast<LPARAM>(&shown));
        return shown;
    }

    std::string Text(int controlId) override {
        HWND control = ::GetDlgItem(m_dialog, controlId);
        plat::ControlKind kind;
        if (control == nullptr) return std::string();
        if (KindOf(control, kind) && kind == plat::ControlKind::kCheckBox)
            return ::SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? "1" : "0";
        return WindowText(control);
    }

    void SetText(int controlId, const std::string& text) override {
        if (HWND control = ::GetDlgItem(m_dialog, controlId))
            ::SendMessageA(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }

    void Click(int controlId) override {
        if (HWND control = ::GetDlgItem(m_dialog, controlId)) ::SendMessageA(control, BM_CLICK, 0, 0);
    }

    void CloseIfOpen() override {
        HWND dialog = m_dialog;
        if (dialog == nullptr && !m_caption.empty()) dialog = ::FindWindowA("#32770", m_caption.c_str());
        if (dialog != nullptr && ::IsWindow(dialog)) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    }

private:
    plat::HostUI* m_previous;
    std::string m_caption;
    HWND m_dialog = nullptr;
};

}  // namespace

std::unique_ptr<ScreenUser::Screen> MakeScreen() { return std::make_unique<RealScreen>(); }

bool DeleteRegistryKey(const std::string& subkey) {
    if (subkey.empty()) return false;  // never the whole of HKEY_CURRENT_USER
    // The tree call empties the key (and on most systems removes it too).
    const LSTATUS emptied = ::RegDeleteTreeA(HKEY_CURRENT_USER, subkey.c_str());
    ::RegDeleteKeyA(HKEY_CURRENT_USER, subkey.c_str());
    return emptied == ERROR_SUCCESS;
}

}  // namespace testsupport
