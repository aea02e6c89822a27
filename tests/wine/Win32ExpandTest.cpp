// Expansion as Windows sees it: dates through the Win32 file-time calls, attribute bits,
// directories created below a drive root, and the free-space check with drive numbers.
#include "tests/compress/archive/ArchiveTestSupport.h"
#include "tests/support/TempDirectory.h"

#include "compress/Archiver.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

void Expand(TArchiver& archiver, const std::string& archive) {
    TMemoryStream stream(std::vector<uint8_t>(archive.begin(), archive.end()));
    archiver.ExpandArchive(stream, nullptr);
}

SYSTEMTIME LocalLastWrite(const std::string& path) {
    HANDLE file =
        CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE) << path;
    FILETIME created{}, accessed{}, written{}, local{};
    GetFileTime(file, &created, &accessed, &written);
    CloseHandle(file);
    FileTimeToLocalFileTime(&written, &local);
    SYSTEMTIME time{};
    FileTimeToSystemTime(&local, &time);
    return time;
}

TEST(Win32Expand, TheStoredDateIsTheLocalLastWriteTime) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.SetTargetPath(temp.Path());
    TRawMember member{"dated.txt", "dated"};
    member.DateTime = 0x526428C4; // 2021-03-04 05:06:08
    Expand(archiver, RawArchive({member}));
    SYSTEMTIME time = LocalLastWrite(temp.Sub("dated.txt"));
    EXPECT_EQ(time.wYear, 2021);
    EXPECT_EQ(time.wMonth, 3);
    EXPECT_EQ(time.wDay, 4);
    EXPECT_EQ(time.wHour, 5);
    EXPECT_EQ(time.wMinute, 6);
    EXPECT_EQ(time.wSecond, 8);
}

TEST(Win32Expand, TheStoredAttributesAreSet) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.SetTargetPath(temp.Path());
    TRawMember readOnly{"ro.txt", "r"};
    readOnly.Attributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    TRawMember plain{"plain.txt", "p"};
    Expand(archiver, RawArchive({readOnly, plain}));
    EXPECT_EQ(GetFileAttributesA(temp.Sub("ro.txt").c_str()) &
                  (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE),
              DWORD(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA(temp.Sub("plain.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

class Win32DriveRoot : public ::testing::Test {
protected:
    std::string Root = "C:\\parlavox-test-" + std::to_string(GetCurrentProcessId());
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(Root, ignored);
    }
};

TEST_F(Win32DriveRoot, DirectoriesAreCreatedBelowADriveRoot) {
    TArchiver archiver;
    archiver.MakeDirectoryPath(Root + "\\a\\b\\");
    EXPECT_NE(GetFileAttributesA((Root + "\\a\\b").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NO_THROW(archiver.MakeDirectoryPath("C:\\"));
    EXPECT_NO_THROW(archiver.MakeDirectoryPath("C:"));

    archiver.SetTargetPath(Root + "\\target");
    archiver.MakeDirectories = true;
    Expand(archiver, RawArchive({TRawMember{"x\\y\\z.txt", "deep"}}));
    HANDLE file = CreateFileA((Root + "\\target\\x\\y\\z.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
}

TEST_F(Win32DriveRoot, DirectoriesAreCreatedBelowALongPathPrefix) {
    // Only the levels below the first existing folder are created: never "\\?" itself.
    TArchiver archiver;
    archiver.MakeDirectoryPath("\\\\?\\" + Root + "\\long\\path\\");
    EXPECT_NE(GetFileAttributesA((Root + "\\long\\path").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Win32DriveRoot, ADirectoryOnAMissingDriveIsAnInputOutputError) {
    DWORD drives = GetLogicalDrives();
    if (drives & (1u << ('Q' - 'A'))) GTEST_SKIP() << "drive Q: exists here";
    TArchiver archiver;
    EXPECT_THROW(archiver.MakeDirectoryPath("Q:\\parlavox\\sub"), EInOutError);
}

class TDriveRecorder : public TArchiver {
public:
    std::vector<int> Drives;
    float DriveFreeSpace(uint8_t drive) override {
        Drives.push_back(drive);
        return TArchiver::DriveFreeSpace(drive);
    }
};

TEST(Win32SpaceCheck, AsksTheDriveThatThePathNames) {
    TTempDirectory temp;
    TDriveRecorder archiver;
    archiver.CheckSpaceBeforeExpand = true;
    EXPECT_GT(archiver.SpaceForFile("c:\\some\\file"), 0);
    EXPECT_GT(archiver.SpaceForFile("relative\\file"), 0);
    EXPECT_EQ(archiver.Drives, (std::vector<int>{3, 0}));
    EXPECT_GT(archiver.DriveFreeSpace(3), 0.0f);
}

TEST(Win32SpaceCheck, ExpansionChecksTheRealDriveAndAMissingDriveHasNoSpace) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.CheckSpaceBeforeExpand = true;
    archiver.SetTargetPath(temp.Path());
    Expand(archiver, RawArchive({TRawMember{"fits.txt", "fits"}}));
    EXPECT_EQ(temp.Read("fits.txt"), "fits");

    if (GetLogicalDrives() & (1u << ('Q' - 'A'))) GTEST_SKIP() << "drive Q: exists here";
    EXPECT_EQ(archiver.DriveFreeSpace(17), -1.0f);
    archiver.SetTargetPath("Q:\\nowhere");
    try {
        Expand(archiver, RawArchive({TRawMember{"a.txt", "a"}}));
        FAIL() << "EInsufficientDiskSpace expected";
    } catch (const EInsufficientDiskSpace& e) {
        EXPECT_EQ(e.Message, "Not enough disk space to expand Q:\\nowhere\\a.txt");
    }
}

} // namespace
