// TArchiver's listing and expansion on real files in a temporary directory: target paths,
// directory lists, OnCheckFile, selection, creation failures, dates and attributes, the
// verification order with the key lock, and what survives a failure.
#include "tests/compress/archive/ArchiveTestSupport.h"
#include "tests/support/TempDirectory.h"

#include "compress/Archiver.h"
#include "compress/archive/FileNames.h"
#include "compress/archive/output/BackgroundWriter.h"
#include "compress/archive/output/PendingFile.h"
#include "platform/digest/Crc32.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <tuple>

namespace {

// The names of the entries of a folder (UTF-8), sorted.
std::vector<std::string> FilesIn(const TTempDirectory& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.FileSystemPath(""))) {
        const std::u8string name = entry.path().filename().u8string();
        names.emplace_back(name.begin(), name.end());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::unique_ptr<TMemoryStream> StreamOf(const std::string& bytes) {
    return std::make_unique<TMemoryStream>(std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

class ArchiveExpandFixture : public ::testing::Test {
protected:
    TTempDirectory Temp;
    TArchiver Archiver;

    void SetUp() override { Archiver.SetTargetPath(Temp.Path()); }
    void Expand(const std::string& archive, TStringList* names = nullptr) {
        auto stream = StreamOf(archive);
        Archiver.ExpandArchive(*stream, names);
    }
};

// ---------------------------------------------------------------------------------------------
struct TTargetCase {
    const char* Given;
    const char* Stored;
};
void PrintTo(const TTargetCase& c, std::ostream* out) {
    *out << '"' << c.Given << '"';
}

class ArchiveTargetPath : public ::testing::TestWithParam<TTargetCase> {};

TEST_P(ArchiveTargetPath, GetsExactlyOneTrailingBackslash) {
    TArchiver archiver;
    archiver.SetTargetPath(GetParam().Given);
    EXPECT_EQ(archiver.TargetPath(), GetParam().Stored);
}

INSTANTIATE_TEST_SUITE_P(Values, ArchiveTargetPath,
                         ::testing::Values(TTargetCase{"", ""}, TTargetCase{"dir", "dir\\"},
                                           TTargetCase{"dir\\", "dir\\"}, TTargetCase{"C:", "C:\\"},
                                           TTargetCase{"a\\b/", "a\\b/\\"}));

TEST(ArchiveComponent, StartsWithTheZeroValuesOfItsProperties) {
    TArchiver archiver;
    EXPECT_FALSE(archiver.OnCompress || archiver.OnExpand || archiver.OnCheckFile || archiver.OnRecognize ||
                 archiver.OnShowProgress);
    EXPECT_EQ(archiver.TargetPath(), "");
    EXPECT_FALSE(archiver.MakeDirectories);
    EXPECT_FALSE(archiver.ExceptionOnFileError);
    EXPECT_EQ(archiver.Key, 0);
    EXPECT_FALSE(archiver.CheckSpaceBeforeExpand);
}

// ---------------------------------------------------------------------------------------------
TEST(ArchiveDirectory, FortySixBytesListOneMemberWithAnEmptyName) {
    std::string archive = RawArchive({TRawMember{}});
    ASSERT_EQ(archive.size(), 46u);
    TArchiver archiver;
    TDirectoryList list;
    auto stream = StreamOf(archive);
    archiver.ReadDirectory(*stream, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "");
    EXPECT_EQ(list[0].Info->Position, 21);
}

TEST(ArchiveDirectory, FewerThanFortySixBytesListNothingEvenWithAnInvalidHeader) {
    TArchiver archiver;
    TDirectoryList list;
    auto stream = StreamOf(std::string(45, 'x'));
    EXPECT_NO_THROW(archiver.ReadDirectory(*stream, list));
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(stream->Position(), 0);
    auto header = StreamOf("QDMX\x1ANON" + std::string(13, '\0'));
    EXPECT_THROW(archiver.ExpandArchive(*header, nullptr), EInvalidHeaderArchiveType);
}

TEST(ArchiveDirectory, CopiesTheHeaderFieldsAndPositionsAndAppendsToTheList) {
    TRawMember a{"first.txt", "abc"};
    a.DateTime = 0x526428C4;
    a.Attributes = 0x21;
    TRawMember b{"dir\\second.bin", "hello", 40, 1, 1234, 2};
    b.Attributes = -1;
    std::string archive = RawArchive({a, b});
    TArchiver archiver;
    TDirectoryList list;
    list.push_back({"kept", std::make_unique<TMemberInfo>()});
    auto stream = StreamOf(archive);
    archiver.ReadDirectory(*stream, list);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].Name, "kept");
    EXPECT_EQ(list[1].Name, "first.txt");
    const TMemberInfo& first = *list[1].Info;
    EXPECT_EQ(first.DateTime, 0x526428C4);
    EXPECT_EQ(first.Attributes, 0x21);
    EXPECT_EQ(first.ExpandedSize, 3);
    EXPECT_EQ(first.CompressedSize, 3);
    EXPECT_EQ(first.Method, 0);
    EXPECT_EQ(first.Checksum, 294u);
    EXPECT_EQ(first.Position, 21);
    EXPECT_FALSE(first.Locked);
    EXPECT_EQ(list[2].Name, "dir\\second.bin");
    const TMemberInfo& second = *list[2].Info;
    // Every bit but the UTF-8 name mark, which is not an attribute.
    EXPECT_EQ(second.Attributes, static_cast<int16_t>(0xFFFF & ~Utf8NameMark));
    EXPECT_EQ(second.ExpandedSize, 40);
    EXPECT_EQ(second.CompressedSize, 5);
    EXPECT_EQ(second.Method, 1);
    EXPECT_EQ(second.Checksum, 1234u);
    EXPECT_EQ(second.Position, 21 + 25 + 9 + 3);
    EXPECT_TRUE(second.Locked);
    EXPECT_EQ(stream->Position(), stream->Size());
    archiver.FreeDirectory(&list);
    EXPECT_TRUE(list.empty());
    archiver.FreeDirectory(nullptr);
}

TEST(ArchiveDirectory, ListsEveryMemberWhateverTheTotalSizeSays) {
    std::string archive = RawArchive({TRawMember{"a", "1"}, TRawMember{"b", "2"}, TRawMember{"c", "3"}}, 1);
    TArchiver archiver;
    TDirectoryList list;
    auto stream = StreamOf(archive);
    archiver.ReadDirectory(*stream, list);
    EXPECT_EQ(list.size(), 3u);
}

TEST(ArchiveDirectory, ACutNameEndsTheListing) {
    std::string archive = RawArchive({TRawMember{"a", "1"}, TRawMember{"bbbbbb", ""}});
    archive.resize(archive.size() - 3);
    TArchiver archiver;
    TDirectoryList list;
    auto stream = StreamOf(archive);
    archiver.ReadDirectory(*stream, list);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].Name, "a");
}

