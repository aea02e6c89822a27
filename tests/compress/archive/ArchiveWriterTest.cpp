// The archive writer: the exact bytes of small archives (expected bytes written out by hand from
// the layout), the key lock kinds, the fallback to stored members, files' dates and attributes,
// and round trips through TArchiver for every method this build can compress.
#include "tests/compress/archive/ArchiveTestSupport.h"
#include "tests/support/TempDirectory.h"
#include "tests/support/TestStreams.h"

#include "compress/CodecTable.h"
#include "compress/archive/ArchiveWriter.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> V(std::initializer_list<int> bytes) {
    std::vector<uint8_t> out;
    for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
    return out;
}

std::vector<uint8_t> Concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

std::vector<uint8_t> WriteOne(const std::string& data, uint8_t method, int32_t key = 0, int32_t lock = 2) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, method, key, lock);
    TMemoryStream source(Bytes(data));
    writer.AddStream("a.txt", source, 0x526428C4, 0x20, method);
    writer.Finish();
    return archive.Bytes;
}

// Archive header of NON with TotalSize 3, then the member header of "a.txt" up to its method.
const std::vector<uint8_t> StoredArchiveStart =
    V({'Q', 'D', 'M', 'X', 0x1A, 'N', 'O', 'N', 3, 0, 0, 0, 1, 0, 0, 0, 0});
const std::vector<uint8_t> MemberStart =
    V({5, 0, 0xC4, 0x28, 0x64, 0x52, 0x20, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0});

TEST(ArchiveWriterLayout, AStoredMemberIsHeaderNameAndData) {
    auto expected = Concat({StoredArchiveStart, V({0, 0, 0, 0}), MemberStart,
                            V({0x26, 0x01, 0, 0, 0, 0, 0, 0}), V({'a', '.', 't', 'x', 't', 'a', 'b', 'c'})});
    EXPECT_EQ(WriteOne("abc", miStored), expected);
}

TEST(ArchiveWriterLayout, LockTwoScramblesTheDataAndAddsTheKeyToTheChecksum) {
    auto expected =
        Concat({StoredArchiveStart, V({2, 0, 0, 0}), MemberStart, V({0x27, 0x03, 0x03, 0x04, 2, 0, 0, 0}),
                V({'a', '.', 't', 'x', 't', 0x60, 0x60, 0x60})});
    EXPECT_EQ(WriteOne("abc", miStored, 0x04030201), expected);
}

TEST(ArchiveWriterLayout, LockOneKeepsTheDataPlain) {
    auto expected =
        Concat({StoredArchiveStart, V({2, 0, 0, 0}), MemberStart, V({0x27, 0x03, 0x03, 0x04, 1, 0, 0, 0}),
                V({'a', '.', 't', 'x', 't', 'a', 'b', 'c'})});
    EXPECT_EQ(WriteOne("abc", miStored, 0x04030201, 1), expected);
}

TEST(ArchiveWriterLayout, ANegativeKeyLocksTheMembersWithLockMarkZero) {
    auto expected =
        Concat({StoredArchiveStart, V({0, 0, 0, 0}), MemberStart, V({0x25, 0x01, 0, 0, 2, 0, 0, 0}),
                V({'a', '.', 't', 'x', 't', 'a' ^ 0xFF, 'b' ^ 0xFF, 'c' ^ 0xFF})});
    EXPECT_EQ(WriteOne("abc", miStored, -1), expected);
}

