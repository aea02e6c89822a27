// Windows path helpers of the wizard and the form's ExtractFileBaseName, the full-path rules of
// the uninstaller, and the same rules as the installation applies them to the folders it is asked
// to use, with UTF-8 names.
#include "setup/PathText.h"
#include "setup/InstalledPaths.h"
#include "setup/MainForm.h"
#include "setup/install/InstallFolders.h"

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

struct TFaultCase {
    const char* Path;
    const char* Fault; // empty: accepted
};

// Test names show the case, not its bytes.
void PrintTo(const TFaultCase& c, std::ostream* os) {
    *os << "'" << c.Path << "'";
}

class PathFault : public ::testing::TestWithParam<TFaultCase> {};

TEST_P(PathFault, NamesWhatTheRulesRefuse) {
    const std::optional<std::string> fault = FullPathFault(GetParam().Path);
    EXPECT_EQ(fault.value_or(""), GetParam().Fault);
    // One rule set: a path has a fault exactly when it has no normalised form.
    EXPECT_EQ(fault.has_value(), !NormalisedFullPath(GetParam().Path).has_value());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathFault,
    ::testing::Values(
        TFaultCase{"C:\\Apps5.", "its part \"Apps5.\" ends in a point, which Windows drops"},
        TFaultCase{"C:\\Dict5 ", "its part \"Dict5 \" ends in a blank, which Windows drops"},
        TFaultCase{"C:\\Apps.\\x", "its part \"Apps.\" ends in a point, which Windows drops"},
        TFaultCase{"C:\\Apps\\..\\x", "its part \"..\" names another folder"},
        TFaultCase{"C:\\Apps\\.", "its part \".\" names another folder"},
        TFaultCase{"C:\\Apps\\\\x", "it has two backslashes in a row"},
        TFaultCase{"C:\\Apps\\x\\\\", "it has two backslashes in a row"},
        TFaultCase{"C:\\Apps\\CON", "its part \"CON\" is the name of a device"},
        TFaultCase{"C:\\lpt1.txt\\x", "its part \"lpt1.txt\" is the name of a device"},
        TFaultCase{"C:\\a*b", "its part \"a*b\" holds \"*\", which no name may hold"},
        TFaultCase{"C:\\a\"b", "its part \"a\"b\" holds \"\"\", which no name may hold"},
        TFaultCase{"C:\\a:b", "its part \"a:b\" holds \":\", which no name may hold"},
        TFaultCase{"C:\\a\tb", "its part \"a\tb\" holds a control character"},
        TFaultCase{"Apps", "it is not a full path, which begins with a drive letter, a colon and a backslash "
                           "(C:\\...)"},
        TFaultCase{"C:Apps", "it is not a full path, which begins with a drive letter, a colon and a "
                             "backslash (C:\\...)"},
        TFaultCase{"\\Apps", "it is not a full path, which begins with a drive letter, a colon and a "
                             "backslash (C:\\...)"},
        TFaultCase{"", "it is not a full path, which begins with a drive letter, a colon and a backslash "
                       "(C:\\...)"},
        TFaultCase{"\\\\server\\share\\Apps",
                   "network (\\\\server\\share) and device (\\\\?\\, \\\\.\\) paths are not accepted"},
        TFaultCase{"\\\\?\\C:\\Apps",
                   "network (\\\\server\\share) and device (\\\\?\\, \\\\.\\) paths are not "
                   "accepted"},
        TFaultCase{"C:\\Program Files\\Parlavox", ""}, TFaultCase{"c:/Apps/Dict/", ""},
        TFaultCase{"C:\\", ""},
        // UTF-8: Cyrillic, Polish, and Japanese whose code page 932 bytes would end in 0x5C ("\").
        TFaultCase{"C:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC\xD0\xBC\xD1\x8B", ""},
        TFaultCase{"C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA", ""},
        TFaultCase{"C:\\\xE8\xA1\xA8\xE7\xA4\xBA\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88", ""},
        TFaultCase{"C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA.",
                   "its part \"\xC5\x81\xC3\xB3\x64\xC5\xBA.\" ends in a "
                   "point, which Windows drops"}));

TEST(PathFault, LongFoldersAreNotRefused) {
    // 240 characters and more: reaching them is the Win32 side's part (extended-length paths).
    std::string folder = "C:\\Dictionaries";
    while (folder.size() < 240) folder += "\\Folder with a long name";
    EXPECT_EQ(FullPathFault(folder), std::nullopt);
    TInstallRequest request{folder, folder + "\\EnglishGerman", true};
    EXPECT_EQ(RefuseInstallFolders(request), std::nullopt);
    folder += std::string(300, 'x');
    EXPECT_EQ(FullPathFault(folder), std::nullopt);
}

