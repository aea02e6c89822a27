// Windows path helpers of the wizard and the form's ExtractFileBaseName, and the full-path rules
// of the uninstaller.
#include "setup/PathText.h"
#include "setup/InstalledPaths.h"
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

struct TInsideCase {
    const char* Folder;
    const char* Path;
    bool Inside;
};

// Test names show the case, not its bytes.
void PrintTo(const TInsideCase& c, std::ostream* os) {
    *os << "'" << c.Path << "' in '" << c.Folder << "'";
}

class PathInsideFolder : public ::testing::TestWithParam<TInsideCase> {};

TEST_P(PathInsideFolder, ComparesFullPathsComponentByComponent) {
    EXPECT_EQ(IsInsideFolder(GetParam().Folder, GetParam().Path), GetParam().Inside);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathInsideFolder,
    ::testing::Values(
        TInsideCase{"C:\\Apps", "C:\\Apps\\Dict\\a.vlm", true},
        TInsideCase{"C:\\Apps\\", "c:/APPS/dict/", true}, // case of A-Z, either separator
        TInsideCase{"C:\\Apps", "C:\\Apps2\\a.vlm", false}, TInsideCase{"C:\\Apps", "C:\\Apps", false},
        TInsideCase{"C:\\Apps", "D:\\Apps\\a", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\..\\Windows\\a.dll", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\.\\a", false}, TInsideCase{"C:\\Apps", "C:\\Apps\\\\a", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\a\\\\", false}, TInsideCase{"C:\\Apps", "C:\\Apps.\\a", false},
        TInsideCase{"C:\\Apps", "C:\\Apps \\a", false}, TInsideCase{"C:\\Apps", "\\\\?\\C:\\Apps\\a", false},
        TInsideCase{"C:\\Apps", "\\\\.\\C:\\Apps\\a", false},
        TInsideCase{"C:\\Apps", "\\??\\C:\\Apps\\a", false},
        TInsideCase{"\\\\srv\\Apps", "\\\\srv\\Apps\\a", false}, TInsideCase{"\\Apps", "\\Apps\\a", false},
        TInsideCase{"C:Apps", "C:Apps\\a", false}, TInsideCase{"C:\\Apps", "C:\\Apps\\CON", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\aux.txt", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\a:stream", false}, TInsideCase{"C:\\Apps", "C:\\Apps\\a*", false},
        TInsideCase{"C:\\Apps", "C:\\Apps\\a\tb", false},
        TInsideCase{"C:\\", "C:\\a", false}, // no installation owns a drive
        TInsideCase{"", "C:\\a", false}));

TEST(PathNormalised, OneSpellingPerPlace) {
    EXPECT_EQ(NormalisedFullPath("c:/Apps\\Dict/"), "C:\\Apps\\Dict");
    EXPECT_EQ(NormalisedFullPath("d:\\"), "D:\\");
    EXPECT_EQ(NormalisedFullPath("C:\\Apps\\..\\x"), std::nullopt);
    EXPECT_TRUE(IsSamePath("C:\\Apps\\", "c:/apps"));
    EXPECT_TRUE(IsFolderOrInside("C:\\Apps", "C:\\APPS"));
    EXPECT_FALSE(IsSamePath("C:\\Apps", "C:\\Apps\\x"));
}

} // namespace
