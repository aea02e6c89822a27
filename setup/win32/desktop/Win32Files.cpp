// The platform's file calls turn their failures into the exceptions the wizard expects; the rest
// are wide calls of their own.
#include "setup/win32/desktop/Win32Files.h"

#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/HeldRetry.h"
#include "platform/Yield.h"
#include "platform/win32/WideText.h"
#include "setup/record/TextLine.h"
#include "setup/win32/desktop/ProfileFile.h"

#include <windows.h>

namespace {
constexpr int32_t Invisible = faDirectory | faHidden | faSysFile;
} // namespace

bool TWin32Files::MakeDirectory(const std::string& path) {
    return CreateDirectoryAt(path);
}

bool TWin32Files::WritePrivateProfile(const std::string& section, const std::string& key,
                                      const std::string& value, const std::string& fileName) {
    return WriteProfileValue(section, key, value, fileName);
}

std::unique_ptr<TStream> TWin32Files::OpenFileRead(const std::string& path) {
    return TFileStream::OpenRead(path);
}

std::string TWin32Files::ReadFirstLine(const std::string& path) {
    try {
        std::unique_ptr<TFileStream> file = TFileStream::OpenRead(path);
        return ::ReadFirstLine(*file);
    } catch (const Exception& e) {
        throw EInOutError(e.Message);
    }
}

bool TWin32Files::FileExists(const std::string& path) {
    return ::FileExists(path);
}

bool TWin32Files::DirectoryExists(const std::string& path) {
    return ::DirectoryExists(path);
}

bool TWin32Files::IsReparsePoint(const std::string& path) {
    // Without its trailing backslash, so that the entry itself is asked about, not what it leads to.
    std::string entry = path;
    while (entry.size() > 3 && (entry.back() == '\\' || entry.back() == '/')) entry.pop_back();
    const int32_t attributes = GetAttributes(entry);
    return attributes != -1 && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool TWin32Files::WriteWholeFile(const std::string& path, const std::string& bytes) {
    try {
        TFileStream::Create(path)->Write(bytes.data(), static_cast<int32_t>(bytes.size()));
        return true;
    } catch (const Exception&) {
        return false;
    }
}

TRemoveResult TWin32Files::RemoveFile(const std::string& path) {
    // Installed files keep the archive's attributes, the read-only bit among them.
    const int32_t attributes = GetAttributes(path);
    if (attributes != -1 && (attributes & faReadOnly)) SetAttributes(path, attributes & ~faReadOnly);
    THeldRetry retry(SleepMilliseconds);
    for (;;) {
        if (DeleteFileAt(path)) return TRemoveResult::Removed;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return TRemoveResult::Missing;
        if (!LastErrorIsHeld()) return TRemoveResult::Failed;
        if (!retry.WaitAgain()) return TRemoveResult::InUse;
    }
}

bool TWin32Files::ScheduleAtRestart(const std::string& from, const std::string& to) {
    // Only the file to delete goes without a target; a file replacing another replaces it whole.
    if (to.empty()) return MoveFileExW(WidePath(from).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
    return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(),
                       MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != 0;
}

bool TWin32Files::RemoveEmptyDirectory(const std::string& path) {
    return RemoveDirectoryW(WidePath(path).c_str()) != 0;
}

std::optional<int32_t> TWin32Files::FindFileTimeStamp(const std::string& path) {
    // Wildcards would make the search match other names than the one asked for.
    if (path.find_first_of("*?") != std::string::npos) return std::nullopt;
    const int32_t attributes = GetAttributes(path);
    if (attributes == -1 || (attributes & Invisible)) return std::nullopt;
    return GetFileDateTime(path);
}
