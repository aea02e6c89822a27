// Failing destinations and sources: a destination that raises after a number of bytes, /dev/full,
// and a source whose reads fail. The stream's own error must leave RunCodec and ExpandArchive
// unchanged, output must stay in whole 8192-byte pieces, earlier files must be complete, the
// file that the failing member would have replaced must stay as it was (contents, date and
// attributes) with no temporary file beside it, and the run's buffers must be released (the LH5
// and LZH storage too: the ASan build's leak checker watches these tests).
#include "tests/hostile/ComponentErrors.h"
#include "tests/support/TestStreams.h"
#include "tests/support/ToolRunner.h"

#include "compress/CodecTable.h"
#include "compress/archive/ArchiveWriter.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace {

const std::string InjectedWrite = "injected write failure";
const std::string InjectedRead = "injected read failure";
constexpr int32_t MemberDate = 0x58B1645C; // 2024-05-17 12:34:56
constexpr int16_t ReadOnlyArchive = 0x21;
constexpr int32_t InstalledDate = 0x3A5B6C7D; // 2009-02-27 13:35:58
const std::vector<uint8_t> Installed{'i', 'n', 's', 't', 'a', 'l', 'l', 'e', 'd', '\n'};

// Accepts writes while they fit within Limit bytes; the write that would pass it raises
// EStreamError and writes nothing.
class TFailingDestination : public TMemoryStream {
public:
    explicit TFailingDestination(int64_t limit) : Limit(limit) {}
    void Write(const void* buffer, int32_t count) override {
        WriteSizes.push_back(count);
        if (Size() + count > Limit) throw EStreamError(InjectedWrite);
        TMemoryStream::Write(buffer, count);
    }
    int64_t Limit;
    std::vector<int32_t> WriteSizes;
};

// Delivers reads that end within Limit bytes of the stream; a read that would pass it raises
// EStreamError and delivers nothing.
class TFailingSource : public TMemoryStream {
public:
    TFailingSource(std::vector<uint8_t> bytes, int64_t limit)
        : TMemoryStream(std::move(bytes)), Limit(limit) {}
    int32_t Read(void* buffer, int32_t count) override {
        if (Position() + count > Limit) throw EStreamError(InjectedRead);
        return TMemoryStream::Read(buffer, count);
    }
    int64_t Limit;
};

std::vector<uint8_t> Compressible(size_t n) {
    std::vector<uint8_t> out;
    const std::string line = "entry: translation of the term into the target language\n";
    for (size_t i = 0; out.size() < n; ++i) {
        out.insert(out.end(), line.begin(), line.end());
        out.push_back(static_cast<uint8_t>('0' + i % 10));
    }
    out.resize(n);
    return out;
}

