// The formats come from the system in UTF-16, so that a locale whose names or separators are outside
// the ANSI code page (a Japanese date's 年, a Russian month) arrives whole.
#include "setup/win32/desktop/Win32Locale.h"

#include "platform/text/NumberText.h"
#include "platform/win32/WideText.h"

#include <windows.h>

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

// The date in the short date format or the time in the long time format; empty when the system
// cannot format it (a date before 1601).
std::string Formatted(bool date, const SYSTEMTIME& parts) {
    wchar_t buffer[128] = {};
    const int length = date
                           ? GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &parts, nullptr, buffer, 128)
                           : GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &parts, nullptr, buffer, 128);
    return length > 1 ? WideToUtf8(std::wstring_view(buffer, static_cast<size_t>(length - 1)))
                      : std::string();
}

} // namespace

void TWin32Locale::CurrentDate(int& year, int& month, int& day) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    year = now.wYear;
    month = now.wMonth;
    day = now.wDay;
}

std::string TWin32Locale::FormatShortDate(int year, int month, int day) {
    const std::string text = Formatted(true, Parts(year, month, day, 0, 0, 0));
    if (!text.empty()) return text;
    return ZeroPaddedDecimal(year, 4) + "-" + ZeroPaddedDecimal(month, 2) + "-" + ZeroPaddedDecimal(day, 2);
}

std::string TWin32Locale::FormatLongTime(int hour, int minute, int second) {
    const std::string text = Formatted(false, Parts(2000, 1, 1, hour, minute, second));
    if (!text.empty()) return text;
    return ZeroPaddedDecimal(hour, 2) + ":" + ZeroPaddedDecimal(minute, 2) + ":" +
           ZeroPaddedDecimal(second, 2);
}