// ---------------------------------------------------------------------------------------------
using ArchiveExpand = ArchiveExpandFixture;

TEST_F(ArchiveExpand, WritesEveryMemberBelowTheTargetPath) {
    Archiver.MakeDirectories = true;
    Expand(RawArchive({TRawMember{"one.txt", "first file"}, TRawMember{"sub\\deeper\\two.txt", "second"},
                       TRawMember{"empty", ""}}));
    EXPECT_EQ(Temp.Read("one.txt"), "first file");
    EXPECT_EQ(Temp.Read("sub\\deeper\\two.txt"), "second");
    EXPECT_TRUE(Temp.Exists("empty"));
    EXPECT_EQ(Temp.Read("empty"), "");
}

TEST_F(ArchiveExpand, SetsTheStoredDateAndAttributes) {
    TRawMember plain{"plain.txt", "abc"};
    plain.DateTime = 0x526428C4; // 2021-03-04 05:06:08
    TRawMember readOnly{"readonly.txt", "xyz"};
    readOnly.Attributes = 0x21;
    Expand(RawArchive({plain, readOnly}));
    EXPECT_EQ(GetFileDateTime(Temp.Sub("plain.txt")), 0x526428C4);
    EXPECT_EQ(GetFileDateTime(Temp.Sub("readonly.txt")), 0x2A54598E);
    EXPECT_EQ(GetAttributes(Temp.Sub("plain.txt")) & faReadOnly, 0);
    EXPECT_EQ(GetAttributes(Temp.Sub("readonly.txt")) & faReadOnly, faReadOnly);
}

TEST_F(ArchiveExpand, ANamesListSelectsIgnoringCaseAndReceivesTheWrittenPaths) {
    TStringList names{"B.TXT", "c.txt", "missing"};
    Expand(RawArchive({TRawMember{"a.txt", "A"}, TRawMember{"b.txt", "B"}, TRawMember{"C.txt", "C"}}),
           &names);
    EXPECT_FALSE(Temp.Exists("a.txt"));
    EXPECT_EQ(Temp.Read("b.txt"), "B");
    EXPECT_EQ(Temp.Read("C.txt"), "C");
    EXPECT_EQ(names, (TStringList{Archiver.TargetPath() + "b.txt", Archiver.TargetPath() + "C.txt"}));
}

