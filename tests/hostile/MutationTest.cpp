// Random corruption of good archives, as libarchive's fuzz tests do it: archives of every method
// (and a locked one) made by the archive writer get about 1% of their bytes replaced at random,
// 100 times each with fixed seeds. Each copy is listed, expanded into files and expanded member by
// member into memory; every run must end normally or with a component exception, and whatever a
// member produces stays within what its codec may write.
#include "tests/hostile/ComponentErrors.h"
#include "tests/support/TestStreams.h"
#include "tests/support/ToolRunner.h"

#include "compress/CodecTable.h"
#include "compress/archive/ArchiveWriter.h"
#include "compress/dense/DenseMethod.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {

constexpr int Runs = 100;
// Free space the expansion pretends to have: a corrupted ExpandedSize above it stops the member
// with EInsufficientDiskSpace instead of writing gigabytes of decoded zero bits.
constexpr int32_t FreeSpace = 1 << 20;
constexpr int32_t LockKey = 0x5EED1234;

// The archiver of the expansion runs, with a fixed amount of free space.
class TLimitedArchiver : public TArchiver {
protected:
    float TargetFreeSpace(const std::string&) override { return static_cast<float>(FreeSpace); }
};

std::vector<uint8_t> Text(size_t n, uint32_t seed) {
    static const char* const words[] = {"lexicon",     "entry",  "the",        "of",   "Vellumor",
                                        "translation", "a",      "dictionary", "term", "and",
                                        "Parlavox",    "source", "target",     "is"};
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < n) {
        text += words[random() % std::size(words)];
        text += random() % 11 == 0 ? ".\n" : " ";
    }
    return {text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<uint8_t> RunsOfBytes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    while (out.size() < n)
        out.insert(out.end(), 1 + random() % 300, static_cast<uint8_t>(random() % 4 ? random() : 0x94));
    out.resize(n);
    return out;
}

struct TMutationSubject {
    const char* Name;
    uint8_t Method;
    int32_t Key;
};

// A good archive of three members (text across an 8 KB chunk boundary, random bytes, runs) made by
// the archive writer with one method; the locked subject scrambles its members with a key.
std::vector<uint8_t> GoodArchive(const TMutationSubject& subject) {
    TMemoryStream archive;
    TArchiveWriter writer(archive, subject.Method, subject.Key, 2);
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> members = {
        {"text.txt", Text(11000, 1)},
        {"dir\\random.bin", RandomBytes(1500, 2)},
        {"runs.bin", RunsOfBytes(4000, 3)}};
    for (const auto& [name, bytes] : members) {
        TMemoryStream source(bytes);
        writer.AddStream(name, source, 0x58A96000, 0x20, subject.Method);
    }
    writer.Finish();
    return archive.Bytes;
}

// Replaces about 1% of the bytes (at least one) with random values.
std::vector<uint8_t> Mutate(std::vector<uint8_t> bytes, uint32_t seed) {
    std::mt19937 random(seed);
    const size_t n = std::max<size_t>(1, bytes.size() / 100);
    for (size_t i = 0; i < n; ++i) bytes[random() % bytes.size()] = static_cast<uint8_t>(random());
    return bytes;
}

// Runs an operation and gives back the class of the component exception it ended with ("" when it
// ended normally); any other exception fails the test.
template <typename F>
std::string EndOf(F&& operation, const std::string& what) {
    try {
        operation();
    } catch (const std::exception& e) {
        std::string cls = ComponentClassOf(e);
        EXPECT_FALSE(cls.empty()) << what << ": " << typeid(e).name() << ": " << e.what();
        return cls.empty() ? "?" : cls;
    }
    return "";
}

class ArchiveMutation : public ::testing::TestWithParam<TMutationSubject> {
protected:
    TScratchFolder Scratch{std::string("mutation-") + GetParam().Name};
};

