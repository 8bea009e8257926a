// cmmlaunch.exe: the program behind every launcher the simulator installs
// where a vendor program would be. It reads "<its own path>.launch" (the
// target, then one leading argument a line), starts the target with those
// arguments followed by its own, and lives as long as the target, whose exit
// code it returns. Ending the launcher ends the target too (a job object).
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "../command_line.h"

#include <fstream>
#include <string>
#include <vector>

namespace {


std::string OwnPath() {
    char path[MAX_PATH * 4] = {};
    DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

// What follows the program name on our own command line, untouched.
std::string OwnArguments() {
    const char* line = ::GetCommandLineA();
    bool quoted = false;
    for (; *line != '\0'; ++line) {
        if (*line == '"') quoted = !quoted;
        if (!quoted && (*line == ' ' || *line == '\t')) break;
    }
    while (*line == ' ' || *line == '\t') ++line;
    return line;
}

}  // namespace

int main() {
    std::ifstream description(OwnPath() + ".launch");
    std::vector<std::string> lines;
    for (std::string line; std::getline(description, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    if (lines.empty()) return 127;
    std::string commandLine = plat::win32::QuotedArgument(lines[0]);
    for (size_t i = 1; i < lines.size(); ++i) commandLine += " " + plat::win32::QuotedArgument(lines[i]);
    std::string own = OwnArguments();
    if (!own.empty()) commandLine += " " + own;

    HANDLE job = ::CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job != nullptr) ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessA(lines[0].c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &info))
        return 126;
    if (job != nullptr) ::AssignProcessToJobObject(job, info.hProcess);
    ::ResumeThread(info.hThread);
    ::CloseHandle(info.hThread);
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 1;
    ::GetExitCodeProcess(info.hProcess, &code);
    return static_cast<int>(code);
}