TEST(ArchiveWriterLayout, AnEmptyArchiveIsTheHeaderAlone) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, miRLE);
    writer.Finish();
    EXPECT_EQ(archive.Bytes,
              V({'Q', 'D', 'M', 'X', 0x1A, 'R', 'L', 'E', 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(ArchiveWriterLayout, DataThatRleWouldGrowIsStored) {
    auto bytes = WriteOne(std::string("x\x94y", 3), miRLE);
    ASSERT_EQ(bytes.size(), 21u + 25 + 5 + 3);
    EXPECT_EQ(bytes[5], 'R');
    EXPECT_EQ(bytes[21 + 16], miStored);
    EXPECT_EQ(bytes[21 + 12], 3);
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 3, bytes.end()), V({'x', 0x94, 'y'}));
}

TEST(ArchiveWriterLayout, TotalSizeIsTheSumOfExpandedSizes) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, miRLE);
    for (int n : {0, 10, 1000, 70000}) {
        TMemoryStream source(std::vector<uint8_t>(static_cast<size_t>(n), 'q'));
        std::string name = "m";
        name += std::to_string(n);
        writer.AddStream(name, source, 0x526428C4, 0x20, miRLE);
    }
    writer.Finish();
    EXPECT_EQ(writer.TotalSize(), 71010);
    ASSERT_GE(archive.Bytes.size(), 21u);
    EXPECT_EQ(archive.Bytes[8] | archive.Bytes[9] << 8 | archive.Bytes[10] << 16 | archive.Bytes[11] << 24,
              71010);
}

TEST(ArchiveWriterLayout, RejectsWhatTheFormatCannotHold) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, miStored);
    TMemoryStream source(Bytes("x"));
    EXPECT_THROW(writer.AddStream(std::string(32768, 'n'), source, 0, 0, miStored), Exception);
    EXPECT_THROW(writer.AddStream("custom", source, 0, 0, miCustom), Exception);
    EXPECT_THROW(writer.AddStream("unknown", source, 0, 0, 9), Exception);
    EXPECT_THROW(TArchiveWriter(archive, 5), Exception);
    EXPECT_THROW(TArchiveWriter(archive, miStored, 7, 0), Exception);
}

// A name beyond ASCII carries the UTF-8 mark, one of ASCII alone does not (so that archives of
// such names stay what they were); bytes that are not UTF-8 are no name.
TEST(ArchiveWriterLayout, NamesBeyondAsciiAreMarkedAndMustBeUtf8) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, miStored);
    const std::string name = "Ñandú\\über.dat";
    TMemoryStream source(Bytes("abc"));
    EXPECT_TRUE(writer.AddStream(name, source, 0x526428C4, 0x20, miStored).Utf8Name);
    TMemoryStream latin1(Bytes("abc"));
    try {
        writer.AddStream("W\xF6rter.txt", latin1, 0x526428C4, 0x20, miStored);
        ADD_FAILURE() << "a name that is not UTF-8 was written";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Member name is not UTF-8: W\\xF6rter.txt");
    }
    writer.Finish();
    const auto& bytes = archive.Bytes;
    ASSERT_EQ(bytes.size(), 21u + 25 + name.size() + 3);
    EXPECT_EQ(bytes[21 + MemberHeaderOffset::Attributes], 0x28);
    EXPECT_EQ(std::string(bytes.begin() + 21 + 25, bytes.end() - 3), name);
    EXPECT_EQ(WriteOne("abc", miStored)[21 + MemberHeaderOffset::Attributes], 0x20);
}

TEST(ArchiveWriterFiles, TakesTheFilesDateAndAttributes) {
    TTempDirectory temp;
    temp.Write("file.txt", "contents");
    {
        auto file = TFileStream::Create(temp.Sub("stamp.txt"));
        file->Write("stamped", 7);
        ASSERT_TRUE(SetFileDateTime(*file, 0x526428C4));
    }
    ASSERT_TRUE(SetAttributes(temp.Sub("stamp.txt"), faReadOnly | faArchive));
    TMemoryStream archive;
    TArchiveWriter writer(archive, miStored);
    TMemberHeader plain = writer.AddFile("file.txt", temp.Sub("file.txt"), miStored);
    TMemberHeader stamped = writer.AddFile("stamp.txt", temp.Sub("stamp.txt"), miStored);
    EXPECT_EQ(plain.Attributes & faReadOnly, 0);
    EXPECT_EQ(stamped.Attributes & (faReadOnly | faDirectory), faReadOnly);
    EXPECT_EQ(stamped.DateTime, 0x526428C4);
    EXPECT_EQ(stamped.ExpandedSize, 7);
    EXPECT_THROW(writer.AddFile("missing", temp.Sub("missing"), miStored), EFOpenError);
}

