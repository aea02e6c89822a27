// The LZH codec end to end: the byte-exact examples, the compressor's choice of tokens, round trips
// over adversarial inputs, the dispatcher's budget and stream position for method 2, and damaged
// or truncated streams, which must always give exactly the requested number of bytes.
#include "LzhTestSupport.h"
#include "compress/Archiver.h"

#include <gtest/gtest.h>

#include <functional>
#include <numeric>

namespace {

std::vector<uint8_t> Repeat(const std::vector<uint8_t>& block, size_t n) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) out[i] = block[i % block.size()];
    return out;
}

uint32_t ByteSum(const std::vector<uint8_t>& v) {
    return std::accumulate(v.begin(), v.end(), 0u);
}

// ---- Known streams ----

struct TExample {
    std::vector<uint8_t> Input;
    std::vector<uint8_t> Stream;
};

void PrintTo(const TExample& e, std::ostream* os) {
    *os << std::string(e.Input.begin(), e.Input.end());
}

class LzhExamples : public ::testing::TestWithParam<TExample> {};

TEST_P(LzhExamples, CompressGivesTheStreamByteForByte) {
    EXPECT_EQ(LzhCompressBytes(GetParam().Input), GetParam().Stream);
}

TEST_P(LzhExamples, ExpandGivesTheInputBack) {
    const TExample& e = GetParam();
    EXPECT_EQ(LzhExpandBytes(e.Stream, static_cast<int32_t>(e.Input.size())), e.Input);
}

INSTANTIATE_TEST_SUITE_P(KnownStreams, LzhExamples,
                         ::testing::Values(TExample{Bytes("abc"), {0xf6, 0xfb, 0xbd, 0xe0}},
                                           TExample{Bytes("abcabcabc"), {0xf6, 0xfb, 0xbd, 0xf1, 0xe0, 0x20}},
                                           TExample{Bytes("aaaaaaaaaa"), {0xf6, 0xc9, 0x00, 0x00}},
                                           TExample{Bytes("a"), {0xf6, 0x80}}));

TEST(LzhEmpty, CompressingNothingWritesNothing) {
    TDirectCodecRun d({}, INT32_MAX);
    LzhCompress(d.S);
    EXPECT_TRUE(d.Finish().empty());
    EXPECT_TRUE(d.Dest.WriteSizes.empty());
}

TEST(LzhEmpty, ExpandingZeroOrLessReadsAndWritesNothing) {
    for (int32_t count : {0, -1, INT32_MIN}) {
        TDirectCodecRun d({0xf6, 0x80}, INT32_MAX);
        LzhExpand(d.S, count);
        EXPECT_TRUE(d.Source.ReadRequests.empty()) << count;
        EXPECT_TRUE(d.Finish().empty()) << count;
    }
}

// ---- Which tokens the compressor chooses ----

using T = TLzhToken;

TEST(LzhCompressTokens, LongestMatchIsSixtyBytes) {
    std::vector<uint8_t> data(200, 'a');
    auto tokens = LzhReadTokens(LzhCompressBytes(data), 200);
    EXPECT_EQ(tokens, (std::vector<T>{T{'a'}, LzhMatchToken(60, 0), LzhMatchToken(60, 0),
                                      LzhMatchToken(60, 0), LzhMatchToken(19, 0)}));
}

// The 60 positions before the start go into the dictionary from the nearest to the farthest; with
// spaces ahead their strings are all equal, each replaces the one before, and the first match
// found is the farthest, at distance 60.
TEST(LzhCompressTokens, LeadingSpacesMatchThePrefilledRing) {
    std::vector<uint8_t> data(100, ' ');
    data.push_back('!');
    auto tokens = LzhReadTokens(LzhCompressBytes(data), 101);
    EXPECT_EQ(tokens, (std::vector<T>{LzhMatchToken(60, 59), LzhMatchToken(40, 0), T{'!'}}));
}

TEST(LzhCompressTokens, AmongEquallyLongMatchesOnThePathTheNearestWins) {
    auto tokens = LzhReadTokens(LzhCompressBytes(Bytes("xyzAxyzBxyzZ")), 12);
    EXPECT_EQ(tokens, (std::vector<T>{T{'x'}, T{'y'}, T{'z'}, T{'A'}, LzhMatchToken(3, 3), T{'B'},
                                      LzhMatchToken(3, 3), T{'Z'}}));
}

