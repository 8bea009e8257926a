// DOS paths on a posix file system: a drive map ("C" -> a folder), a current
// drive and a current directory per drive (_chdrive / _chdir), "\" and "/"
// both taken as separators, "." and ".." folded. A drive that is not mapped
// resolves below /dev/null ("/dev/null/unmapped-drive-X"), where nothing can
// ever be created, not even by root, so every open on it fails plainly
// instead of touching an unrelated folder. The map is read from the
// environment when the program starts: relative folders are made absolute
// then (and written back, so programs it launches in another folder see the
// same drives), and an entry that is not "LETTER=/folder" is a fault that
// DriveMapError names.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

namespace plat {
namespace {

constexpr const char* kUnmappedRoot = "/dev/null/unmapped-drive-";

struct PathState {
    std::mutex lock;
    std::map<char, std::string> drives;
    std::string mapError;  // the first malformed entry of the environment's map
    char currentDrive = 'C';
    std::map<char, std::vector<std::string>> currentDirs;  // per drive, components
    // Counts the changes of the map, the current drive and the current
    // folders: a path resolved at one count stands while it does not move.
    std::atomic<uint64_t> generation{0};
};

char DriveKey(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

using common::IsDriveLetter;

std::string TrimTrailingSlashes(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

std::string CurrentFolder() {
    std::vector<char> buffer(4096);
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE || buffer.size() > (1u << 20)) return std::string();
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// Entries of "C=/folder" separated by ";" (empty entries allowed). A relative
// folder is taken from the current one; a malformed entry maps nothing and is
// named in error.
std::map<char, std::string> ParseDriveMap(const char* text, std::string& error) {
    std::map<char, std::string> drives;
    if (text == nullptr) return drives;
    std::string all(text);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(';', start);
        if (end == std::string::npos) end = all.size();
        std::string entry = all.substr(start, end - start);
        start = end + 1;
        if (entry.empty()) continue;
        if (entry.size() < 3 || !IsDriveLetter(entry[0]) || entry[1] != '=') {
            if (error.empty()) error = "CMM_DRIVE_MAP: \"" + entry + "\" is not LETTER=FOLDER (like C=/srv/c)";
            continue;
        }
        std::string folder = entry.substr(2);
        if (folder[0] != '/') folder = CurrentFolder() + "/" + folder;
        drives[DriveKey(entry[0])] = TrimTrailingSlashes(folder);
    }
    return drives;
}

std::string MapText(const std::map<char, std::string>& drives) {
    std::string text;
    for (const auto& [letter, folder] : drives) text += (text.empty() ? "" : ";") + std::string(1, letter) + "=" + folder;
    return text;
}

PathState& State() {
    static PathState* state = [] {
        auto* s = new PathState;
        const char* text = std::getenv("CMM_DRIVE_MAP");
        s->drives = ParseDriveMap(text, s->mapError);
        if (text != nullptr && s->mapError.empty()) ::setenv("CMM_DRIVE_MAP", MapText(s->drives).c_str(), 1);
        return s;
    }();
    return *state;
}

// Read at start-up, before the program can change its folder.
[[maybe_unused]] const bool g_mapReadAtStart = (State(), true);

struct DosLocation {
    char drive;
    std::vector<std::string> components;
};

// With the state locked: the drive and absolute components a DOS path names.
DosLocation Resolve(PathState& state, const std::string& dosPath) {
    DosLocation where{state.currentDrive, {}};
    size_t from = 0;
    if (dosPath.size() >= 2 && dosPath[1] == ':' && IsDriveLetter(dosPath[0])) {
        where.drive = DriveKey(dosPath[0]);
        from = 2;
    }
    bool rooted = from < dosPath.size() && (dosPath[from] == '\\' || dosPath[from] == '/');
    if (!rooted) where.components = state.currentDirs[where.drive];
    common::FoldPath(where.components, dosPath, from);
    return where;
}

std::string NativeOf(const PathState& state, const DosLocation& where) {
    auto mapped = state.drives.find(where.drive);
    std::string native = mapped != state.drives.end()
                             ? mapped->second
                             : std::string(kUnmappedRoot) + where.drive;
    if (native == "/") native.clear();
    for (const std::string& part : where.components) native += "/" + part;
    return native.empty() ? "/" : native;
}

}  // namespace

void SetDriveMap(const std::map<char, std::string>& driveToFolder) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    state.drives.clear();
    for (const auto& [letter, folder] : driveToFolder) {
        if (IsDriveLetter(letter)) state.drives[DriveKey(letter)] = TrimTrailingSlashes(folder);
    }
    ++state.generation;
}

std::string DriveMapError() {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.mapError;
}

std::map<char, std::string> DriveMap() {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return state.drives;
}

std::string NativePath(const std::string& dosPath) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    return NativeOf(state, Resolve(state, dosPath));
}

// Kept per thread for the last few paths while the drive map and the
// current folders stand: a wait looks for the same two files every 30 ms,
// and resolving them anew each time was a quarter of what its looks cost on
// top of the bare wake-ups.
common::NativeFile common::NativeFileOf(const std::string& dosPath) {
    struct Entry {
        std::string dos;
        uint64_t generation = 0;
        NativeFile file;
    };
    thread_local std::array<Entry, 4> entries;
    thread_local size_t next = 0;
    PathState& state = State();
    const uint64_t now = state.generation.load();
    for (const Entry& entry : entries) {
        if (!entry.file.path.empty() && entry.generation == now && entry.dos == dosPath) return entry.file;
    }
    Entry& entry = entries[next++ % entries.size()];
    std::lock_guard<std::mutex> guard(state.lock);
    entry.dos = dosPath;
    entry.generation = state.generation.load();
    entry.file.path = NativeOf(state, Resolve(state, dosPath));
    entry.file.folder = posix::ParentFolder(entry.file.path);
    return entry.file;
}

bool ChangeDrive(int drive) {
    if (drive < 1 || drive > 26) return false;
    char letter = static_cast<char>('A' + drive - 1);
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    if (state.drives.count(letter) == 0) return false;
    state.currentDrive = letter;
    ++state.generation;
    return true;
}

bool ChangeDir(const std::string& dosPath) {
    PathState& state = State();
    std::lock_guard<std::mutex> guard(state.lock);
    DosLocation where = Resolve(state, dosPath);
    if (state.drives.count(where.drive) == 0) return false;
    std::string native = NativeOf(state, where);
    if (!posix::IsNativeFolder(native)) return false;
    state.currentDirs[where.drive] = where.components;
    ++state.generation;
    return true;
}

}  // namespace plat