TEST_F(ArchiveExpand, OnlyLettersAToZIgnoreCaseInTheNamesList) {
    TStringList names{"ÉTÉ"};
    Archiver.NamesCodePage = 1252;
    Expand(RawArchive({TRawMember{"\xE9t\xE9", "accented"}}), &names);
    EXPECT_TRUE(names.empty());
    names = {"été"};
    Expand(RawArchive({TRawMember{"\xE9t\xE9", "accented"}}), &names);
    EXPECT_EQ(names, TStringList{Archiver.TargetPath() + "été"});
}

// Names without the UTF-8 mark, as the first tools wrote them: in code page 932 the second byte
// of 表 and of ソ is 0x5C, the backslash, which must not split the name.
TEST_F(ArchiveExpand, UnmarkedNamesAreWrittenAsTheirCodePageSpellsThem) {
    Archiver.MakeDirectories = true;
    Archiver.NamesCodePage = 932;
    Expand(RawArchive({TRawMember{"\x95\x5C.txt", "one"},
                       TRawMember{"\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67.txt", "two"}}));
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"表.txt", "表示"}));
    EXPECT_EQ(Temp.Read("表.txt"), "one");
    EXPECT_EQ(Temp.Read("表示\\ソフト.txt"), "two");
    Archiver.NamesCodePage = 1252;
    Expand(RawArchive({TRawMember{"W\xF6rterbuch.txt", "three"}}));
    EXPECT_EQ(Temp.Read("Wörterbuch.txt"), "three");
}

TEST_F(ArchiveExpand, OnCheckFileSkipsRedirectsAndStops) {
    Archiver.MakeDirectories = true;
    std::vector<std::string> seen;
    std::vector<int> modes;
    const std::string redirected = Temp.Sub("elsewhere\\moved.txt");
    Archiver.OnCheckFile = [&](std::string& path, TProcessMode mode) {
        seen.push_back(path);
        modes.push_back(mode);
        if (path.ends_with("skip.txt")) path.clear();
        if (path.ends_with("move.txt")) path = redirected;
        if (path.ends_with("stop.txt")) path = "*";
    };
    TStringList names{"keep.txt", "skip.txt", "move.txt", "stop.txt", "after.txt"};
    Expand(RawArchive({TRawMember{"keep.txt", "1"}, TRawMember{"skip.txt", "2"}, TRawMember{"move.txt", "3"},
                       TRawMember{"stop.txt", "4"}, TRawMember{"after.txt", "5"}}),
           &names);
    const std::string t = Archiver.TargetPath();
    EXPECT_EQ(seen,
              (std::vector<std::string>{t + "keep.txt", t + "skip.txt", t + "move.txt", t + "stop.txt"}));
    EXPECT_EQ(modes, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(Temp.Read("keep.txt"), "1");
    EXPECT_FALSE(Temp.Exists("skip.txt"));
    EXPECT_EQ(Temp.Read("elsewhere\\moved.txt"), "3");
    EXPECT_FALSE(Temp.Exists("move.txt"));
    EXPECT_FALSE(Temp.Exists("stop.txt"));
    EXPECT_FALSE(Temp.Exists("after.txt"));
    EXPECT_EQ(names, (TStringList{t + "keep.txt", redirected}));
}

TEST_F(ArchiveExpand, StopsOnceTheTotalSizeIsReached) {
    Expand(RawArchive({TRawMember{"a", "12"}, TRawMember{"b", "34"}, TRawMember{"c", "56"}}, 4));
    EXPECT_TRUE(Temp.Exists("a"));
    EXPECT_TRUE(Temp.Exists("b"));
    EXPECT_FALSE(Temp.Exists("c"));
}

TEST_F(ArchiveExpand, EmptyMembersAfterTheTotalSizeAreStillWritten) {
    // Stopping at the total guards against bytes after the last member; an empty member cannot
    // overrun it, so trailing empty files are not lost.
    Expand(RawArchive({TRawMember{"a", "12"}, TRawMember{"empty1", ""}, TRawMember{"empty2", ""}}));
    EXPECT_TRUE(Temp.Exists("empty1"));
    EXPECT_TRUE(Temp.Exists("empty2"));
    Expand(RawArchive({TRawMember{"only-empty", ""}}));
    EXPECT_TRUE(Temp.Exists("only-empty"));
}

TEST_F(ArchiveExpand, BytesAfterTheTotalSizeEndTheArchiveWithoutAnError) {
    // Junk that reads as a header with negative sizes, zero padding that reads as an empty member
    // without a name, and an appended block that reads as a member larger than the file.
    TRawMember oversized{"appended", "xyz", 500000};
    oversized.CompressedSize = 400000;
    for (const std::string& extra : {std::string(30, '\xFF'), std::string(40, '\0'), RawMember(oversized)}) {
        std::string archive = RawArchive({TRawMember{"a", "12"}}) + extra;
        Expand(archive);
        EXPECT_EQ(Temp.Read("a"), "12");
        EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"a"}));
        TArchiver lister;
        TDirectoryList list;
        auto stream = StreamOf(archive);
        EXPECT_NO_THROW(lister.ReadDirectory(*stream, list));
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list[0].Name, "a");
    }
}