// The bytes after the end of the input read as zero in the comparisons: the last "xyz" sorts
// below "xyzQ", so the search never reaches the nearer "xyzR".
TEST(LzhCompressTokens, BytesPastTheInputCompareAsZero) {
    auto tokens = LzhReadTokens(LzhCompressBytes(Bytes("xyzQxyzRxyz")), 11);
    EXPECT_EQ(tokens, (std::vector<T>{T{'x'}, T{'y'}, T{'z'}, T{'Q'}, LzhMatchToken(3, 3), T{'R'},
                                      LzhMatchToken(3, 7)}));
}

// The window holds the 4036 bytes before the current one: a repeat at distance 4036 is found,
// one at 4037 is out of reach.
TEST(LzhCompressTokens, FarthestReachableDistanceIs4036) {
    for (int period : {4036, 4037}) {
        std::vector<uint8_t> block = RandomBytes(static_cast<size_t>(period), 99);
        std::vector<uint8_t> data = block;
        data.insert(data.end(), block.begin(), block.begin() + 200);
        auto tokens = LzhReadTokens(LzhCompressBytes(data), static_cast<int32_t>(data.size()));
        int longest = 0, farthest = 0;
        for (const T& t : tokens) {
            if (t.Symbol < 256) continue;
            longest = std::max(longest, t.Symbol - 253);
            farthest = std::max(farthest, t.Position + 1);
        }
        if (period == 4036) {
            EXPECT_EQ(longest, 60);
            EXPECT_EQ(farthest, 4036);
        } else {
            EXPECT_LT(longest, 10);
            EXPECT_LE(farthest, 4036);
        }
    }
}

// ---- Round trips ----

struct TRoundTrip {
    const char* Name;
    std::function<std::vector<uint8_t>()> Make;
};

void PrintTo(const TRoundTrip& r, std::ostream* os) {
    *os << r.Name;
}

class LzhRoundTrip : public ::testing::TestWithParam<TRoundTrip> {};

TEST_P(LzhRoundTrip, ExpandsToTheOriginal) {
    std::vector<uint8_t> data = GetParam().Make();
    std::vector<uint8_t> stream = LzhCompressBytes(data);
    ASSERT_EQ(LzhExpandBytes(stream, static_cast<int32_t>(data.size())), data);
    EXPECT_EQ(LzhCompressBytes(data), stream) << "compression depends on something besides the input";
}

INSTANTIATE_TEST_SUITE_P(
    Adversarial, LzhRoundTrip,
    ::testing::Values(TRoundTrip{"AllZero", [] { return std::vector<uint8_t>(100000, 0); }},
                      TRoundTrip{"AllFF", [] { return std::vector<uint8_t>(70001, 0xFF); }},
                      TRoundTrip{"Period2", [] { return Repeat(Bytes("ab"), 60000); }},
                      TRoundTrip{"Period4", [] { return Repeat(RandomBytes(4, 3), 80000); }},
                      TRoundTrip{"Period59", [] { return Repeat(RandomBytes(59, 4), 30000); }},
                      TRoundTrip{"Period61", [] { return Repeat(RandomBytes(61, 5), 30000); }},
                      TRoundTrip{"Period4036", [] { return Repeat(RandomBytes(4036, 6), 25000); }},
                      TRoundTrip{"Period4095", [] { return Repeat(RandomBytes(4095, 7), 25000); }},
                      TRoundTrip{"Period4097", [] { return Repeat(RandomBytes(4097, 8), 25000); }},
                      TRoundTrip{"Random", [] { return RandomBytes(100000, 9); }},
                      TRoundTrip{"RandomAcrossManyRebuilds", [] { return RandomBytes(300000, 10); }},
                      TRoundTrip{"ProseAcrossRebuilds", [] { return ProseBytes(600000, 11); }},
                      TRoundTrip{"SpacesThenProse",
                                 [] {
                                     std::vector<uint8_t> v(5000, ' ');
                                     auto p = ProseBytes(20000, 12);
                                     v.insert(v.end(), p.begin(), p.end());
                                     return v;
                                 }},
                      TRoundTrip{"SparseRareBytes",
                                 [] {
                                     std::vector<uint8_t> v(90000, 0), r = RandomBytes(90000, 13);
                                     for (size_t i = 0; i < v.size(); i += 37) v[i] = r[i];
                                     return v;
                                 }},
                      TRoundTrip{"AllByteValuesWithGrowingStride",
                                 [] {
                                     std::vector<uint8_t> v;
                                     for (int stride = 1; v.size() < 50000; stride += 2)
                                         for (int i = 0; i < 256; ++i)
                                             v.push_back(static_cast<uint8_t>(i * stride));
                                     return v;
                                 }}),
    [](const ::testing::TestParamInfo<TRoundTrip>& info) { return std::string(info.param.Name); });

