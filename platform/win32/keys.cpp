// Keystrokes on Windows. Sending: each keystroke becomes SendInput events
// (modifiers down, the key, modifiers up) into the foreground window;
// characters go through VkKeyScan, characters without a key as Unicode
// input. Receiving, for our own windows: key messages are turned back into
// the same canonical lines the posix half logs, in arrival order, kept for
// TakeKeyStrokes and appended to the window's log on the desktop folder.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <map>
#include <mutex>

namespace plat {
namespace {

// ------------------------------------------------------------ sending
INPUT KeyInput(WORD vk, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(::MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

INPUT UnicodeInput(char c, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = static_cast<unsigned char>(c);
    input.ki.dwFlags = KEYEVENTF_UNICODE | (up ? KEYEVENTF_KEYUP : 0);
    return input;
}

void AddStroke(std::vector<INPUT>& inputs, const KeyStroke& key) {
    bool shift = key.shift, ctrl = key.ctrl, alt = key.alt;
    WORD vk = key.vk;
    if (key.ch != '\0') {
        SHORT scan = ::VkKeyScanA(key.ch);
        if (scan == -1) {
            inputs.push_back(UnicodeInput(key.ch, false));
            inputs.push_back(UnicodeInput(key.ch, true));
            return;
        }
        vk = LOBYTE(scan);
        shift |= (HIBYTE(scan) & 1) != 0;
        ctrl |= (HIBYTE(scan) & 2) != 0;
        alt |= (HIBYTE(scan) & 4) != 0;
    }
    const WORD modifiers[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    const bool held[] = {shift, ctrl, alt};
    for (int i = 0; i < 3; ++i) {
        if (held[i]) inputs.push_back(KeyInput(modifiers[i], false));
    }
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    for (int i = 2; i >= 0; --i) {
        if (held[i]) inputs.push_back(KeyInput(modifiers[i], true));
    }
}

// ------------------------------------------------------------ receiving
// An unassigned virtual key sent after the keys typed into one of our own
// windows: when the window thread has seen it, every key before it is taken.
constexpr WORD kEndMarkerKey = 0xE8;

struct Received {
    std::mutex lock;
    std::condition_variable arrived;
    std::map<HWND, std::deque<std::string>> lines;
    unsigned long markers = 0;  // end markers seen so far
};

Received& TheReceived() {
    static Received* received = new Received;  // the window thread may outlive static destruction
    return *received;
}

std::string LogPath(HWND window) {
    std::string folder = DesktopFolder();
    if (folder.empty()) return std::string();
    return folder + "\\keys\\" + std::to_string(win32::FromHwnd(window)) + ".log";
}

void Record(HWND window, const KeyStroke& key) {
    std::string line = KeyStrokeText(key);
    std::string log = LogPath(window);
    if (!log.empty()) {
        win32::MakeNativeDirectory(win32::ParentFolder(log));
        std::ofstream(log, std::ios::binary | std::ios::app) << line << "\n";
    }
    Received& received = TheReceived();
    std::lock_guard<std::mutex> guard(received.lock);
    received.lines[window].push_back(line);
    received.arrived.notify_all();
}

void MarkerSeen() {
    Received& received = TheReceived();
    std::lock_guard<std::mutex> guard(received.lock);
    ++received.markers;
    received.arrived.notify_all();
}

bool Down(int vk) { return (::GetKeyState(vk) & 0x8000) != 0; }

bool IsModifier(WPARAM vk) {
    return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU || vk == VK_LSHIFT || vk == VK_RSHIFT ||
           vk == VK_LCONTROL || vk == VK_RCONTROL || vk == VK_LMENU || vk == VK_RMENU;
}

// A key-down that types no character on its own (named keys, and any key
// with Alt or Ctrl) is the keystroke; the others wait for their WM_CHAR,
// which carries the character with Shift already applied.
void OnKeyDown(HWND window, WPARAM vk) {
    if (vk == kEndMarkerKey) return MarkerSeen();
    if (IsModifier(vk)) return;
    KeyStroke key;
    key.vk = static_cast<uint16_t>(vk);
    key.alt = Down(VK_MENU);
    key.ctrl = Down(VK_CONTROL);
    key.shift = Down(VK_SHIFT);
    bool typesCharacter = ::MapVirtualKeyA(static_cast<UINT>(vk), MAPVK_VK_TO_CHAR) != 0;
    if (!key.alt && !key.ctrl && typesCharacter && !common::IsNamedKey(key.vk)) return;
    if (vk >= 'A' && vk <= 'Z') {
        // A letter with Alt or Ctrl: Shift picks its case, as "%R" and "%r" differ.
        key.ch = static_cast<char>(key.shift ? vk : std::tolower(static_cast<int>(vk)));
        key.shift = false;
    } else if (vk >= '0' && vk <= '9') {
        key.ch = static_cast<char>(vk);
    }
    Record(window, key);
}

void OnChar(HWND window, WPARAM ch) {
    if (ch < 0x20 || ch == 0x7F || ch > 0xFF) return;  // control characters came as named keys
    KeyStroke key;
    key.ch = static_cast<char>(ch);
    SHORT scan = ::VkKeyScanA(key.ch);
    key.vk = scan == -1 ? 0 : LOBYTE(scan);
    Record(window, key);
}

}  // namespace

namespace win32 {

void ForgetKeyStrokes(HWND window) {
    std::string log = LogPath(window);
    if (!log.empty()) {
        MakeNativeDirectory(ParentFolder(log));
        std::ofstream(log, std::ios::binary | std::ios::trunc);
    }
    Received& received = TheReceived();
    std::lock_guard<std::mutex> guard(received.lock);
    received.lines.erase(window);
}

bool TranslateOwnKeyMessage(HWND window, UINT message, WPARAM wParam) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: OnKeyDown(window, wParam); return true;
    case WM_CHAR: OnChar(window, wParam); return true;
    case WM_SYSCHAR:  // already taken at its key-down; no menu beep
        return true;
    default: return false;
    }
}

}  // namespace win32

bool SendKeyStrokes(const std::vector<KeyStroke>& keys) {
    HWND target = ::GetForegroundWindow();
    if (target == nullptr) return false;
    std::vector<INPUT> inputs;
    for (const KeyStroke& key : keys) AddStroke(inputs, key);
    // Typing into our own window: wait until its thread has taken every key,
    // so the keys are there for whoever looks next, as on the posix desktop.
    bool own = win32::IsOwnWindowThread(target);
    if (own) {
        inputs.push_back(KeyInput(kEndMarkerKey, false));
        inputs.push_back(KeyInput(kEndMarkerKey, true));
    }
    if (inputs.empty()) return true;
    Received& received = TheReceived();
    unsigned long before;
    {
        std::lock_guard<std::mutex> guard(received.lock);
        before = received.markers;
    }
    UINT sent = ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    if (sent != inputs.size()) return false;
    if (own) {
        std::unique_lock<std::mutex> guard(received.lock);
        received.arrived.wait_for(guard, std::chrono::seconds(5), [&] { return received.markers != before; });
    }
    return true;
}

std::vector<std::string> TakeKeyStrokes(WindowHandle ownWindow, uint32_t ms) {
    if (ownWindow == kNoWindow) return {};
    HWND window = win32::ToHwnd(ownWindow);
    win32::Deadline deadline(ms);
    Received& received = TheReceived();
    std::unique_lock<std::mutex> guard(received.lock);
    auto ready = [&] {
        auto found = received.lines.find(window);
        return found != received.lines.end() && !found->second.empty();
    };
    while (!ready()) {
        DWORD left = deadline.Left();
        if (left == 0) return {};
        if (left == INFINITE) {
            received.arrived.wait(guard);
        } else {
            received.arrived.wait_for(guard, std::chrono::milliseconds(left));
        }
    }
    std::deque<std::string>& queue = received.lines[window];
    std::vector<std::string> lines(queue.begin(), queue.end());
    queue.clear();
    return lines;
}

}  // namespace plat