TEST_F(ArchiveExpand, FewerThanTwentyOneBytesExpandNothingWithoutError) {
    Archiver.OnCheckFile = [](std::string&, TProcessMode) { FAIL() << "no member expected"; };
    EXPECT_NO_THROW(Expand(std::string(20, 'x')));
}

TEST_F(ArchiveExpand, AFileThatCannotBeCreatedIsSkippedOrRaisesAsConfigured) {
    std::string archive = RawArchive({TRawMember{"missing-dir\\a.txt", "A"}, TRawMember{"b.txt", "B"}});
    TStringList names{"missing-dir\\a.txt", "b.txt"};
    Expand(archive, &names);
    EXPECT_EQ(Temp.Read("b.txt"), "B");
    EXPECT_EQ(names, TStringList{Archiver.TargetPath() + "b.txt"});

    Archiver.ExceptionOnFileError = true;
    EXPECT_THROW(Expand(archive), EFCreateError);
}

TEST_F(ArchiveExpand, ANameWithALeadingBackslashIgnoresTheTargetPath) {
    // The name of a file in the temporary directory, relative to the root of its drive.
    std::filesystem::path absolute = std::filesystem::absolute(Temp.Sub("rooted.txt"));
    std::string name = "\\" + absolute.relative_path().string();
    for (char& c : name)
        if (c == '/') c = '\\';
    // The current drive must be the temporary directory's drive.
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(absolute.root_path());
    Archiver.SetTargetPath(Temp.Sub("target"));
    Expand(RawArchive({TRawMember{name, "rooted"}}));
    std::filesystem::current_path(previous);
    EXPECT_EQ(Temp.Read("rooted.txt"), "rooted");
    EXPECT_FALSE(Temp.Exists("target"));
}

TEST_F(ArchiveExpand, AnEmptyTargetPathPlacesNamesInTheCurrentDirectory) {
    auto previous = std::filesystem::current_path();
    std::filesystem::current_path(Temp.Path());
    Archiver.SetTargetPath("");
    Archiver.MakeDirectories = true;
    Expand(RawArchive({TRawMember{"here\\file.txt", "here"}}));
    std::filesystem::current_path(previous);
    EXPECT_EQ(Temp.Read("here\\file.txt"), "here");
}

