#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "support/TempDirectory.h"
#include "support/TestStreams.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

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

TEST(ReadOnlyMemoryStream, RefusesWritesAndKeepsItsOwnerAlive) {
    auto owner = std::make_shared<std::vector<uint8_t>>(Bytes("data"));
    std::weak_ptr<std::vector<uint8_t>> watch = owner;
    {
        TReadOnlyMemoryStream s(owner->data(), 4, owner);
        owner.reset();
        EXPECT_FALSE(watch.expired());
        EXPECT_THROW(s.Write("x", 1), EStreamError);
        char buf[8];
        EXPECT_EQ(s.Read(buf, 8), 4);
    }
    EXPECT_TRUE(watch.expired());
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

} // namespace
