// DOS paths on Windows are native already. The drive map still applies, so a
// test or the simulator can give drive C: a private folder: a mapped drive
// letter is replaced by its folder, and changing to a mapped drive changes the
// process's directory into that folder. Only Windows folders can be mapped;
// an entry naming a posix folder (an inherited posix map) is ignored.
#include "win32_internal.h"

#include <direct.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace plat {
namespace {

bool IsDriveLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
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
};

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

std::string Joined(const std::string& folder, const std::string& rest) {
    size_t from = 0;
    while (from < rest.size() && IsSeparator(rest[from])) ++from;
    std::string joined = folder;
    if (!joined.empty() && !IsSeparator(joined.back())) joined += '\\';
    return joined + rest.substr(from);
}

}  // namespace

void SetDriveMap(const std::map<char, std::string>& driveToFolder) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.drives = Accepted(driveToFolder);
    if (state.drives.count(state.currentDrive) == 0) state.currentDrive = 0;
}

std::map<char, std::string> DriveMap() {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.drives;
}

std::string NativePath(const std::string& dosPath) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (dosPath.size() >= 2 && dosPath[1] == ':' && IsDriveLetter(dosPath[0])) {
        auto mapped = state.drives.find(Upper(dosPath[0]));
        return mapped == state.drives.end() ? dosPath : Joined(mapped->second, dosPath.substr(2));
    }
    bool rooted = !dosPath.empty() && IsSeparator(dosPath[0]) && !(dosPath.size() > 1 && IsSeparator(dosPath[1]));
    auto current = state.drives.find(state.currentDrive);
    if (rooted && current != state.drives.end()) return Joined(current->second, dosPath);
    return dosPath;  // relative: the process's current directory resolves it
}

bool ChangeDrive(int drive) {
    if (drive < 1 || drive > 26) return false;
    char letter = static_cast<char>('A' + drive - 1);
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    auto mapped = state.drives.find(letter);
    if (mapped != state.drives.end()) {
        if (::_chdir(mapped->second.c_str()) != 0) return false;
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
    return ::_chdir(native.c_str()) == 0;
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