// A file that cannot be created or replaced goes to OnFileError when it is set; a written one is
// reported to OnFileWritten with what it received.
class ArchiveFileErrors : public ArchiveExpandFixture {
protected:
    // While blocked's member is expanded, a folder takes its target's place: the replacement fails.
    void BlockWhileExpanding(const std::string& blocked) {
        Archiver.OnShowProgress = [this, blocked](int32_t&) {
            if (!Temp.Exists(blocked)) std::filesystem::create_directories(Temp.Sub(blocked) + "/held");
        };
    }
    static uint32_t Crc(const std::string& bytes) {
        return UpdateCrc32(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    static std::string ReadPath(const std::string& path) {
        std::ifstream in(NativePath(path), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<TFileError> Errors;
};

TEST_F(ArchiveFileErrors, WrittenFilesAreReportedWithTheSizeAndCrcOfTheirBytes) {
    std::vector<std::tuple<std::string, int64_t, uint32_t>> written;
    Archiver.OnFileWritten = [&](const std::string& target, int64_t size, uint32_t crc) {
        written.emplace_back(target, size, crc);
    };
    const std::string big(700 * 1024, 'q'); // more than one gathered block
    Expand(RawArchive({TRawMember{"a.txt", "alpha"}, TRawMember{"big", big}, TRawMember{"empty", ""}}));
    ASSERT_EQ(written.size(), 3u);
    EXPECT_EQ(written[0], std::make_tuple(Archiver.TargetPath() + "a.txt", int64_t{5}, Crc("alpha")));
    EXPECT_EQ(written[1], std::make_tuple(Archiver.TargetPath() + "big", int64_t(big.size()), Crc(big)));
    EXPECT_EQ(written[2], std::make_tuple(Archiver.TargetPath() + "empty", int64_t{0}, 0u));
}

TEST_F(ArchiveFileErrors, RetryAfterTheHoldEndsReplacesTheTarget) {
    BlockWhileExpanding("held.txt");
    Archiver.OnFileError = [&](const TFileError& error) {
        Errors.push_back(error);
        // The member is complete beside its target, with what it holds.
        EXPECT_EQ(ReadPath(error.Pending), "new words");
        std::filesystem::remove_all(Temp.Sub("held.txt"));
        return TFileErrorAction::Retry;
    };
    TStringList names{"held.txt", "next.txt"};
    Expand(RawArchive({TRawMember{"held.txt", "new words"}, TRawMember{"next.txt", "next"}}), &names);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_TRUE(Errors[0].Replacing);
    EXPECT_EQ(Errors[0].Target, Archiver.TargetPath() + "held.txt");
    EXPECT_EQ(Errors[0].Size, 9);
    EXPECT_EQ(Errors[0].Crc32, Crc("new words"));
    EXPECT_EQ(FolderOf(Errors[0].Pending), FolderOf(Errors[0].Target));
    EXPECT_EQ(Temp.Read("held.txt"), "new words");
    EXPECT_EQ(names, (TStringList{Archiver.TargetPath() + "held.txt", Archiver.TargetPath() + "next.txt"}));
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"held.txt", "next.txt"}));
}

TEST_F(ArchiveFileErrors, KeepLeavesTheCompleteFileAndSkipLeavesNothing) {
    for (const TFileErrorAction action : {TFileErrorAction::Keep, TFileErrorAction::Skip}) {
        std::filesystem::remove_all(Temp.Sub("held.txt"));
        for (const std::string& name : FilesIn(Temp)) std::filesystem::remove(Temp.Sub(name));
        Errors.clear();
        BlockWhileExpanding("held.txt");
        Archiver.OnFileError = [&](const TFileError& error) {
            Errors.push_back(error);
            return action;
        };
        TStringList names{"held.txt", "next.txt"};
        Expand(RawArchive({TRawMember{"held.txt", "new words"}, TRawMember{"next.txt", "next"}}), &names);
        ASSERT_EQ(Errors.size(), 1u);
        // Neither counts as written; the next member still is.
        EXPECT_EQ(names, TStringList{Archiver.TargetPath() + "next.txt"});
        EXPECT_EQ(std::filesystem::exists(NativePath(Errors[0].Pending)), action == TFileErrorAction::Keep);
        if (action == TFileErrorAction::Keep) {
            EXPECT_EQ(ReadPath(Errors[0].Pending), "new words");
        }
    }
}

TEST_F(ArchiveFileErrors, RaiseEndsTheExpansionAndACreationFailureIsNoReplacement) {
    BlockWhileExpanding("held.txt");
    Archiver.OnFileError = [&](const TFileError& error) {
        Errors.push_back(error);
        return TFileErrorAction::Raise;
    };
    EXPECT_THROW(Expand(RawArchive({TRawMember{"held.txt", "new"}, TRawMember{"next.txt", "x"}})),
                 EFCreateError);
    EXPECT_FALSE(Temp.Exists("next.txt"));
    // A folder that does not exist (no MakeDirectories): the file cannot even be created.
    Archiver.OnShowProgress = nullptr;
    Errors.clear();
    Archiver.OnFileError = [&](const TFileError& error) {
        Errors.push_back(error);
        return TFileErrorAction::Skip;
    };
    Expand(RawArchive({TRawMember{"missing-dir\\a.txt", "A"}, TRawMember{"b.txt", "B"}}));
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_FALSE(Errors[0].Replacing);
    EXPECT_FALSE(Errors[0].InUse);
    EXPECT_TRUE(Errors[0].Pending.empty());
    EXPECT_EQ(Temp.Read("b.txt"), "B");
}

// ---------------------------------------------------------------------------------------------
using ArchiveVerify = ArchiveExpandFixture;

TEST_F(ArchiveVerify, ABadChecksumOfAnOpenMemberLeavesNoFileAndTheNamesListAsItWas) {
    TRawMember bad{"bad.txt", "abc", -1, 0, 295};
    TStringList names{"good.txt", "bad.txt", "later.txt"};
    try {
        Expand(RawArchive({TRawMember{"good.txt", "ok"}, bad, TRawMember{"later.txt", "x"}}), &names);
        FAIL() << "EBadChecksum expected";
    } catch (const EBadChecksum& e) {
        EXPECT_EQ(e.Message, "Bad checksum during expansion -- data may be invalid");
    }
    EXPECT_EQ(Temp.Read("good.txt"), "ok");
    EXPECT_EQ(GetFileDateTime(Temp.Sub("good.txt")), 0x2A54598E);
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"good.txt"}));
    EXPECT_EQ(names.size(), 3u) << "the caller's list is not replaced after a failure";
}

