// File time stamps in the packed date-time form (date in the high 16 bits, time in the low 16
// bits, local time, two-second resolution) that archive members carry, so that an installed
// file and a member can be compared as two unsigned 32-bit numbers (the date in the high bits
// makes the numeric order the order in time).
#pragma once

#include "platform/Exception.h"

#include <cstdint>
#include <string>

class TFiles;

// The time stamp of a file cannot be read (no such file, or a hidden or system file).
class ETimeStampError : public Exception {
    using Exception::Exception;
};

// The packed last-write time of the file at exactly path, seen only when it is neither a
// directory, hidden nor a system file; raises ETimeStampError otherwise.
int32_t GetFileTimeStamp(TFiles& files, const std::string& path);
