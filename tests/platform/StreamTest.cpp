#include "platform/Exception.h"
#include "platform/digest/Sha256.h"
#include "platform/files/FileStream.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

TEST(MemoryStream, ReadReturnsWhatIsThereAndStopsAtTheEnd) {
    TMemoryStream s(Bytes("abcdef"));
    char buf[4];
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(s.Read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "ef");
    EXPECT_EQ(s.Read(buf, 4), 0);
}

TEST(MemoryStream, SeekAbsoluteRelativeAndFromEnd) {
    TMemoryStream s(Bytes("abcdef"));
    EXPECT_EQ(s.Seek(4, TSeekOrigin::Begin), 4);
    EXPECT_EQ(s.Seek(-3, TSeekOrigin::Current), 1);
    EXPECT_EQ(s.Seek(-1, TSeekOrigin::End), 5);
    EXPECT_EQ(s.Remaining(), 1);
    EXPECT_THROW(s.Seek(-10, TSeekOrigin::Current), EStreamError);
    // Beyond the end is allowed; reading there delivers nothing.
    s.Seek(100, TSeekOrigin::Begin);
    char c;
    EXPECT_EQ(s.Read(&c, 1), 0);
}

TEST(MemoryStream, WriteGrowsAndOverwrites) {
    TMemoryStream s(Bytes("abc"));
    s.Seek(2, TSeekOrigin::Begin);
    s.Write("XYZ", 3);
    EXPECT_EQ(std::string(s.Bytes.begin(), s.Bytes.end()), "abXYZ");
}

int ReleasedOwners = 0;

TEST(ReadOnlyMemoryStream, RefusesWritesAndKeepsItsOwnerAlive) {
    auto* owner = new std::vector<uint8_t>(Bytes("data"));
    ReleasedOwners = 0;
    {
        TReadOnlyMemoryStream s(owner->data(), 4, TKeepAlive(owner, [](void* kept) {
                                    ++ReleasedOwners;
                                    delete static_cast<std::vector<uint8_t>*>(kept);
                                }));
        EXPECT_THROW(s.Write("x", 1), EStreamError);
        char buf[8];
        EXPECT_EQ(s.Read(buf, 8), 4);
        EXPECT_EQ(ReleasedOwners, 0);
    }
    EXPECT_EQ(ReleasedOwners, 1);
}

class FileStreamTest : public ::testing::Test {
protected:
    TTempDirectory Folder;
    std::string Path = Folder.Sub("stream-test.bin");
};

TEST_F(FileStreamTest, CreateWriteReopenRead) {
    {
        auto out = TFileStream::Create(Path);
        out->Write("hello world", 11);
        EXPECT_EQ(out->Size(), 11);
        EXPECT_EQ(out->Position(), 11);
    }
    auto in = TFileStream::OpenRead(Path);
    EXPECT_EQ(in->Size(), 11);
    in->Seek(6, TSeekOrigin::Begin);
    char buf[16];
    EXPECT_EQ(in->Read(buf, 16), 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_THROW(in->Write("x", 1), EStreamError);
}

// The position the stream keeps for itself follows every read, write and seek, including a read
// cut short at the end, a failed write and seeks from each origin.
TEST_F(FileStreamTest, PositionFollowsReadsWritesAndSeeks) {
    auto file = TFileStream::CreateNew(Path);
    ASSERT_TRUE(file);
    file->Write("0123456789", 10);
    EXPECT_EQ(file->Seek(3, TSeekOrigin::Begin), 3);
    char buf[16];
    EXPECT_EQ(file->Read(buf, 4), 4);
    EXPECT_EQ(file->Position(), 7);
    file->Write("ab", 2);
    EXPECT_EQ(file->Position(), 9);
    EXPECT_EQ(file->Seek(-2, TSeekOrigin::Current), 7);
    EXPECT_EQ(file->Read(buf, 16), 3);
    EXPECT_EQ(std::string(buf, 3), "ab9");
    EXPECT_EQ(file->Position(), 10);
    EXPECT_EQ(file->Read(buf, 16), 0);
    EXPECT_EQ(file->Seek(-4, TSeekOrigin::End), 6);
    file->Write("XYZ", 3);
    EXPECT_EQ(file->Seek(0, TSeekOrigin::Current), 9);
    EXPECT_THROW(file->Seek(-1, TSeekOrigin::Begin), EStreamError);
    EXPECT_EQ(file->Position(), 9);
    file.reset();
    auto in = TFileStream::OpenRead(Path);
    EXPECT_EQ(in->Read(buf, 16), 10);
    EXPECT_EQ(std::string(buf, 10), "012345XYZ9");
    EXPECT_EQ(in->Position(), 10);
    EXPECT_THROW(in->Write("x", 1), EStreamError);
    EXPECT_EQ(in->Seek(0, TSeekOrigin::Current), 10);
}

TEST_F(FileStreamTest, CreateTruncatesAnExistingFile) {
    TFileStream::Create(Path)->Write("long contents", 13);
    TFileStream::Create(Path)->Write("ab", 2);
    EXPECT_EQ(TFileStream::OpenRead(Path)->Size(), 2);
}

TEST_F(FileStreamTest, MissingFilesAndFoldersRaiseTheirOwnErrors) {
    std::string missing = Path + ".missing";
    EXPECT_THROW(TFileStream::OpenRead(missing), EFOpenError);
    std::string inMissingFolder = (std::filesystem::temp_directory_path() / "no-such-dir" / "f").string();
    EXPECT_THROW(TFileStream::Create(inMissingFolder), EFCreateError);
    try {
        TFileStream::OpenRead(missing);
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message.find(missing), std::string::npos);
    }
}

// What is read through a locked stream is the file; on Windows nobody may write to or delete it
// meanwhile (POSIX has no sharing modes).
TEST_F(FileStreamTest, LockedReadingKeepsWritersAndDeletersOut) {
    TFileStream::Create(Path)->Write("checked", 7);
    auto locked = TFileStream::OpenReadLocked(Path);
    EXPECT_EQ(TFileStream::OpenRead(Path)->Size(), 7);
#ifdef _WIN32
    // A writer that shares everything (as std::ofstream opens) is still kept out.
    EXPECT_FALSE(std::ofstream(Path, std::ios::app).is_open());
    std::error_code error;
    EXPECT_FALSE(std::filesystem::remove(Path, error));
#endif
    char bytes[8] = {};
    EXPECT_EQ(locked->Read(bytes, sizeof bytes), 7);
    EXPECT_EQ(std::string(bytes), "checked");
}

// The system's SHA-256 through the portable reading: the standard's test vectors, one of them read
// across several of the pieces a stream is hashed in.
TEST(Sha256, SystemDigestMatchesTheStandardVectors) {
    const std::string abc = "abc";
    EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>(abc.data()), abc.size()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex(nullptr, 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    TMemoryStream million(std::vector<uint8_t>(1000000, 'a'));
    EXPECT_EQ(Sha256Hex(million), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

} // namespace
