// The platform layer below the archive component: packed date-times, last-write times of files,
// attributes, existence tests, directory creation, free space and (on POSIX) the absence of
// resources; names outside every single-byte code page and a folder deeper than MAX_PATH through
// every file call. The POSIX checks compare with the C library's own view of the file.
#include "tests/support/TempDirectory.h"

#include "platform/Exception.h"
#include "platform/Resource.h"
#include "platform/files/DiskSpace.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "platform/files/HeldRetry.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string_view>

#ifdef _WIN32
#include "platform/win32/WideText.h"
#else
#include <ctime>
#include <sys/stat.h>
#endif

namespace {

struct TPackCase {
    TDateTimeFields Fields;
    uint32_t Packed;
};
void PrintTo(const TPackCase& c, std::ostream* out) {
    *out << std::hex << c.Packed;
}

class DateTimePacking : public ::testing::TestWithParam<TPackCase> {};

// Packed values worked out by hand from the bit layout (date: years since 1980 << 9 | month << 5
// | day; time: hours << 11 | minutes << 5 | seconds / 2).
INSTANTIATE_TEST_SUITE_P(Values, DateTimePacking,
                         ::testing::Values(TPackCase{{1980, 1, 1, 0, 0, 0}, 0x00210000u},
                                           TPackCase{{2021, 3, 4, 5, 6, 8}, 0x526428C4u},
                                           TPackCase{{2001, 2, 20, 11, 12, 28}, 0x2A54598Eu},
                                           TPackCase{{2107, 12, 31, 23, 59, 58}, 0xFF9FBF7Du}));

TEST_P(DateTimePacking, PacksAndUnpacks) {
    EXPECT_EQ(static_cast<uint32_t>(PackDateTime(GetParam().Fields)), GetParam().Packed);
    auto fields = UnpackDateTime(static_cast<int32_t>(GetParam().Packed));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->Year, GetParam().Fields.Year);
    EXPECT_EQ(fields->Month, GetParam().Fields.Month);
    EXPECT_EQ(fields->Day, GetParam().Fields.Day);
    EXPECT_EQ(fields->Hour, GetParam().Fields.Hour);
    EXPECT_EQ(fields->Minute, GetParam().Fields.Minute);
    EXPECT_EQ(fields->Second, GetParam().Fields.Second);
}

TEST(DateTimePackingLimits, OddSecondsRoundDownAndYearsOutsideTheRangeAreClamped) {
    EXPECT_EQ(PackDateTime({2021, 3, 4, 5, 6, 9}), PackDateTime({2021, 3, 4, 5, 6, 8}));
    EXPECT_EQ(PackDateTime({1970, 6, 1, 12, 0, 0}), MinPackedDateTime);
    EXPECT_EQ(PackDateTime({2200, 6, 1, 12, 0, 0}), MaxPackedDateTime);
}

TEST(DateTimePackingLimits, FieldsOutOfRangeDoNotUnpack) {
    EXPECT_TRUE(UnpackDateTime(0x00210000));  // 1980-01-01 00:00:00
    EXPECT_FALSE(UnpackDateTime(0));          // month 0, day 0
    EXPECT_FALSE(UnpackDateTime(0x00200000)); // day 0
    EXPECT_FALSE(UnpackDateTime(0x01A10000)); // month 13
    EXPECT_FALSE(UnpackDateTime(0x0021C000)); // hour 24
    EXPECT_FALSE(UnpackDateTime(0x00210780)); // minute 60
    EXPECT_FALSE(UnpackDateTime(0x0021001E)); // second 60
}

TEST(FileDateTime, SetsAndReadsTheLastWriteTime) {
    TTempDirectory temp;
    for (int32_t packed : {0x526428C4, 0x2A54598E, MinPackedDateTime}) {
        {
            auto file = TFileStream::Create(temp.Sub("stamp.txt"));
            file->Write("x", 1);
            ASSERT_TRUE(SetFileDateTime(*file, packed));
        }
        EXPECT_EQ(GetFileDateTime(temp.Sub("stamp.txt")), packed);
    }
    auto file = TFileStream::Create(temp.Sub("invalid.txt"));
    EXPECT_FALSE(SetFileDateTime(*file, 0));
    EXPECT_FALSE(GetFileDateTime(temp.Sub("missing.txt")));
}

