// Last-write times in the archive's packed form: a 32-bit local time with the date in the high
// 16 bits (day, month, years since 1980) and the time in the low 16 bits (two-second units,
// minutes, hours). The packing itself is portable; reading and setting a file's time is done by
// the platform, in local time as the Win32 DOS date-time calls do it.
#pragma once

#include "platform/files/FileStream.h"

#include <cstdint>
#include <optional>
#include <string>

struct TDateTimeFields {
    int Year = 1980; // 1980..2107
    int Month = 1;   // 1..12
    int Day = 1;     // 1..31
    int Hour = 0;    // 0..23
    int Minute = 0;  // 0..59
    int Second = 0;  // 0..59, stored in two-second units (an odd second is rounded down)
};

// The earliest and the latest time the packed form holds.
constexpr int32_t MinPackedDateTime = 0x00210000;           // 1980-01-01 00:00:00
constexpr int32_t MaxPackedDateTime = int32_t(0xFF9FBF7Du); // 2107-12-31 23:59:58

// Packs the fields; times outside 1980..2107 are clamped to the nearest end of the range.
int32_t PackDateTime(const TDateTimeFields& fields);
// Unpacks a value; nullopt when a field is out of its range (month 0, hour 24, ...).
std::optional<TDateTimeFields> UnpackDateTime(int32_t packed);

// The last-write time of a file as packed local time (clamped to the packed range), or nullopt
// when the file cannot be queried.
std::optional<int32_t> GetFileDateTime(const std::string& path);
// Sets only the last-write time of an open file; false when the value is not a valid packed
// time or the system refuses.
bool SetFileDateTime(TFileStream& file, int32_t packed);
// Sets the last-write time and the attributes (faXxx; 0 for none) of an open file, in one request
// where the system has one; an invalid packed time leaves the time as it is. False when either
// could not be set.
bool SetFileDateTimeAndAttributes(TFileStream& file, int32_t packed, int32_t attributes);
