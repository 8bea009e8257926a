// Modeless dialogs on Windows, created from the resource templates with
// CreateDialogParamA. The user's actions reach the owner's sink from the
// dialog procedure, on the thread that pumps messages; keyboard navigation
// (Escape, Tab) goes through IsDialogMessage. An installed host UI is told
// of every change, so a scripted host sees what the window shows.
#include "win32_dialogs.h"

#include <mutex>
#include <set>

namespace plat {
namespace {

struct Live {
    std::mutex lock;
    std::set<HWND> dialogs;
};

Live& TheLive() {
    static Live live;
    return live;
}

struct ModelessState {
    DialogSink* sink;
    int templateId;
};

ModelessState* StateOf(HWND dialog) { return reinterpret_cast<ModelessState*>(::GetWindowLongPtrA(dialog, DWLP_USER)); }

DialogHandle HandleOf(HWND dialog) { return reinterpret_cast<DialogHandle>(dialog); }
HWND HwndOf(DialogHandle dialog) { return reinterpret_cast<HWND>(dialog); }

bool IsCheckBox(HWND item) {
    char name[16] = {};
    ::GetClassNameA(item, name, sizeof name);
    LONG_PTR type = ::GetWindowLongPtrA(item, GWL_STYLE) & BS_TYPEMASK;
    return lstrcmpiA(name, "Button") == 0 && (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX ||
                                             type == BS_3STATE || type == BS_AUTO3STATE);
}

void Forget(HWND dialog) {
    Live& live = TheLive();
    std::lock_guard<std::mutex> guard(live.lock);
    live.dialogs.erase(dialog);
}

INT_PTR CALLBACK ModelessProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: ::SetWindowLongPtrA(dialog, DWLP_USER, lParam); return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (ModelessState* state = StateOf(dialog)) state->sink->OnCommand(LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        if (ModelessState* state = StateOf(dialog)) state->sink->OnCloseRequest();
        return TRUE;
    case WM_NCDESTROY: {
        ModelessState* state = StateOf(dialog);
        ::SetWindowLongPtrA(dialog, DWLP_USER, 0);
        Forget(dialog);
        if (HostUI* ui = CurrentHostUI()) ui->ModelessDestroyed(HandleOf(dialog));
        if (state != nullptr) {
            DialogSink* sink = state->sink;
            delete state;
            sink->OnDestroyed();
        }
        return FALSE;
    }
    default: return FALSE;
    }
}

}  // namespace

namespace win32 {

std::string ItemText(HWND dialog, int controlId) {
    HWND item = ::GetDlgItem(dialog, controlId);
    if (item == nullptr) return std::string();
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(item)) + 1, '\0');
    int length = ::GetWindowTextA(item, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

void PutValues(HWND dialog, const std::map<int, std::string>& values) {
    for (const auto& [id, text] : values) {
        HWND item = ::GetDlgItem(dialog, id);
        if (item == nullptr) continue;
        if (IsCheckBox(item)) {
            ::CheckDlgButton(dialog, id, text == "1" ? BST_CHECKED : BST_UNCHECKED);
        } else {
            ::SetWindowTextA(item, text.c_str());
        }
    }
}

void TakeValues(HWND dialog, std::map<int, std::string>& values) {
    for (auto& [id, text] : values) {
        HWND item = ::GetDlgItem(dialog, id);
        if (item == nullptr) continue;
        text = IsCheckBox(item) ? (::IsDlgButtonChecked(dialog, id) == BST_CHECKED ? "1" : "0") : ItemText(dialog, id);
    }
}

}  // namespace win32

DialogHandle CreateModelessDialog(int templateId, DialogSink* sink) {
    if (sink == nullptr) return 0;
    HINSTANCE module = win32::ResourceInstance(templateId);
    if (module == nullptr) return 0;
    auto* state = new ModelessState{sink, templateId};
    HWND dialog = ::CreateDialogParamA(module, MAKEINTRESOURCEA(templateId), nullptr, ModelessProc,
                                       reinterpret_cast<LPARAM>(state));
    if (dialog == nullptr) {
        delete state;
        return 0;
    }
    Live& live = TheLive();
    std::lock_guard<std::mutex> guard(live.lock);
    live.dialogs.insert(dialog);
    return HandleOf(dialog);
}

void ShowDialog(DialogHandle dialog, bool visible) {
    HWND window = HwndOf(dialog);
    if (!::IsWindow(window)) return;
    ::ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
    ModelessState* state = StateOf(window);
    HostUI* ui = CurrentHostUI();
    const DialogTemplate* shape = state != nullptr ? common::LookUpTemplate(state->templateId) : nullptr;
    if (ui != nullptr && shape != nullptr) ui->ModelessShown(dialog, *shape, visible);
}

void SetDialogTopmost(DialogHandle dialog) {
    ::SetWindowPos(HwndOf(dialog), HWND_TOPMOST, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW | SWP_NOOWNERZORDER);
}

std::string GetDialogTitle(DialogHandle dialog) {
    HWND window = HwndOf(dialog);
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(window)) + 1, '\0');
    int length = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return text;
}

void SetDialogTitle(DialogHandle dialog, const std::string& title) {
    ::SetWindowTextA(HwndOf(dialog), title.c_str());
    if (HostUI* ui = CurrentHostUI()) ui->ModelessText(dialog, -1, title);
}

bool HasDialogItem(DialogHandle dialog, int controlId) { return ::GetDlgItem(HwndOf(dialog), controlId) != nullptr; }

void SetDialogItemText(DialogHandle dialog, int controlId, const std::string& text) {
    if (!::SetDlgItemTextA(HwndOf(dialog), controlId, text.c_str())) return;
    if (HostUI* ui = CurrentHostUI()) ui->ModelessText(dialog, controlId, text);
}

std::string GetDialogItemText(DialogHandle dialog, int controlId) { return win32::ItemText(HwndOf(dialog), controlId); }

void DestroyDialog(DialogHandle dialog) { ::DestroyWindow(HwndOf(dialog)); }

void PostDialogCommand(DialogHandle dialog, int controlId) {
    ::PostMessageA(HwndOf(dialog), WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED), 0);
}

void PostDialogClose(DialogHandle dialog) { ::PostMessageA(HwndOf(dialog), WM_CLOSE, 0, 0); }

void PostQuitMessage(int exitCode) { ::PostQuitMessage(exitCode); }

bool PumpMessages(const PreTranslate& preTranslate) {
    bool quit = false;
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
            break;
        }
        if (preTranslate && preTranslate(WindowMessage{reinterpret_cast<std::uintptr_t>(message.hwnd), message.message,
                                                       static_cast<std::uintptr_t>(message.wParam),
                                                       static_cast<std::intptr_t>(message.lParam)}))
            continue;
        HWND owner = ::GetAncestor(message.hwnd, GA_ROOT);
        bool isLiveDialog;
        {
            Live& live = TheLive();
            std::lock_guard<std::mutex> guard(live.lock);
            isLiveDialog = owner != nullptr && live.dialogs.count(owner) != 0;
        }
        if (isLiveDialog && ::IsDialogMessageA(owner, &message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    if (HostUI* ui = CurrentHostUI()) ui->Idle();
    return !quit;
}

}  // namespace plat
