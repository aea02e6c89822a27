// Win32 file-system queries through the wide API, every path (UTF-8) in its extended form, so that
// no character is lost to a code page and a folder longer than MAX_PATH works.
#include "platform/files/FileSystem.h"

#include "platform/files/FileStream.h"
#include "platform/win32/Owned.h"
#include "platform/win32/SystemMessage.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <vector>

std::string NativePath(const std::string& path) {
    return path;
}

int32_t GetAttributes(const std::string& path) {
    DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    return attributes == INVALID_FILE_ATTRIBUTES ? -1 : static_cast<int32_t>(attributes);
}

bool SetAttributes(const std::string& path, int32_t attributes) {
    return SetFileAttributesW(WidePath(path).c_str(), static_cast<DWORD>(attributes)) != 0;
}

bool SetAttributes(TFileStream& file, int32_t attributes) {
    // Zero times leave the file's times as they are; zero attributes would do the same with the
    // attributes, which SetFileAttributes takes as "normal".
    FILE_BASIC_INFO info{};
    info.FileAttributes = attributes != 0 ? static_cast<DWORD>(attributes) : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(reinterpret_cast<HANDLE>(file.Handle()), FileBasicInfo, &info,
                                      sizeof info) != 0;
}

bool FileExists(const std::string& path) {
    int32_t attributes = GetAttributes(path);
    return attributes != -1 && (attributes & faDirectory) == 0;
}

bool DirectoryExists(const std::string& path) {
    int32_t attributes = GetAttributes(path);
    return attributes != -1 && (attributes & faDirectory) != 0;
}

bool CreateDirectoryAt(const std::string& path) {
    return CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0;
}

bool DeleteFileAt(const std::string& path) {
    return DeleteFileW(WidePath(path).c_str()) != 0;
}

// Device names (NUL, CON, COM1, ...) open as character devices, not as disk files. Only those
// names and paths in the device namespace (\\.\, \\?\) can be devices; any other path is not
// opened to find out, which would cost a look-up of a file that mostly does not exist yet.
bool IsDevice(const std::string& path) {
    const bool deviceNamespace = path.size() >= 4 && (path[0] == '\\' || path[0] == '/') &&
                                 (path[1] == '\\' || path[1] == '/') && (path[2] == '.' || path[2] == '?');
    const size_t name = path.find_last_of("\\/:");
    if (!deviceNamespace && !IsDosDeviceName(name == std::string::npos ? path : path.substr(name + 1)))
        return false;
    const THandle device(CreateFileW(WidePath(path).c_str(), 0,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return device && GetFileType(device.get()) != FILE_TYPE_DISK;
}

namespace {
// A move refuses to replace a read-only file: only then is the attribute cleared for a second try
// (a query before every move would cost a look-up of a target that mostly does not exist).
// Runs move; when it is refused and target is a read-only file, clears that attribute for a second
// try and restores it if that fails too. The system's error of the last try stays set.
template <typename TMove>
bool ReplacingReadOnly(const std::wstring& target, TMove move) {
    if (move()) return true;
    DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED) {
        const DWORD old = GetFileAttributesW(target.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && (old & FILE_ATTRIBUTE_READONLY) != 0 &&
            (old & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
            SetFileAttributesW(target.c_str(), old & ~DWORD(FILE_ATTRIBUTE_READONLY))) {
            if (move()) return true;
            error = GetLastError();
            SetFileAttributesW(target.c_str(), old);
        }
    }
    SetLastError(error);
    return false;
}
} // namespace

// The write through makes the call return only once the move is on the disk.
bool MoveFileReplacing(const std::string& source, const std::string& target) {
    const std::wstring from = WidePath(source), to = WidePath(target);
    return ReplacingReadOnly(to, [&] {
        return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
}

namespace {
// The request to move a file over target through its handle: FILE_RENAME_INFO with target's full
// path in the NT form ("\??\C:\dir\name", "\??\UNC\server\share\name"), which means the
// same whether or not the system converts the name first. Empty when no full path can be made.
std::vector<uint8_t> RenameRequest(const std::wstring& target) {
    if (target.empty()) return {};
    const wchar_t* wide = target.c_str();
    const DWORD size = GetFullPathNameW(wide, 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD written = GetFullPathNameW(wide, size, full.data(), nullptr);
    if (written == 0 || written >= size) return {};
    const wchar_t* rest = full.data();
    const wchar_t* prefix = L"\\??\\";
    if (written >= 4 && rest[0] == L'\\' && rest[1] == L'\\' && (rest[2] == L'?' || rest[2] == L'.') &&
        rest[3] == L'\\') {
        rest += 4;
    } else if (written >= 2 && rest[0] == L'\\' && rest[1] == L'\\') {
        rest += 2;
        prefix = L"\\??\\UNC\\";
    }
    const size_t prefixLength = std::wcslen(prefix),
                 restLength = written - static_cast<size_t>(rest - full.data());
    const auto nameBytes = static_cast<DWORD>((prefixLength + restLength) * sizeof(wchar_t));
    std::vector<uint8_t> request(sizeof(FILE_RENAME_INFO) + nameBytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(request.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = nameBytes;
    std::memcpy(info->FileName, prefix, prefixLength * sizeof(wchar_t));
    std::memcpy(info->FileName + prefixLength, rest, restLength * sizeof(wchar_t));
    return request;
}

bool RenameThroughHandle(HANDLE file, std::vector<uint8_t>& request) {
    return SetFileInformationByHandle(file, FileRenameInfo, request.data(),
                                      static_cast<DWORD>(request.size())) != 0;
}
} // namespace

// As MoveFileReplacing: a read-only target is made writable for a second try only when the move is
// refused. Where the system cannot move an open file at all, the file is closed and moved by name.
bool MoveOpenFileReplacing(TFileStream& file, const std::string& target) {
    const std::wstring wideTarget = WidePath(target);
    std::vector<uint8_t> request = RenameRequest(wideTarget);
    const HANDLE handle = reinterpret_cast<HANDLE>(file.Handle());
    if (!request.empty() &&
        ReplacingReadOnly(wideTarget, [&] { return RenameThroughHandle(handle, request); }))
        return true;
    const DWORD error = request.empty() ? ERROR_INVALID_NAME : GetLastError();
    if (error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
        error == ERROR_CALL_NOT_IMPLEMENTED || error == ERROR_INVALID_NAME) {
        file.Close();
        return MoveFileReplacing(file.Path(), target);
    }
    SetLastError(error);
    return false;
}

std::string SystemErrorText() {
    return LastSystemMessage(false);
}

bool LastErrorIsHeld() {
    const DWORD error = GetLastError();
    // Replacing or deleting a running program is refused as access denied.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED || error == ERROR_USER_MAPPED_FILE;
}

std::string OwnExecutablePath() {
    // The buffer grows until the path fits: a program below a long folder has a long path.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) return WideToUtf8(std::wstring_view(path.data(), length));
        path.resize(path.size() * 2);
    }
}
