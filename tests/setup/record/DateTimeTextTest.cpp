// Date-time numbers of the support record: calendar parts, rounding, range and display text.
#include "setup/record/DateTimeText.h"

#include "setup/record/KoParser.h"
#include "tests/setup/FakeControls.h"
#include "tests/setup/FakeDesktop.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

struct TDecodeCase {
    const char* Name;
    double Value;
    TDateTimeParts Parts;
};

// Test names show the case, not its bytes.
void PrintTo(const TDecodeCase& c, std::ostream* os) {
    *os << c.Name;
}

class DateTimeDecode : public ::testing::TestWithParam<TDecodeCase> {};

TEST_P(DateTimeDecode, GivesCalendarParts) {
    const TDecodeCase& c = GetParam();
    const TDateTimeParts p = DecodeDateTime(c.Value);
    EXPECT_EQ(p.Year, c.Parts.Year);
    EXPECT_EQ(p.Month, c.Parts.Month);
    EXPECT_EQ(p.Day, c.Parts.Day);
    EXPECT_EQ(p.Hour, c.Parts.Hour);
    EXPECT_EQ(p.Minute, c.Parts.Minute);
    EXPECT_EQ(p.Second, c.Parts.Second);
    EXPECT_EQ(p.Millisecond, c.Parts.Millisecond);
}

// Known calendar facts: day 0 is 30 December 1899, day 2 is 1 January 1900, 1900 has no 29
// February, 25569 is 1 January 1970 and 36526 is 1 January 2000.
INSTANTIATE_TEST_SUITE_P(
    Cases, DateTimeDecode,
    ::testing::Values(TDecodeCase{"ShippedRecord", 36211.466317, {1999, 2, 20, 11, 11, 29, 789}},
                      TDecodeCase{"DayZero", 0.0, {1899, 12, 30, 0, 0, 0, 0}},
                      TDecodeCase{"FirstOf1900", 2.0, {1900, 1, 1, 0, 0, 0, 0}},
                      TDecodeCase{"End of February 1900", 60.0, {1900, 2, 28, 0, 0, 0, 0}},
                      TDecodeCase{"March 1900", 61.0, {1900, 3, 1, 0, 0, 0, 0}},
                      TDecodeCase{"UnixEpoch", 25569.0, {1970, 1, 1, 0, 0, 0, 0}},
                      TDecodeCase{"Y2K", 36526.75, {2000, 1, 1, 18, 0, 0, 0}},
                      TDecodeCase{"LeapDay2000", 36585.0, {2000, 2, 29, 0, 0, 0, 0}},
                      TDecodeCase{"BeforeDayZero", -1.25, {1899, 12, 29, 6, 0, 0, 0}},
                      TDecodeCase{"RoundsUpToNextDay", 36211.9999999999, {1999, 2, 21, 0, 0, 0, 0}},
                      // 1/2048 of a day is 42,187.5 ms exactly: a half rounds away from zero.
                      TDecodeCase{"HalfMillisecondUp", 2.0 + 1.0 / 2048, {1900, 1, 1, 0, 0, 42, 188}},
                      TDecodeCase{
                          "HalfMillisecondBeforeDayZero", -1.0 - 1.0 / 2048, {1899, 12, 29, 0, 0, 42, 188}},
                      TDecodeCase{"LastDay", 2958465.5, {9999, 12, 31, 12, 0, 0, 0}},
                      TDecodeCase{"FirstDay", -693593.0, {1, 1, 1, 0, 0, 0, 0}}),
    [](const auto& info) {
        std::string name = info.param.Name;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

class DateTimeOutOfRange : public ::testing::TestWithParam<double> {};

TEST_P(DateTimeOutOfRange, RaisesConvertError) {
    EXPECT_THROW(DecodeDateTime(GetParam()), EConvertError);
}

INSTANTIATE_TEST_SUITE_P(Values, DateTimeOutOfRange,
                         ::testing::Values(2958466.0, -693594.5, 1e300, -1e300,
                                           std::numeric_limits<double>::quiet_NaN(),
                                           std::numeric_limits<double>::infinity()));

TEST(DateTimeDisplay, DateBlankTimeInLocaleFormats) {
    TCallLog log;
    TFakeDesktop desktop(log);
    EXPECT_EQ(DateTimeToDisplayText(desktop, 36211.466317), "20.02.1999 11:11:29");
}

TEST(DateTimeDisplay, MidnightShowsTheDateAlone) {
    TCallLog log;
    TFakeDesktop desktop(log);
    EXPECT_EQ(DateTimeToDisplayText(desktop, 36211), "20.02.1999");
}

TEST(DateTimeDisplay, HalfASecondPastMidnightShowsTheDateAlone) {
    TCallLog log;
    TFakeDesktop desktop(log);
    EXPECT_EQ(DateTimeToDisplayText(desktop, 36211 + 0.5 / 86400), "20.02.1999");
}

} // namespace
