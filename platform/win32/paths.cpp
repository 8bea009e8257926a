// DOS paths on Windows are native already. The drive map still applies, so a
// test or the simulator can give drive C: a private folder: a mapped drive
// letter is replaced by its folder, and the current drive and directories of
// mapped drives are kept here, as the posix half keeps them (the process's
// own directory never moves into a mapped folder). Only Windows folders can
// be mapped; an entry naming a posix folder (an inherited posix map) is ignored.
#include "win32_internal.h"
#include "../common/common_internal.h"

#include <direct.h>

#include <cctype>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace plat {
namespace {

using common::IsDriveLetter;
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsWindowsFolder(const std::string& folder) {
    bool drive = folder.size() >= 3 && IsDriveLetter(folder[0]) && folder[1] == ':' && IsSeparator(folder[2]);
    bool share = folder.size() >= 3 && IsSeparator(folder[0]) && IsSeparator(folder[1]);
    return drive || share;
}

std::string TrimTrailingSeparators(std::string folder) {
    while (folder.size() > 3 && IsSeparator(folder.back())) folder.pop_back();
    return folder;
}

struct PathState {
    std::mutex lock;
    std::map<char, std::string> drives;
    char currentDrive = 0;  // the drive last changed to, when it is mapped
    std::map<char, std::vector<std::string>> currentDirs;  // per mapped drive
};

std::string Joined(const std::string& folder, const std::vector<std::string>& parts) {
    std::string joined = folder;
    for (const std::string& part : parts) joined += "/" + part;
    return joined;
}

std::map<char, std::string> Accepted(const std::map<char, std::string>& driveToFolder) {
    std::map<char, std::string> drives;
    for (const auto& [letter, folder] : driveToFolder) {
        if (IsDriveLetter(letter) && IsWindowsFolder(folder)) drives[Upper(letter)] = TrimTrailingSeparators(folder);
    }
    return drives;
}

// "C=C:\x\c;D=D:\srv" as the posix half reads it.
std::map<char, std::string> MapFromEnvironment() {
    std::map<char, std::string> map;
    const char* text = std::getenv("CMM_DRIVE_MAP");
    std::string rest = text != nullptr ? text : "";
    while (!rest.empty()) {
        size_t end = rest.find(';');
        std::string entry = rest.substr(0, end);
        if (entry.size() >= 2 && entry[1] == '=') map[entry[0]] = entry.substr(2);
        rest = end == std::string::npos ? std::string() : rest.substr(end + 1);
    }
    return Accepted(map);
}

PathState& State() {
    static PathState* state = [] {
        auto* fresh = new PathState;
        fresh->drives = MapFromEnvironment();
        return fresh;
    }();
    return *state;
}

}  // namespace

void SetDriveMap(const std::map<char, std::string>& driveToFolder) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.drives = Accepted(driveToFolder);
    if (state.drives.count(state.currentDrive) == 0) state.currentDrive = 0;
    state.currentDirs.clear();
}

// Drives are the system's own here: there is no map to get wrong.
std::string DriveMapError() { return std::string(); }

std::map<char, std::string> DriveMap() {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.drives;
}

std::string NativePath(const std::string& dosPath) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    char drive = state.currentDrive;
    size_t from = 0;
    if (dosPath.size() >= 2 && dosPath[1] == ':' && IsDriveLetter(dosPath[0])) {
        drive = Upper(dosPath[0]);
        from = 2;
    }
    auto mapped = state.drives.find(drive);
    bool share = dosPath.size() > 1 && IsSeparator(dosPath[0]) && IsSeparator(dosPath[1]);
    if (mapped == state.drives.end() || share) return dosPath;  // Windows resolves it
    std::vector<std::string> parts;
    bool rooted = from < dosPath.size() && IsSeparator(dosPath[from]);
    if (!rooted) parts = state.currentDirs[drive];
    common::FoldPath(parts, dosPath, from);
    return Joined(mapped->second, parts);
}

bool ChangeDrive(int drive) {
    if (drive < 1 || drive > 26) return false;
    char letter = static_cast<char>('A' + drive - 1);
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    auto mapped = state.drives.find(letter);
    if (mapped != state.drives.end()) {
        // The process's own directory stays where it is: a mapped drive's
        // folder must remain removable, and NativePath resolves against it.
        state.currentDrive = letter;
        return true;
    }
    if (::_chdrive(drive) != 0) return false;
    state.currentDrive = 0;
    return true;
}

bool ChangeDir(const std::string& dosPath) {
    std::string native = NativePath(dosPath);
    DWORD attributes = ::GetFileAttributesA(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    char drive = dosPath.size() >= 2 && dosPath[1] == ':' ? Upper(dosPath[0]) : state.currentDrive;
    auto mapped = state.drives.find(drive);
    if (mapped != state.drives.end() && native.compare(0, mapped->second.size(), mapped->second) == 0) {
        // The folder's components below the mapped folder become the drive's current directory.
        std::vector<std::string> parts;
        common::FoldPath(parts, native, mapped->second.size());
        state.currentDirs[drive] = parts;
        return true;
    }
    if (::_chdir(native.c_str()) != 0) return false;
    // _chdir onto another drive makes it the current one, as it does for the process.
    if (native.size() >= 2 && native[1] == ':') state.currentDrive = 0;
    return true;
}

namespace win32 {

std::string ParentFolder(const std::string& nativePath) {
    size_t slash = nativePath.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 2 && nativePath[1] == ':') return nativePath.substr(0, 3);
    return nativePath.substr(0, slash);
}

}  // namespace win32
}  // namespace plat