// An installed file and a member that would replace it but fails: the installed file stays byte
// for byte with its date and attributes, and no temporary file is left beside it.
struct TFailingReplacement {
    const char* Label;
    TRawMember Member;
    int32_t Key;
};
void PrintTo(const TFailingReplacement& c, std::ostream* out) {
    *out << c.Label;
}

class ArchiveReplaceFailing : public ArchiveExpandFixture,
                              public ::testing::WithParamInterface<TFailingReplacement> {};

TEST_P(ArchiveReplaceFailing, LeavesTheInstalledFileAsItWas) {
    TRawMember installed{"words.vlm", "version 1 of the words"};
    installed.DateTime = 0x526428C4;
    installed.Attributes = 0x21;
    Expand(RawArchive({installed}));
    Archiver.Key = GetParam().Key;
    EXPECT_THROW(Expand(RawArchive({TRawMember{"first.txt", "new"}, GetParam().Member})), Exception);
    EXPECT_EQ(Temp.Read("words.vlm"), "version 1 of the words");
    EXPECT_EQ(GetFileDateTime(Temp.Sub("words.vlm")), 0x526428C4);
    EXPECT_EQ(GetAttributes(Temp.Sub("words.vlm")) & (faReadOnly | faArchive), faReadOnly | faArchive);
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"first.txt", "words.vlm"}));
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ArchiveReplaceFailing,
    ::testing::Values(
        TFailingReplacement{"BadChecksum", TRawMember{"words.vlm", "version 2", -1, 0, 12345}, 0},
        TFailingReplacement{"DamagedLh5", TRawMember{"words.vlm", std::string(40, '\xFF'), 5000, 4, 1}, 0},
        TFailingReplacement{"LockedWithoutKey",
                            TRawMember{"words.vlm", "version 2", -1, 0, ByteSum("version 2") + 77, 2}, 0},
        TFailingReplacement{"WrongKeyLock1",
                            TRawMember{"words.vlm", "version 2", -1, 0, ByteSum("version 2") + 77, 1},
                            0x5A5A5A5A},
        TFailingReplacement{
            "WrongKeyLock2",
            TRawMember{"words.vlm", Scramble("version 2", 77), -1, 0, ByteSum("version 2") + 77, 2},
            0x5A5A5A5A}),
    [](const ::testing::TestParamInfo<TFailingReplacement>& info) { return std::string(info.param.Label); });

TEST_F(ArchiveVerify, AReadOnlyInstalledFileIsReplacedWhenItsMemberSucceeds) {
    TRawMember installed{"words.vlm", "version 1"};
    installed.Attributes = 0x21;
    Expand(RawArchive({installed}));
    TRawMember update{"words.vlm", "version 2"};
    update.DateTime = 0x526428C4;
    Expand(RawArchive({update}));
    EXPECT_EQ(Temp.Read("words.vlm"), "version 2");
    EXPECT_EQ(GetFileDateTime(Temp.Sub("words.vlm")), 0x526428C4);
    EXPECT_EQ(GetAttributes(Temp.Sub("words.vlm")) & faReadOnly, 0);
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{"words.vlm"}));
}

TEST_F(ArchiveVerify, ATemporaryFileLeftBehindIsNeitherReusedNorTouched) {
    const std::string target = Temp.Sub("words.vlm");
    const std::string leftover = TPendingFile::FreeNameBeside(target);
    const std::string leftoverName = leftover.substr(leftover.find_last_of("\\/") + 1);
    EXPECT_TRUE(TPendingFile::IsTemporaryName(leftoverName)) << leftoverName;
    EXPECT_FALSE(TPendingFile::IsTemporaryName("words.vlm"));
    Temp.Write(leftoverName, "left by a killed run");
    {
        TBackgroundWriter writer;
        TPendingFile pending(target, writer, leftover);
        EXPECT_NE(pending.Path(), leftover);
        EXPECT_EQ(pending.Path().substr(0, pending.Path().find_last_of("\\/")), Temp.Path());
    }
    EXPECT_EQ(Temp.Read(leftoverName), "left by a killed run");
    EXPECT_EQ(FilesIn(Temp), (std::vector<std::string>{leftoverName}))
        << "an abandoned pending file is removed";
}

// ---------------------------------------------------------------------------------------------
// The thread that writes the members' bytes.

// Refuses its second write.
class TFailingSecondWrite : public TMemoryStream {
public:
    void Write(const void* buffer, int32_t count) override {
        if (++Writes == 2) throw EStreamError("Stream write error: the disk is full");
        TMemoryStream::Write(buffer, count);
    }
    int Writes = 0;
};