// Text of random words and numbers: it compresses, but not so far that the coded form of 60,000
// bytes fits one input chunk.
std::vector<uint8_t> Varied(size_t n, uint32_t seed) {
    static const char* const words[] = {"lexicon",     "entry",  "the",    "of",         "Vellumor",
                                        "translation", "a",      "term",   "dictionary", "and",
                                        "Parlavox",    "source", "target", "is",         "glossary"};
    auto r = RandomBytes(n, seed);
    std::string text;
    for (size_t i = 0; text.size() < n; ++i) {
        text += words[r[i % n] % std::size(words)];
        text += ' ';
        text += std::to_string(r[(i * 13 + 5) % n] * 7 + r[(i * 3 + 1) % n]);
        text += r[(i * 5) % n] % 9 ? ' ' : '\n';
    }
    return {text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<uint8_t> Compress(uint8_t method, const std::vector<uint8_t>& data) {
    TArchiver archiver;
    TMemoryStream source(data), dest;
    uint32_t checksum = 0;
    archiver.RunCodec(dest, source, static_cast<int32_t>(data.size()), 0, method, checksum, pmCompress,
                      false);
    return dest.Bytes;
}

bool IsPrefix(const std::vector<uint8_t>& part, const std::vector<uint8_t>& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

void ExpectBuffersReleased(TArchiver& archiver) {
    EXPECT_EQ(archiver.CodecState().InBuffer, nullptr);
    EXPECT_EQ(archiver.CodecState().OutBuffer, nullptr);
}

struct TWriteFailure {
    uint8_t Method;
    TProcessMode Mode;
    int64_t Limit; // negative: that many bytes below the full output
};

std::string WriteFailureName(const ::testing::TestParamInfo<TWriteFailure>& info) {
    std::string limit =
        info.param.Limit < 0 ? "Minus" + std::to_string(-info.param.Limit) : std::to_string(info.param.Limit);
    return std::string(MethodIdentifiers[info.param.Method]) +
           (info.param.Mode == pmExpand ? "Expand" : "Compress") + limit;
}

class FailingDestination : public ::testing::TestWithParam<TWriteFailure> {};

TEST_P(FailingDestination, TheWriteErrorLeavesRunCodecWithWholePiecesWritten) {
    const TWriteFailure& p = GetParam();
    const std::vector<uint8_t> plain = Varied(40000, 3);
    const std::vector<uint8_t> coded = Compress(p.Method, plain);
    const std::vector<uint8_t>& input = p.Mode == pmExpand ? coded : plain;
    const std::vector<uint8_t>& output = p.Mode == pmExpand ? plain : coded;
    const int64_t limit = p.Limit < 0 ? static_cast<int64_t>(output.size()) + p.Limit : p.Limit;
    ASSERT_LT(limit, static_cast<int64_t>(output.size()));

    TArchiver archiver;
    std::vector<int32_t> progress;
    archiver.OnShowProgress = [&](int32_t& percent) { progress.push_back(percent); };
    TMemoryStream source(input);
    TFailingDestination dest(limit);
    uint32_t checksum = 0xDEADBEEF;
    try {
        archiver.RunCodec(dest, source, static_cast<int32_t>(input.size()),
                          static_cast<int32_t>(plain.size()), p.Method, checksum, p.Mode, false);
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, InjectedWrite);
    }
    EXPECT_EQ(dest.Bytes.size() % CodecChunkSize, 0u);
    EXPECT_EQ(static_cast<int64_t>(dest.Bytes.size()), limit / CodecChunkSize * CodecChunkSize);
    EXPECT_TRUE(IsPrefix(dest.Bytes, output));
    // The checksum is set before the final flush: a run that fails there hands it back, one that
    // fails inside the codec does not.
    const bool failedInCodec =
        limit / CodecChunkSize < (static_cast<int64_t>(output.size()) - 1) / CodecChunkSize;
    uint32_t plainSum = 0;
    for (uint8_t b : plain) plainSum += b;
    EXPECT_EQ(checksum, failedInCodec ? 0xDEADBEEFu : plainSum);
    // 0 before the run and one report per chunk fetched; the final 100 belongs to a successful run.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(static_cast<int64_t>(progress.size()),
              1 + (source.Position() + CodecChunkSize - 1) / CodecChunkSize);
    ExpectBuffersReleased(archiver);

    // The component's single state serves the next run as if nothing had happened.
    TMemoryStream again(input), fresh;
    archiver.RunCodec(fresh, again, static_cast<int32_t>(input.size()), static_cast<int32_t>(plain.size()),
                      p.Method, checksum, p.Mode, false);
    EXPECT_EQ(fresh.Bytes, output);
}

INSTANTIATE_TEST_SUITE_P(
    Methods, FailingDestination,
    ::testing::Values(TWriteFailure{miStored, pmExpand, 0}, TWriteFailure{miStored, pmExpand, 8192},
                      TWriteFailure{miStored, pmExpand, 20000}, TWriteFailure{miStored, pmCompress, 8191},
                      TWriteFailure{miRLE, pmExpand, 0}, TWriteFailure{miRLE, pmExpand, 16385},
                      TWriteFailure{miRLE, pmExpand, -1}, TWriteFailure{miRLE, pmCompress, 0},
                      TWriteFailure{miLZH, pmExpand, 0}, TWriteFailure{miLZH, pmExpand, 8193},
                      TWriteFailure{miLZH, pmExpand, -1}, TWriteFailure{miLZH, pmCompress, 0},
                      TWriteFailure{miLZH, pmCompress, -1}, TWriteFailure{miLH5, pmExpand, 0},
                      TWriteFailure{miLH5, pmExpand, 8192}, TWriteFailure{miLH5, pmExpand, 24577},
                      TWriteFailure{miLH5, pmExpand, -1}, TWriteFailure{miLH5, pmCompress, 0},
                      TWriteFailure{miLH5, pmCompress, -1}),
    WriteFailureName);

TEST(FailingDestinationLocked, AWriteErrorOfALockedMemberStaysTheStreamError) {
    const std::vector<uint8_t> plain = Compressible(30000);
    TMemoryStream archiveBytes;
    {
        TArchiveWriter writer(archiveBytes, miLH5, 0x1234567, 2);
        TMemoryStream source(plain);
        writer.AddStream("locked.txt", source, MemberDate, 0x20, miLH5);
        writer.Finish();
    }
    TArchiver archiver;
    archiver.Key = 0x1234567;
    archiveBytes.Seek(0, TSeekOrigin::Begin);
    std::string methodID;
    archiver.ReadArchiveHeader(archiveBytes, methodID);
    TMemberHeader m;
    std::string name;
    ASSERT_TRUE(archiver.ReadMemberHeader(archiveBytes, m, name));
    ASSERT_EQ(m.Lock, 2);
    TFailingDestination dest(10000);
    EXPECT_THROW(archiver.ExpandMember(dest, archiveBytes, m.CompressedSize, m.ExpandedSize, m.Checksum,
                                       m.Method, methodID, m.Lock),
                 EStreamError);
    EXPECT_EQ(dest.Bytes.size(), 8192u);
    EXPECT_TRUE(IsPrefix(dest.Bytes, plain));
    ExpectBuffersReleased(archiver);
}

struct TReadFailure {
    uint8_t Method;
    int64_t Limit;
};

class FailingSource : public ::testing::TestWithParam<TReadFailure> {};

TEST_P(FailingSource, TheReadErrorLeavesRunCodecAndTheBuffersAreReleased) {
    const TReadFailure& p = GetParam();
    const std::vector<uint8_t> plain = Varied(60000, 4);
    const std::vector<uint8_t> coded = Compress(p.Method, plain);
    ASSERT_LT(p.Limit, static_cast<int64_t>(coded.size()));
    TArchiver archiver;
    TFailingSource source(coded, p.Limit);
    TMemoryStream dest;
    uint32_t checksum = 0;
    try {
        archiver.RunCodec(dest, source, static_cast<int32_t>(coded.size()),
                          static_cast<int32_t>(plain.size()), p.Method, checksum, pmExpand, false);
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_EQ(e.Message, InjectedRead);
    }
    EXPECT_EQ(source.Position(), p.Limit / CodecChunkSize * CodecChunkSize) << "whole chunks were read";
    EXPECT_EQ(dest.Bytes.size() % CodecChunkSize, 0u);
    EXPECT_TRUE(IsPrefix(dest.Bytes, plain));
    ExpectBuffersReleased(archiver);
}

INSTANTIATE_TEST_SUITE_P(Methods, FailingSource,
                         ::testing::Values(TReadFailure{miStored, 0}, TReadFailure{miStored, 20000},
                                           TReadFailure{miRLE, 8192}, TReadFailure{miLZH, 0},
                                           TReadFailure{miLZH, 9000}, TReadFailure{miLH5, 0},
                                           TReadFailure{miLH5, 8200}),
                         [](const ::testing::TestParamInfo<TReadFailure>& info) {
                             return std::string(MethodIdentifiers[info.param.Method]) +
                                    std::to_string(info.param.Limit);
                         });

// Three members; the second is stored and 30,000 bytes long, so that a failure inside it comes
// after whole chunks of its data.
struct TThreeMembers {
    std::vector<uint8_t> Bytes;
    std::vector<std::vector<uint8_t>> Plain;
    std::vector<int64_t> DataStart;
};

TThreeMembers ThreeMembers() {
    TThreeMembers a;
    a.Plain = {Compressible(5000), RandomBytes(30000, 7), Compressible(3000)};
    const uint8_t methods[] = {miLH5, miStored, miLZH};
    const char* names[] = {"one.txt", "two.bin", "three.txt"};
    TMemoryStream archive;
    TArchiveWriter writer(archive, miLH5);
    for (int i = 0; i < 3; ++i) {
        TMemoryStream source(a.Plain[i]);
        a.DataStart.push_back(archive.Position() + MemberHeaderSize +
                              static_cast<int64_t>(std::strlen(names[i])));
        TMemberHeader h = writer.AddStream(names[i], source, MemberDate, ReadOnlyArchive, methods[i]);
        EXPECT_EQ(h.Method, methods[i]);
    }
    writer.Finish();
    a.Bytes = archive.Bytes;
    return a;
}

class FailingExpansion : public ::testing::Test {
protected:
    void TearDown() override {
        for (const auto& entry : std::filesystem::directory_iterator(Scratch.Path))
            SetAttributes(entry.path().string(), faArchive);
    }
    // Expands the archive from source with member k redirected to "m<k>" (or to redirect[k]).
    template <typename TSource>
    void Expand(TSource& source, std::map<int, std::string> redirect = {}) {
        int k = 0;
        Archiver.OnCheckFile = [&, redirect](std::string& path, TProcessMode) {
            path = redirect.count(k) ? redirect.at(k) : Scratch.File("m" + std::to_string(k));
            ++k;
        };
        Archiver.ExpandArchive(source, &Names);
    }
    // An installed file as an earlier expansion left it: its contents, date and attributes.
    void PlaceInstalledFile(const std::string& name) {
        TMemoryStream archive;
        TArchiveWriter writer(archive, miStored);
        TMemoryStream contents(Installed);
        writer.AddStream(name, contents, InstalledDate, ReadOnlyArchive, miStored);
        writer.Finish();
        archive.Seek(0, TSeekOrigin::Begin);
        TArchiver installer;
        installer.SetTargetPath(Scratch.Path.string());
        installer.ExpandArchive(archive, nullptr);
    }
    // The installed file is as it was, and no temporary file is left beside it.
    void ExpectInstalledFile(const std::string& name) {
        EXPECT_EQ(Scratch.Read(name), Installed);
        EXPECT_EQ(GetFileDateTime(Scratch.File(name)), InstalledDate);
        EXPECT_NE(GetAttributes(Scratch.File(name)) & faReadOnly, 0);
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(Scratch.Path))
            files.push_back(entry.path().filename().string());
        std::sort(files.begin(), files.end());
        EXPECT_EQ(files, (std::vector<std::string>{"m0", name}));
    }
    void ExpectCompleteFirstMember(const TThreeMembers& a) {
        EXPECT_EQ(Scratch.Read("m0"), a.Plain[0]);
        EXPECT_EQ(GetFileDateTime(Scratch.File("m0")), MemberDate);
        EXPECT_NE(GetAttributes(Scratch.File("m0")) & faReadOnly, 0);
        EXPECT_FALSE(std::filesystem::exists(Scratch.File("m2")));
        EXPECT_EQ(Names, (TStringList{"one.txt", "two.bin", "three.txt"}))
            << "the names list is not replaced";
        ExpectBuffersReleased(Archiver);
    }

    TScratchFolder Scratch{"failing-" +
                           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    TArchiver Archiver;
    TStringList Names{"one.txt", "two.bin", "three.txt"};
};

TEST_F(FailingExpansion, ASourceFailingInsideAMemberLeavesTheFileItWouldReplaceAsItWas) {
    const TThreeMembers a = ThreeMembers();
    PlaceInstalledFile("m1");
    TFailingSource source(a.Bytes, a.DataStart[1] + 2 * CodecChunkSize + 5);
    EXPECT_THROW(Expand(source), EStreamError);
    ExpectCompleteFirstMember(a);
    ExpectInstalledFile("m1");
}

#ifndef _WIN32
// Writes past Limit bytes of any file fail (EFBIG) while it lives, as on a volume that runs full.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &Saved);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = Saved;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~TFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

private:
    rlimit Saved{};
    void (*OldHandler)(int) = nullptr;
};

