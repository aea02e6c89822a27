// Windows path helpers of the wizard and the form's ExtractFileBaseName.
#include "setup/PathText.h"
#include "setup/MainForm.h"

#include <gtest/gtest.h>

namespace {

struct TPathCase {
    const char* Path;
    const char* Name;
    const char* Ext;
    const char* Dir;
    const char* BaseName;
};

// Test names show the case, not its bytes.
void PrintTo(const TPathCase& c, std::ostream* os) {
    *os << "path '" << c.Path << "'";
}

class PathParts : public ::testing::TestWithParam<TPathCase> {};

TEST_P(PathParts, SplitAtBackslashColonAndPoint) {
    const TPathCase& c = GetParam();
    EXPECT_EQ(ExtractFileName(c.Path), c.Name);
    EXPECT_EQ(ExtractFileExt(c.Path), c.Ext);
    EXPECT_EQ(ExtractFileDir(c.Path), c.Dir);
    EXPECT_EQ(TMainForm::ExtractFileBaseName(c.Path), c.BaseName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathParts,
    ::testing::Values(TPathCase{"C:\\Setup\\setup.exe", "setup.exe", ".exe", "C:\\Setup", "setup"},
                      TPathCase{"D:\\x\\inst.exe", "inst.exe", ".exe", "D:\\x", "inst"},
                      TPathCase{"C:\\setup.exe", "setup.exe", ".exe", "C:\\", "setup"},
                      TPathCase{"C:setup.exe", "setup.exe", ".exe", "C:", "setup"},
                      TPathCase{"C:\\a.b\\a.b.exe", "a.b.exe", ".exe", "C:\\a.b", "a.b"},
                      TPathCase{"C:\\a.b\\noext", "noext", "", "C:\\a.b", "noext"},
                      TPathCase{"\\\\server\\share\\x.exe", "x.exe", ".exe", "\\\\server\\share", "x"},
                      TPathCase{"words.VLP", "words.VLP", ".VLP", "", "words"},
                      TPathCase{"C:\\Dir\\", "", "", "C:\\Dir", ""}, TPathCase{"", "", "", "", ""}));

struct TSameTextCase {
    const char* A;
    const char* B;
    bool Same;
};

// Test names show the case, not its bytes.
void PrintTo(const TSameTextCase& c, std::ostream* os) {
    *os << (c.Same ? "same" : "different");
}

class PathSameText : public ::testing::TestWithParam<TSameTextCase> {};

TEST_P(PathSameText, IgnoresCaseOfAToZOnly) {
    EXPECT_EQ(SameText(GetParam().A, GetParam().B), GetParam().Same);
    EXPECT_EQ(SameText(GetParam().B, GetParam().A), GetParam().Same);
}

INSTANTIATE_TEST_SUITE_P(Cases, PathSameText,
                         ::testing::Values(TSameTextCase{"velmor.pvl", "VELMOR.PVL", true},
                                           TSameTextCase{".vlp", ".VlP", true},
                                           TSameTextCase{"velmor.pvl", "velmor.pvm", false},
                                           TSameTextCase{"a", "ab", false},
                                           TSameTextCase{"\xE4", "\xC4", false}, // a-umlaut in code page 1252
                                           TSameTextCase{"[", "{", false}, TSameTextCase{"", "", true}));

} // namespace
