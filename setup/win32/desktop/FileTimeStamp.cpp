// The time stamp search of the existing-file check: a find-first search for exactly the path that
// sees only files that are neither directories, hidden nor system files (read-only and archive
// files are seen), with the last-write time converted to local time and packed.
#include "setup/win32/desktop/Desktop.h"

#include "platform/FileTime.h"

namespace desktop {
namespace {
constexpr DWORD Invisible = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
} // namespace

std::optional<int32_t> FindFileTimeStamp(const std::string& path) {
    // Wildcards would make the search match other names than the one asked for.
    if (path.find_first_of("*?") != std::string::npos) return std::nullopt;
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(search);
    if (data.dwFileAttributes & Invisible) return std::nullopt;

    FILETIME local{};
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local)) return std::nullopt;
    WORD date = 0, time = 0;
    if (FileTimeToDosDateTime(&local, &date, &time))
        return static_cast<int32_t>((static_cast<uint32_t>(date) << 16) | time);
    // Outside the packed range: before 1980 or after 2107.
    SYSTEMTIME parts{};
    if (!FileTimeToSystemTime(&local, &parts)) return std::nullopt;
    return parts.wYear < 1980 ? MinPackedDateTime : MaxPackedDateTime;
}

} // namespace desktop
