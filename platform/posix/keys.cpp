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

struct NamedKey {
    uint16_t vk;
    const char* name;
};

constexpr NamedKey kNamedKeys[] = {
    {0x03, "BREAK"},  {0x08, "BS"},       {0x09, "TAB"},      {0x0C, "CLEAR"},
    {0x0D, "ENTER"},  {0x13, "PAUSE"},    {0x14, "CAPSLOCK"}, {0x1B, "ESC"},
    {0x21, "PGUP"},   {0x22, "PGDN"},     {0x23, "END"},      {0x24, "HOME"},
    {0x25, "LEFT"},   {0x26, "UP"},       {0x27, "RIGHT"},    {0x28, "DOWN"},
    {0x2C, "PRTSC"},  {0x2D, "INS"},      {0x2E, "DEL"},      {0x2F, "HELP"},
    {0x90, "NUMLOCK"}, {0x91, "SCROLLLOCK"},
};

// Characters that are notation in a key string are written in braces.
bool IsNotationChar(char c) { return c != '\0' && std::strchr("+^%~(){}[]", c) != nullptr; }

std::string KeyName(uint16_t vk) {
    for (const NamedKey& key : kNamedKeys) {
        if (key.vk == vk) return std::string("{") + key.name + "}";
    }
    if (vk >= 0x70 && vk <= 0x7F) return "{F" + std::to_string(vk - 0x70 + 1) + "}";
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z')) return std::string(1, static_cast<char>(vk));
    if (vk == 0x20) return " ";
    char code[16];
    std::snprintf(code, sizeof code, "{VK%02X}", static_cast<unsigned>(vk));
    return code;
}

struct LogOffsets {
    std::mutex lock;
    std::map<WindowHandle, off_t> next;  // first byte not yet taken, per window
};

LogOffsets& Offsets() {
    static LogOffsets offsets;
    return offsets;
}

// Complete lines of the log after this process's read position; the position
// moves past them. A log shorter than the position was started afresh.
std::vector<std::string> TakeNewLines(WindowHandle window) {
    std::string bytes;
    if (!posix::ReadWholeFile(posix::KeyLogPath(window), bytes)) return {};
    LogOffsets& offsets = Offsets();
    std::lock_guard<std::mutex> guard(offsets.lock);
    off_t& from = offsets.next[window];
    if (static_cast<size_t>(from) > bytes.size()) from = 0;
    size_t end = bytes.rfind('\n');
    if (end == std::string::npos || end + 1 <= static_cast<size_t>(from)) return {};
    std::vector<std::string> lines =
        posix::SplitLines(bytes.substr(static_cast<size_t>(from), end + 1 - static_cast<size_t>(from)));
    from = static_cast<off_t>(end + 1);
    return lines;
}

}  // namespace

namespace posix {

void ResetKeyLogOffset(uintptr_t window) {
    LogOffsets& offsets = Offsets();
    std::lock_guard<std::mutex> guard(offsets.lock);
    offsets.next.erase(window);
}

}  // namespace posix

std::string KeyStrokeText(const KeyStroke& key) {
    std::string text;
    if (key.shift) text += '+';
    if (key.ctrl) text += '^';
    if (key.alt) text += '%';
    if (key.ch != '\0') {
        text += IsNotationChar(key.ch) ? std::string("{") + key.ch + "}" : std::string(1, key.ch);
    } else {
        text += KeyName(key.vk);
    }
    return text;
}

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
