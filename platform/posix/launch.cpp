// Program launch for the posix half: the DOS file name is mapped to a native
// executable and run detached (double fork, new session), so it outlives the
// caller and never becomes a zombie. A pipe closed on exec tells the caller
// whether the program really started. Like a Windows GUI program started by
// the shell, the program gets none of the caller's handles: its standard
// input, output and error are /dev/null, so a pipeline reading the caller's
// output ends when the caller does.
#include "platform/platform.h"
#include "posix_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace plat {
namespace {

bool IsAbsoluteDos(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (!path.empty() && (path[0] == '\\' || path[0] == '/'));
}

std::string ProgramPath(const std::string& file, const std::string& directory) {
    if (IsAbsoluteDos(file) || directory.empty()) return NativePath(file);
    std::string joined = directory;
    if (joined.back() != '\\' && joined.back() != '/') joined += '\\';
    return NativePath(joined + file);
}

bool IsRunnable(const std::string& native) {
    struct stat info {};
    return ::stat(native.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(native.c_str(), X_OK) == 0;
}

// Runs in the grandchild: only async-signal-safe calls from here on.
[[noreturn]] void ExecProgram(const char* program, char* const* argv, const char* folder, int report) {
    int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        for (int fd = 0; fd <= 2; ++fd) {
            if (null != fd) ::dup2(null, fd);
        }
        if (null > 2) ::close(null);
    }
    if (folder != nullptr && ::chdir(folder) != 0) {
        int error = errno;
        (void)!::write(report, &error, sizeof error);
        ::_exit(127);
    }
    ::execv(program, argv);
    int error = errno;
    (void)!::write(report, &error, sizeof error);
    ::_exit(127);
}

}  // namespace

bool ShellExecute(const std::string& file, const std::string& parameters,
                  const std::string& directory, int, unsigned) {
    std::string program = ProgramPath(file, directory);
    if (!IsRunnable(program)) return false;
    std::string folder = directory.empty() ? std::string() : NativePath(directory);
    std::string argument = parameters;
    char* argv[3] = {program.data(), parameters.empty() ? nullptr : argument.data(), nullptr};

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        pid_t grandchild = ::fork();
        if (grandchild == 0) ExecProgram(program.c_str(), argv, folder.empty() ? nullptr : folder.c_str(), report[1]);
        ::_exit(grandchild < 0 ? 1 : 0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    bool forked = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    int error = 0;
    ssize_t n;
    do {
        n = ::read(report[0], &error, sizeof error);
    } while (n < 0 && errno == EINTR);
    ::close(report[0]);
    return forked && n == 0;
}

}  // namespace plat
