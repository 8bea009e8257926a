// Helpers shared by the posix half of the platform seam: the conversion of
// virtual (scaled) milliseconds to real deadlines, small file-system helpers
// and the change-notification wait that WaitForPath and the keystroke logs
// build on. Nothing outside platform/posix includes this header.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plat {
struct DialogTemplate;
}
namespace plat::common {
class Turns;
}

namespace plat::posix {

using Clock = std::chrono::steady_clock;

// Real deadline for a wait of ms virtual milliseconds starting now;
// nullopt for kInfinite.
std::optional<Clock::time_point> DeadlineAfter(uint32_t ms);

// Looks at the turns' conditions, waking on changes in nativeFolder
// (inotify), until one holds within its turn: its index, -1 once the last
// turn has ended. Between a look and the next change the conditions are
// trusted to stand; the watch is armed before they are trusted. When the
// folder cannot be watched they are looked at every real millisecond.
int WaitInTurns(const std::string& nativeFolder, uint32_t eventMask, common::Turns& turns);

// Blocks until ready() is true or the deadline passes, waking on changes in
// nativeFolder (inotify). The condition is checked after the watch is armed,
// so a change between the first check and the wait is never missed. When the
// folder cannot be watched the condition is polled every real millisecond.
bool WaitForChange(const std::string& nativeFolder, uint32_t eventMask,
                   const std::function<bool()>& ready,
                   const std::optional<Clock::time_point>& deadline);

// Writes all of data, going on after partial writes and interruptions.
bool WriteAll(int fd, const char* data, size_t size);

// Share modes (share_modes.cpp). While a ShareGuard lives, no other open or
// removal of the file looks at or changes its share record.
class ShareGuard {
public:
    explicit ShareGuard(int fd);
    ~ShareGuard();
    ShareGuard(const ShareGuard&) = delete;
    ShareGuard& operator=(const ShareGuard&) = delete;

private:
    int fd_;
};
// Under the guard: false when an open in the mode (plat::FileMode bits) would
// conflict with another open of the file; otherwise records it on fd.
bool TakeShareRecord(int fd, unsigned mode);
// Under the guard: whether another open keeps the file from being removed.
bool DeletionDenied(int fd);

// Whole-file helpers on native paths.
bool ReadWholeFile(const std::string& nativePath, std::string& bytes);
// Writes to a temporary name in the same folder, then renames over the target.
bool WriteFileAtomically(const std::string& nativePath, const std::string& bytes);
bool MakeNativeDirectories(const std::string& nativeFolder);
bool NativeExists(const std::string& nativePath);
bool IsNativeFolder(const std::string& nativePath);
std::string ParentFolder(const std::string& nativePath);
std::vector<std::string> SplitLines(const std::string& text);

// Desktop layout (see docs/virtual-desktop.md).
std::string WindowFilePath(uintptr_t window);
std::string KeyLogPath(uintptr_t window);
std::string KeysFolder();
std::string WindowsFolder();
// Forgets this process's read position in a window's keystroke log.
void ResetKeyLogOffset(uintptr_t window);

}  // namespace plat::posix
