// Top-level windows on Windows: looked up with FindWindowExA, brought to
// the front with the user32 calls, and created for the vendor side with a
// window class of the requested name. The vendor side's windows live on one
// window thread of the process that pumps their messages all the time, so
// keystrokes are taken from them as they arrive, whatever the owner does.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <cstdlib>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

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

// The thread that owns and pumps the vendor side's windows. Work for it is
// queued and the thread woken with a thread message; the caller waits.
class WindowThread {
public:
    static WindowThread& Instance() {
        static WindowThread* thread = new WindowThread;  // lives as long as the process
        return *thread;
    }

    void Run(const std::function<void()>& work) {
        if (::GetCurrentThreadId() == m_id) {
            work();
            return;
        }
        HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_work.push_back([&work, done] {
                work();
                ::SetEvent(done);
            });
        }
        ::PostThreadMessageA(m_id, WM_APP, 0, 0);
        // Messages sent to this thread's own windows (activation changes
        // broadcast while the work runs) are handled while waiting: the
        // window thread may be blocked until they are.
        while (::MsgWaitForMultipleObjects(1, &done, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG message;
            ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        ::CloseHandle(done);
    }

    DWORD Id() const { return m_id; }

private:
    WindowThread() {
        HANDLE ready = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
        std::thread([this, ready] { Loop(ready); }).detach();
        ::WaitForSingleObject(ready, INFINITE);
        ::CloseHandle(ready);
    }

    void Loop(HANDLE ready) {
        MSG message;
        ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);  // the thread's queue exists from here
        m_id = ::GetCurrentThreadId();
        ::SetEvent(ready);
        while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
            if (message.hwnd == nullptr && message.message == WM_APP) {
                RunQueued();
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }

    void RunQueued() {
        for (;;) {
            std::function<void()> next;
            {
                std::lock_guard<std::mutex> guard(m_lock);
                if (m_work.empty()) return;
                next = std::move(m_work.front());
                m_work.pop_front();
            }
            next();
        }
    }

    std::mutex m_lock;
    std::deque<std::function<void()>> m_work;
    DWORD m_id = 0;
};

constexpr ULONGLONG kActivationWaitMs = 1000;
constexpr DWORD kFocusSettleMs = 30;

bool HasKeyboardFocus(HWND window) {
    if (::GetForegroundWindow() != window) return false;
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    // A real vendor window usually hands the focus on to one of its controls.
    return ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info) &&
           (info.hwndFocus == window || ::IsChild(window, info.hwndFocus));
}

}  // namespace

namespace win32 {

bool IsOwnWindowThread(HWND window) {
    return window != nullptr && ::GetWindowThreadProcessId(window, nullptr) == WindowThread::Instance().Id();
}

}  // namespace win32

// The desktop folder here only receives the keystroke logs of our own windows
// ("keys/<window>.log"), the same record the posix desktop keeps.
std::string common::DefaultDesktopFolder() {
    const char* text = std::getenv("CMM_DESKTOP");
    return text != nullptr ? text : "";
}

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
void SetForegroundWindow(WindowHandle window) {
    HWND handle = win32::ToHwnd(window);
    ::SetForegroundWindow(handle);
    // Activation reaches the window's thread later (under Wine through its
    // message queue); keys typed before it arrives go to the window that had
    // the focus. So wait, bounded, until the window is in front and focused.
    // Polled rather than done on the window's own thread: that thread's
    // activation messages may wait on a thread that is not pumping.
    const ULONGLONG deadline = ::GetTickCount64() + kActivationWaitMs;
    while (!HasKeyboardFocus(handle) && ::IsWindow(handle) && ::GetTickCount64() < deadline) ::Sleep(1);
    // Under Wine the window's thread then takes the X focus change, and with
    // it resets the keyboard state to the X server's: modifiers of keys sent
    // meanwhile would be dropped. A round trip through its queue lets it
    // finish that first (bounded, should it not be pumping).
    DWORD_PTR ignored = 0;
    ::Sleep(kFocusSettleMs);
    ::SendMessageTimeoutA(handle, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, kActivationWaitMs, &ignored);
}

void SetWindowTopmostOrder(WindowHandle window) {
    ::SetWindowPos(win32::ToHwnd(window), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

WindowHandle ForegroundWindow() { return win32::FromHwnd(::GetForegroundWindow()); }

WindowHandle CreateTopLevelWindow(const std::string& windowClass, const std::string& title) {
    if (windowClass.empty() || !EnsureClass(windowClass)) return kNoWindow;
    HWND window = nullptr;
    WindowThread::Instance().Run([&] {
        window = ::CreateWindowExA(0, windowClass.c_str(), title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, 480, 320, nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        if (window == nullptr) return;
        ::ShowWindow(window, SW_SHOWNORMAL);
        ::UpdateWindow(window);
        ::SetForegroundWindow(window);
    });
    if (window != nullptr) win32::ForgetKeyStrokes(window);
    return win32::FromHwnd(window);
}

void DestroyTopLevelWindow(WindowHandle window) {
    HWND handle = win32::ToHwnd(window);
    if (!win32::IsOwnWindowThread(handle)) return;
    WindowThread::Instance().Run([handle] { ::DestroyWindow(handle); });
    win32::ForgetKeyStrokes(handle);
}

}  // namespace plat