// The splitting and comparing of the wizard's paths looks only at ASCII bytes, which no UTF-8
// multi-byte character contains.
TEST(PathUtf8, SplitsAndComparesAtAsciiOnly) {
    const std::string japanese = "C:\\\xE8\xA1\xA8\xE7\xA4\xBA\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.txt";
    EXPECT_EQ(ExtractFileName(japanese), "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.txt");
    EXPECT_EQ(ExtractFileExt(japanese), ".txt");
    EXPECT_EQ(ExtractFileDir(japanese), "C:\\\xE8\xA1\xA8\xE7\xA4\xBA");
    const std::string lodz = "C:\\\xC5\x81\xC3\xB3\x64\xC5\xBA";      // Łódź
    const std::string lodzUpper = "c:\\\xC5\x81\xC3\x93\x44\xC5\xB9"; // ŁÓDŹ
    // Case is folded for A to Z only: the Polish letters keep theirs.
    EXPECT_FALSE(SameText(lodz, lodzUpper));
    EXPECT_TRUE(SameText(lodz + "\\WORDS.VLP", "c" + lodz.substr(1) + "\\words.vlp"));
    EXPECT_TRUE(IsInsideFolder(lodz, "c" + lodz.substr(1) + "\\S\xC5\x82ownik\\a.vlm"));
    EXPECT_FALSE(IsInsideFolder(lodz, lodzUpper + "\\a.vlm"));
    EXPECT_EQ(NormalisedFullPath("c" + lodz.substr(1) + "/"), lodz);
}

struct TRefusalCase {
    const char* Base;
    const char* Dictionary;
    const char* Refusal; // empty: accepted
};

// Test names show the case, not its bytes.
void PrintTo(const TRefusalCase& c, std::ostream* os) {
    *os << "'" << c.Base << "' and '" << c.Dictionary << "'";
}

class InstallFolderRefusal : public ::testing::TestWithParam<TRefusalCase> {};

TEST_P(InstallFolderRefusal, NamesTheFolderAndWhatIsWrong) {
    const TInstallRequest request{GetParam().Base, GetParam().Dictionary, true};
    EXPECT_EQ(RefuseInstallFolders(request).value_or(""), GetParam().Refusal);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallFolderRefusal,
    ::testing::Values(
        TRefusalCase{
            "C:\\Apps5.", "C:\\Apps5.\\Dict",
            "The Vellumor folder \"C:\\Apps5.\" cannot be used: its part \"Apps5.\" ends in a point, "
            "which Windows drops. Choose another folder."},
        TRefusalCase{
            "C:\\Apps6", "C:\\Dict5 ",
            "The dictionary folder \"C:\\Dict5 \" cannot be used: its part \"Dict5 \" ends in a blank, "
            "which Windows drops. Choose another folder."},
        TRefusalCase{
            "C:\\Apps", "D:\\",
            "The dictionary folder \"D:\\\" cannot be used: it is a drive's root, and the installation "
            "needs a folder of its own. Choose another folder."},
        TRefusalCase{"C:\\Apps", "", "No dictionary folder is given. Choose a folder."},
        TRefusalCase{"", "C:\\Dict", "No Vellumor folder is given. Choose a folder."},
        TRefusalCase{
            "Apps", "C:\\Dict",
            "The Vellumor folder \"Apps\" cannot be used: it is not a full path, which begins with a "
            "drive letter, a colon and a backslash (C:\\...). Choose another folder."},
        // The base may be a drive's root: Vellumor and the dictionary get folders of their own.
        TRefusalCase{"C:\\", "C:\\EnglishGerman", ""}, TRefusalCase{"C:\\Apps\\", "C:\\Apps\\Dict\\", ""}));

TEST(InstallFolders, FollowFromTheBaseWithoutDoubledBackslashes) {
    EXPECT_EQ(VellumorDirectoryBelow("C:\\Apps"), "C:\\Apps\\VL");
    EXPECT_EQ(VellumorDirectoryBelow("C:\\Apps\\"), "C:\\Apps\\VL");
    EXPECT_EQ(VellumorDirectoryBelow("C:\\"), "C:\\VL");
    EXPECT_EQ(DictionaryDirectoryBelow("C:\\", "EnglishGerman"), "C:\\EnglishGerman");
    EXPECT_EQ(DictionaryDirectoryBelow("C:\\Program Files\\Parlavox", ""), "C:\\Program Files\\Parlavox\\");
}

} // namespace
