// The user's locale formats for a date (short date format) and a time (long time format).
#include "setup/win32/desktop/Desktop.h"

#include "platform/NumberText.h"

namespace desktop {
namespace {
SYSTEMTIME Parts(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME parts{};
    parts.wYear = static_cast<WORD>(year);
    parts.wMonth = static_cast<WORD>(month);
    parts.wDay = static_cast<WORD>(day);
    parts.wHour = static_cast<WORD>(hour);
    parts.wMinute = static_cast<WORD>(minute);
    parts.wSecond = static_cast<WORD>(second);
    return parts;
}
} // namespace

std::string FormatShortDate(int year, int month, int day) {
    const SYSTEMTIME parts = Parts(year, month, day, 0, 0, 0);
    char buffer[128] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &parts, nullptr, buffer, sizeof buffer) > 0)
        return buffer;
    // The system formats no date before 1601: the date is then written in ISO form.
    return ZeroPaddedDecimal(year, 4) + "-" + ZeroPaddedDecimal(month, 2) + "-" + ZeroPaddedDecimal(day, 2);
}

std::string FormatLongTime(int hour, int minute, int second) {
    const SYSTEMTIME parts = Parts(2000, 1, 1, hour, minute, second);
    char buffer[128] = {};
    if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &parts, nullptr, buffer, sizeof buffer) > 0) return buffer;
    return ZeroPaddedDecimal(hour, 2) + ":" + ZeroPaddedDecimal(minute, 2) + ":" +
           ZeroPaddedDecimal(second, 2);
}

} // namespace desktop