TEST_P(ArchiveMutation, EveryCorruptedCopyEndsWithOutputOrAComponentError) {
    const TMutationSubject& subject = GetParam();
    const std::vector<uint8_t> good = GoodArchive(subject);
    std::map<std::string, int> endings;
    for (int run = 0; run < Runs; ++run) {
        const uint32_t seed = 1000u * subject.Method + static_cast<uint32_t>(run) + (subject.Key ? 500u : 0u);
        const std::vector<uint8_t> bytes = Mutate(good, seed);
        const std::string what = std::string(subject.Name) + " seed " + std::to_string(seed);

        TMemoryStream listed(bytes);
        TArchiver lister;
        TDirectoryList list;
        std::string cls = EndOf([&] { lister.ReadDirectory(listed, list); }, what + " listing");
        EXPECT_TRUE(cls.empty() || IsDamagedDataError(cls)) << what << ": " << cls;
        for (const auto& entry : list)
            EXPECT_LE(entry.Info->CompressedSize, static_cast<int64_t>(bytes.size()));

        // Expansion into files: member k goes to "m<k>" of the scratch folder.
        std::filesystem::remove_all(Scratch.Path);
        std::filesystem::create_directories(Scratch.Path);
        TMemoryStream expanded(bytes);
        TLimitedArchiver archiver;
        archiver.Key = subject.Key;
        archiver.CheckSpaceBeforeExpand = true;
        int k = 0;
        archiver.OnCheckFile = [&](std::string& path, TProcessMode) {
            std::string file = "m";
            file += std::to_string(k++);
            path = Scratch.File(file);
        };
        cls = EndOf([&] { archiver.ExpandArchive(expanded, nullptr); }, what + " expansion");
        EXPECT_TRUE(cls.empty() || IsDamagedDataError(cls) || cls == "EInsufficientDiskSpace")
            << what << ": " << cls;
        ++endings[cls.empty() ? "expanded" : cls];
        for (const auto& entry : std::filesystem::directory_iterator(Scratch.Path))
            EXPECT_EQ(entry.path().filename().string()[0], 'm') << what;

        // Member by member into memory, as `qdmx test` does: LZH never writes more than the
        // expanded size, LH5 at most one match (255 bytes) more.
        TMemoryStream walked(bytes);
        TArchiver tester;
        tester.Key = subject.Key;
        EndOf(
            [&] {
                std::string methodID;
                tester.ReadArchiveHeader(walked, methodID);
                TMemberHeader m;
                std::string name;
                while (tester.ReadMemberHeader(walked, m, name)) {
                    if (m.ExpandedSize > FreeSpace) {
                        walked.Seek(m.CompressedSize, TSeekOrigin::Current);
                        continue;
                    }
                    TCountingStream sink;
                    const int64_t dataEnd = walked.Position() + m.CompressedSize;
                    try {
                        tester.ExpandMember(sink, walked, m.CompressedSize, m.ExpandedSize, m.Checksum,
                                            m.Method, methodID, m.Lock);
                    } catch (...) {
                        EXPECT_LE(walked.Position(), dataEnd) << what;
                        throw;
                    }
                    EXPECT_EQ(walked.Position(), dataEnd) << what << " member " << name;
                    int64_t most = INT64_MAX;
                    if (m.Method == miLZH) most = m.ExpandedSize;
                    if (m.Method == miLH5) most = m.ExpandedSize + 255;
                    if (m.Method > miLH5 || m.Method == miCustom) most = 0;
                    EXPECT_LE(sink.Size(), most) << what << " method " << int(m.Method);
                }
            },
            what + " member walk");
    }
    // The corruption must reach the codecs, not only the headers: some copies expand in full and
    // some fail their checksum or table check.
    EXPECT_GT(endings["expanded"] + endings["EBadChecksum"] + endings["ELh5BadDecodeTable"] +
                  endings["EInvalidKey"],
              0);
    std::string summary;
    for (const auto& [ending, count] : endings) summary += " " + ending + "=" + std::to_string(count);
    RecordProperty("endings", summary);
    std::printf("%s:%s\n", subject.Name, summary.c_str());
}

// Bytes that start as a program and hold many branch instructions, for the branch filter.
std::vector<uint8_t> ProgramBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> bytes = RunsOfBytes(n, seed);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    for (size_t i = 2; i < n; i += 3 + i % 5) bytes[i] = (i & 8) ? 0xE8 : 0xE9;
    return bytes;
}

// A dense archive: text members that refer to each other, and between them one member whose
// stored bytes are too many to hold ahead (when big is set); with programs, an archive of the
// branch filter's kind with two programs among the text.
std::vector<uint8_t> GoodDenseArchive(bool big, bool programs = false) {
    TMemoryStream archive;
    TDenseCompressor compressor(1, DenseWindowLogMax, programs);
    TArchiveWriter writer(archive, compressor.MethodID());
    writer.OnCompress = compressor.Handler();
    std::vector<std::vector<uint8_t>> members = {Text(11000, 1),       RandomBytes(1500, 2), Text(30000, 1),
                                                 RunsOfBytes(4000, 3), Text(200000, 4),      Text(9000, 5)};
    if (big) members.insert(members.begin() + 3, RandomBytes(4200000, 6));
    if (programs) {
        members.insert(members.begin() + 1, ProgramBytes(70000, 7));
        members.push_back(ProgramBytes(20000, 8));
    }
    for (size_t k = 0; k < members.size(); ++k) {
        TMemoryStream source(members[k]);
        writer.AddStream("f" + std::to_string(k), source, 0x58A96000, 0x20, miCustom);
    }
    writer.Finish();
    return archive.Bytes;
}

// Everything an expansion of a dense archive shows: how it ended, every progress report, the
// files it wrote with their bytes.
struct TDenseRun {
    std::string Ending;
    std::vector<int32_t> Reports;
    std::map<std::string, std::vector<uint8_t>> Files;
    bool operator==(const TDenseRun&) const = default;
};

