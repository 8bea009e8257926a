// Program launch on Windows: ShellExecuteExA, as the plug-in starts the
// vendor's programs.
#include "win32_internal.h"

namespace plat {

bool ShellExecute(const std::string& file, const std::string& parameters, const std::string& directory,
                  int showCommand, unsigned flags) {
    std::string nativeFile = NativePath(file);
    std::string nativeDirectory = directory.empty() ? std::string() : NativePath(directory);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    // The shell's own error box cannot be answered through an installed host
    // UI (a scripted test, a console host), so it is left out there.
    const bool shellBox = (flags & kLaunchKeepProcess) != 0 && CurrentHostUI() == nullptr;
    info.fMask = (flags & kLaunchKeepProcess) != 0 ? SEE_MASK_NOCLOSEPROCESS : SEE_MASK_NOASYNC;
    if (!shellBox) info.fMask |= SEE_MASK_FLAG_NO_UI;
    info.lpFile = nativeFile.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.lpDirectory = nativeDirectory.empty() ? nullptr : nativeDirectory.c_str();
    info.nShow = showCommand;
    if (!::ShellExecuteExA(&info)) return false;
    // Nothing waits for the program: the handle is not kept.
    if (info.hProcess != nullptr) ::CloseHandle(info.hProcess);
    return true;
}

}  // namespace plat
