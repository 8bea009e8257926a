// One host per installation on posix: an exclusive flock on a file in the
// virtual desktop folder, held (and closed on exec, so launched programs do
// not inherit it) until the process ends; the file holds the owner's pid.
#include "platform/tools.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace plat {

bool ClaimInstallation(unsigned long& holderPid) {
    holderPid = 0;
    static int held = -1;
    if (held >= 0) return true;
    const std::string path = DesktopFolder() + "/cmmhost.lock";
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return true;  // no desktop folder to share: nobody else can drive it either
    int locked;
    while ((locked = ::flock(fd, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        char text[32] = {};
        const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
        if (n > 0) holderPid = std::strtoul(text, nullptr, 10);
        ::close(fd);
        return false;
    }
    const std::string pid = std::to_string(CurrentProcessId()) + "\n";
    if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, pid.data(), pid.size(), 0);
    held = fd;
    return true;
}

}  // namespace plat