#ifndef _WIN32
TEST(FileDateTime, MeansLocalWallClockTime) {
    TTempDirectory temp;
    {
        auto file = TFileStream::Create(temp.Sub("local.txt"));
        ASSERT_TRUE(SetFileDateTime(*file, 0x526428C4)); // 2021-03-04 05:06:08
    }
    struct stat info {};
    ASSERT_EQ(::stat(temp.Sub("local.txt").c_str(), &info), 0);
    std::tm local{};
    ASSERT_TRUE(::localtime_r(&info.st_mtime, &local));
    EXPECT_EQ(local.tm_year + 1900, 2021);
    EXPECT_EQ(local.tm_mon + 1, 3);
    EXPECT_EQ(local.tm_mday, 4);
    EXPECT_EQ(local.tm_hour, 5);
    EXPECT_EQ(local.tm_min, 6);
    EXPECT_EQ(local.tm_sec, 8);
}

TEST(NativePaths, BackslashesBecomeSlashes) {
    EXPECT_EQ(NativePath("a\\b\\c.txt"), "a/b/c.txt");
    TTempDirectory temp;
    ASSERT_TRUE(CreateDirectoryAt(temp.Path() + "\\sub"));
    TFileStream::Create(temp.Path() + "\\sub\\file.txt")->Write("abc", 3);
    EXPECT_EQ(temp.Read("sub\\file.txt"), "abc");
    EXPECT_EQ(TFileStream::OpenRead(temp.Path() + "\\sub\\file.txt")->Size(), 3);
}

