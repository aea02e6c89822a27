// Win32 file streams over HANDLEs. Files are created with no sharing for writing, as the
// expansion writes each target exclusively. Paths are opened in their extended form, so that a file
// below a folder longer than MAX_PATH opens too.
#include "platform/files/FileStream.h"

#include "platform/Exception.h"
#include "platform/win32/FinalPath.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WideText.h"

#include <windows.h>

namespace {
HANDLE H(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

std::string SystemError() {
    return LastSystemMessage(true);
}

[[noreturn]] void CannotCreate(const std::string& path, const std::string& reason) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + reason);
}

// operation: "read", "write" or "seek".
[[noreturn]] void StreamFailed(const char* operation, const std::string& path) {
    throw EStreamError(std::string("Stream ") + operation + " error: " + path + ": " + SystemError());
}
} // namespace

std::unique_ptr<TFileStream> TFileStream::Opened(void* handle, const std::string& path) {
    std::unique_ptr<TFileStream> file(new TFileStream(reinterpret_cast<intptr_t>(handle), path, true));
    // Known without asking: under Wine asking fetches the file's descriptor from the server on
    // this thread, which for a member's file the first write on the writer's thread does anyway.
    file->KnownPosition = 0;
    return file;
}

std::unique_ptr<TFileStream> TFileStream::OpenRead(const std::string& path) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw EFOpenError("Cannot open file \"" + path + "\". " + SystemError());
    return Opened(h, path);
}

std::unique_ptr<TFileStream> TFileStream::OpenReadLocked(const std::string& path) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw EFOpenError("Cannot open file \"" + path + "\". " + SystemError());
    return Opened(h, path);
}

std::unique_ptr<TFileStream> TFileStream::Create(const std::string& path) {
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) CannotCreate(path, SystemError());
    return Opened(h, path);
}

std::unique_ptr<TFileStream> TFileStream::CreateNoLink(const std::string& path) {
    // The link itself is opened, never its target; the file is emptied only once it is known to
    // be an ordinary file of its own, reached by the path given and no other. A file this call
    // made through a linked folder goes again at once.
    const std::wstring wide = WidePath(path);
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) CannotCreate(path, SystemError());
    const bool made = GetLastError() != ERROR_ALREADY_EXISTS;
    std::unique_ptr<TFileStream> file = Opened(h, path);
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(h, &information)) CannotCreate(path, SystemError());
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) || information.nNumberOfLinks > 1)
        CannotCreate(path, "It is a link to another file.");
    if (!FinalPathIs(h, wide)) {
        if (made) {
            FILE_DISPOSITION_INFO remove{TRUE};
            SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove);
        }
        CannotCreate(path, "A folder of its path is a link to another place.");
    }
    if (!SetEndOfFile(h)) CannotCreate(path, SystemError());
    return file;
}

std::unique_ptr<TFileStream> TFileStream::CreateNew(const std::string& path) {
    // DELETE access lets the file be moved over its target through this handle (MoveOpenFileReplacing).
    HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                           CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE &&
        (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS))
        return nullptr;
    if (h == INVALID_HANDLE_VALUE) CannotCreate(path, SystemError());
    return Opened(h, path);
}

TFileStream::~TFileStream() {
    Close();
}

void TFileStream::Close() {
    if (Owned && H(NativeHandle) != INVALID_HANDLE_VALUE) CloseHandle(H(NativeHandle));
    NativeHandle = reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE);
    KnownPosition = -1;
}

int64_t TFileStream::Size() const {
    // A handle's type never changes: asked once (under Wine each asking costs a system call).
    if (DiskFile < 0) DiskFile = GetFileType(H(NativeHandle)) == FILE_TYPE_DISK ? 1 : 0;
    LARGE_INTEGER size{};
    if (!DiskFile || !GetFileSizeEx(H(NativeHandle), &size)) return Position();
    return size.QuadPart;
}

// The position of a file the stream owns moves only through the stream, which keeps it: asking the
// system costs two system calls under Wine, and archives are read with many small seeks.
int64_t TFileStream::Position() const {
    if (KnownPosition >= 0) return KnownPosition;
    LARGE_INTEGER zero{}, pos{};
    if (!SetFilePointerEx(H(NativeHandle), zero, &pos, FILE_CURRENT)) return 0;
    if (Owned) KnownPosition = pos.QuadPart;
    return pos.QuadPart;
}

int32_t TFileStream::Read(void* buffer, int32_t count) {
    const int64_t start = KnownPosition;
    KnownPosition = -1; // unknown until the reads succeed
    int32_t total = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (total < count) {
        DWORD n = 0;
        if (!ReadFile(H(NativeHandle), out + total, static_cast<DWORD>(count - total), &n, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE) break;
            StreamFailed("read", FilePath);
        }
        if (n == 0) break;
        total += static_cast<int32_t>(n);
    }
    if (start >= 0) KnownPosition = start + total;
    return total;
}

void TFileStream::Write(const void* buffer, int32_t count) {
    const int64_t start = KnownPosition;
    KnownPosition = -1;
    const auto* in = static_cast<const uint8_t*>(buffer);
    const int32_t total = count;
    while (count > 0) {
        DWORD n = 0;
        if (!WriteFile(H(NativeHandle), in, static_cast<DWORD>(count), &n, nullptr) || n == 0)
            StreamFailed("write", FilePath);
        in += n;
        count -= static_cast<int32_t>(n);
    }
    if (start >= 0) KnownPosition = start + (total > 0 ? total : 0);
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER target{}, pos{};
    target.QuadPart = ResolveSeek(origin == TSeekOrigin::Current ? Position() : 0,
                                  origin == TSeekOrigin::End ? Size() : 0, offset, origin);
    KnownPosition = -1;
    if (!SetFilePointerEx(H(NativeHandle), target, &pos, FILE_BEGIN)) StreamFailed("seek", FilePath);
    if (Owned) KnownPosition = pos.QuadPart;
    return pos.QuadPart;
}
