// POSIX last-write times: packed local time <-> st_mtime through the C library's local-time
// conversions, so the packed value means the same wall-clock time as on Windows.
#include "platform/files/FileTime.h"
#include "platform/files/FileSystem.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

std::optional<int32_t> GetFileDateTime(const std::string& path) {
    struct stat info {};
    if (::stat(NativePath(path).c_str(), &info) != 0) return std::nullopt;
    std::tm local{};
    if (!::localtime_r(&info.st_mtime, &local)) return std::nullopt;
    TDateTimeFields f;
    f.Year = local.tm_year + 1900;
    f.Month = local.tm_mon + 1;
    f.Day = local.tm_mday;
    f.Hour = local.tm_hour;
    f.Minute = local.tm_min;
    f.Second = local.tm_sec > 59 ? 59 : local.tm_sec;
    return PackDateTime(f);
}

bool SetFileDateTime(TFileStream& file, int32_t packed) {
    auto f = UnpackDateTime(packed);
    if (!f) return false;
    std::tm local{};
    local.tm_year = f->Year - 1900;
    local.tm_mon = f->Month - 1;
    local.tm_mday = f->Day;
    local.tm_hour = f->Hour;
    local.tm_min = f->Minute;
    local.tm_sec = f->Second;
    local.tm_isdst = -1;
    std::time_t t = std::mktime(&local);
    if (t == static_cast<std::time_t>(-1)) return false;
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = t;
    return ::futimens(static_cast<int>(file.Handle()), times) == 0;
}

bool SetFileDateTimeAndAttributes(TFileStream& file, int32_t packed, int32_t attributes) {
    const bool timed = SetFileDateTime(file, packed);
    return SetAttributes(file, attributes) && timed;
}
