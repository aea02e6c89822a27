// The platform's file calls turn their failures into the exceptions the wizard expects; the rest
// are wide calls of their own.
#include "setup/win32/desktop/Win32Files.h"

#include "platform/Exception.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "platform/files/HeldRetry.h"
#include "platform/process/Yield.h"
#include "platform/win32/FinalPath.h"
#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/PathText.h"
#include "setup/record/TextLine.h"
#include "setup/win32/desktop/FolderAccess.h"
#include "setup/win32/desktop/ProfileFile.h"

#include <windows.h>

namespace {
constexpr int32_t Invisible = faDirectory | faHidden | faSysFile;
constexpr int NewNameAttempts = 8;

// The file or folder at path itself, never what a link there leads to.
THandle OpenEntry(const std::string& path, DWORD access,
                  DWORD sharing = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE) {
    return THandle(CreateFileW(WidePath(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                               FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

TRemoveResult RemoveFailure(DWORD error) {
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TRemoveResult::Missing;
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) return TRemoveResult::InUse;
    return TRemoveResult::Failed;
}

// FileDispositionInfoEx and its flags (Windows 10 1709), which the headers give only to programs
// built for Windows 10; the programs here start on Windows 7.
constexpr auto DispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
constexpr DWORD DispositionDelete = 0x1, DispositionPosixSemantics = 0x2, DispositionIgnoreReadOnly = 0x10;
struct TDispositionEx {
    DWORD Flags;
};

// Deletes what the handle holds. POSIX semantics take the name away at once, even while others
// hold the file open; where the system has no such request (before Windows 10 1709, and Wine),
// the classic one, which needs the read-only bit cleared first.
bool DeleteThroughHandle(HANDLE handle, FILE_BASIC_INFO basic) {
    TDispositionEx extended{DispositionDelete | DispositionPosixSemantics | DispositionIgnoreReadOnly};
    if (SetFileInformationByHandle(handle, DispositionInfoEx, &extended, sizeof extended)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PARAMETER && error != ERROR_NOT_SUPPORTED && error != ERROR_INVALID_FUNCTION &&
        error != ERROR_CALL_NOT_IMPLEMENTED)
        return false;
    const DWORD attributes = basic.FileAttributes;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        // Zero would mean "unchanged", as the zero times do.
        basic.FileAttributes = attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
        if (basic.FileAttributes == 0) basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        basic.CreationTime.QuadPart = basic.LastAccessTime.QuadPart = 0;
        basic.LastWriteTime.QuadPart = basic.ChangeTime.QuadPart = 0;
        if (!SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic)) return false;
    }
    FILE_DISPOSITION_INFO classic{TRUE};
    if (SetFileInformationByHandle(handle, FileDispositionInfo, &classic, sizeof classic)) return true;
    const DWORD refused = GetLastError();
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        basic.FileAttributes = attributes;
        SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic);
    }
    SetLastError(refused);
    return false;
}
} // namespace

bool TWin32Files::MakeDirectory(const std::string& path) {
    return CreateDirectoryAt(path);
}

bool TWin32Files::WritePrivateProfile(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& fileName) {
    return WriteProfileValue(section, key, value, fileName);
}

template <class TPort>
std::unique_ptr<TStream> TWin32FileRemoval<TPort>::OpenFileRead(const std::string& path) {
    return TFileStream::OpenReadLocked(path);
}

std::string TWin32Files::ReadFirstLine(const std::string& path) {
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenReadLocked(path);
        return ::ReadFirstLine(*file);
    } catch (const EInOutError& e) {
        throw EInOutError(path + ": " + e.Message);
    } catch (const Exception& e) {
        throw EInOutError(e.Message);
    }
}

template <class TPort>
bool TWin32FileRemoval<TPort>::FileExists(const std::string& path) {
    return ::FileExists(path);
}

template <class TPort>
bool TWin32FileRemoval<TPort>::DirectoryExists(const std::string& path) {
    return ::DirectoryExists(path);
}

template <class TPort>
bool TWin32FileRemoval<TPort>::IsReparsePoint(const std::string& path) {
    // The entry itself is opened, not what it leads to; what cannot be opened is no link. A
    // final path other than path means a link at some level of it (Wine 8 shows a Unix symbolic
    // link only that way, without the reparse attribute).
    const THandle entry = OpenEntry(path, FILE_READ_ATTRIBUTES);
    return entry && (IsReparseHandle(entry.get()) || !FinalPathIs(entry.get(), WidePath(path)));
}

TFolderHold TWin32Files::HoldFolder(const std::string& path) {
    THandle folder = OpenEntry(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!folder) return {};
    if (IsReparseHandle(folder.get()) || !FinalPathIs(folder.get(), WidePath(path)))
        return {TFolderCheck::Link};
    return {TFolderCheck::Held, TKeepAlive(folder.release(), [](void* handle) { CloseHandle(handle); })};
}

