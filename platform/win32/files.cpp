// Files on Windows: CreateFile with the share mode the caller asks for (as
// CFile does), CR LF text mode, and waiting for a file to appear through
// change notifications on its folder.
#include "win32_internal.h"

namespace plat {
namespace {

constexpr size_t kReadChunk = 4096;

void Report(FileError* error, FileError value) {
    if (error != nullptr) *error = value;
}

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
    std::string buffer;
    size_t position = 0;
    bool atEnd = false;

    // Keeps at least `wanted` unread bytes in the buffer while the file has them.
    size_t Available(size_t wanted) {
        while (buffer.size() - position < wanted && !atEnd) {
            buffer.erase(0, position);
            position = 0;
            size_t had = buffer.size();
            buffer.resize(had + kReadChunk);
            DWORD got = 0;
            if (!::ReadFile(handle, buffer.data() + had, kReadChunk, &got, nullptr) || got == 0) atEnd = true;
            buffer.resize(had + got);
        }
        return buffer.size() - position;
    }

    // Consumes a line end at the read position: LF, and in text mode CR LF.
    bool SkipLineEnd() {
        if (Available(1) == 0) return false;
        if (buffer[position] == '\n') {
            ++position;
            return true;
        }
        if (text && buffer[position] == '\r' && Available(2) >= 2 && buffer[position + 1] == '\n') {
            position += 2;
            return true;
        }
        return false;
    }

    void Reset() {
        buffer.clear();
        position = 0;
        atEnd = false;
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
    line.clear();
    Impl& f = *impl_;
    if (f.handle == INVALID_HANDLE_VALUE || maxLength == 0 || f.Available(1) == 0) return false;
    for (;;) {
        if (f.SkipLineEnd()) return true;
        if (f.Available(1) == 0) return true;  // a last line without line end
        if (line.size() == maxLength) return true;
        line += f.buffer[f.position++];
    }
}

bool File::Write(const std::string& text) {
    if (impl_->handle == INVALID_HANDLE_VALUE) return false;
    std::string converted;
    if (impl_->text) {
        converted.reserve(text.size() + text.size() / 16 + 2);
        for (char c : text) {
            if (c == '\n') converted += '\r';
            converted += c;
        }
    }
    const std::string& bytes = impl_->text ? converted : text;
    bool ok = WriteAll(impl_->handle, bytes.data(), bytes.size());
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

bool WaitForPath(const std::string& dosPath, uint32_t ms) {
    std::string native = NativePath(dosPath);
    auto exists = [&] { return ::GetFileAttributesA(native.c_str()) != INVALID_FILE_ATTRIBUTES; };
    win32::Deadline deadline(ms);
    HANDLE change = INVALID_HANDLE_VALUE;
    bool found = false;
    for (;;) {
        // Watching starts before each look, so a file created in between still wakes us.
        if (change == INVALID_HANDLE_VALUE) {
            change = ::FindFirstChangeNotificationA(win32::ParentFolder(native).c_str(), FALSE,
                                                    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                                        FILE_NOTIFY_CHANGE_LAST_WRITE);
        }
        if ((found = exists()) || deadline.Passed()) break;
        if (change == INVALID_HANDLE_VALUE) {
            // The folder itself is missing: nothing to watch until it appears.
            DWORD left = deadline.Left();
            ::Sleep(left < 20 ? left : 20);
            continue;
        }
        DWORD result = ::WaitForSingleObject(change, deadline.Left());
        if (result == WAIT_OBJECT_0) {
            ::FindNextChangeNotification(change);
        } else if (result != WAIT_TIMEOUT) {
            ::FindCloseChangeNotification(change);
            change = INVALID_HANDLE_VALUE;
        }
    }
    if (change != INVALID_HANDLE_VALUE) ::FindCloseChangeNotification(change);
    return found;
}

}  // namespace plat
