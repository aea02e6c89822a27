// The space check before each member (with the free-space query replaced, so that any amount of
// free space can be simulated), the drive numbers of paths, and MakeDirectoryPath.
#include "tests/compress/archive/ArchiveTestSupport.h"
#include "tests/support/TempDirectory.h"

#include "compress/Archiver.h"
#include "platform/files/FileSystem.h"

#include <climits>
#include <gtest/gtest.h>

namespace {

class TSpaceArchiver : public TArchiver {
public:
    float Free = 0;
    std::vector<std::string> Queries;

protected:
    float TargetFreeSpace(const std::string& target) override {
        Queries.push_back(target);
        return Free;
    }
};

class ArchiveSpaceCheck : public ::testing::Test {
protected:
    TTempDirectory Temp;
    TSpaceArchiver Archiver;
    void SetUp() override {
        Archiver.SetTargetPath(Temp.Path());
        Archiver.CheckSpaceBeforeExpand = true;
    }
};

TEST_F(ArchiveSpaceCheck, WithoutTheCheckNoQueryIsMade) {
    Archiver.CheckSpaceBeforeExpand = false;
    EXPECT_EQ(Archiver.SpaceForFile(Temp.Sub("x")), INT32_MAX);
    TMemoryStream archive(std::vector<uint8_t>{});
    std::string bytes = RawArchive({TRawMember{"a.txt", "abc"}});
    archive.Bytes.assign(bytes.begin(), bytes.end());
    Archiver.ExpandArchive(archive, nullptr);
    EXPECT_TRUE(Archiver.Queries.empty());
    EXPECT_EQ(Temp.Read("a.txt"), "abc");
}

struct TSpaceCase {
    float Free;
    int32_t Expected;
};
void PrintTo(const TSpaceCase& c, std::ostream* out) {
    *out << c.Free;
}

class ArchiveSpaceValues : public ArchiveSpaceCheck, public ::testing::WithParamInterface<TSpaceCase> {};

TEST_P(ArchiveSpaceValues, FreeSpaceBecomesAByteCount) {
    Archiver.Free = GetParam().Free;
    EXPECT_EQ(Archiver.SpaceForFile(Temp.Sub("new.bin")), GetParam().Expected);
    EXPECT_EQ(Archiver.Queries, std::vector<std::string>{Temp.Sub("new.bin")});
}

INSTANTIATE_TEST_SUITE_P(Values, ArchiveSpaceValues,
                         ::testing::Values(TSpaceCase{-1.0f, -1}, TSpaceCase{0.0f, 0},
                                           TSpaceCase{1234.0f, 1234}, TSpaceCase{2147483136.0f, 2147483136},
                                           TSpaceCase{2147483392.0f, INT32_MAX},
                                           TSpaceCase{1e12f, INT32_MAX}));

TEST_F(ArchiveSpaceCheck, AnExistingFileThatWillBeReplacedCountsAsFreeSpace) {
    Temp.Write("existing.bin", std::string(1500, 'e'));
    Archiver.Free = 1000;
    EXPECT_EQ(Archiver.SpaceForFile(Temp.Sub("existing.bin")), 2500);
    Archiver.Free = 2147483000.0f;
    EXPECT_EQ(Archiver.SpaceForFile(Temp.Sub("existing.bin")), INT32_MAX);
    Archiver.Free = -1;
    EXPECT_EQ(Archiver.SpaceForFile(Temp.Sub("existing.bin")), 1499);
}

TEST_F(ArchiveSpaceCheck, TooLittleSpaceStopsBeforeTheFileIsCreated) {
    Archiver.Free = 4;
    std::string bytes = RawArchive({TRawMember{"fits.txt", "four"}, TRawMember{"big.txt", "five!"}});
    TMemoryStream archive(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    try {
        Archiver.ExpandArchive(archive, nullptr);
        FAIL() << "EInsufficientDiskSpace expected";
    } catch (const EInsufficientDiskSpace& e) {
        EXPECT_EQ(e.Message, "Not enough disk space to expand " + Archiver.TargetPath() + "big.txt");
    }
    EXPECT_EQ(Temp.Read("fits.txt"), "four");
    EXPECT_FALSE(Temp.Exists("big.txt"));
}

TEST_F(ArchiveSpaceCheck, AReplacementNeedsItsWholeSizeBesideTheFileItReplaces) {
    // The installed file stays until its replacement is complete: its size does not count.
    Temp.Write("words.vlm", std::string(1500, 'e'));
    Archiver.Free = 1000;
    std::string bytes = RawArchive({TRawMember{"words.vlm", std::string(1200, 'n')}});
    TMemoryStream archive(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    EXPECT_THROW(Archiver.ExpandArchive(archive, nullptr), EInsufficientDiskSpace);
    EXPECT_EQ(Temp.Read("words.vlm"), std::string(1500, 'e'));
    Archiver.Free = 1200;
    archive.Seek(0, TSeekOrigin::Begin);
    Archiver.ExpandArchive(archive, nullptr);
    EXPECT_EQ(Temp.Read("words.vlm"), std::string(1200, 'n'));
}

TEST_F(ArchiveSpaceCheck, TheRealQueryFindsSpaceForASmallFile) {
    TArchiver real;
    real.CheckSpaceBeforeExpand = true;
    EXPECT_GT(real.SpaceForFile(Temp.Sub("not\\yet\\there.bin")), 0);
    EXPECT_GT(real.DriveFreeSpace(0), 0.0f);
}

// ---------------------------------------------------------------------------------------------
struct TDriveCase {
    const char* Path;
    uint8_t Drive;
};
void PrintTo(const TDriveCase& c, std::ostream* out) {
    *out << '"' << c.Path << '"';
}

class ArchiveDriveNumber : public ::testing::TestWithParam<TDriveCase> {};

TEST_P(ArchiveDriveNumber, ComesFromTheLetterBeforeAColon) {
    EXPECT_EQ(TArchiver::DriveNumberOf(GetParam().Path), GetParam().Drive);
}

INSTANTIATE_TEST_SUITE_P(Values, ArchiveDriveNumber,
                         ::testing::Values(TDriveCase{"C:\\dir\\file", 3}, TDriveCase{"c:\\dir\\file", 3},
                                           TDriveCase{"A:", 1}, TDriveCase{"z:x", 26},
                                           TDriveCase{"\\dir\\file", 0}, TDriveCase{"dir\\file", 0},
                                           TDriveCase{"C", 0}, TDriveCase{"", 0},
                                           TDriveCase{"\\\\server\\share", 0}));

// ---------------------------------------------------------------------------------------------
TEST(MakeDirectoryPath, CreatesEveryMissingLevel) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.MakeDirectoryPath(temp.Sub("a\\b\\c\\"));
    EXPECT_TRUE(DirectoryExists(temp.Sub("a\\b\\c")));
    EXPECT_NO_THROW(archiver.MakeDirectoryPath(temp.Sub("a\\b\\c")));
    archiver.MakeDirectoryPath(temp.Sub("a\\d"));
    EXPECT_TRUE(DirectoryExists(temp.Sub("a\\d")));
}

TEST(MakeDirectoryPath, LeavesEmptyAndShortPathsAlone) {
    TTempDirectory temp;
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(temp.Path());
    TArchiver archiver;
    archiver.MakeDirectoryPath("");
    archiver.MakeDirectoryPath("ab");
    archiver.MakeDirectoryPath("ab\\");
    archiver.MakeDirectoryPath("abc\\");
    std::filesystem::current_path(previous);
    EXPECT_FALSE(temp.Exists("ab"));
    EXPECT_TRUE(temp.Exists("abc"));
}

// As many new levels as allowed are made; one more refuses the whole path before its first folder.
TEST(MakeDirectoryPath, RefusesMoreNewLevelsThanAnyArchiveNeeds) {
    TTempDirectory temp;
    TArchiver archiver;
    std::string levels;
    for (size_t level = 0; level < TArchiver::MaxNewDirectoryLevels; ++level) levels += "d\\";
    archiver.MakeDirectoryPath(temp.Sub("ok"));
    archiver.MakeDirectoryPath(temp.Sub("ok\\" + levels));
    EXPECT_TRUE(DirectoryExists(temp.Sub("ok\\" + levels)));
    EXPECT_THROW(archiver.MakeDirectoryPath(temp.Sub("deep\\" + levels + "one-more")), EInOutError);
    EXPECT_FALSE(temp.Exists("deep"));
}

TEST(MakeDirectoryPath, AFileInTheWayIsAnInputOutputError) {
    TTempDirectory temp;
    temp.Write("file", "x");
    TArchiver archiver;
    EXPECT_THROW(archiver.MakeDirectoryPath(temp.Sub("file\\sub")), EInOutError);
}

} // namespace