TEST(BackgroundWriter, WritesEveryByteInOrderAcrossBlocksAndStreams) {
    TBackgroundWriter writer;
    std::string expected;
    for (int i = 0; i < 5 * TBackgroundWriter::BlockSize / 7 + 3; ++i) expected += char('a' + i % 23);
    for (int round = 0; round < 3; ++round) {
        TMemoryStream target;
        TBackgroundWriteStream stream(writer, target);
        for (size_t at = 0; at < expected.size(); at += 7)
            stream.Write(expected.data() + at,
                         static_cast<int32_t>(std::min<size_t>(7, expected.size() - at)));
        EXPECT_EQ(stream.Position(), static_cast<int64_t>(expected.size()));
        stream.Flush();
        EXPECT_EQ(std::string(target.Bytes.begin(), target.Bytes.end()), expected);
    }
}

TEST(BackgroundWriter, AFailedWriteIsRaisedAtFlushAndForgottenForTheNextStream) {
    TBackgroundWriter writer;
    const std::string block(TBackgroundWriter::BlockSize, 'x');
    {
        TFailingSecondWrite target;
        TBackgroundWriteStream stream(writer, target);
        for (int i = 0; i < 3; ++i) stream.Write(block.data(), static_cast<int32_t>(block.size()));
        EXPECT_THROW(stream.Flush(), EStreamError);
        EXPECT_EQ(target.Writes, 2) << "nothing is written after the failure";
    }
    TMemoryStream next;
    TBackgroundWriteStream stream(writer, next);
    stream.Write("ok", 2);
    EXPECT_NO_THROW(stream.Flush());
    EXPECT_EQ(next.Bytes.size(), 2u);
}

TEST_F(ArchiveVerify, AStoredMemberWithChecksumZeroIsAcceptedWhateverItsContents) {
    Expand(RawArchive({TRawMember{"zero.txt", "anything", -1, 0, 0}}));
    EXPECT_EQ(Temp.Read("zero.txt"), "anything");
    EXPECT_THROW(Expand(RawArchive({TRawMember{"rle.txt", "anything", -1, 1, 0}})), EBadChecksum);
}

TEST_F(ArchiveVerify, ALockedMemberWithoutAKeyLeavesNoFile) {
    TRawMember locked{"locked.txt", Scramble("secret", 77), -1, 0, ByteSum("secret") + 77, 2};
    try {
        Expand(RawArchive({TRawMember{"open.txt", "open"}, locked}));
        FAIL() << "EInvalidKey expected";
    } catch (const EInvalidKey& e) {
        EXPECT_EQ(e.Message, "File locked -- valid key required");
    }
    EXPECT_TRUE(Temp.Exists("open.txt"));
    EXPECT_FALSE(Temp.Exists("locked.txt"));
}

TEST_F(ArchiveVerify, TheRightKeyOpensBothLockKinds) {
    const uint32_t key = 0x01020304;
    TRawMember scrambled{
        "scrambled.txt", Scramble("scrambled data", key), -1, 0, ByteSum("scrambled data") + key, 2};
    TRawMember keyedSum{"keyed.txt", "plain data", -1, 1, ByteSum("plain data") + key, 1};
    Archiver.Key = static_cast<int32_t>(key);
    Expand(RawArchive({scrambled, keyedSum}));
    EXPECT_EQ(Temp.Read("scrambled.txt"), "scrambled data");
    EXPECT_EQ(Temp.Read("keyed.txt"), "plain data");
}