void PrintTo(const TDenseRun& run, std::ostream* out) {
    *out << "\"" << run.Ending << "\", " << run.Reports.size() << " reports, " << run.Files.size()
         << " files";
}

// Expands with or without decoding ahead; names selects members, cancelAt cancels at the first
// report of that member (counted from 0 among those expanded).
TDenseRun ExpandDense(const std::vector<uint8_t>& bytes, bool ahead, const TScratchFolder& scratch,
                      const TStringList* names = nullptr, int cancelAt = -1) {
    std::filesystem::remove_all(scratch.Path);
    std::filesystem::create_directories(scratch.Path);
    TDenseRun run;
    TMemoryStream stream(bytes);
    TLimitedArchiver archiver;
    TDenseExpander dense(archiver, ahead);
    archiver.SetTargetPath(scratch.Path.string());
    int member = -1;
    bool first = false;
    archiver.OnCheckFile = [&](std::string&, TProcessMode) {
        ++member;
        first = true;
    };
    archiver.OnShowProgress = [&](int32_t& percent) {
        run.Reports.push_back(percent);
        if (first && member == cancelAt) percent = -1;
        first = false;
    };
    try {
        TStringList selected = names ? *names : TStringList{};
        archiver.ExpandArchive(stream, names ? &selected : nullptr);
    } catch (const std::exception& e) {
        run.Ending = e.what();
    }
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path)) {
        std::ifstream in(entry.path(), std::ios::binary);
        run.Files[entry.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
    }
    return run;
}

// Decoding ahead on a thread shows nothing of itself: every copy of a corrupted dense archive
// ends, reports progress and leaves files exactly as the expansion decoding each member in
// place, whether all members are expanded, some are skipped, or one is cancelled.
TEST(DenseAhead, EveryExpansionEndsAsDecodingInPlace) {
    TScratchFolder scratch("dense-ahead");
    const TStringList later{"f3", "f5"};
    for (const bool programs : {false, true}) {
        const std::vector<uint8_t> good = GoodDenseArchive(false, programs);
        // Run -2: the first member's recorded checksum is off, so the later ones build on a bad member.
        std::vector<uint8_t> badSum = good;
        badSum[ArchiveHeaderSize + MemberHeaderOffset::Checksum] ^= 1;
        for (int run = -2; run < (programs ? 16 : 40); ++run) {
            const std::vector<uint8_t> bytes = run == -2   ? badSum
                                               : run == -1 ? good
                                                           : Mutate(good, 7000u + static_cast<uint32_t>(run));
            const std::string what = (programs ? "programs, seed " : "seed ") + std::to_string(7000 + run);
            const TDenseRun all = ExpandDense(bytes, true, scratch);
            EXPECT_EQ(all, ExpandDense(bytes, false, scratch)) << what << ": " << all.Ending;
            if (run == -1) {
                EXPECT_EQ(all.Files.size(), programs ? 8u : 6u) << all.Ending;
            }
            EXPECT_EQ(ExpandDense(bytes, true, scratch, &later), ExpandDense(bytes, false, scratch, &later))
                << what;
            EXPECT_EQ(ExpandDense(bytes, true, scratch, nullptr, 2),
                      ExpandDense(bytes, false, scratch, nullptr, 2))
                << what;
        }
    }
}

// A member too large to hold ahead is decoded where it is, expanded or passed over.
TEST(DenseAhead, AMemberTooLargeToHoldIsDecodedInPlace) {
    TScratchFolder scratch("dense-ahead-big");
    const std::vector<uint8_t> bytes = GoodDenseArchive(true);
    const TDenseRun all = ExpandDense(bytes, true, scratch);
    EXPECT_EQ(all.Ending, "");
    EXPECT_EQ(all.Files.size(), 7u);
    EXPECT_EQ(all, ExpandDense(bytes, false, scratch));
    const TStringList after{"f4", "f6"};
    const TDenseRun some = ExpandDense(bytes, true, scratch, &after);
    EXPECT_EQ(some.Files.size(), 2u) << some.Ending;
    EXPECT_EQ(some, ExpandDense(bytes, false, scratch, &after));
}

std::string SubjectName(const ::testing::TestParamInfo<TMutationSubject>& info) {
    return info.param.Name;
}

INSTANTIATE_TEST_SUITE_P(Methods, ArchiveMutation,
                         ::testing::Values(TMutationSubject{"Stored", miStored, 0},
                                           TMutationSubject{"Rle", miRLE, 0},
                                           TMutationSubject{"Lzh", miLZH, 0},
                                           TMutationSubject{"Lh5", miLH5, 0},
                                           TMutationSubject{"Lh5Locked", miLH5, LockKey},
                                           TMutationSubject{"LzhLocked", miLZH, LockKey}),
                         SubjectName);

} // namespace