TEST(FileAttributes, ReadOnlyIsTheAbsenceOfWritePermission) {
    TTempDirectory temp;
    temp.Write("f.txt", "x");
    ASSERT_TRUE(SetAttributes(temp.Sub("f.txt"), faReadOnly | faArchive | faHidden));
    struct stat info {};
    ASSERT_EQ(::stat(temp.Sub("f.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH), 0u);
    EXPECT_EQ(GetAttributes(temp.Sub("f.txt")), faReadOnly | faArchive);
    ASSERT_TRUE(SetAttributes(temp.Sub("f.txt"), faArchive));
    ASSERT_EQ(::stat(temp.Sub("f.txt").c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IWUSR, 0u);
}

TEST(Resources, PosixProgramsHaveNone) {
    try {
        OpenResourceStream("DICTIONARY", "ARCHIVE", "");
        FAIL() << "EResNotFound expected";
    } catch (const EResNotFound& e) {
        EXPECT_EQ(e.Message,
                  "Resource DICTIONARY of type ARCHIVE not found in this program: programs on this "
                  "platform carry no resources");
    }
    EXPECT_THROW(OpenResourceStream("X", "ARCHIVE", "lib.dll"), EResNotFound);
}
#endif

TEST(FileAttributes, TellFilesFromDirectories) {
    TTempDirectory temp;
    temp.Write("f.txt", "x");
    EXPECT_TRUE(FileExists(temp.Sub("f.txt")));
    EXPECT_FALSE(DirectoryExists(temp.Sub("f.txt")));
    EXPECT_TRUE(DirectoryExists(temp.Path()));
    EXPECT_FALSE(FileExists(temp.Path()));
    EXPECT_NE(GetAttributes(temp.Path()) & faDirectory, 0);
    EXPECT_EQ(GetAttributes(temp.Sub("f.txt")) & faDirectory, 0);
    EXPECT_EQ(GetAttributes(temp.Sub("none")), -1);
    EXPECT_FALSE(FileExists(temp.Sub("none")));
    EXPECT_FALSE(SetAttributes(temp.Sub("none"), faArchive));
}

TEST(FileAttributes, ReadOnlyRoundTrips) {
    TTempDirectory temp;
    temp.Write("f.txt", "x");
    ASSERT_TRUE(SetAttributes(temp.Sub("f.txt"), faReadOnly | faArchive));
    EXPECT_EQ(GetAttributes(temp.Sub("f.txt")) & (faReadOnly | faArchive), faReadOnly | faArchive);
    ASSERT_TRUE(SetAttributes(temp.Sub("f.txt"), faArchive));
    EXPECT_EQ(GetAttributes(temp.Sub("f.txt")) & faReadOnly, 0);
}

TEST(FileReplacing, AnOpenFileMovesOverAReadOnlyTargetNamedRelativeToTheCurrentFolder) {
    TTempDirectory temp;
    temp.Write("target.txt", "old");
    ASSERT_TRUE(SetAttributes(temp.Sub("target.txt"), faReadOnly | faArchive));
    std::unique_ptr<TFileStream> file = TFileStream::CreateNew(temp.Sub("~pending.tmp"));
    ASSERT_TRUE(file);
    file->Write("new", 3);
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(temp.Path());
    const bool moved = MoveOpenFileReplacing(*file, "target.txt");
    std::filesystem::current_path(before);
    file->Close();
    ASSERT_TRUE(moved) << SystemErrorText();
    EXPECT_EQ(temp.Read("target.txt"), "new");
    EXPECT_FALSE(temp.Exists("~pending.tmp"));
}

// The file an elevated program writes at a path a user may have prepared (the log) is never
// written through a link planted there: the link's target keeps its bytes.
TEST(FileCreation, NoLinkRefusesLinksAndEmptiesAnOrdinaryFile) {
    TTempDirectory temp;
    temp.Write("victim.txt", "keep");
    temp.Write("log.txt", "old text");
    TFileStream::CreateNoLink(temp.Sub("log.txt"))->Write("new", 3);
    EXPECT_EQ(temp.Read("log.txt"), "new");
    const std::filesystem::path folder(temp.Path());
    std::filesystem::create_hard_link(folder / "victim.txt", folder / "hard.txt");
    EXPECT_THROW(TFileStream::CreateNoLink(temp.Sub("hard.txt")), EFCreateError);
#ifndef _WIN32
    std::filesystem::create_symlink(folder / "victim.txt", folder / "soft.txt");
    EXPECT_THROW(TFileStream::CreateNoLink(temp.Sub("soft.txt")), EFCreateError);
#endif
    EXPECT_EQ(temp.Read("victim.txt"), "keep");
}

#ifndef _WIN32
// A folder of the path that is a link: neither an existing file behind it is emptied nor a new one
// left there.
TEST(FileCreation, NoLinkRefusesAPathThroughALinkedFolder) {
    TTempDirectory temp;
    const std::filesystem::path folder = std::filesystem::canonical(temp.Path());
    std::filesystem::create_directory(folder / "victims");
    temp.Write("victims/important.txt", "keep");
    std::filesystem::create_directory_symlink(folder / "victims", folder / "temp");
    EXPECT_THROW(TFileStream::CreateNoLink((folder / "temp" / "important.txt").string()), EFCreateError);
    EXPECT_EQ(temp.Read("victims/important.txt"), "keep");
    EXPECT_THROW(TFileStream::CreateNoLink((folder / "temp" / "new.txt").string()), EFCreateError);
    EXPECT_FALSE(std::filesystem::exists(folder / "victims" / "new.txt"));
    TFileStream::CreateNoLink((folder / "own.txt").string())->Write("new", 3);
    EXPECT_EQ(temp.Read("own.txt"), "new");
}
#endif

TEST(Directories, CreateAndDelete) {
    TTempDirectory temp;
    EXPECT_TRUE(CreateDirectoryAt(temp.Sub("d")));
    EXPECT_FALSE(CreateDirectoryAt(temp.Sub("d")));
    EXPECT_FALSE(SystemErrorText().empty());
    EXPECT_FALSE(CreateDirectoryAt(temp.Sub("x\\y")));
    temp.Write("d\\f", "x");
    EXPECT_TRUE(DeleteFileAt(temp.Sub("d\\f")));
    EXPECT_FALSE(DeleteFileAt(temp.Sub("d\\f")));
}

TEST(DiskSpace, TheCurrentVolumeAndPathsThatDoNotExistYetCanBeAsked) {
    auto current = QueryDiskFreeSpace("");
    ASSERT_TRUE(current);
    EXPECT_GT(current->BytesPerSector, 0u);
    EXPECT_GT(current->SectorsPerCluster, 0u);
    EXPECT_GT(current->TotalClusters, 0u);
#ifndef _WIN32
    TTempDirectory temp;
    auto below = QueryDiskFreeSpace(temp.Sub("not\\created\\yet.bin"));
    ASSERT_TRUE(below);
    EXPECT_GT(below->TotalClusters, 0u);
#endif
}

// A UTF-8 path as the standard library takes it (a plain char string is read in the ANSI code page
// on Windows).
std::filesystem::path Utf8Path(std::string_view utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Cyrillic and Polish are outside code page 1252; in code page 932 the second byte of 表 and of ソ is
// 0x5C, the backslash, where a byte-wise path split would cut the name.
class NonAsciiPaths : public ::testing::TestWithParam<const char*> {};

INSTANTIATE_TEST_SUITE_P(Names, NonAsciiPaths, ::testing::Values("Словарь", "Łódź", "表示\\ソフト"),
                         [](const auto& info) { return "Name" + std::to_string(info.index); });

TEST_P(NonAsciiPaths, EveryFileCallTakesTheNameAsGiven) {
    TTempDirectory temp;
    const std::string relative = GetParam();
    for (size_t at = relative.find('\\'); at != std::string::npos; at = relative.find('\\', at + 1))
        ASSERT_TRUE(CreateDirectoryAt(temp.Sub(relative.substr(0, at)))) << SystemErrorText();
    ASSERT_TRUE(CreateDirectoryAt(temp.Sub(relative))) << SystemErrorText();
    EXPECT_TRUE(DirectoryExists(temp.Sub(relative)));
    const std::string file = temp.Sub(relative + "\\Wörterbuch.txt");
    {
        auto stream = TFileStream::Create(file);
        stream->Write("old", 3);
        ASSERT_TRUE(SetFileDateTime(*stream, 0x526428C4));
    }
    // The very name, not a best-fit or "?" stand-in for it.
    EXPECT_TRUE(std::filesystem::is_regular_file(Utf8Path(file)));
    EXPECT_TRUE(FileExists(file));
    EXPECT_EQ(GetFileDateTime(file), 0x526428C4);
    ASSERT_TRUE(SetAttributes(file, faReadOnly | faArchive));
    EXPECT_EQ(GetAttributes(file) & faReadOnly, faReadOnly);

    std::unique_ptr<TFileStream> replacement = TFileStream::CreateNew(temp.Sub(relative + "\\~neu.tmp"));
    ASSERT_TRUE(replacement);
    replacement->Write("new", 3);
    ASSERT_TRUE(MoveOpenFileReplacing(*replacement, file)) << SystemErrorText();
    replacement->Close();
    const std::vector<uint8_t> bytes = ReadAll(*TFileStream::OpenRead(file));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
    EXPECT_TRUE(DeleteFileAt(file)) << SystemErrorText();
    EXPECT_FALSE(FileExists(file));
}

// A folder of more than MAX_PATH (260) characters below the temporary folder: directories are made,
// a file is created, dated, made read-only, replaced in one step and removed.
TEST(LongPaths, AFileBelowAFolderLongerThanMaxPath) {
    TTempDirectory temp;
    std::string folder = temp.Path();
    const std::string level(90, 'w');
    while (folder.size() < 300) {
        folder += TTempDirectory::Separator() + level + "ß";
        ASSERT_TRUE(CreateDirectoryAt(folder)) << folder.size() << ": " << SystemErrorText();
    }
    ASSERT_TRUE(DirectoryExists(folder));
    const std::string file = folder + TTempDirectory::Separator() + "engger.vlm";
    {
        auto stream = TFileStream::Create(file);
        stream->Write("old text", 8);
        ASSERT_TRUE(SetFileDateTime(*stream, 0x2A54598E));
    }
    EXPECT_EQ(GetFileDateTime(file), 0x2A54598E);
    ASSERT_TRUE(SetAttributes(file, faReadOnly | faArchive));
    const std::string pending = folder + TTempDirectory::Separator() + "~pending.tmp";
    std::unique_ptr<TFileStream> replacement = TFileStream::CreateNew(pending);
    ASSERT_TRUE(replacement);
    replacement->Write("new", 3);
    ASSERT_TRUE(MoveOpenFileReplacing(*replacement, file)) << SystemErrorText();
    replacement->Close();
    EXPECT_FALSE(FileExists(pending));
    const std::vector<uint8_t> bytes = ReadAll(*TFileStream::OpenRead(file));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
    ASSERT_TRUE(SetAttributes(file, faArchive));
    EXPECT_TRUE(DeleteFileAt(file)) << SystemErrorText();
    EXPECT_EQ(GetAttributes(file), -1);
}

#ifdef _WIN32
// The extended form that the wide file calls get: full paths resolved, relative and extended ones
// as they are.
TEST(WidePaths, FullPathsTakeTheExtendedForm) {
    EXPECT_EQ(WidePath("C:\\a\\.\\b\\..\\c/d"), L"\\\\?\\C:\\a\\c\\d");
    EXPECT_EQ(WidePath("\\\\server\\share\\x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(WidePath("C:\\Łódź\\表示"), L"\\\\?\\C:\\\u0141\u00f3d\u017a\\\u8868\u793a");
    EXPECT_EQ(WidePath("relative\\x"), L"relative\\x");
    EXPECT_EQ(WidePath("\\\\?\\C:\\a\\..\\b"), L"\\\\?\\C:\\a\\..\\b");
}

// A path longer than the system takes (32,767 characters) is refused; it never stands for a
// shorter one. (Wine cuts such a path at 65,536 bytes: this one would then name a folder below the
// temporary directory.)
TEST(WidePaths, APathLongerThanTheSystemTakesIsRefused) {
    TTempDirectory temp;
    const std::string base = temp.Path() + "\\";
    const size_t length = 32768 + base.size() + 50;
    std::string path = base;
    while (path.size() < length) path += std::string(std::min<size_t>(200, length - path.size()), 'x') + "\\";
    path.resize(length);
    EXPECT_TRUE(WidePath(path).empty());
    EXPECT_FALSE(CreateDirectoryAt(path));
    EXPECT_THROW(TFileStream::Create(path), EFCreateError);
    EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
}

// A device name in a folder is the device, as it is to every plain Win32 path: writing there
// creates no file of that name (which the extended form alone would).
TEST(WidePaths, ADeviceNameInAFolderStaysTheDevice) {
    TTempDirectory temp;
    EXPECT_TRUE(IsDevice(temp.Sub("NUL")));
    TFileStream::Create(temp.Sub("NUL"))->Write("gone", 4);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(temp.Path()) / "NUL"));
}
#endif

// The waits for a held file: short at first, doubling to at most a second, 5 s in all, and none
// before the first try.
TEST(HeldRetry, WaitsFiftyMillisecondsDoublingToASecondForFiveSecondsInAll) {
    std::vector<int> waits;
    THeldRetry retry([&](int milliseconds) { waits.push_back(milliseconds); });
    EXPECT_TRUE(waits.empty());
    while (retry.WaitAgain()) {
    }
    EXPECT_EQ(waits, (std::vector<int>{50, 100, 200, 400, 800, 1000, 1000, 1000, 450}));
    EXPECT_EQ(retry.Waited(), THeldRetry::TotalWait);
    EXPECT_FALSE(retry.WaitAgain());
    // Asked again by the person at the desktop: the whole schedule once more.
    retry.Reset();
    waits.clear();
    EXPECT_TRUE(retry.WaitAgain());
    EXPECT_EQ(waits, std::vector<int>{50});
}

} // namespace