TEST(LzhRoundTripLengths, EveryLengthUpTo200) {
    std::vector<uint8_t> prose = ProseBytes(200, 14), random = RandomBytes(200, 15);
    for (size_t n = 1; n <= 200; ++n) {
        for (const auto* source : {&prose, &random}) {
            std::vector<uint8_t> data(source->begin(), source->begin() + static_cast<ptrdiff_t>(n));
            ASSERT_EQ(LzhExpandBytes(LzhCompressBytes(data), static_cast<int32_t>(n)), data)
                << "length " << n;
        }
    }
}

TEST(LzhRoundTripLengths, RandomDataCrossesTheModelRebuildManyTimes) {
    std::vector<uint8_t> data = RandomBytes(200000, 16);
    auto tokens = LzhReadTokens(LzhCompressBytes(data), static_cast<int32_t>(data.size()));
    EXPECT_GT(tokens.size(), 5u * 32455u);
}

// ---- Through the dispatcher ----

struct TDispatch {
    TArchiver Archiver;
    uint32_t Checksum = 0;

    int64_t Compress(TStream& source, TStream& dest) {
        return Archiver.RunCodec(dest, source, static_cast<int32_t>(source.Size()), 0, miLZH, Checksum,
                                 pmCompress, false);
    }
    int64_t Expand(TStream& source, int32_t sourceSize, int32_t destSize, TStream& dest) {
        return Archiver.RunCodec(dest, source, sourceSize, destSize, miLZH, Checksum, pmExpand, false);
    }
};

// Inputs of n bytes whose stream has exactly n + excess bytes: a run of one byte followed by
// random bytes, since the run shrinks and the random part grows by about an eighth.
std::vector<uint8_t> InputWithStreamExcess(int excess) {
    for (int m = 64; m < 400; ++m) {
        for (int k = 0; k < 100; ++k) {
            std::vector<uint8_t> data(static_cast<size_t>(k), 'q');
            auto r = RandomBytes(static_cast<size_t>(m), 17);
            data.insert(data.end(), r.begin(), r.end());
            if (LzhCompressBytes(data).size() == data.size() + static_cast<size_t>(excess)) return data;
        }
    }
    return {};
}

TEST(LzhBudget, StreamOfExactlyTheInputSizeIsAccepted) {
    std::vector<uint8_t> data = InputWithStreamExcess(0);
    ASSERT_FALSE(data.empty());
    TMemoryStream source(data), dest;
    TDispatch d;
    EXPECT_EQ(d.Compress(source, dest), static_cast<int64_t>(data.size()));
    EXPECT_EQ(dest.Bytes, LzhCompressBytes(data));
    EXPECT_EQ(d.Checksum, ByteSum(data));
}

TEST(LzhBudget, OneByteMoreThanTheInputIsRefused) {
    std::vector<uint8_t> data = InputWithStreamExcess(1);
    ASSERT_FALSE(data.empty());
    TMemoryStream source(data), dest;
    TDispatch d;
    EXPECT_THROW(d.Compress(source, dest), EUnableToCompress);
}

TEST(LzhBudget, ShortExamplesThatGrowAreRefused) {
    for (const char* text : {"a", "abc"}) {
        TMemoryStream source(Bytes(text)), dest;
        TDispatch d;
        EXPECT_THROW(d.Compress(source, dest), EUnableToCompress) << text;
    }
}

TEST(LzhDispatch, ExpandStopsAtTheMemberEndAndSumsTheOutput) {
    std::vector<uint8_t> data = ProseBytes(150000, 18);
    std::vector<uint8_t> stream = LzhCompressBytes(data);
    ASSERT_GT(stream.size(), 3u * CodecChunkSize);
    std::vector<uint8_t> archive = stream;
    archive.insert(archive.end(), 300, 0xEE); // the next member's bytes
    TMemoryStream source(archive), dest;
    TDispatch d;
    int64_t count =
        d.Expand(source, static_cast<int32_t>(stream.size()), static_cast<int32_t>(data.size()), dest);
    EXPECT_EQ(count, static_cast<int64_t>(data.size()) + 1);
    EXPECT_EQ(source.Position(), static_cast<int64_t>(stream.size()));
    EXPECT_EQ(dest.Bytes, data);
    EXPECT_EQ(d.Checksum, ByteSum(data));
}

