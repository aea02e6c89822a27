#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "compress/codecs/lh5/Lh5Storage.h"
#include "compress/codecs/lh5/compress/Lh5BitWriter.h"
#include "compress/codecs/lh5/compress/Lh5Huffman.h"
#include "tests/compress/codecs/lh5/Lh5TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// ---------------------------------------------------------------------------------------------
// Exact output

struct TExample {
    const char* Name;
    std::vector<uint8_t> Input;
    std::vector<uint8_t> Stream;
};

void PrintTo(const TExample& e, std::ostream* os) {
    *os << e.Name;
}

class Lh5CompressExamples : public ::testing::TestWithParam<TExample> {};

TEST_P(Lh5CompressExamples, GiveTheDefinedStreamByteForByte) {
    const TExample& e = GetParam();
    EXPECT_EQ(Lh5CompressBytes(e.Input), e.Stream);
}

INSTANTIATE_TEST_SUITE_P(
    Defined, Lh5CompressExamples,
    ::testing::Values(
        // Block size 1, single-symbol tables, distance table count 0 with class 0, no symbol bits.
        TExample{"OneByte", {0x61}, {0x00, 0x01, 0x00, 0x00, 0x06, 0x10, 0x00}},
        TExample{"ThreeLiterals",
                 {0x61, 0x62, 0x63},
                 {0x00, 0x03, 0x28, 0x08, 0x44, 0xc9, 0x13, 0x58, 0x02, 0x60}},
        // A literal and a match of 9 at distance 1.
        TExample{"LiteralAndMatch",
                 Repeated(10, 0x61),
                 {0x00, 0x02, 0x20, 0x04, 0x30, 0x71, 0x36, 0x48, 0x40, 0x10}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Lh5Compress, EmptyInputWritesNothing) {
    TDirectCodecRun run({}, INT32_MAX);
    Lh5Compress(run.S);
    EXPECT_EQ(run.S.OutCount, 0);
    EXPECT_TRUE(run.Finish().empty());
}

TEST(Lh5Compress, ChecksumIsTheByteSumOfTheInput) {
    auto input = WordSalad(30000, 5);
    TArchiver archiver;
    TMemoryStream source(input), dest;
    uint32_t checksum = 0;
    int64_t written =
        archiver.RunCodec(dest, source, static_cast<int32_t>(input.size()),
                          static_cast<int32_t>(input.size()), miLH5, checksum, pmCompress, false);
    uint32_t sum = 0;
    for (uint8_t b : input) sum += b;
    EXPECT_EQ(checksum, sum);
    EXPECT_EQ(written, static_cast<int64_t>(dest.Bytes.size()));
    EXPECT_EQ(dest.Bytes, Lh5CompressBytes(input));
}

TEST(Lh5Compress, ProgressCancelAtARefillCodesWhatWasReadAndEndsTheStream) {
    // The second chunk is refused when the window shifts: the stream is that of the first 8192
    // bytes alone, and the checksum covers only them.
    auto input = WordSalad(30000, 6);
    TArchiver archiver;
    int calls = 0;
    archiver.OnShowProgress = [&calls](int32_t& percent) {
        if (++calls == 3) percent = -1;
    };
    TMemoryStream source(input), dest;
    uint32_t checksum = 0;
    archiver.RunCodec(dest, source, 30000, 30000, miLH5, checksum, pmCompress, false);
    const std::vector<uint8_t> prefix(input.begin(), input.begin() + 8192);
    EXPECT_EQ(dest.Bytes, Lh5CompressBytes(prefix));
    uint32_t sum = 0;
    for (uint8_t b : prefix) sum += b;
    EXPECT_EQ(checksum, sum);
}

// ---------------------------------------------------------------------------------------------
// The output budget: n bytes may be written, the attempt to write byte n + 1 raises.

struct TBudgetCase {
    std::string Name;
    std::vector<uint8_t> Input;
};
void PrintTo(const TBudgetCase& c, std::ostream* os) {
    *os << c.Name;
}

class Lh5CompressBudget : public ::testing::TestWithParam<TBudgetCase> {};

TEST_P(Lh5CompressBudget, RaisesAtTheFirstByteBeyondTheBudgetAndNotBefore) {
    const auto& input = GetParam().Input;
    const auto stream = Lh5CompressBytes(input);
    const auto n = static_cast<int32_t>(stream.size());
    ASSERT_GT(n, 1);

    TDirectCodecRun exact(input, n);
    EXPECT_NO_THROW(Lh5Compress(exact.S));
    EXPECT_EQ(exact.S.OutCount, n);
    EXPECT_EQ(exact.Finish(), stream);

    TDirectCodecRun shorter(input, n - 1);
    EXPECT_THROW(Lh5Compress(shorter.S), EUnableToCompress);
    EXPECT_EQ(shorter.S.OutCount, n - 1);
    std::vector<uint8_t> partial = shorter.Finish();
    EXPECT_TRUE(std::equal(partial.begin(), partial.end(), stream.begin()));
}

INSTANTIATE_TEST_SUITE_P(Streams, Lh5CompressBudget,
                         ::testing::Values(TBudgetCase{"TenA", Repeated(10, 0x61)},
                                           TBudgetCase{"Abc", Bytes("abc")},
                                           TBudgetCase{"Random", RandomBytes(20000, 7)},
                                           TBudgetCase{"Text", WordSalad(100000, 3)}),
                         [](const auto& info) { return info.param.Name; });

TEST(Lh5CompressBudget, DispatcherAcceptsOutputOfExactlyTheInputSize) {
    // Ten bytes 61 compress to exactly ten bytes.
    TArchiver archiver;
    TMemoryStream source(Repeated(10, 0x61)), dest;
    uint32_t checksum = 0;
    EXPECT_EQ(archiver.RunCodec(dest, source, 10, 10, miLH5, checksum, pmCompress, false), 10);
    EXPECT_EQ(dest.Bytes.size(), 10u);
}

TEST(Lh5CompressBudget, DispatcherRaisesForIncompressibleInput) {
    for (auto input : {Bytes("a"), Bytes("abc"), RandomBytes(50000, 9)}) {
        TArchiver archiver;
        TMemoryStream source(input), dest;
        uint32_t checksum = 0;
        EXPECT_THROW(archiver.RunCodec(dest, source, static_cast<int32_t>(input.size()),
                                       static_cast<int32_t>(input.size()), miLH5, checksum, pmCompress,
                                       false),
                     EUnableToCompress);
    }
}

// ---------------------------------------------------------------------------------------------
// Blocks

uint16_t FirstBlockSize(const std::vector<uint8_t>& stream) {
    return static_cast<uint16_t>(stream.at(0) << 8 | stream.at(1));
}

TEST(Lh5CompressBlocks, LiteralOnlyBlockIsSentAfter14544Symbols) {
    auto input = LiteralOnly(20000);
    auto stream = Lh5CompressBytes(input);
    EXPECT_EQ(FirstBlockSize(stream), 14544);
    EXPECT_EQ(Lh5ExpandBytes(stream, 20000), input);
}

TEST(Lh5CompressBlocks, MatchesMakeGroupsLongerAndBlocksShorter) {
    // Every symbol after the first is a match of 256: groups of 25 bytes, 655 groups per block.
    auto input = Repeated(3 << 20, 0x41);
    auto stream = Lh5CompressBytes(input);
    EXPECT_EQ(FirstBlockSize(stream), 655 * 8);
    EXPECT_EQ(Lh5ExpandBytes(stream, static_cast<int32_t>(input.size())), input);
}

// Buffers symbols with the given counts (literals only) and sends them as one block.
std::vector<uint8_t> BlockOfLiterals(const std::vector<std::pair<uint8_t, int>>& counts,
                                     std::vector<uint8_t>& expanded) {
    TDirectCodecRun run({}, INT32_MAX);
    TLh5EncoderStorage z;
    Lh5AllocStorage(z);
    // Interleave the symbols so that the block holds them in a mixed order.
    std::vector<int> left;
    for (auto& c : counts) left.push_back(c.second);
    for (bool any = true; any;) {
        any = false;
        for (size_t i = 0; i < counts.size(); ++i) {
            if (left[i] == 0) continue;
            --left[i];
            any = true;
            EmitSymbol(run.S, z, counts[i].first, 0);
            expanded.push_back(counts[i].first);
        }
    }
    SendBlock(run.S, z);
    TLh5BitWriter out(run.S, z);
    out.PutBits(7, 0);
    out.Finish();
    return run.Finish();
}

TEST(Lh5CompressBlocks, CodesDeeperThanSixteenBitsAreLimitedToACompletePrefixCode) {
    // Fibonacci counts make a Huffman tree 18 levels deep; 10945 symbols fit one block.
    std::vector<std::pair<uint8_t, int>> counts;
    int a = 1, b = 1;
    for (int i = 0; i < 19; ++i) {
        counts.emplace_back(static_cast<uint8_t>('A' + i), a);
        int c = a + b;
        a = b;
        b = c;
    }
    std::vector<uint8_t> expanded;
    auto stream = BlockOfLiterals(counts, expanded);
    ASSERT_LT(expanded.size(), 14544u);
    EXPECT_EQ(Lh5ExpandBytes(stream, static_cast<int32_t>(expanded.size())), expanded);
}

// ---------------------------------------------------------------------------------------------
// Huffman construction

struct THuffmanFixture {
    TLh5EncoderStorage Z;
    uint16_t Freq[2 * Lh5SymbolCount] = {};
    uint8_t Len[Lh5SymbolCount + 1] = {};
    uint16_t Code[Lh5SymbolCount + 1] = {};
    THuffmanFixture() { Lh5AllocStorage(Z); }
};

// Sum over the present symbols of 2^(16 - length); a complete prefix code gives 65536.
uint32_t KraftSum(const uint8_t* len, int n) {
    uint32_t sum = 0;
    for (int i = 0; i < n; ++i)
        if (len[i]) sum += 1u << (16 - len[i]);
    return sum;
}

TEST(Lh5Huffman, EqualFrequenciesPreferTheEntryThatStaysAbove) {
    // Three symbols of frequency 1: symbols 0 and 2 leave the heap first and go deeper, symbol 1
    // gets the one-bit code 0; canonical codes: 0 -> 10, 1 -> 0, 2 -> 11.
    THuffmanFixture h;
    h.Freq[0] = h.Freq[1] = h.Freq[2] = 1;
    uint16_t root = BuildHuffman(h.Z, 3, h.Freq, h.Len, h.Code);
    EXPECT_EQ(root, 4);
    EXPECT_EQ(h.Freq[root], 3);
    EXPECT_EQ(std::vector<int>(h.Len, h.Len + 3), (std::vector<int>{2, 1, 2}));
    EXPECT_EQ(std::vector<int>(h.Code, h.Code + 3), (std::vector<int>{0x8000, 0x0000, 0xC000}));
}

TEST(Lh5Huffman, DepthsBeyondSixteenAreRebalanced) {
    // Fibonacci frequencies 1, 1, 2, ..., 2584 make a tree 17 deep: the two deepest leaves are
    // counted at 16, one leaf moves from 15 to 16, so four symbols get 16 bits, none 15 and the
    // others 14 down to 1.
    THuffmanFixture h;
    int a = 1, b = 1;
    for (int i = 0; i < 18; ++i) {
        h.Freq[100 + i] = static_cast<uint16_t>(a);
        int c = a + b;
        a = b;
        b = c;
    }
    uint16_t root = BuildHuffman(h.Z, Lh5SymbolCount, h.Freq, h.Len, h.Code);
    EXPECT_GE(root, Lh5SymbolCount);
    std::vector<int> lengths(h.Len + 100, h.Len + 118);
    EXPECT_EQ(lengths, (std::vector<int>{16, 16, 16, 16, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(KraftSum(h.Len, Lh5SymbolCount), 65536u);
}

TEST(Lh5Huffman, RandomFrequenciesGiveCompleteCodesWithinSixteenBits) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        THuffmanFixture h;
        auto r = RandomBytes(2 * Lh5SymbolCount, seed);
        uint32_t total = 0;
        for (int i = 0; i < Lh5SymbolCount; ++i) {
            // Skewed: many absent symbols, a few frequent ones, some of frequency 1.
            int v = r[2 * i] % 4 == 0 ? 0 : (r[2 * i + 1] < 8 ? r[2 * i + 1] * 200 : r[2 * i + 1] % 3 + 1);
            h.Freq[i] = static_cast<uint16_t>(v);
            total += static_cast<uint32_t>(v);
        }
        std::vector<uint16_t> freq(h.Freq, h.Freq + Lh5SymbolCount);
        uint16_t root = BuildHuffman(h.Z, Lh5SymbolCount, h.Freq, h.Len, h.Code);
        ASSERT_EQ(h.Freq[root], total);
        EXPECT_EQ(KraftSum(h.Len, Lh5SymbolCount), 65536u) << "seed " << seed;
        for (int i = 0; i < Lh5SymbolCount; ++i) {
            EXPECT_EQ(h.Len[i] != 0, freq[i] != 0);
            EXPECT_LE(h.Len[i], 16);
            // A more frequent symbol never gets a longer code.
            for (int j = 0; j < Lh5SymbolCount; ++j) {
                if (freq[i] && freq[j] && freq[i] > freq[j]) {
                    ASSERT_LE(h.Len[i], h.Len[j]) << i << " " << j;
                }
            }
        }
    }
}

TEST(Lh5Huffman, CanonicalCodesArePrefixFreeAndOrderedBySymbolWithinALength) {
    const uint8_t len[] = {3, 0, 2, 3, 2, 0, 3, 3};
    uint16_t code[8] = {};
    AssignCodes(8, len, code);
    // Lengths 2: symbols 2, 4 -> 00, 01; lengths 3: symbols 0, 3, 6, 7 -> 100, 101, 110, 111.
    EXPECT_EQ(code[2], 0x0000);
    EXPECT_EQ(code[4], 0x4000);
    EXPECT_EQ(code[0], 0x8000);
    EXPECT_EQ(code[3], 0xA000);
    EXPECT_EQ(code[6], 0xC000);
    EXPECT_EQ(code[7], 0xE000);
}

TEST(Lh5Huffman, SingleOrNoSymbolHasNoCodeBits) {
    THuffmanFixture h;
    h.Freq[77] = 5;
    EXPECT_EQ(BuildHuffman(h.Z, Lh5SymbolCount, h.Freq, h.Len, h.Code), 77);
    EXPECT_EQ(h.Code[77], 0);
    EXPECT_EQ(KraftSum(h.Len, Lh5SymbolCount), 0u);
    h.Freq[77] = 0;
    EXPECT_EQ(BuildHuffman(h.Z, Lh5SymbolCount, h.Freq, h.Len, h.Code), 0);
}

// ---------------------------------------------------------------------------------------------
// Round trips through our expander

struct TRoundTrip {
    std::string Name;
    std::vector<uint8_t> Input;
};

std::vector<uint8_t> Mixed() {
    std::vector<uint8_t> out;
    Append(out, RandomBytes(9000, 11));
    Append(out, Repeated(5000, 0));
    Append(out, WordSalad(40000, 12));
    Append(out, Periodic(20000, 257, 13));
    Append(out, LiteralOnly(18000));
    Append(out, Periodic(30000, 2, 14));
    Append(out, RandomBytes(3000, 15));
    Append(out, Repeated(700, 0x20));
    Append(out, WordSalad(60000, 16));
    return out;
}

std::vector<TRoundTrip> RoundTripCases() {
    std::vector<TRoundTrip> cases = {
        {"AllZero", Repeated(100000, 0)},
        {"AllFF", Repeated(70001, 0xFF)},
        {"Period2", Periodic(50000, 2, 1)},
        {"Period257", Periodic(70000, 257, 2)},
        {"Random", RandomBytes(50000, 3)},
        {"Text", WordSalad(200000, 4)},
        {"Mixed", Mixed()},
        // The last match would run into the spaces that fill the window past the end.
        {"TrailingSpaces", Repeated(1000, 0x20)},
        {"TextThenSpaces",
         [] {
             auto v = WordSalad(9000, 5);
             Append(v, Repeated(300, 0x20));
             return v;
         }()},
    };
    // Sizes around the window fill, the shift at 16384 and the refills after it.
    for (int size : {1,    2,    3,     4,     255,   256,   257,   258,   8191,  8192,  8193,  8447,
                     8448, 8449, 11192, 16383, 16384, 16385, 16639, 16640, 16641, 24576, 24577, 32768}) {
        cases.push_back({"Text" + std::to_string(size), WordSalad(static_cast<size_t>(size), 21)});
        cases.push_back({"Run" + std::to_string(size), Repeated(static_cast<size_t>(size), 0x61)});
    }
    return cases;
}

void PrintTo(const TRoundTrip& c, std::ostream* os) {
    *os << c.Name;
}

class Lh5RoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(Lh5RoundTrip, ExpandsToTheInput) {
    const auto& input = GetParam().Input;
    auto stream = Lh5CompressBytes(input);
    ASSERT_FALSE(stream.empty());
    auto back = Lh5ExpandBytes(stream, static_cast<int32_t>(input.size()));
    ASSERT_EQ(back.size(), input.size());
    EXPECT_TRUE(back == input);
}

INSTANTIATE_TEST_SUITE_P(Adversarial, Lh5RoundTrip, ::testing::ValuesIn(RoundTripCases()),
                         [](const auto& info) { return info.param.Name; });

std::vector<uint8_t> ReadFilePrefix(const std::filesystem::path& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes(limit);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(limit));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

TEST(Lh5RoundTripFiles, RealFilesExpandToThemselves) {
    const char* data = std::getenv("PARLAVOX_TEST_DATA");
    if (!data) GTEST_SKIP() << "PARLAVOX_TEST_DATA is not set";
    // The project's own sources (text) and this test program (machine code), a few MB in all.
    std::filesystem::path root = std::filesystem::path(data).parent_path().parent_path();
    std::vector<uint8_t> text;
    for (const char* dir :
         {"compress", "compress/codecs", "platform", "tools/qdmx", "tests/compress/codecs"}) {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root / dir, ec))
            if (entry.is_regular_file()) Append(text, ReadFilePrefix(entry.path(), 1 << 20));
    }
    ASSERT_GT(text.size(), 50000u);
    std::vector<std::vector<uint8_t>> files{text};
#ifndef _WIN32
    files.push_back(ReadFilePrefix("/proc/self/exe", 3 << 20));
#endif
    for (const auto& input : files) {
        auto stream = Lh5CompressBytes(input);
        EXPECT_LT(stream.size(), input.size());
        EXPECT_TRUE(Lh5ExpandBytes(stream, static_cast<int32_t>(input.size())) == input);
    }
}

} // namespace