TEST_F(FailingExpansion, AWriteFailingInsideAMemberLeavesTheFileItWouldReplaceAsItWas) {
    const TThreeMembers a = ThreeMembers();
    PlaceInstalledFile("m1");
    TMemoryStream source(a.Bytes);
    {
        TFileSizeLimit limit(20000); // the first member fits, the second does not
        try {
            Expand(source);
            FAIL() << "no exception";
        } catch (const EStreamError& e) {
            EXPECT_NE(e.Message.find("Stream write error"), std::string::npos) << e.Message;
        }
    }
    ExpectCompleteFirstMember(a);
    ExpectInstalledFile("m1");
}
#endif

TEST_F(FailingExpansion, ASourceFailingInAHeaderEndsTheListingWithTheEntriesBeforeIt) {
    const TThreeMembers a = ThreeMembers();
    TFailingSource source(a.Bytes, a.DataStart[2] - 10);
    TDirectoryList list;
    EXPECT_THROW(Archiver.ReadDirectory(source, list), EStreamError);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].Name, "two.bin");
}

#ifdef __linux__
TEST_F(FailingExpansion, AFullDeviceStopsTheExpansionWithTheWriteError) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    const TThreeMembers a = ThreeMembers();
    // The device keeps its own permissions: the member written to it is not read-only.
    std::vector<uint8_t> bytes = a.Bytes;
    const int64_t attributesOffset =
        a.DataStart[1] - static_cast<int64_t>(std::strlen("two.bin")) - MemberHeaderSize + 6;
    bytes[static_cast<size_t>(attributesOffset)] = faArchive;
    TMemoryStream source(bytes);
    try {
        Expand(source, {{1, "/dev/full"}});
        FAIL() << "no exception";
    } catch (const EStreamError& e) {
        EXPECT_NE(e.Message.find("/dev/full"), std::string::npos) << e.Message;
    }
    ExpectCompleteFirstMember(a);
    EXPECT_FALSE(std::filesystem::exists(Scratch.File("m1")));
}
#endif

} // namespace
