// Files with Windows share semantics on posix: every open keeps a share
// record on its file (share_modes.cpp), so opens and removals are refused
// exactly where CreateFile and DeleteFile refuse them, between processes and
// between two open files of one process alike. Truncation waits until the
// record is taken, so a reader never sees a file emptied under it, and a file
// that is not there yet comes into being with its record already in place.
// An exclusive write-only create of a file with content is cut to what was
// written when it closes, not emptied first: on ext4 emptying a file and
// writing it again makes the close flush it (auto_da_alloc), milliseconds on
// every exchange file rewritten; nobody can open it in between to tell.
// Text mode writes "\n" as CR LF; reads take a line without its line end.
#include "platform/platform.h"
#include "posix_internal.h"
#include "../common/common_internal.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {
namespace {

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
    default:
        return FileError::kOther;
    }
}

// Writes open the file for reading as well where they may: the share record
// is kept with locks that only a readable descriptor can take.
int OpenFlags(unsigned mode) {
    bool writes = (mode & (kFileWrite | kFileAppend)) != 0;
    int flags = O_CLOEXEC | (writes ? O_RDWR : O_RDONLY);
    if (mode & (kFileCreate | kFileAppend)) flags |= O_CREAT;
    if (mode & kFileAppend) flags |= O_APPEND;
    return flags;
}

int OpenNative(const std::string& native, int flags) {
    int fd = ::open(native.c_str(), flags, 0644);
    if (fd < 0 && errno == EACCES && (flags & O_ACCMODE) == O_RDWR)
        fd = ::open(native.c_str(), (flags & ~O_ACCMODE) | O_WRONLY, 0644);
    return fd;
}

// A missing file made under a private name beside it, its share record
// taken, then linked into place: on Windows the share mode comes with the
// creation, and here another opener would otherwise slip in between the two
// (a reader seeing an empty file, and the creator then refused by that
// reader). -1 with errno EEXIST when the name was taken meanwhile.
int CreateRecorded(const std::string& native, unsigned mode) {
    static std::atomic<unsigned> serial{0};
    const size_t slash = native.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : native.substr(0, slash);
    const std::string temporary =
        folder + "/.cmm-creating-" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
    int fd = OpenNative(temporary, OpenFlags(mode) | O_CREAT | O_EXCL);
    if (fd < 0) return -1;
    // Nobody else knows the private name: the record cannot be refused.
    posix::TakeShareRecord(fd, mode);
    const int linked = ::link(temporary.c_str(), native.c_str());
    const int cause = errno;
    ::unlink(temporary.c_str());
    if (linked == 0) return fd;
    ::close(fd);
    errno = cause;
    return -1;
}

// The descriptor for an Open; `recorded` tells that its share record is
// taken already.
int OpenDescriptor(const std::string& native, unsigned mode, bool& recorded) {
    recorded = false;
    const int flags = OpenFlags(mode);
    if ((flags & O_CREAT) == 0) return OpenNative(native, flags);
    // Another creator may win the name between the two steps: open theirs.
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = OpenNative(native, flags & ~O_CREAT);
        if (fd >= 0 || errno != ENOENT) return fd;
        fd = CreateRecorded(native, mode);
        if (fd >= 0) {
            recorded = true;
            return fd;
        }
        if (errno != EEXIST) break;
    }
    // A file system without hard links (or a folder that is not there, which
    // fails again here with the right error): the plain way.
    return OpenNative(native, flags);
}

// Whether a create may leave the old content until its close (see above):
// nobody else can open the file meanwhile, and it never reads.
bool DefersTruncation(unsigned mode) {
    return (mode & kFileCreate) && !(mode & (kFileAppend | kFileRead)) &&
           (mode & (kShareDenyWrite | kShareDenyNone)) == 0;
}

bool Unlinked(int fd) {
    struct stat info {};
    return ::fstat(fd, &info) == 0 && info.st_nlink == 0;
}

