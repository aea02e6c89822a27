// Win32 last-write times through the DOS date-time calls: a find-first search and
// FileTimeToLocalFileTime/FileTimeToDosDateTime to read, DosDateTimeToFileTime,
// LocalFileTimeToFileTime and SetFileTime (last-write time only) to set.
#include "platform/FileTime.h"

#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"

std::optional<int32_t> GetFileDateTime(const std::string& path) {
    WIN32_FIND_DATAW found{};
    if (!TFindHandle(FindFirstFileW(WidePath(path).c_str(), &found))) return std::nullopt;
    FILETIME local{};
    if (!FileTimeToLocalFileTime(&found.ftLastWriteTime, &local)) return std::nullopt;
    WORD date = 0, time = 0;
    if (FileTimeToDosDateTime(&local, &date, &time)) return static_cast<int32_t>(uint32_t(date) << 16 | time);
    // Outside the packed range: clamp to its nearer end.
    SYSTEMTIME system{};
    if (!FileTimeToSystemTime(&local, &system)) return std::nullopt;
    return system.wYear < 1980 ? MinPackedDateTime : MaxPackedDateTime;
}

bool SetFileDateTime(TFileStream& file, int32_t packed) {
    auto value = static_cast<uint32_t>(packed);
    FILETIME local{}, utc{};
    if (!DosDateTimeToFileTime(static_cast<WORD>(value >> 16), static_cast<WORD>(value), &local))
        return false;
    if (!LocalFileTimeToFileTime(&local, &utc)) return false;
    return SetFileTime(reinterpret_cast<HANDLE>(file.Handle()), nullptr, nullptr, &utc) != 0;
}
