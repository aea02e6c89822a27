// Turning a date-time number (days since 30 December 1899, time of day as the fraction) into its
// calendar parts and into display text: the locale's short date, a blank and the locale's long
// time, with the time left out when the value falls exactly on midnight.
#pragma once

#include <string>

class TLocale;

struct TDateTimeParts {
    int Year = 0, Month = 0, Day = 0;
    int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

// The calendar parts of a date-time number, the time rounded to the millisecond. Raises
// EConvertError for values outside the years 1 to 9999 (and for NaN or infinity).
TDateTimeParts DecodeDateTime(double value);

// Display text of a date-time number through the locale's formats.
std::string DateTimeToDisplayText(TLocale& locale, double value);
