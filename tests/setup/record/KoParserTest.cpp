// The field splitter of the support record and its locale-independent number conversion.
#include "setup/record/KoParser.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

struct TSplitCase {
    const char* Name;
    std::string Text;
    char Separator;
    std::vector<std::string> Fields; // followed by two empty fields in every case
};

// Test names show the case, not its bytes.
void PrintTo(const TSplitCase& c, std::ostream* os) {
    *os << c.Name;
}

class KoParserSplit : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(KoParserSplit, GivesFieldsThenEmptyTexts) {
    const TSplitCase& c = GetParam();
    TKoAnsiParser parser(c.Text, c.Separator);
    for (const std::string& field : c.Fields) EXPECT_EQ(parser.NextString(), field);
    EXPECT_EQ(parser.NextString(), "");
    EXPECT_EQ(parser.NextString(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, KoParserSplit,
                         ::testing::Values(TSplitCase{"AdjacentSeparators", "a\t\tb", '\t', {"a", "", "b"}},
                                           TSplitCase{"TrailingSeparator", "a\tb\t", '\t', {"a", "b", ""}},
                                           TSplitCase{"LeadingSeparator", "\ta", '\t', {"", "a"}},
                                           TSplitCase{"SpacesKept", " a \t b ", '\t', {" a ", " b "}},
                                           TSplitCase{"OtherSeparator", "x;y;z", ';', {"x", "y", "z"}},
                                           TSplitCase{
                                               "TabIsDataForOtherSeparator", "x\ty;z", ';', {"x\ty", "z"}},
                                           TSplitCase{"EmptyText", "", '\t', {}},
                                           TSplitCase{"SingleField", "alone", '\t', {"alone"}}),
                         [](const auto& info) { return info.param.Name; });

TEST(KoParserText, SetTextStartsAgain) {
    TKoAnsiParser parser("a\tb", '\t');
    EXPECT_EQ(parser.NextString(), "a");
    parser.SetText("c\td");
    EXPECT_EQ(parser.NextString(), "c");
    EXPECT_EQ(parser.NextString(), "d");
}

TEST(KoParserText, ManyCallsPastTheEndStayEmpty) {
    TKoAnsiParser parser("a", '\t');
    EXPECT_EQ(parser.NextString(), "a");
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(parser.NextString(), "");
}

struct TNumberCase {
    const char* Text;
    double Value;
};

// Test names show the case, not its bytes.
void PrintTo(const TNumberCase& c, std::ostream* os) {
    *os << c.Text;
}

class KoParserNumber : public ::testing::TestWithParam<TNumberCase> {};

TEST_P(KoParserNumber, ConvertsDecimalNotation) {
    TKoAnsiParser parser(std::string("x\t") + GetParam().Text, '\t');
    parser.NextString();
    EXPECT_EQ(parser.NextFloat(), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(Valid, KoParserNumber,
                         ::testing::Values(TNumberCase{"36211.466317", 36211.466317},
                                           TNumberCase{"36211", 36211.0}, TNumberCase{"-1.25", -1.25},
                                           TNumberCase{"+2.5", 2.5}, TNumberCase{".5", 0.5},
                                           TNumberCase{"7.", 7.0}, TNumberCase{"1.5e3", 1500.0},
                                           TNumberCase{"25E-1", 2.5}, TNumberCase{"  42.5  ", 42.5},
                                           TNumberCase{"9007199254740993", 9007199254740993.0},
                                           TNumberCase{"4.9e-324", 4.9e-324},
                                           TNumberCase{"1.7976931348623157e308", 1.7976931348623157e308}));

class KoParserBadNumber : public ::testing::TestWithParam<const char*> {};

TEST_P(KoParserBadNumber, RaisesConvertError) {
    TKoAnsiParser parser(GetParam(), '\t');
    EXPECT_THROW(parser.NextFloat(), EConvertError);
}

INSTANTIATE_TEST_SUITE_P(Invalid, KoParserBadNumber,
                         ::testing::Values("", "36211,466317", "abc", "1.2.3", "1e", "e5", ".", "-", "inf",
                                           "nan", "0x10", "12abc", "1 2", "1e999", "1.8e308", "2e-324"));

// Every double is rounded to nearest, ties to even, like the standard conversion: random
// notations, exact midpoints between neighbouring doubles (normal and subnormal) and those
// midpoints with a last digit more, far beyond the digits that a double holds.
TEST(KoParserNumberRounding, AgreesWithTheStandardConversion) {
    std::mt19937_64 random(16);
    auto digits = [&](int count) {
        std::string text;
        for (int i = 0; i < count; ++i) text += static_cast<char>('0' + random() % 10);
        return text;
    };
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        const int e = static_cast<int>(random() % 700) - 360;
        texts.push_back(digits(1 + random() % 20) + "." + digits(random() % 30) + "e" + std::to_string(e));
        const double d =
            std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 2150) - 1127);
        const double next = std::nextafter(d, HUGE_VAL);
        if (!std::isfinite(next)) continue;
        char midpoint[900];
        std::snprintf(midpoint, sizeof midpoint, "%.780Le", (static_cast<long double>(d) + next) / 2);
        texts.push_back(midpoint);
        texts.push_back(std::string(midpoint).insert(std::string(midpoint).find('e'), "1"));
    }
    for (const std::string& text : texts) {
        double expected = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), expected);
        if (error == std::errc() && std::isfinite(expected))
            ASSERT_EQ(StrToFloatInvariant(text), expected) << text;
        else
            ASSERT_THROW(StrToFloatInvariant(text), EConvertError) << text;
    }
}

TEST(KoParserNumberMissing, FieldPastTheEndIsInvalid) {
    TKoAnsiParser parser("a\tb", '\t');
    parser.NextString();
    parser.NextString();
    EXPECT_THROW(parser.NextFloat(), EConvertError);
}

} // namespace
