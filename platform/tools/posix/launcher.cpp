// Launchers and process ends for the vendor-side simulator: a launcher is an
// executable sh script standing where a vendor program would be, which execs
// the simulator with fixed leading arguments, so that the plug-in's own launch
// code starts the simulation as it would start the real software. Also the
// running program's own path and forcible process ends for its shutdown.
#include "platform/tools.h"
#include "posix_internal.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

// One word for sh: single quotes, with each quote written as '\''.
std::string ShellWord(const std::string& text) {
    std::string word = "'";
    for (char c : text) {
        if (c == '\'') word += "'\\''";
        else word += c;
    }
    return word + "'";
}

}  // namespace

bool InstallLauncher(const std::string& dosPath, const std::string& nativeTarget,
                     const std::vector<std::string>& leadingArgs) {
    std::string native = NativePath(dosPath);
    if (!posix::MakeNativeDirectories(posix::ParentFolder(native))) return false;
    // Appended piecewise: g++ -O3 mistakes "literal" + temporary for an overlap (-Wrestrict).
    std::string script = "#!/bin/sh\nexec ";
    script += ShellWord(nativeTarget);
    for (const std::string& arg : leadingArgs) {
        script += ' ';
        script += ShellWord(arg);
    }
    script += " \"$@\"\n";
    if (!posix::WriteFileAtomically(native, script)) return false;
    return ::chmod(native.c_str(), 0755) == 0;
}

std::string CurrentExecutablePath() {
    char buffer[PATH_MAX + 1];
    ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buffer, static_cast<size_t>(n));
}

bool IsProcessRunning(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) return false;
    if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
    // An ended child that its parent has not reaped yet still answers kill.
    std::string stat;
    if (!posix::ReadWholeFile("/proc/" + std::to_string(pid) + "/stat", stat)) return true;
    size_t paren = stat.rfind(')');
    return paren == std::string::npos || paren + 2 >= stat.size() || stat[paren + 2] != 'Z';
}

bool EndProcess(unsigned long pid) {
    if (pid == 0 || pid > static_cast<unsigned long>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(pid), SIGKILL) == 0;
}

}  // namespace plat
