// Files on Windows: CreateFile with the share mode the caller asks for (as
// CFile does), CR LF text mode, and waiting for a file to appear through
// change notifications on its folder.
#include "win32_internal.h"
#include "../common/common_internal.h"

namespace plat {
namespace {

void Report(FileError* error, FileError value) {
    if (error != nullptr) *error = value;
}

constexpr DWORD kChangeFilter =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;
// How often a wait looks while the folder it waits on is missing.
constexpr DWORD kUnwatchedLookMs = 20;

DWORD ShareOf(unsigned mode) {
    if (mode & kShareDenyNone) return FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    if (mode & kShareDenyWrite) return FILE_SHARE_READ;
    return 0;
}

DWORD AccessOf(unsigned mode) {
    DWORD access = 0;
    if (mode & kFileRead) access |= GENERIC_READ;
    if (mode & (kFileWrite | kFileAppend)) access |= GENERIC_WRITE;
    return access != 0 ? access : GENERIC_READ;
}

DWORD DispositionOf(unsigned mode) {
    if (mode & kFileAppend) return OPEN_ALWAYS;
    if (mode & kFileCreate) return CREATE_ALWAYS;
    return OPEN_EXISTING;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!::WriteFile(file, data, piece, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

namespace win32 {

FileError FileErrorOf(DWORD error) {
    switch (error) {
    case ERROR_SUCCESS: return FileError::kNone;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE: return FileError::kNotFound;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return FileError::kSharingViolation;
    case ERROR_ACCESS_DENIED: return FileError::kAccessDenied;
    default: return FileError::kOther;
    }
}

}  // namespace win32

struct File::Impl {
    HANDLE handle = INVALID_HANDLE_VALUE;
    bool text = false;
    bool failed = false;
    common::LineReader reader;

    size_t Read(char* data, size_t size) const {
        DWORD got = 0;
        return ::ReadFile(handle, data, static_cast<DWORD>(size), &got, nullptr) ? got : 0;
    }

    void Reset() {
        reader.Reset(text);
        failed = false;
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
    HANDLE handle = ::CreateFileA(native.c_str(), AccessOf(mode), ShareOf(mode), nullptr, DispositionOf(mode),
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        Report(error, win32::FileErrorOf(::GetLastError()));
        return false;
    }
    if ((mode & kFileAppend) && ::SetFilePointer(handle, 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        ::GetLastError() != NO_ERROR) {
        ::CloseHandle(handle);
        Report(error, FileError::kOther);
        return false;
    }
    impl_->handle = handle;
    impl_->text = (mode & kFileText) != 0;
    impl_->Reset();
    return true;
}

bool File::IsOpen() const { return impl_->handle != INVALID_HANDLE_VALUE; }

bool File::ReadLine(std::string& line, size_t maxLength) {
    if (impl_->handle == INVALID_HANDLE_VALUE) {
        line.clear();
        return false;
    }
    return impl_->reader.ReadLine(line, maxLength, [this](char* data, size_t size) { return impl_->Read(data, size); });
}

bool File::Write(const std::string& text) {
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    const std::string bytes = impl_->text ? common::WithCrLf(text) : std::string();
    const std::string& written = impl_->text ? bytes : text;
    const bool ok = WriteAll(impl_->handle, written.data(), written.size());
    if (!ok) impl_->failed = true;
    return ok;
}

bool File::Flush() {
    return impl_->handle != INVALID_HANDLE_VALUE && !impl_->failed;
}

bool File::Close() {
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    bool ok = !impl_->failed;
    if (!::CloseHandle(impl_->handle)) ok = false;
    impl_->handle = INVALID_HANDLE_VALUE;
    impl_->Reset();
    return ok;
}

bool PathExists(const std::string& dosPath) {
    return ::GetFileAttributesA(NativePath(dosPath).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveFile(const std::string& dosPath, FileError* error) {
    if (::DeleteFileA(NativePath(dosPath).c_str())) {
        Report(error, FileError::kNone);
        return true;
    }
    Report(error, win32::FileErrorOf(::GetLastError()));
    return false;
}

namespace win32 {

// Parents first. Native paths only: a mapped drive's folder usually lies on
// that same drive letter, so mapping a parent again would nest it forever.
bool MakeNativeDirectory(const std::string& native) {
    DWORD attributes = ::GetFileAttributesA(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    std::string parent = win32::ParentFolder(native);
    if (parent != native && parent != "." && parent.size() < native.size() && !MakeNativeDirectory(parent)) return false;
    return ::CreateDirectoryA(native.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

}  // namespace win32

bool MakeDirectory(const std::string& dosPath) { return win32::MakeNativeDirectory(NativePath(dosPath)); }

common::NativeFile common::NativeFileOf(const std::string& dosPath) {
    std::string native = NativePath(dosPath);
    std::string folder = win32::ParentFolder(native);
    return NativeFile{std::move(native), std::move(folder)};
}

bool common::NativeFileExists(const std::string& nativePath) {
    return ::GetFileAttributesA(nativePath.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int common::WaitForFilesInTurns(const std::string& nativeFolder, Turns& turns) {
    // A look costs far less than opening a change notification, and callers
    // often look with no time to wait at all.
    if (turns.LookFromHere()) return turns.Current();
    HANDLE change = INVALID_HANDLE_VALUE;
    int found = Turns::kNotYet;
    while ((found = turns.Advance(Turns::Clock::now())) == Turns::kNotYet) {
        if (change == INVALID_HANDLE_VALUE) {
            change = ::FindFirstChangeNotificationA(nativeFolder.c_str(), FALSE, kChangeFilter);
            // Watching starts before this look, so a file created in between still wakes us.
            if (turns.LookFromHere()) {
                found = turns.Current();
                break;
            }
        }
        const DWORD ms = win32::MsUntil(turns.NextLook());
        if (change == INVALID_HANDLE_VALUE) {
            // The folder itself is missing: nothing to watch until it appears.
            ::Sleep(ms < kUnwatchedLookMs ? ms : kUnwatchedLookMs);
            continue;
        }
        const DWORD result = ::WaitForSingleObject(change, ms);
        if (result == WAIT_TIMEOUT) continue;  // nothing changed since the last look
        if (result == WAIT_OBJECT_0) {
            ::FindNextChangeNotification(change);
        } else {
            ::FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
        }
        if (turns.LookFromHere()) {
            found = turns.Current();
            break;
        }
    }
    if (change != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(change);
    return found;
}

}  // namespace plat
