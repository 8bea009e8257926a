// Top-level windows on Windows: looked up with FindWindowExA, brought to
// the front with the user32 calls, and created for the vendor side with a
// window class of the requested name, whose window procedure records the
// keystrokes that arrive.
#include "win32_internal.h"

#include <mutex>
#include <set>

namespace plat {
namespace {

LRESULT CALLBACK OwnWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (win32::TranslateOwnKeyMessage(window, message, wParam)) return 0;
    if (message == WM_CLOSE) return 0;  // the owner ends its windows itself
    return ::DefWindowProcA(window, message, wParam, lParam);
}

// Registers the class once per process; true when it is ours to use.
bool EnsureClass(const std::string& windowClass) {
    static std::mutex lock;
    static std::set<std::string> registered;
    std::lock_guard<std::mutex> guard(lock);
    if (registered.count(windowClass)) return true;
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    info.lpfnWndProc = OwnWindowProc;
    info.hInstance = ::GetModuleHandleA(nullptr);
    info.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    info.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    info.lpszClassName = windowClass.c_str();
    if (!::RegisterClassExA(&info) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    registered.insert(windowClass);
    return true;
}

}  // namespace

void SetDesktopFolder(const std::string& nativeFolder) { (void)nativeFolder; }
std::string DesktopFolder() { return std::string(); }

WindowHandle FindWindowByClass(const std::string& windowClass) {
    return win32::FromHwnd(::FindWindowExA(nullptr, nullptr, windowClass.c_str(), nullptr));
}

WindowHandle FindWindowByTitle(const std::string& title) {
    return win32::FromHwnd(::FindWindowExA(nullptr, nullptr, nullptr, title.c_str()));
}

bool IsWindow(WindowHandle window) { return window != kNoWindow && ::IsWindow(win32::ToHwnd(window)); }

void ShowWindow(WindowHandle window, int showCommand) { ::ShowWindow(win32::ToHwnd(window), showCommand); }
void SetActiveWindow(WindowHandle window) { ::SetActiveWindow(win32::ToHwnd(window)); }
void SetFocus(WindowHandle window) { ::SetFocus(win32::ToHwnd(window)); }
void SetForegroundWindow(WindowHandle window) { ::SetForegroundWindow(win32::ToHwnd(window)); }

void SetWindowTopmostOrder(WindowHandle window) {
    ::SetWindowPos(win32::ToHwnd(window), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

WindowHandle ForegroundWindow() { return win32::FromHwnd(::GetForegroundWindow()); }

WindowHandle CreateTopLevelWindow(const std::string& windowClass, const std::string& title) {
    if (windowClass.empty() || !EnsureClass(windowClass)) return kNoWindow;
    HWND window = ::CreateWindowExA(0, windowClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                    CW_USEDEFAULT, 480, 320, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (window == nullptr) return kNoWindow;
    ::ShowWindow(window, SW_SHOWNORMAL);
    ::UpdateWindow(window);
    return win32::FromHwnd(window);
}

void DestroyTopLevelWindow(WindowHandle window) {
    if (window != kNoWindow) ::DestroyWindow(win32::ToHwnd(window));
}

}  // namespace plat
