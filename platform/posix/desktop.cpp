// The virtual desktop: top-level windows as files in a shared folder, so the
// plug-in, cmmsim and outside tools in different processes see the same
// windows and the same foreground window. The layout is described in
// docs/virtual-desktop.md. A window lives while its file exists and its
// owning process runs; a crashed owner leaves no live window behind.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <unistd.h>

namespace plat {
namespace {

struct WindowRecord {
    std::string windowClass;
    std::string title;
    long pid = 0;
    int show = kSwShowNormal;
};

std::string Serialize(const WindowRecord& record) {
    return "class=" + record.windowClass + "\ntitle=" + record.title +
           "\npid=" + std::to_string(record.pid) + "\nshow=" + std::to_string(record.show) + "\n";
}

bool Parse(const std::string& text, WindowRecord& record) {
    bool hasPid = false;
    for (const std::string& line : posix::SplitLines(text)) {
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        std::string key = line.substr(0, equals);
        std::string value = line.substr(equals + 1);
        if (key == "class") record.windowClass = value;
        else if (key == "title") record.title = value;
        else if (key == "pid") hasPid = !value.empty() && (record.pid = std::atol(value.c_str())) > 0;
        else if (key == "show") record.show = std::atoi(value.c_str());
    }
    return hasPid;
}

bool ProcessAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The record of a live window; false for a closed window or a dead owner.
bool ReadLiveWindow(WindowHandle window, WindowRecord& record) {
    if (window == kNoWindow) return false;
    std::string text;
    return posix::ReadWholeFile(posix::WindowFilePath(window), text) && Parse(text, record) &&
           ProcessAlive(record.pid);
}

std::vector<WindowHandle> WindowIds() {
    std::vector<WindowHandle> ids;
    DIR* folder = ::opendir(posix::WindowsFolder().c_str());
    if (folder == nullptr) return ids;
    while (dirent* entry = ::readdir(folder)) {
        std::string name = entry->d_name;
        if (name.empty() || name.size() > 9 ||
            !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        WindowHandle id = std::strtoul(name.c_str(), nullptr, 10);
        if (id != kNoWindow) ids.push_back(id);
    }
    ::closedir(folder);
    std::sort(ids.begin(), ids.end());
    return ids;
}

WindowHandle FindLive(const std::function<bool(const WindowRecord&)>& matches) {
    for (WindowHandle id : WindowIds()) {
        WindowRecord record;
        if (ReadLiveWindow(id, record) && matches(record)) return id;
    }
    return kNoWindow;
}

bool EnsureDesktopFolders() {
    return posix::MakeNativeDirectories(posix::WindowsFolder()) &&
           posix::MakeNativeDirectories(posix::KeysFolder());
}

// Held while a window record is rewritten or removed, so that a rewrite racing
// with the window's destruction (two processes) cannot bring the window back.
class RecordChangeLock {
public:
    RecordChangeLock() : fd_(::open((DesktopFolder() + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~RecordChangeLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    RecordChangeLock(const RecordChangeLock&) = delete;
    RecordChangeLock& operator=(const RecordChangeLock&) = delete;

private:
    int fd_;
};

void MakeForeground(WindowHandle window) {
    if (!IsWindow(window)) return;
    posix::WriteFileAtomically(DesktopFolder() + "/foreground", std::to_string(window) + "\n");
}

}  // namespace

namespace posix {

std::string WindowsFolder() { return DesktopFolder() + "/windows"; }
std::string KeysFolder() { return DesktopFolder() + "/keys"; }
std::string WindowFilePath(uintptr_t window) { return WindowsFolder() + "/" + std::to_string(window); }
std::string KeyLogPath(uintptr_t window) { return KeysFolder() + "/" + std::to_string(window) + ".log"; }

}  // namespace posix

std::string common::DefaultDesktopFolder() {
    const char* configured = std::getenv("CMM_DESKTOP");
    if (configured != nullptr && *configured != '\0') return configured;
    const char* temp = std::getenv("TMPDIR");
    std::string base = (temp != nullptr && *temp != '\0') ? temp : "/tmp";
    return base + "/cmm-desktop-" + std::to_string(::getuid());
}

WindowHandle FindWindowByClass(const std::string& windowClass) {
    return FindLive([&](const WindowRecord& r) { return r.windowClass == windowClass; });
}

WindowHandle FindWindowByTitle(const std::string& title) {
    return FindLive([&](const WindowRecord& r) { return r.title == title; });
}

bool IsWindow(WindowHandle window) {
    WindowRecord record;
    return ReadLiveWindow(window, record);
}

void ShowWindow(WindowHandle window, int showCommand) {
    RecordChangeLock lock;
    WindowRecord record;
    if (!ReadLiveWindow(window, record)) return;
    record.show = showCommand;
    posix::WriteFileAtomically(posix::WindowFilePath(window), Serialize(record));
}

void SetActiveWindow(WindowHandle window) { MakeForeground(window); }
void SetFocus(WindowHandle window) { MakeForeground(window); }
void SetForegroundWindow(WindowHandle window) { MakeForeground(window); }
void SetWindowTopmostOrder(WindowHandle) {}  // no stacking order on this desktop

WindowHandle ForegroundWindow() {
    std::string text;
    if (!posix::ReadWholeFile(DesktopFolder() + "/foreground", text)) return kNoWindow;
    WindowHandle window = std::strtoul(text.c_str(), nullptr, 10);
    return IsWindow(window) ? window : kNoWindow;
}

WindowHandle CreateTopLevelWindow(const std::string& windowClass, const std::string& title) {
    if (!EnsureDesktopFolders()) return kNoWindow;
    WindowRecord record{windowClass, title, static_cast<long>(::getpid()), kSwShowNormal};
    // The complete record goes to a private name first; link(2) then claims the
    // lowest free id atomically, so no reader ever sees a half-written window.
    static std::atomic<unsigned> counter{0};
    std::string staged = posix::WindowsFolder() + "/.new-" + std::to_string(::getpid()) + "-" +
                         std::to_string(counter.fetch_add(1));
    int fd = ::open(staged.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return kNoWindow;
    std::string text = Serialize(record);
    bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    WindowHandle claimed = kNoWindow;
    for (WindowHandle id = 1; written && id < 100000000; ++id) {
        if (::link(staged.c_str(), posix::WindowFilePath(id).c_str()) == 0) {
            claimed = id;
            break;
        }
        if (errno != EEXIST) break;
    }
    ::unlink(staged.c_str());
    if (claimed != kNoWindow) {
        // A new window starts with an empty keystroke log, whatever an earlier
        // window of the same id received.
        int log = ::open(posix::KeyLogPath(claimed).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (log >= 0) ::close(log);
        posix::ResetKeyLogOffset(claimed);
    }
    return claimed;
}

void DestroyTopLevelWindow(WindowHandle window) {
    if (window == kNoWindow) return;
    RecordChangeLock lock;
    ::unlink(posix::WindowFilePath(window).c_str());
}

}  // namespace plat