TEST(LzhDispatch, CompressAndExpandThroughMethodTwo) {
    std::vector<uint8_t> data = ProseBytes(40000, 19);
    TMemoryStream source(data), coded, out;
    TDispatch d;
    d.Archiver.Key = 0x5A17C0DE;
    int64_t size = d.Compress(source, coded);
    uint32_t inSum = d.Checksum;
    EXPECT_EQ(size, static_cast<int64_t>(coded.Bytes.size()));
    EXPECT_LT(coded.Bytes.size(), data.size() / 2);
    coded.Seek(0, TSeekOrigin::Begin);
    d.Archiver.RunCodec(out, coded, static_cast<int32_t>(size), static_cast<int32_t>(data.size()), miLZH,
                        d.Checksum, pmExpand, true);
    EXPECT_EQ(out.Bytes, data);
    EXPECT_EQ(d.Checksum, inSum);
}

// A progress handler that stops the run ends the input: the stream then holds what was read.
TEST(LzhDispatch, CompressionStoppedByProgressStillEndsWithADecodableStream) {
    std::vector<uint8_t> data = ProseBytes(30000, 20);
    TMemoryStream source(data), dest;
    TDispatch d;
    int calls = 0;
    d.Archiver.OnShowProgress = [&](int32_t& p) {
        if (++calls == 3) p = -1; // 0, the first chunk, then stop at the second chunk
    };
    d.Compress(source, dest);
    std::vector<uint8_t> first(data.begin(), data.begin() + CodecChunkSize);
    EXPECT_EQ(d.Checksum, ByteSum(first));
    EXPECT_EQ(LzhExpandBytes(dest.Bytes, CodecChunkSize), first);
}

// ---- Damaged and unusual streams ----

TEST(LzhExpandDamaged, TruncatedStreamGivesExactlyTheCountWithAnIntactPrefix) {
    std::vector<uint8_t> data = ProseBytes(10000, 22);
    std::vector<uint8_t> stream = LzhCompressBytes(data);
    stream.resize(stream.size() / 2);
    std::vector<uint8_t> out = LzhExpandBytes(stream, 10000);
    ASSERT_EQ(out.size(), 10000u);
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 1000, out.begin()));
}

TEST(LzhExpandDamaged, LargerCountThanEncodedGoesOnWithZeroBits) {
    std::vector<uint8_t> out = LzhExpandBytes({0xf6, 0xfb, 0xbd, 0xf1, 0xe0, 0x20}, 100);
    ASSERT_EQ(out.size(), 100u);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 9), Bytes("abcabcabc"));
    EXPECT_EQ(LzhExpandBytes({}, 77).size(), 77u);
}

TEST(LzhExpandDamaged, MatchThatPassesTheCountIsCutThere) {
    EXPECT_EQ(LzhExpandBytes({0xf6, 0xc9, 0x00, 0x00}, 5), Bytes("aaaaa"));
}

TEST(LzhExpandDamaged, RandomStreamsGiveExactlyTheCount) {
    std::vector<uint8_t> sizes = RandomBytes(300, 23);
    for (uint32_t i = 0; i < 300; ++i) {
        std::vector<uint8_t> stream = RandomBytes(i * 3, 1000 + i);
        auto count = static_cast<int32_t>(sizes[i] * 23 + i);
        ASSERT_EQ(LzhExpandBytes(stream, count).size(), static_cast<size_t>(count)) << "stream " << i;
    }
}

TEST(LzhExpandDamaged, FirstMatchCopiesTheSpacesBeforeTheStart) {
    TLzhStreamWriter w;
    w.Match(10, 0);
    w.Literal('.');
    w.Match(12, 4035); // distance 4036: spaces of the initial fill, far back
    EXPECT_EQ(LzhExpandBytes(w.Finish(), 23), Bytes("          .            "));
}

TEST(LzhExpandDamaged, RingPositionsNeverWrittenReadAsZero) {
    TLzhStreamWriter w;
    w.Match(5, 4094); // distance 4095 reaches into the look-ahead area that nothing has filled
    EXPECT_EQ(LzhExpandBytes(w.Finish(), 5), std::vector<uint8_t>(5, 0));
}

TEST(LzhExpandLargestDistance, MatchAtDistance4095CopiesAcrossTheRingWrap) {
    // After 4125 literals the copy reads ring positions 4066..4095 and 0..29.
    const int count = 4125;
    std::vector<uint8_t> literals = RandomBytes(count, 24);
    TLzhStreamWriter w;
    for (uint8_t b : literals) w.Literal(b);
    w.Match(60, 4094);
    w.Match(3, 0);
    std::vector<uint8_t> expected = literals;
    expected.insert(expected.end(), literals.begin() + (count - 4095),
                    literals.begin() + (count - 4095 + 60));
    expected.insert(expected.end(), 3, literals[count - 4095 + 59]);
    EXPECT_EQ(LzhExpandBytes(w.Finish(), static_cast<int32_t>(expected.size())), expected);
}

} // namespace