TEST(ArchiveWriterFiles, ReportsProgressPerMember) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, miStored);
    std::vector<int32_t> reports;
    writer.OnShowProgress = [&](int32_t& percent) { reports.push_back(percent); };
    TMemoryStream source(std::vector<uint8_t>(10000, 'p'));
    writer.AddStream("p", source, 0, 0, miStored);
    EXPECT_EQ(reports, (std::vector<int32_t>{0, 81, 100, 100}));
}

// ---------------------------------------------------------------------------------------------
struct TRoundTripCase {
    uint8_t Method;
    int32_t Key;
    int32_t Lock;
};
void PrintTo(const TRoundTripCase& c, std::ostream* out) {
    *out << "method " << int(c.Method) << " key " << c.Key << " lock " << c.Lock;
}

class ArchiveWriterRoundTrip : public ::testing::TestWithParam<TRoundTripCase> {};

TEST_P(ArchiveWriterRoundTrip, TheComponentExpandsWhatTheWriterWrote) {
    const auto [method, key, lock] = GetParam();
    const TCodecEntry* codec = FindCodec(method);
    if (!codec || !codec->Compress || !codec->Expand)
        GTEST_SKIP() << "method " << int(method) << " not in this build";

    std::vector<std::pair<std::string, std::vector<uint8_t>>> members;
    members.push_back({"empty", {}});
    members.push_back({"abc.txt", Bytes("abc")});
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "line " + std::to_string(i % 37) + " of a repetitive text\n";
    members.push_back({"dir\\text.txt", Bytes(text)});
    members.push_back({"dir\\random.bin", RandomBytes(30000, 5)});
    members.push_back({"markers.bin", std::vector<uint8_t>(5000, 0x94)});
    members.push_back({"Wörterbuch.txt", Bytes("Wörter")});
    members.push_back({"Словарь\\日本語.txt", Bytes(text.substr(0, 900))});

    TMemoryStream archive;
    TArchiveWriter writer(archive, method, key, lock);
    for (const auto& [name, data] : members) {
        TMemoryStream source(data);
        TMemberHeader header = writer.AddStream(name, source, 0x526428C4, 0x20, method);
        EXPECT_LE(header.CompressedSize, header.ExpandedSize) << name;
        EXPECT_TRUE(header.Method == method || header.Method == miStored) << name;
        EXPECT_EQ(header.Lock, key != 0 ? lock : 0);
    }
    writer.Finish();

    TTempDirectory temp;
    TArchiver archiver;
    archiver.SetTargetPath(temp.Path());
    archiver.MakeDirectories = true;
    archiver.Key = key;
    archive.Seek(0, TSeekOrigin::Begin);
    archiver.ExpandArchive(archive, nullptr);
    for (const auto& [name, data] : members) EXPECT_EQ(Bytes(temp.Read(name)), data) << name;
    archive.Seek(0, TSeekOrigin::Begin);
    TDirectoryList list;
    archiver.ReadDirectory(archive, list);
    ASSERT_EQ(list.size(), members.size());
    for (size_t i = 0; i < members.size(); ++i) EXPECT_EQ(list[i].Name, members[i].first);

    if (key != 0) {
        TArchiver keyless;
        keyless.SetTargetPath(temp.Path());
        archive.Seek(0, TSeekOrigin::Begin);
        EXPECT_THROW(keyless.ExpandArchive(archive, nullptr), EInvalidKey);
    }
}

INSTANTIATE_TEST_SUITE_P(Methods, ArchiveWriterRoundTrip,
                         ::testing::Values(TRoundTripCase{miStored, 0, 2}, TRoundTripCase{miRLE, 0, 2},
                                           TRoundTripCase{miLZH, 0, 2}, TRoundTripCase{miLH5, 0, 2},
                                           TRoundTripCase{miRLE, 0x5A17C0DE, 2}, TRoundTripCase{miRLE, 99, 1},
                                           TRoundTripCase{miLZH, 0x5A17C0DE, 2},
                                           TRoundTripCase{miLH5, 0x5A17C0DE, 2},
                                           TRoundTripCase{miLH5, -12345, 1}),
                         [](const auto& info) {
                             return std::string(MethodIdentifiers[info.param.Method]) + "Key" +
                                    std::to_string(static_cast<uint32_t>(info.param.Key)) + "Lock" +
                                    std::to_string(info.param.Lock);
                         });

} // namespace
