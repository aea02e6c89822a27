// Win32 last-write times through the DOS date-time calls: a find-first search and
// FileTimeToLocalFileTime/FileTimeToDosDateTime to read, DosDateTimeToFileTime,
// LocalFileTimeToFileTime and SetFileTime (last-write time only) to set.
#include "platform/files/FileTime.h"

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

namespace {
bool PackedToUtc(int32_t packed, FILETIME& utc) {
    auto value = static_cast<uint32_t>(packed);
    FILETIME local{};
    return DosDateTimeToFileTime(static_cast<WORD>(value >> 16), static_cast<WORD>(value), &local) &&
           LocalFileTimeToFileTime(&local, &utc);
}
} // namespace

bool SetFileDateTime(TFileStream& file, int32_t packed) {
    FILETIME utc{};
    if (!PackedToUtc(packed, utc)) return false;
    return SetFileTime(reinterpret_cast<HANDLE>(file.Handle()), nullptr, nullptr, &utc) != 0;
}

bool SetFileDateTimeAndAttributes(TFileStream& file, int32_t packed, int32_t attributes) {
    // Zero times leave the file's times as they are; zero attributes would do the same with the
    // attributes, which "none" means normal here.
    FILE_BASIC_INFO info{};
    FILETIME utc{};
    const bool timed = PackedToUtc(packed, utc);
    if (timed)
        info.LastWriteTime.QuadPart =
            static_cast<LONGLONG>(uint64_t(utc.dwHighDateTime) << 32 | utc.dwLowDateTime);
    info.FileAttributes = attributes != 0 ? static_cast<DWORD>(attributes) : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(reinterpret_cast<HANDLE>(file.Handle()), FileBasicInfo, &info,
                                      sizeof info) != 0 &&
           timed;
}
