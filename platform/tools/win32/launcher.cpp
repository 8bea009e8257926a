// For the simulator on Windows: launchers installed where the vendor programs
// would be, the running program's own path, and process ends.
#include "win32_internal.h"
#include "platform/tools.h"

#include <fstream>
#include <set>
#include <vector>

namespace plat {
namespace {

// The small program every launcher is a copy of; it sits beside our programs.
constexpr const char* kLauncherProgram = "cmmlaunch.exe";

std::string Folder(const std::string& nativePath) { return win32::ParentFolder(nativePath); }

// The DLLs a program imports, read from its import table (mapped, not run).
std::vector<std::string> ImportedDlls(const std::string& program) {
    std::vector<std::string> names;
    HMODULE image = ::LoadLibraryExA(program.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (image == nullptr) return names;
    auto* base = reinterpret_cast<const BYTE*>(image);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress != 0) {
        auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
        for (; entry->Name != 0; ++entry) names.emplace_back(reinterpret_cast<const char*>(base + entry->Name));
    }
    ::FreeLibrary(image);
    return names;
}

// A copied program loads its DLLs from its own folder first: the runtime DLLs
// that sit beside the original (a shared C++ runtime) go beside the copy,
// with the ones they need in turn.
bool CopyPrivateDlls(const std::string& program, const std::string& toFolder) {
    std::vector<std::string> pending = ImportedDlls(program);
    std::set<std::string> copied;
    while (!pending.empty()) {
        std::string dll = pending.back();
        pending.pop_back();
        std::string source = Folder(program) + "\\" + dll;
        if (!copied.insert(dll).second || ::GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES)
            continue;  // done already, or a system DLL
        if (!::CopyFileA(source.c_str(), (toFolder + "\\" + dll).c_str(), FALSE)) return false;
        for (std::string& next : ImportedDlls(source)) pending.push_back(std::move(next));
    }
    return true;
}

}  // namespace

// A launcher is a copy of cmmlaunch.exe plus "<launcher>.launch": the target
// on the first line, then one leading argument a line. The DLLs it needs from
// our own folder are copied beside it: a vendor program is started from its
// own folder, where nothing else would find them.
bool InstallLauncher(const std::string& dosPath, const std::string& nativeTarget,
                     const std::vector<std::string>& leadingArgs) {
    std::string native = NativePath(dosPath);
    if (!win32::MakeNativeDirectory(Folder(native))) return false;
    std::string program = Folder(CurrentExecutablePath()) + "\\" + kLauncherProgram;
    if (!::CopyFileA(program.c_str(), native.c_str(), FALSE) || !CopyPrivateDlls(program, Folder(native)))
        return false;
    std::ofstream description(native + ".launch", std::ios::binary | std::ios::trunc);
    description << nativeTarget << "\n";
    for (const std::string& argument : leadingArgs) description << argument << "\n";
    return static_cast<bool>(description.flush());
}

std::string CurrentExecutablePath() { return win32::ModulePath(nullptr); }

bool IsProcessRunning(unsigned long pid) {
    HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return false;
    bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    ::CloseHandle(process);
    return running;
}

bool EndProcess(unsigned long pid) {
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
    if (process == nullptr) return false;
    bool ended = ::TerminateProcess(process, 1) != FALSE;
    if (ended) ::WaitForSingleObject(process, 5000);
    ::CloseHandle(process);
    return ended;
}

}  // namespace plat
