// Files with Windows share semantics on posix. Share modes become advisory
// flock(2) locks, which act between processes and between two open files of
// one process alike:
//   exclusive (any access), and writes that deny writing   LOCK_EX
//   reads that deny writing, and writes that share all     LOCK_SH
//   reads that share all     none held; an exclusive holder still refuses them
// A lock that cannot be had at once is a sharing violation. Truncation waits
// until the lock is held, so a reader never sees a file emptied under it, and
// a file that is not there yet comes into being with its lock already held.
// An exclusive write-only open of a file with content is cut to what was
// written when it closes, not emptied first: on ext4 emptying a file and
// writing it again makes the close flush it (auto_da_alloc), milliseconds on
// every exchange file rewritten; nobody can open it in between to tell.
// Text mode writes "\n" as CR LF; reads take a line without its line end.
#include "platform/platform.h"
#include "posix_internal.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

constexpr size_t kReadChunk = 65536;

FileError ErrorOf(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return FileError::kNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return FileError::kAccessDenied;
    case EWOULDBLOCK:
        return FileError::kSharingViolation;
    default:
        return FileError::kOther;
    }
}

int OpenFlags(unsigned mode) {
    bool reads = (mode & kFileRead) != 0;
    bool writes = (mode & (kFileWrite | kFileAppend)) != 0;
    int flags = O_CLOEXEC;
    flags |= reads && writes ? O_RDWR : writes ? O_WRONLY : O_RDONLY;
    if (mode & (kFileCreate | kFileAppend)) flags |= O_CREAT;
    if (mode & kFileAppend) flags |= O_APPEND;
    return flags;
}

// The lock an open holds for its whole life (0: none).
int HeldLock(unsigned mode) {
    bool writes = (mode & (kFileWrite | kFileAppend)) != 0;
    if (mode & kShareDenyNone) return writes ? LOCK_SH : 0;
    if (mode & kShareDenyWrite) return writes ? LOCK_EX : LOCK_SH;
    return LOCK_EX;
}

bool TakeLock(int fd, unsigned mode) {
    int lock = HeldLock(mode);
    if (lock != 0) return ::flock(fd, lock | LOCK_NB) == 0;
    // Sharing everything still cannot get past an exclusive holder.
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return false;
    ::flock(fd, LOCK_UN);
    return true;
}

// A missing file made under a private name beside it, locked, then linked
// into place: on Windows the share mode comes with the creation, and here
// another opener would otherwise slip in between the two (a reader seeing an
// empty file, and the creator then refused by that reader's lock). -1 with
// errno EEXIST when the name was taken meanwhile.
int CreateLocked(const std::string& native, unsigned mode) {
    static std::atomic<unsigned> serial{0};
    const size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : native.substr(0, slash);
    const std::string temporary =
        folder + "/.cmm-creating-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    int fd = ::open(temporary.c_str(), OpenFlags(mode) | O_CREAT | O_EXCL, 0644);
    if (fd < 0) return -1;
    // Nobody else knows the private name: the lock cannot be refused.
    TakeLock(fd, mode);
    const int linked = ::link(temporary.c_str(), native.c_str());
    const int cause = errno;
    ::unlink(temporary.c_str());
    if (linked == 0) return fd;
    ::close(fd);
    errno = cause;
    return -1;
}

// Whether a create-mode open may leave the old content until its close (see
// above): nobody else can open the file meanwhile, and it never reads.
bool DefersTruncation(unsigned mode) {
    return (mode & kFileCreate) && !(mode & (kFileAppend | kFileRead)) && HeldLock(mode) == LOCK_EX;
}

// The descriptor for an Open; `locked` tells that its lock is held already.
int OpenDescriptor(const std::string& native, unsigned mode, bool& locked) {
    locked = false;
    const int flags = OpenFlags(mode);
    if ((flags & O_CREAT) == 0) return ::open(native.c_str(), flags);
    // Another creator may win the name between the two steps: open theirs.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(native.c_str(), flags & ~O_CREAT);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = CreateLocked(native, mode);
        if (fd >= 0) {
            locked = true;
            return fd;
        }
        if (errno != EEXIST) break;
    }
    // A file system without hard links (or a folder that is not there, which
    // fails again here with the right error): the plain way.
    return ::open(native.c_str(), flags, 0644);
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void Report(FileError* error, FileError value) {
    if (error != nullptr) *error = value;
}

}  // namespace

struct File::Impl {
    int fd = -1;
    bool text = false;
    bool failed = false;  // a write failed since the last Close
    bool cutAtClose = false;  // old content beyond what was written goes at Close
    std::string buffer;   // read-ahead
    size_t position = 0;  // next unread byte of buffer
    bool atEnd = false;

    // Makes at least one more byte available; false at end of file.
    bool Fill() {
        if (position < buffer.size()) return true;
        if (atEnd) return false;
        buffer.clear();
        position = 0;
        buffer.resize(kReadChunk);
        ssize_t n;
        do {
            n = ::read(fd, buffer.data(), kReadChunk);
        } while (n < 0 && errno == EINTR);
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        if (n <= 0) atEnd = true;
        return n > 0;
    }

