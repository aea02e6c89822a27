// Date-time numbers count days from 30 December 1899; the integral part is the day (truncated
// toward zero) and the absolute fraction the time of day, rounded to the millisecond. The day
// number is converted with the proleptic Gregorian calendar on days since 1 March of year 0.
#include "setup/record/DateTimeText.h"

#include "setup/FormPorts.h"
#include "setup/record/KoParser.h"

#include <cmath>
#include <cstdint>

namespace {

constexpr int64_t MSecsPerDay = 24LL * 60 * 60 * 1000;
// Day numbers of 1 January 0001 and 31 December 9999 relative to 30 December 1899.
constexpr int64_t FirstDay = -693593;
constexpr int64_t LastDay = 2958465;

// Days since 1 January 1970 to a civil date.
void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

} // namespace

TDateTimeParts DecodeDateTime(double value) {
    if (!std::isfinite(value) || value < static_cast<double>(FirstDay) - 1 ||
        value > static_cast<double>(LastDay) + 1)
        throw EConvertError("Invalid date-time value");
    // The value is in range, so the conversions truncate and round exactly as std::trunc and
    // std::llround would (half away from zero), without bringing the C library's code along.
    int64_t days = static_cast<int64_t>(value);
    const double fraction = std::fabs(value - static_cast<double>(days)) * MSecsPerDay;
    int64_t ms = static_cast<int64_t>(fraction);
    if (fraction - static_cast<double>(ms) >= 0.5) ++ms;
    if (ms >= MSecsPerDay) {
        ms -= MSecsPerDay;
        ++days;
    }
    if (days < FirstDay || days > LastDay) throw EConvertError("Invalid date-time value");

    TDateTimeParts parts;
    // 30 December 1899 is 25569 days before 1 January 1970.
    CivilFromDays(days - 25569, parts.Year, parts.Month, parts.Day);
    parts.Hour = static_cast<int>(ms / 3600000);
    parts.Minute = static_cast<int>(ms / 60000 % 60);
    parts.Second = static_cast<int>(ms / 1000 % 60);
    parts.Millisecond = static_cast<int>(ms % 1000);
    return parts;
}

std::string DateTimeToDisplayText(TLocale& locale, double value) {
    const TDateTimeParts p = DecodeDateTime(value);
    std::string text = locale.FormatShortDate(p.Year, p.Month, p.Day);
    if (p.Hour != 0 || p.Minute != 0 || p.Second != 0) {
        text += ' ';
        text += locale.FormatLongTime(p.Hour, p.Minute, p.Second);
    }
    return text;
}