// Takes the share record of a descriptor opened by name and truncates what
// a create asks to. kNotFound when the file was removed after the name was
// opened: the caller opens the name again.
FileError Settle(int fd, unsigned mode) {
    posix::ShareGuard guard(fd);
    if (Unlinked(fd)) return FileError::kNotFound;
    if (!posix::TakeShareRecord(fd, mode)) return FileError::kSharingViolation;
    const bool truncates = (mode & kFileCreate) && !(mode & kFileAppend) && !DefersTruncation(mode);
    if (truncates && ::ftruncate(fd, 0) != 0) return ErrorOf(errno);
    return FileError::kNone;
}

// An open descriptor of the name with its share record, or -1 and why not.
int OpenShared(const std::string& native, unsigned mode, FileError& error) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        bool recorded = false;
        const int fd = OpenDescriptor(native, mode, recorded);
        if (fd < 0) {
            error = ErrorOf(errno);
            return -1;
        }
        struct stat info {};
        if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
            error = FileError::kAccessDenied;
        } else {
            error = recorded ? FileError::kNone : Settle(fd, mode);
        }
        if (error == FileError::kNone) return fd;
        ::close(fd);
        if (error != FileError::kNotFound) return -1;
    }
    return -1;
}

void Report(FileError* error, FileError value) {
    if (error != nullptr) *error = value;
}

}  // namespace

struct File::Impl {
    int fd = -1;
    bool failed = false;  // a write failed since the last Close
    bool text = false;
    bool cutAtClose = false;  // old content beyond what was written goes at Close
    common::LineReader reader;

    size_t Read(char* data, size_t size) const {
        ssize_t n;
        do {
            n = ::read(fd, data, size);
        } while (n < 0 && errno == EINTR);
        return n > 0 ? static_cast<size_t>(n) : 0;
    }
};

File::File() : impl_(new Impl) {}

File::~File() {
    Close();
    delete impl_;
}

bool File::Open(const std::string& dosPath, unsigned mode, FileError* error) {
    Close();
    FileError why = FileError::kNone;
    const int fd = OpenShared(NativePath(dosPath), mode, why);
    Report(error, why);
    if (fd < 0) return false;
    impl_->fd = fd;
    impl_->cutAtClose = DefersTruncation(mode);
    impl_->text = (mode & kFileText) != 0;
    impl_->failed = false;
    impl_->reader.Reset(impl_->text);
    return true;
}

bool File::IsOpen() const { return impl_->fd >= 0; }

bool File::ReadLine(std::string& line, size_t maxLength) {
    if (impl_->fd < 0) {
        line.clear();
        return false;
    }
    return impl_->reader.ReadLine(line, maxLength, [this](char* data, size_t size) { return impl_->Read(data, size); });
}

bool File::Write(const std::string& text) {
    if (impl_->fd < 0) return false;
    const std::string bytes = impl_->text ? common::WithCrLf(text) : std::string();
    const std::string& written = impl_->text ? bytes : text;
    const bool ok = posix::WriteAll(impl_->fd, written.data(), written.size());
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
    impl_->reader.Reset(false);
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
    } else {
        posix::ShareGuard guard(fd);
        if (Unlinked(fd)) {
            refused = FileError::kNotFound;
        } else if (posix::DeletionDenied(fd)) {
            refused = FileError::kSharingViolation;
        } else if (::unlink(native.c_str()) != 0) {
            refused = ErrorOf(errno);
        }
    }
    ::close(fd);
    Report(error, refused);
    return refused == FileError::kNone;
}

bool common::NativeFileExists(const std::string& nativePath) { return posix::NativeExists(nativePath); }

int common::WaitForFilesInTurns(const std::string& nativeFolder, Turns& turns) {
    // What makes a file appear in its folder, or become whole there.
    return posix::WaitInTurns(nativeFolder, IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE | IN_ATTRIB, turns);
}

bool MakeDirectory(const std::string& dosPath) {
    return posix::MakeNativeDirectories(NativePath(dosPath));
}

}  // namespace plat