TEST_F(ArchiveVerify, WithKeyZeroNothingIsUnscrambledWhateverTheScrambleFlagSays) {
    TMemoryStream source(std::vector<uint8_t>{1, 2, 3, 4, 5});
    TMemoryStream dest;
    uint32_t checksum = 0;
    Archiver.RunCodec(dest, source, 5, 5, miStored, checksum, pmExpand, true);
    EXPECT_EQ(dest.Bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(checksum, 15u);
}

TEST_F(ArchiveVerify, AMemberOfAnUnknownMethodExpandsEmptyAndTheNextMemberStillFollows) {
    TRawMember unknown{"unknown.bin", "skipped data", 12, 9, 0};
    Expand(RawArchive({unknown, TRawMember{"next.txt", "next"}}));
    EXPECT_EQ(Temp.Read("unknown.bin"), "");
    EXPECT_EQ(Temp.Read("next.txt"), "next");
    TRawMember unknownWithSum{"u2.bin", "data", 4, 7, 5};
    EXPECT_THROW(Expand(RawArchive({unknownWithSum})), EBadChecksum);
}

TEST_F(ArchiveVerify, CustomMembersGoToOnExpandOrAreSkipped) {
    TRawMember custom{"custom.bin", "raw!", 8, 3, ByteSum("raw!raw!")};
    std::string archive = RawArchive({custom, TRawMember{"next.txt", "next"}});
    archive.replace(5, 3, "ABC");
    Archiver.OnRecognize = [](const std::string& id, bool& recognized) { recognized = id == "ABC"; };
    // Without a handler nothing is written and the checksum (0) does not match.
    EXPECT_THROW(Expand(archive), EBadChecksum);

    std::string seenID;
    Archiver.OnExpand = [&](TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize,
                            const std::string& id, uint32_t& checksum) {
        seenID = id;
        EXPECT_EQ(sourceSize, 4);
        EXPECT_EQ(destSize, 8);
        std::string data(static_cast<size_t>(sourceSize), '\0');
        source.Read(data.data(), sourceSize);
        data += data;
        dest.Write(data.data(), static_cast<int32_t>(data.size()));
        checksum = ByteSum(data);
    };
    Expand(archive);
    EXPECT_EQ(seenID, "ABC");
    EXPECT_EQ(Temp.Read("custom.bin"), "raw!raw!");
    EXPECT_EQ(Temp.Read("next.txt"), "next");
}

TEST_F(ArchiveVerify, ProgressCancelledAtTheStartLeavesChecksumZero) {
    Archiver.OnShowProgress = [](int32_t& percent) {
        if (percent == 0) percent = -1;
    };
    EXPECT_THROW(Expand(RawArchive({TRawMember{"a.txt", "abc"}})), EBadChecksum);
    EXPECT_FALSE(Temp.Exists("a.txt"));
    // A stored member with checksum 0 passes, and the following member is read from its header.
    Expand(RawArchive({TRawMember{"b.txt", "abc", -1, 0, 0}, TRawMember{"c.txt", "", -1, 0, 0}}));
    EXPECT_TRUE(Temp.Exists("c.txt"));
}

// ---------------------------------------------------------------------------------------------
struct TDamageCase {
    const char* Label;
    TRawMember Member;
    const char* Message;
};
void PrintTo(const TDamageCase& c, std::ostream* out) {
    *out << c.Label;
}

class ArchiveDamaged : public ::testing::TestWithParam<TDamageCase> {};

TDamageCase Damage(const char* label, TRawMember member, const char* message) {
    return {label, member, message};
}

TRawMember WithNameLength(int32_t n) {
    TRawMember m{"name", "data"};
    m.NameLength = n;
    return m;
}
TRawMember WithCompressedSize(int32_t n) {
    TRawMember m{"name", "data"};
    m.CompressedSize = n;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArchiveDamaged,
    ::testing::Values(
        Damage("NegativeNameLength", WithNameLength(-2),
               "Damaged archive: member header at offset 52 has a negative name length (-2)"),
        Damage("NegativeExpandedSize", TRawMember{"name", "data", -2},
               "Damaged archive: member \"name\" has a negative expanded size (-2)"),
        Damage("NegativeCompressedSize", WithCompressedSize(-1),
               "Damaged archive: member \"name\" has a negative compressed size (-1)"),
        Damage(
            "PastTheEnd", WithCompressedSize(5),
            "Damaged archive: member \"name\" has 5 bytes of stored data but only 4 remain in the archive"),
        Damage(
            "FarPastTheEnd", WithCompressedSize(0x7FFFFFFF),
            "Damaged archive: member \"name\" has 2147483647 bytes of stored data but only 4 remain in the "
            "archive")),
    [](const auto& info) { return std::string(info.param.Label); });

std::string DamagedArchive(const TRawMember& member) {
    TRawMember first{"ok", "1234"};
    // The damaged member follows a good one; the header's total covers both.
    std::string archive = RawArchiveHeader(100) + RawMember(first) + RawMember(member);
    return archive;
}

TEST_P(ArchiveDamaged, ListingRaisesAClearError) {
    TArchiver archiver;
    TDirectoryList list;
    auto stream = StreamOf(DamagedArchive(GetParam().Member));
    try {
        archiver.ReadDirectory(*stream, list);
        FAIL() << "EDamagedArchive expected";
    } catch (const EDamagedArchive& e) {
        EXPECT_EQ(e.Message, GetParam().Message);
    }
    EXPECT_LE(stream->Position(), stream->Size());
}

TEST_P(ArchiveDamaged, ExpansionRaisesTheSameErrorAfterTheGoodMember) {
    TTempDirectory temp;
    TArchiver archiver;
    archiver.SetTargetPath(temp.Path());
    auto stream = StreamOf(DamagedArchive(GetParam().Member));
    try {
        archiver.ExpandArchive(*stream, nullptr);
        FAIL() << "EDamagedArchive expected";
    } catch (const EDamagedArchive& e) {
        EXPECT_EQ(e.Message, GetParam().Message);
    }
    EXPECT_EQ(temp.Read("ok"), "1234");
    EXPECT_FALSE(temp.Exists("name"));
}

} // namespace
