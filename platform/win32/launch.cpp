// Program launch on Windows (ShellExecuteExA), and for the simulator:
// launchers installed where the vendor programs would be, the running
// program's own path, and process ends.
#include "win32_internal.h"

#include <fstream>

namespace plat {
namespace {

// The small program every launcher is a copy of; it sits beside our programs.
constexpr const char* kLauncherProgram = "cmmlaunch.exe";

std::string Folder(const std::string& nativePath) { return win32::ParentFolder(nativePath); }

}  // namespace

bool ShellExecute(const std::string& file, const std::string& parameters, const std::string& directory,
                  int showCommand) {
    std::string nativeFile = NativePath(file);
    std::string nativeDirectory = directory.empty() ? std::string() : NativePath(directory);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpFile = nativeFile.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = nativeDirectory.empty() ? nullptr : nativeDirectory.c_str();
    info.nShow = showCommand;
    return ::ShellExecuteExA(&info) != FALSE;
}

// A launcher is a copy of cmmlaunch.exe plus "<launcher>.launch": the target
// on the first line, then one leading argument a line.
bool InstallLauncher(const std::string& dosPath, const std::string& nativeTarget,
                     const std::vector<std::string>& leadingArgs) {
    std::string native = NativePath(dosPath);
    if (!win32::MakeNativeDirectory(Folder(native))) return false;
    std::string program = Folder(CurrentExecutablePath()) + "\\" + kLauncherProgram;
    if (!::CopyFileA(program.c_str(), native.c_str(), FALSE)) return false;
    std::ofstream description(native + ".launch", std::ios::binary | std::ios::trunc);
    description << nativeTarget << "\n";
    for (const std::string& argument : leadingArgs) description << argument << "\n";
    return static_cast<bool>(description.flush());
}

std::string CurrentExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::string();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

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
