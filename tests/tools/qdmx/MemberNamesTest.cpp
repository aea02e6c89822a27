// qdmx's member-name rules: which names extraction refuses, how command-line paths become member
// names, and which keys are accepted.
#include "tools/qdmx/MemberNames.h"

#include "compress/archive/MemberNameRules.h"

#include <gtest/gtest.h>

namespace {

using qdmx::IsUnsafeMemberName;
using qdmx::MemberNameOfPath;
using qdmx::ParseKey;

struct TSafetyCase {
    const char* Name;
    bool Unsafe;
};
void PrintTo(const TSafetyCase& c, std::ostream* out) {
    *out << '"' << c.Name << '"';
}

class QdmxMemberNameSafety : public ::testing::TestWithParam<TSafetyCase> {};

TEST_P(QdmxMemberNameSafety, RefusesAbsoluteAndParentNames) {
    EXPECT_EQ(IsUnsafeMemberName(GetParam().Name), GetParam().Unsafe) << GetParam().Name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, QdmxMemberNameSafety,
    ::testing::Values(TSafetyCase{"file.txt", false}, TSafetyCase{"dir\\file.txt", false},
                      TSafetyCase{"dir\\..file", false}, TSafetyCase{"dir\\file..", false},
                      TSafetyCase{"...\\x", false}, TSafetyCase{"", true}, TSafetyCase{"\\root.txt", true},
                      TSafetyCase{"/root.txt", true}, TSafetyCase{"\\\\server\\share\\x", true},
                      TSafetyCase{"C:\\x", true}, TSafetyCase{"c:x", true}, TSafetyCase{"..", true},
                      TSafetyCase{"..\\up.txt", true}, TSafetyCase{"dir\\..\\..\\up.txt", true},
                      TSafetyCase{"dir/../up.txt", true}, TSafetyCase{"dir\\..", true}));

// Names that are ordinary file names on POSIX but on Windows name a device or a data stream, or
// cannot name a file at all: the Windows rules refuse them (qdmx there, the setup programs always).
class QdmxMemberNameSafetyWindows : public ::testing::TestWithParam<const char*> {};

TEST_P(QdmxMemberNameSafetyWindows, RefusesDevicesStreamsAndControlCharactersUnderWindowsRules) {
    EXPECT_TRUE(IsEscapingMemberName(GetParam(), TNameRules::Windows)) << GetParam();
    EXPECT_FALSE(IsEscapingMemberName(GetParam(), TNameRules::Portable)) << GetParam();
    EXPECT_EQ(IsUnsafeMemberName(GetParam()), HostNameRules == TNameRules::Windows) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Names, QdmxMemberNameSafetyWindows,
                         ::testing::Values("ab:c", "1:x", "file.txt:stream", "file.txt::$DATA", "CON", "nul",
                                           "Aux.txt", "dir\\PRN", "COM1", "lpt9.log", "CON .txt", "CONOUT$",
                                           "ctl\x01.txt", "dir\\tab\there"));

TEST(QdmxMemberNameSafetyWindowsNot, NamesThatOnlyResembleDevicesStayAllowed) {
    for (const char* name : {"CONSOLE", "nullable.txt", "COM10", "COM0", "LPT", "auxiliary\\x", "dir.con"})
        EXPECT_FALSE(IsEscapingMemberName(name, TNameRules::Windows)) << name;
}

struct TPathCase {
    const char* Path;
    const char* Name; // nullptr: refused
    bool RootStripped;
};
void PrintTo(const TPathCase& c, std::ostream* out) {
    *out << '"' << c.Path << '"';
}

class QdmxMemberNameOfPath : public ::testing::TestWithParam<TPathCase> {};

TEST_P(QdmxMemberNameOfPath, JoinsComponentsWithBackslashes) {
    bool stripped = false;
    auto name = MemberNameOfPath(GetParam().Path, stripped);
    if (!GetParam().Name) {
        EXPECT_FALSE(name);
        return;
    }
    ASSERT_TRUE(name);
    EXPECT_EQ(*name, GetParam().Name);
    EXPECT_EQ(stripped, GetParam().RootStripped);
}

INSTANTIATE_TEST_SUITE_P(Paths, QdmxMemberNameOfPath,
                         ::testing::Values(TPathCase{"file.txt", "file.txt", false},
                                           TPathCase{"dir/sub/file.txt", "dir\\sub\\file.txt", false},
                                           TPathCase{"./dir//file", "dir\\file", false},
                                           TPathCase{"dir/", "dir", false}, TPathCase{".", "", false},
                                           TPathCase{"/abs/file", "abs\\file", true},
                                           TPathCase{"../up", nullptr, false},
                                           TPathCase{"a/../b", nullptr, false}));

struct TKeyCase {
    const char* Text;
    bool Valid;
    int32_t Key;
};
void PrintTo(const TKeyCase& c, std::ostream* out) {
    *out << '"' << c.Text << '"';
}

class QdmxKeyOption : public ::testing::TestWithParam<TKeyCase> {};

TEST_P(QdmxKeyOption, AcceptsNonZeroThirtyTwoBitNumbers) {
    auto key = ParseKey(GetParam().Text);
    ASSERT_EQ(key.has_value(), GetParam().Valid) << GetParam().Text;
    if (key) {
        EXPECT_EQ(*key, GetParam().Key);
    }
}

INSTANTIATE_TEST_SUITE_P(Keys, QdmxKeyOption,
                         ::testing::Values(TKeyCase{"1234", true, 1234}, TKeyCase{"-5", true, -5},
                                           TKeyCase{"0x10", true, 16}, TKeyCase{"0XfF", true, 255},
                                           TKeyCase{"010", true, 10}, TKeyCase{"4294967295", true, -1},
                                           TKeyCase{"-2147483648", true, INT32_MIN}, TKeyCase{"0", false, 0},
                                           TKeyCase{"0x0", false, 0}, TKeyCase{"", false, 0},
                                           TKeyCase{"4294967296", false, 0},
                                           TKeyCase{"-2147483649", false, 0}, TKeyCase{"12abc", false, 0},
                                           TKeyCase{"key", false, 0}));

} // namespace
