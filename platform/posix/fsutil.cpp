// Small native file-system helpers of the posix half, and the change
// notification wait (inotify) behind WaitForPath and TakeKeyStrokes.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat::posix {
namespace {

// Re-checks the condition at least this often during a wait even without
// events, in case a change was made where inotify cannot see it (another
// mount, a rename of the watched folder itself); such a change in a wait's
// last slice is found by the next look.
constexpr auto kRecheck = std::chrono::milliseconds(20);

// Without a watch (no inotify instance, a folder that cannot be watched)
// conditions are looked at this often.
constexpr auto kUnwatchedLook = std::chrono::milliseconds(1);

// The next sleep of a wait: up to `until` to the nanosecond (poll's whole
// milliseconds, rounded up, made every 10 ms look of a COSMOS exchange end
// late), at most `most`; false once `until` has passed.
bool NextSleep(Clock::time_point until, Clock::duration most, timespec& sleep) {
    const Clock::duration left = until == Clock::time_point::max() ? most : std::min(most, until - Clock::now());
    if (left <= Clock::duration::zero()) return false;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    sleep.tv_sec = static_cast<time_t>(ns / 1000000000);
    sleep.tv_nsec = static_cast<long>(ns % 1000000000);
    return true;
}

// One notification instance per thread, kept for the thread's life: closing
// one waits for the kernel's grace period (synchronize_srcu), 1 to 30 ms and
// more on a busy machine, and every wait for a file used to pay for it.
// The watch of the last folder waited on stays too: a thread waits on one
// folder again and again (three looks every 30 ms while a COSMOS command is
// unanswered), and on a 2-core VM each look's renewal of the watch and the
// second look it needs cost a fifth of the whole wait's CPU. Events that
// arrive between waits only wake the next wait early, and every wait looks
// before it sleeps and again when it wakes.
class Notifier {
public:
    Notifier() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}
    ~Notifier() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Notifier(const Notifier&) = delete;
    Notifier& operator=(const Notifier&) = delete;
    int Fd() const { return m_fd; }

    // True while nativeFolder has been watched for eventMask without a
    // break: every change since then has woken, or will wake, the fd.
    bool Watching(const std::string& nativeFolder, uint32_t eventMask) const {
        return m_watch >= 0 && m_mask == eventMask && m_folder == nativeFolder;
    }

    // Watches nativeFolder (adding to a folder already watched only renews
    // the mask) and drops the watch of another folder. False when it cannot.
    bool Watch(const std::string& nativeFolder, uint32_t eventMask) {
        const int watch = ::inotify_add_watch(m_fd, nativeFolder.c_str(), eventMask);
        if (watch < 0) return false;
        if (m_watch >= 0 && m_watch != watch) ::inotify_rm_watch(m_fd, m_watch);
        m_watch = watch;
        m_mask = eventMask;
        m_folder = nativeFolder;
        return true;
    }

    // Empties the queue. A watch the kernel dropped (its folder was removed
    // or unmounted), or one whose events overflowed the queue, is forgotten,
    // so the next wait sets it up again and looks once more.
    void Drain() {
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const bool dropped = (event->mask & IN_IGNORED) != 0 && event->wd == m_watch;
                if (dropped || (event->mask & IN_Q_OVERFLOW) != 0) m_watch = -1;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int m_fd;
    int m_watch = -1;
    uint32_t m_mask = 0;
    std::string m_folder;
};

Notifier& ThreadNotifier() {
    thread_local Notifier notifier;
    return notifier;
}

}  // namespace

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool ReadWholeFile(const std::string& nativePath, std::string& bytes) {
    bytes.clear();
    int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[8192];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        bytes.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ok;
}

bool WriteFileAtomically(const std::string& nativePath, const std::string& bytes) {
    static std::atomic<unsigned> counter{0};
    std::string folder = ParentFolder(nativePath);
    std::string temp = folder + "/.tmp-" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter.fetch_add(1));
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, bytes.data(), bytes.size());
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), nativePath.c_str()) == 0) return true;
    ::unlink(temp.c_str());
    return false;
}

bool MakeNativeDirectories(const std::string& nativeFolder) {
    if (nativeFolder.empty()) return false;
    for (size_t slash = nativeFolder.find('/', 1);; slash = nativeFolder.find('/', slash + 1)) {
        std::string prefix = nativeFolder.substr(0, slash);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) break;
    }
    return IsNativeFolder(nativeFolder);
}

bool NativeExists(const std::string& nativePath) {
    struct stat info {};
    return ::stat(nativePath.c_str(), &info) == 0;
}

bool IsNativeFolder(const std::string& nativePath) {
    struct stat info {};
    return ::stat(nativePath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string ParentFolder(const std::string& nativePath) {
    size_t slash = nativePath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return nativePath.substr(0, slash);
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

int WaitInTurns(const std::string& nativeFolder, uint32_t eventMask, common::Turns& turns) {
    // A look costs far less than setting up a watch, and callers often look
    // with no time to wait at all.
    if (turns.LookFromHere()) return turns.Current();
    Notifier& notifier = ThreadNotifier();
    bool watching = notifier.Fd() >= 0;
    for (;;) {
        const int found = turns.Advance(Clock::now());
        if (found != common::Turns::kNotYet) return found;
        // A watch set up now may have missed the change: look once more.
        if (watching && !notifier.Watching(nativeFolder, eventMask)) {
            watching = notifier.Watch(nativeFolder, eventMask);
            if (turns.LookFromHere()) return turns.Current();
        }
        const Clock::time_point next = turns.NextLook();
        timespec sleep{};
        if (!NextSleep(next, watching ? kRecheck : kUnwatchedLook, sleep)) continue;
        int woken = 0;
        if (watching) {
            pollfd events{notifier.Fd(), POLLIN, 0};
            woken = ::ppoll(&events, 1, &sleep, nullptr);
            if (woken > 0) notifier.Drain();
        } else {
            ::nanosleep(&sleep, nullptr);
        }
        // A wait that ends with no event when a look is due trusts its watch,
        // which stood since the last look: one more path walk each time was a
        // sixth of what an unanswered COSMOS command's looks cost on top of
        // the bare wake-ups.
        if (watching && woken == 0 && Clock::now() >= next) continue;
        if (turns.LookFromHere()) return turns.Current();
    }
}

bool WaitForChange(const std::string& nativeFolder, uint32_t eventMask,
                   const std::function<bool()>& ready,
                   const std::optional<Clock::time_point>& deadline) {
    common::Turns turn(1, [&](size_t) { return ready(); }, deadline.value_or(Clock::time_point::max()), {});
    return WaitInTurns(nativeFolder, eventMask, turn) == 0;
}

}  // namespace plat::posix
