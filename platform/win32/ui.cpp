// The user side on Windows: message boxes (MessageBoxA, unless a host UI is
// installed) and modal dialogs run from the dialog
// templates among the current resource module's resources, with the values
// exchanged with their controls.
#include "win32_internal.h"
#include "win32_dialogs.h"

#include <atomic>
#include <mutex>

namespace plat {
namespace {

// MFC names a message box after the program, as AfxMessageBox does.
std::string ProgramName() {
    std::string path = win32::ModulePath(nullptr);
    size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

struct ModalState {
    std::map<int, std::string>* values;
};

INT_PTR CALLBACK ModalProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        auto* state = reinterpret_cast<ModalState*>(lParam);
        ::SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        win32::PutValues(dialog, *state->values);
        return TRUE;
    }
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK) {
            auto* state = reinterpret_cast<ModalState*>(::GetWindowLongPtrA(dialog, DWLP_USER));
            win32::TakeValues(dialog, *state->values);
            ::EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (id == IDCANCEL) {
            ::EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        return FALSE;
    }
    case WM_CLOSE: ::EndDialog(dialog, IDCANCEL); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int MessageBox(const std::string& text, unsigned style) {
    if (HostUI* ui = CurrentHostUI()) return ui->MessageBox(text, style);
    return ::MessageBoxA(::GetActiveWindow(), text.c_str(), ProgramName().c_str(), style);
}

namespace win32 {


HINSTANCE ResourceInstance(int templateId) {
    // The handle is a module, or an address inside one: either way the module
    // that holds it carries the templates.
    HMODULE module = nullptr;
    auto address = static_cast<LPCSTR>(ResourceModule());
    if (address == nullptr ||
        !::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              address, &module))
        module = ::GetModuleHandleA(nullptr);
    if (::FindResourceA(module, MAKEINTRESOURCEA(templateId), reinterpret_cast<LPCSTR>(RT_DIALOG)) == nullptr)
        return nullptr;
    return module;
}

}  // namespace win32

int RunModalDialog(int templateId, std::map<int, std::string>& values) {
    if (HostUI* ui = CurrentHostUI()) {
        const DialogTemplate* dialog = common::LookUpTemplate(templateId);
        return dialog == nullptr ? -1 : ui->RunModal(*dialog, values);
    }
    HINSTANCE module = win32::ResourceInstance(templateId);
    if (module == nullptr) return -1;
    ModalState state{&values};
    INT_PTR result = ::DialogBoxParamA(module, MAKEINTRESOURCEA(templateId), ::GetActiveWindow(), ModalProc,
                                       reinterpret_cast<LPARAM>(&state));
    return result == IDOK ? kIdOk : (result == IDCANCEL ? kIdCancel : -1);
}

}  // namespace plat
