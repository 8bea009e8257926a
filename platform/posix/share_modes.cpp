// Windows share modes on posix. Every open keeps a record on its file made of
// open-file-description locks (fcntl F_OFD_SETLK), one byte per fact, each a
// shared lock so that any number of opens may state it at once:
//   byte 0  reads           byte 2  denies reading     byte 4  denies deleting
//   byte 1  writes          byte 3  denies writing
// An open is refused when it would read or write what another open denies,
// or deny what another open does; a removal when any open denies deleting:
// the rules CreateFile and DeleteFile apply to handles. These locks act
// between the opens of one process as between processes, and go with the
// descriptor when it is closed or its process ends. Looking at the others'
// record and adding one's own happen under an exclusive flock(2) of the file,
// held only for that moment, so two opens never both pass each other.
#include "platform/platform.h"
#include "posix_internal.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

#include <utility>

namespace plat::posix {
namespace {

enum RecordByte : off_t { kReads, kWrites, kDeniesRead, kDeniesWrite, kDeniesDelete };

struct Sharing {
    bool reads, writes, deniesRead, deniesWrite, deniesDelete;
};

Sharing SharingOf(unsigned mode) {
    const bool writes = (mode & (kFileWrite | kFileAppend)) != 0;
    const bool sharesAll = (mode & kShareDenyNone) != 0;
    const bool sharesRead = sharesAll || (mode & kShareDenyWrite) != 0;
    // An open asking for neither access reads, as CFile's default does.
    return {(mode & kFileRead) != 0 || !writes, writes, !sharesRead, !sharesAll, !sharesAll};
}

struct flock ByteOf(off_t byte, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    return lock;
}

// Whether an open other than fd's own holds the byte.
bool OthersHold(int fd, off_t byte) {
    struct flock probe = ByteOf(byte, F_WRLCK);
    return ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

// A descriptor open for writing only cannot take a shared lock: such an open
// of a file its writer may not read goes without a record.
void Declare(int fd, off_t byte) {
    struct flock lock = ByteOf(byte, F_RDLCK);
    (void)::fcntl(fd, F_OFD_SETLK, &lock);
}

}  // namespace

ShareGuard::ShareGuard(int fd) : fd_(fd) {
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

ShareGuard::~ShareGuard() { ::flock(fd_, LOCK_UN); }

bool TakeShareRecord(int fd, unsigned mode) {
    const Sharing s = SharingOf(mode);
    if ((s.reads && OthersHold(fd, kDeniesRead)) || (s.writes && OthersHold(fd, kDeniesWrite)) ||
        (s.deniesRead && OthersHold(fd, kReads)) || (s.deniesWrite && OthersHold(fd, kWrites)))
        return false;
    const std::pair<bool, RecordByte> facts[] = {{s.reads, kReads},           {s.writes, kWrites},
                                                 {s.deniesRead, kDeniesRead}, {s.deniesWrite, kDeniesWrite},
                                                 {s.deniesDelete, kDeniesDelete}};
    for (const auto& [holds, byte] : facts) {
        if (holds) Declare(fd, byte);
    }
    return true;
}

bool DeletionDenied(int fd) { return OthersHold(fd, kDeniesDelete); }

}  // namespace plat::posix
