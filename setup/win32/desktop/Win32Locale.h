// Today's date and the user's locale formats: the short date and the long time format.
#pragma once

#include "setup/FormPorts.h"

class TWin32Locale : public TLocale {
public:
    void CurrentDate(int& year, int& month, int& day) override;
    // A date before 1601, which the system does not format, is written in ISO form (1500-03-04).
    std::string FormatShortDate(int year, int month, int day) override;
    std::string FormatLongTime(int hour, int minute, int second) override;
};