bool TWin32Files::WriteWholeFile(const std::string& path, const std::string& bytes) {
    // A new file beside the target, moved over it once whole: whatever lies at the target's name,
    // a link among it, is replaced, never written through. The folder is held open, unshared for
    // deletion, so that it stays the folder checked until the move.
    const TFolderHold folder = HoldFolder(ExtractFileDir(path));
    if (folder.Check != TFolderCheck::Held) return false;
    try {
        std::unique_ptr<TFileStream> file;
        for (int attempt = 0; attempt < NewNameAttempts && !file; ++attempt)
            file = TFileStream::CreateNew(path + ".new" + (attempt ? std::to_string(attempt) : ""));
        if (!file) return false;
        file->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        if (MoveOpenFileReplacing(*file, path)) return true;
        const std::string pending = file->Path();
        file.reset();
        DeleteFileAt(pending);
        return false;
    } catch (const Exception&) {
        return false;
    }
}

template <class TPort>
TRemoveResult TWin32FileRemoval<TPort>::RemoveFile(const std::string& path) {
    return Remove(path, nullptr);
}

template <class TPort>
TRemoveResult
TWin32FileRemoval<TPort>::RemoveFileIfUnchanged(const std::string& path,
                                                const std::function<bool(TStream& bytes)>& unchanged) {
    return Remove(path, &unchanged);
}

template <class TPort>
TRemoveResult TWin32FileRemoval<TPort>::Remove(const std::string& path,
                                               const std::function<bool(TStream&)>* unchanged) {
    const std::wstring wide = WidePath(path);
    // Reading the bytes to check them shuts writers out until the handle deletes the file.
    const DWORD access =
        DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | (unchanged ? FILE_READ_DATA : 0);
    const DWORD sharing = unchanged ? FILE_SHARE_READ | FILE_SHARE_DELETE
                                    : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // A file that another program holds for a moment (a scanner) is tried again on THeldRetry's
    // schedule; each try opens the entry afresh, so a link put there meanwhile is still refused.
    THeldRetry retry([](int milliseconds) { SleepMilliseconds(milliseconds); });
    for (;;) {
        const THandle file = OpenEntry(path, access, sharing);
        if (file) {
            if (IsReparseHandle(file.get()) || !FinalPathIs(file.get(), wide)) return TRemoveResult::Refused;
            FILE_BASIC_INFO basic{};
            if (!GetFileInformationByHandleEx(file.get(), FileBasicInfo, &basic, sizeof basic) ||
                (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                return TRemoveResult::Failed;
            if (unchanged) {
                const std::unique_ptr<TFileStream> bytes =
                    TFileStream::Borrow(reinterpret_cast<intptr_t>(file.get()), path);
                if (!(*unchanged)(*bytes)) return TRemoveResult::Changed;
            }
            if (DeleteThroughHandle(file.get(), basic)) return TRemoveResult::Removed;
        }
        const DWORD error = GetLastError();
        if (!LastErrorIsHeld()) return RemoveFailure(error);
        if (!retry.WaitAgain()) return TRemoveResult::InUse;
    }
}

template <class TPort>
bool TWin32FileRemoval<TPort>::ScheduleAtRestart(const std::string& from, const std::string& to) {
    // Only the file to delete goes without a target; a file replacing another replaces it whole.
    if (to.empty()) return MoveFileExW(WidePath(from).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

template <class TPort>
bool TWin32FileRemoval<TPort>::RemoveEmptyDirectory(const std::string& path) {
    const THandle folder = OpenEntry(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES);
    if (!folder || IsReparseHandle(folder.get()) || !FinalPathIs(folder.get(), WidePath(path))) return false;
    FILE_BASIC_INFO basic{};
    if (!GetFileInformationByHandleEx(folder.get(), FileBasicInfo, &basic, sizeof basic) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    // The system refuses to mark a folder that is not empty.
    return DeleteThroughHandle(folder.get(), basic);
}

bool TWin32Files::OthersCanChange(const std::string& folder, bool entries) {
    return OthersCanChangeFolder(folder, entries);
}

bool TWin32Files::ProtectFolder(const std::string& folder) {
    return ProtectFolderAccess(folder);
}

std::optional<int32_t> TWin32Files::FindFileTimeStamp(const std::string& path) {
    // Wildcards would make the search match other names than the one asked for.
    if (path.find_first_of("*?") != std::string::npos) return std::nullopt;
    const int32_t attributes = GetAttributes(path);
    if (attributes == -1 || (attributes & Invisible)) return std::nullopt;
    return GetFileDateTime(path);
}

template class TWin32FileRemoval<TUninstallFiles>;
template class TWin32FileRemoval<TFiles>;