    int Peek() { return Fill() ? static_cast<unsigned char>(buffer[position]) : -1; }

    // Consumes a line end at the read position, if one is there.
    bool SkipLineEnd() {
        int c = Peek();
        if (c == '\n') {
            ++position;
            return true;
        }
        if (c != '\r' || !text) return false;
        if (position + 1 >= buffer.size()) {
            // "\r" ends the chunk: keep it and pull in the next chunk behind it.
            std::string rest = buffer.substr(position);
            buffer.clear();
            position = 0;
            if (!Fill()) {
                buffer = rest;
                return false;
            }
            buffer.insert(0, rest);
        }
        if (buffer[position + 1] != '\n') return false;
        position += 2;
        return true;
    }
};

File::File() : impl_(new Impl) {}

File::~File() {
    Close();
    delete impl_;
}

bool File::Open(const std::string& dosPath, unsigned mode, FileError* error) {
    Close();
    Report(error, FileError::kNone);
    std::string native = NativePath(dosPath);
    bool locked = false;
    int fd = OpenDescriptor(native, mode, locked);
    if (fd < 0) {
        Report(error, ErrorOf(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        Report(error, FileError::kAccessDenied);
        return false;
    }
    if (!locked && !TakeLock(fd, mode)) {
        ::close(fd);
        Report(error, FileError::kSharingViolation);
        return false;
    }
    const bool truncates = (mode & kFileCreate) && !(mode & kFileAppend) && info.st_size > 0;
    if (truncates && !DefersTruncation(mode) && ::ftruncate(fd, 0) != 0) {
        int cause = errno;
        ::close(fd);
        Report(error, ErrorOf(cause));
        return false;
    }
    impl_->cutAtClose = truncates && DefersTruncation(mode);
    impl_->fd = fd;
    impl_->text = (mode & kFileText) != 0;
    impl_->failed = false;
    impl_->buffer.clear();
    impl_->position = 0;
    impl_->atEnd = false;
    return true;
}

bool File::IsOpen() const { return impl_->fd >= 0; }

bool File::ReadLine(std::string& line, size_t maxLength) {
    line.clear();
    if (impl_->fd < 0 || maxLength == 0) return false;
    Impl& f = *impl_;
    if (!f.Fill()) return false;
    for (;;) {
        if (f.SkipLineEnd()) return true;
        if (!f.Fill()) return true;  // a last line without line end
        // A full piece ends here. A line end right behind it was taken above,
        // so a line of exactly maxLength characters gives no empty piece after it.
        if (line.size() == maxLength) return true;
        line += f.buffer[f.position++];
    }
}

bool File::Write(const std::string& text) {
    if (impl_->fd < 0) return false;
    bool ok;
    if (!impl_->text) {
        ok = WriteAll(impl_->fd, text.data(), text.size());
    } else {
        std::string converted;
        converted.reserve(text.size() + text.size() / 16 + 2);
        for (char c : text) {
            if (c == '\n') converted += '\r';
            converted += c;
        }
        ok = WriteAll(impl_->fd, converted.data(), converted.size());
    }
    if (!ok) impl_->failed = true;
    return ok;
}

bool File::Flush() { return impl_->fd >= 0 && !impl_->failed; }

bool File::Close() {
    if (impl_->fd < 0) return false;
    bool ok = !impl_->failed;
    if (impl_->cutAtClose) {
        // Nothing here seeks: the write position is the length written.
        const off_t written = ::lseek(impl_->fd, 0, SEEK_CUR);
        if (written < 0 || ::ftruncate(impl_->fd, written) != 0) ok = false;
        impl_->cutAtClose = false;
    }
    if (::close(impl_->fd) != 0) ok = false;
    impl_->fd = -1;
    impl_->buffer.clear();
    impl_->position = 0;
    impl_->failed = false;
    return ok;
}

bool PathExists(const std::string& dosPath) { return posix::NativeExists(NativePath(dosPath)); }

bool RemoveFile(const std::string& dosPath, FileError* error) {
    Report(error, FileError::kNone);
    std::string native = NativePath(dosPath);
    int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Report(error, ErrorOf(errno));
        return false;
    }
    struct stat info {};
    FileError refused = FileError::kNone;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        refused = FileError::kAccessDenied;
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refused = FileError::kSharingViolation;
    } else if (::unlink(native.c_str()) != 0) {
        refused = ErrorOf(errno);
    }
    ::close(fd);
    Report(error, refused);
    return refused == FileError::kNone;
}

bool MakeDirectory(const std::string& dosPath) {
    return posix::MakeNativeDirectories(NativePath(dosPath));
}

bool WaitForPath(const std::string& dosPath, uint32_t ms) {
    std::optional<posix::Clock::time_point> deadline = posix::DeadlineAfter(ms);
    std::string native = NativePath(dosPath);
    return posix::WaitForChange(posix::ParentFolder(native),
                                IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB,
                                [&] { return posix::NativeExists(native); }, deadline);
}

}  // namespace plat
