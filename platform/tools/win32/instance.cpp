// One host per installation on Windows: a file in the temporary folder kept
// open for writing, shared for reading only, until the process ends; it
// holds the owner's pid. A second writer is refused by the share mode.
#include "win32_internal.h"
#include "platform/tools.h"

#include <cstdlib>
#include <string>

namespace plat {

bool ClaimInstallation(unsigned long& holderPid) {
    holderPid = 0;
    static HANDLE held = INVALID_HANDLE_VALUE;
    if (held != INVALID_HANDLE_VALUE) return true;
    char temp[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > MAX_PATH) return true;
    const std::string path = std::string(temp) + "cmmhost.lock";
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (::GetLastError() != ERROR_SHARING_VIOLATION) return true;
        HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (reader != INVALID_HANDLE_VALUE) {
            char text[32] = {};
            DWORD read = 0;
            if (::ReadFile(reader, text, sizeof text - 1, &read, nullptr)) holderPid = std::strtoul(text, nullptr, 10);
            ::CloseHandle(reader);
        }
        return false;
    }
    const std::string pid = std::to_string(CurrentProcessId()) + "\r\n";
    DWORD written = 0;
    ::SetEndOfFile(file);
    ::WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, nullptr);
    held = file;
    return true;
}

}  // namespace plat
