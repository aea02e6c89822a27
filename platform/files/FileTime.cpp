// Packing and unpacking of the packed local date-time; shared by both platforms.
#include "platform/files/FileTime.h"

int32_t PackDateTime(const TDateTimeFields& f) {
    if (f.Year < 1980) return MinPackedDateTime;
    if (f.Year > 2107) return MaxPackedDateTime;
    auto date = static_cast<uint32_t>((f.Year - 1980) << 9 | f.Month << 5 | f.Day);
    auto time = static_cast<uint32_t>(f.Hour << 11 | f.Minute << 5 | f.Second / 2);
    return static_cast<int32_t>(date << 16 | time);
}

std::optional<TDateTimeFields> UnpackDateTime(int32_t packed) {
    auto v = static_cast<uint32_t>(packed);
    TDateTimeFields f;
    f.Year = static_cast<int>(v >> 25) + 1980;
    f.Month = static_cast<int>(v >> 21 & 0x0F);
    f.Day = static_cast<int>(v >> 16 & 0x1F);
    f.Hour = static_cast<int>(v >> 11 & 0x1F);
    f.Minute = static_cast<int>(v >> 5 & 0x3F);
    f.Second = static_cast<int>(v & 0x1F) * 2;
    if (f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Hour > 23 || f.Minute > 59 || f.Second > 59)
        return std::nullopt;
    return f;
}
