// Keystrokes on the virtual desktop: each key typed into the foreground
// window becomes one line of that window's append-only log, in the canonical
// notation of KeyStrokeText; the window's owner takes them back in order.
#include "platform/platform.h"
#include "posix_internal.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

struct LogOffsets {
    std::mutex lock;
    std::map<WindowHandle, off_t> next;  // first byte not yet taken, per window
};

LogOffsets& Offsets() {
    static LogOffsets offsets;
    return offsets;
}

// The bytes of a file from offset on; a file shorter than offset yields its
// whole contents and resets offset to 0 (the log was started afresh).
bool ReadFrom(const std::string& nativePath, off_t& offset, std::string& bytes) {
    bytes.clear();
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    if (ok && info.st_size < offset) offset = 0;
    if (ok && info.st_size > offset) {
        bytes.resize(static_cast<size_t>(info.st_size - offset));
        ssize_t n;
        do {
            n = ::pread(fd, bytes.data(), bytes.size(), offset);
        } while (n < 0 && errno == EINTR);
        ok = n >= 0;
        bytes.resize(ok ? static_cast<size_t>(n) : 0);
    }
    ::close(fd);
    return ok;
}

// Complete lines of the log after this process's read position; the position
// moves past them. Held under the lock, so two threads never take a line twice.
std::vector<std::string> TakeNewLines(WindowHandle window) {
    LogOffsets& offsets = Offsets();
    std::lock_guard<std::mutex> guard(offsets.lock);
    off_t& from = offsets.next[window];
    std::string bytes;
    if (!ReadFrom(posix::KeyLogPath(window), from, bytes)) return {};
    size_t end = bytes.rfind('\n');
    if (end == std::string::npos) return {};
    from += static_cast<off_t>(end + 1);
    return posix::SplitLines(bytes.substr(0, end + 1));
}

}  // namespace

namespace posix {

void ResetKeyLogOffset(uintptr_t window) {
    LogOffsets& offsets = Offsets();
    std::lock_guard<std::mutex> guard(offsets.lock);
    offsets.next.erase(window);
}

}  // namespace posix

bool SendKeyStrokes(const std::vector<KeyStroke>& keys) {
    WindowHandle target = ForegroundWindow();
    if (target == kNoWindow) return false;
    int fd = ::open(posix::KeyLogPath(target).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    for (const KeyStroke& key : keys) {
        // One write(2) per line: with O_APPEND, lines of concurrent senders never interleave.
        std::string line = KeyStrokeText(key) + "\n";
        ssize_t n;
        do {
            n = ::write(fd, line.data(), line.size());
        } while (n < 0 && errno == EINTR);
        if (n != static_cast<ssize_t>(line.size())) ok = false;
    }
    ::close(fd);
    return ok;
}

std::vector<std::string> TakeKeyStrokes(WindowHandle ownWindow, uint32_t ms) {
    if (ownWindow == kNoWindow) return {};
    std::optional<posix::Clock::time_point> deadline = posix::DeadlineAfter(ms);
    std::vector<std::string> lines;
    posix::WaitForChange(posix::KeysFolder(), IN_MODIFY | IN_CREATE | IN_MOVED_TO,
                         [&] {
                             lines = TakeNewLines(ownWindow);
                             return !lines.empty();
                         },
                         deadline);
    return lines;
}

}  // namespace plat
