// The lh5 expander on streams written field by field: the edge cases of the method, the
// dispatcher's view (checksum, count, stream position, progress, keyed members), and the fast
// expander checked against the symbol-by-symbol one on random streams, down to the order of
// every read, write and progress report.
#include "compress/Archiver.h"
#include "tests/compress/codecs/lh5/Lh5ExpandHarness.h"
#include "tests/compress/codecs/lh5/Lh5StreamBuilder.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {

// A block that codes the given literals and match lengths, with the given distance classes.
TLh5Block BlockOf(uint16_t size, const std::vector<uint32_t>& symbols, const std::vector<uint32_t>& classes,
                  uint32_t seed = 1) {
    std::mt19937 rng(seed);
    TLh5Block b;
    b.Size = size;
    b.Symbols = RandomCode(symbols, 510, 16, 0.0, rng);
    b.Distances = classes.empty() ? TLh5Code::One(0) : RandomCode(classes, 14, 16, 0.0, rng);
    return b;
}

uint32_t MatchSymbol(int length) {
    return static_cast<uint32_t>(length + 253);
}

// Expands with both entries and requires them to agree on everything observable.
TExpandOutcome ExpandBothWays(const TBytes& stream, int32_t destSize, const TExpandOptions& options = {}) {
    TExpandOutcome fast = RunExpander(Lh5Expand, stream, destSize, options);
    TExpandOutcome byteWise = RunExpander(Lh5ExpandByteWise, stream, destSize, options);
    EXPECT_TRUE(fast == byteWise) << "fast and byte-wise expansion differ";
    return fast;
}

TBytes Text(const std::string& s) {
    return TBytes(s.begin(), s.end());
}

TEST(Lh5ExpandEdges, DestSizeZeroReadsAndWritesNothing) {
    TArchiver archiver;
    TRecordingStream source(TBytes{0x12, 0x34, 0x56}), dest;
    uint32_t checksum = 77;
    EXPECT_EQ(archiver.RunCodec(dest, source, 3, 0, miLH5, checksum, pmExpand, false), 1);
    EXPECT_TRUE(source.ReadRequests.empty());
    EXPECT_TRUE(dest.WriteSizes.empty());
    EXPECT_EQ(checksum, 0u);
}

TEST(Lh5ExpandEdges, MatchesAtTheStartCopySpaces) {
    TBitWriter w;
    TLh5Block b = BlockOf(3, {'x', MatchSymbol(4), MatchSymbol(3)}, {13, 7});
    b.PutHead(w);
    b.PutMatch(w, 4, 8191); // the oldest window byte
    b.PutLiteral(w, 'x');
    b.PutMatch(w, 3, 100); // still reaches the untouched window
    EXPECT_EQ(ExpandBothWays(w.Bytes(), 8).Output, Text("    x   "));
}

TEST(Lh5ExpandEdges, DistanceZeroRepeatsTheLastByte) {
    TBitWriter w;
    TLh5Block b = BlockOf(2, {0x61, MatchSymbol(5)}, {});
    b.PutHead(w);
    b.PutLiteral(w, 0x61);
    b.PutMatch(w, 5, 0);
    EXPECT_EQ(ExpandBothWays(w.Bytes(), 6).Output, Text("aaaaaa"));
}

// Literals up to just before the ring end, then matches whose destination or source crosses
// position 8191.
class Lh5WindowWrap : public ::testing::TestWithParam<std::pair<int, std::vector<TLh5Token>>> {};

TEST_P(Lh5WindowWrap, ContinuesAtPositionZero) {
    const auto& [literals, matches] = GetParam();
    TLh5Tokens tokens;
    auto bytes = RandomBytes(static_cast<size_t>(literals), 5);
    for (uint8_t b : bytes) tokens.Literal(b);
    for (const auto& m : matches) tokens.Match(m.Length, m.Value);

    std::vector<uint32_t> symbols(256);
    std::iota(symbols.begin(), symbols.end(), 0u);
    std::vector<uint32_t> classes;
    for (const auto& m : matches) {
        symbols.push_back(MatchSymbol(m.Length));
        uint32_t cls = 0;
        while ((m.Value >> cls) != 0) ++cls;
        classes.push_back(cls);
    }
    std::sort(symbols.begin(), symbols.end());
    symbols.erase(std::unique(symbols.begin(), symbols.end()), symbols.end());
    std::sort(classes.begin(), classes.end());
    classes.erase(std::unique(classes.begin(), classes.end()), classes.end());
    TLh5Block block = BlockOf(static_cast<uint16_t>(tokens.Items.size()), symbols, classes);
    TBitWriter w;
    block.PutHead(w);
    for (const auto& t : tokens.Items) {
        if (t.Length == 0)
            block.PutLiteral(w, static_cast<uint8_t>(t.Value));
        else
            block.PutMatch(w, t.Length, t.Value);
    }
    TBytes expected = tokens.Expand();
    EXPECT_TRUE(ExpandBothWays(w.Bytes(), static_cast<int32_t>(expected.size())).Output == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Crossings, Lh5WindowWrap,
    ::testing::Values(
        // The copy's destination crosses 8191 -> 0.
        std::pair<int, std::vector<TLh5Token>>{8190, {{5, 0}}},
        std::pair<int, std::vector<TLh5Token>>{8190, {{20, 40}}},
        // The source crosses 8191 -> 0 (it starts at 8190, two bytes after the wrap).
        std::pair<int, std::vector<TLh5Token>>{8194, {{6, 3}}},
        std::pair<int, std::vector<TLh5Token>>{8194, {{256, 3}}},
        // The oldest byte (distance 8191) right after the wrap and far beyond it.
        std::pair<int, std::vector<TLh5Token>>{8192, {{10, 8191}, {256, 8191}, {3, 8000}}},
        std::pair<int, std::vector<TLh5Token>>{20000, {{100, 8191}, {256, 1}, {17, 15}}}));

TEST(Lh5ExpandEdges, SingleCodeListsTakeNoBits) {
    TBitWriter w;
    // Five symbols from a one-code symbol list: nothing is read for them, so the next block
    // head follows the first directly.
    TLh5Block first;
    first.Size = 5;
    first.LengthCode = TLh5Code::One(0);
    first.Symbols = TLh5Code::One('z');
    first.Distances = TLh5Code::One(0);
    first.PutHead(w);
    // A one-code length code: every symbol length is 1 (length-code symbol 3) without bits.
    TLh5Block second;
    second.Size = 4;
    second.LengthCode = TLh5Code::One(3);
    second.Symbols = TLh5Code::FromLengths({1, 1});
    second.Distances = TLh5Code::One(0);
    second.PutHead(w);
    w.Put(0b0110, 4);
    // A one-code distance list of class 5: no code bits, only the four extra bits.
    TLh5Block third;
    third.Size = 1;
    third.Symbols = TLh5Code::One(MatchSymbol(3));
    third.Distances = TLh5Code::One(5);
    third.PutHead(w);
    w.Put(0b0010, 4); // distance 16 + 2
    auto r = ExpandBothWays(w.Bytes(), 12);
    TBytes expected = Text("zzzzz");
    expected.insert(expected.end(), {0, 1, 1, 0});
    // The match copies from 19 bytes back: before the output, so spaces.
    expected.insert(expected.end(), {0x20, 0x20, 0x20});
    EXPECT_EQ(r.Output, expected);
}

TEST(Lh5ExpandEdges, BlockSizeZeroStandsFor65536Symbols) {
    TBitWriter w;
    TLh5Block big;
    big.Size = 0;
    big.Symbols = TLh5Code::One('q');
    big.Distances = TLh5Code::One(0);
    big.PutHead(w);
    TLh5Block last = big;
    last.Size = 1;
    last.Symbols = TLh5Code::One('r');
    last.PutHead(w);
    TBytes expected(65536, 'q');
    expected.push_back('r');
    EXPECT_TRUE(ExpandBothWays(w.Bytes(), 65537).Output == expected);
}

TEST(Lh5ExpandEdges, FinalMatchIsCopiedWholePastDestSize) {
    TBitWriter w;
    TLh5Block b = BlockOf(2, {'a', MatchSymbol(10)}, {});
    b.PutHead(w);
    b.PutLiteral(w, 'a');
    b.PutMatch(w, 10, 0);
    TArchiver archiver;
    TBytes stream = w.Bytes();
    TMemoryStream source(stream), dest;
    uint32_t checksum = 0;
    int64_t count = archiver.RunCodec(dest, source, static_cast<int32_t>(stream.size()), 3, miLH5, checksum,
                                      pmExpand, false);
    EXPECT_EQ(dest.Bytes, TBytes(11, 'a'));
    EXPECT_EQ(count, 12); // an expansion's count starts at 1
    EXPECT_EQ(checksum, 11u * 'a');
}

TEST(Lh5ExpandEdges, NegativeDestSizeReadsTheFirstTwoBytesOnly) {
    TBytes source = RandomBytes(20000, 2);
    TExpandOutcome r = ExpandBothWays(source, -5);
    EXPECT_TRUE(r.Output.empty());
    EXPECT_EQ(r.SourcePosition, 8192); // the first chunk holds the two bytes of the bit window
    EXPECT_EQ(r.InSum, static_cast<uint32_t>(source[0] + source[1]));
}

// A stream of random literals under an 8-bit code for all 256 bytes: about one input byte per
// output byte, so it spans several input chunks.
TBytes LiteralStream(const TBytes& text) {
    std::vector<uint32_t> all(256);
    std::iota(all.begin(), all.end(), 0u);
    TBitWriter w;
    TLh5Block b;
    b.Symbols = TLh5Code::FromLengths(std::vector<uint8_t>(256, 8));
    b.Distances = TLh5Code::One(0);
    for (size_t i = 0; i < text.size(); i += 65535) {
        b.Size = static_cast<uint16_t>(std::min<size_t>(65535, text.size() - i));
        b.PutHead(w);
        for (size_t k = i; k < i + b.Size; ++k) b.PutLiteral(w, text[k]);
    }
    return w.Bytes();
}

TEST(Lh5ExpandDispatch, ChecksumCountAndStreamPositionAfterTheMember) {
    TBytes text = RandomBytes(30000, 9);
    TBytes stream = LiteralStream(text);
    TBytes source = stream;
    for (char c : std::string("NEXT MEMBER")) source.push_back(static_cast<uint8_t>(c));
    TArchiver archiver;
    TMemoryStream in(source), out;
    uint32_t checksum = 0;
    int64_t count = archiver.RunCodec(out, in, static_cast<int32_t>(stream.size()), 30000, miLH5, checksum,
                                      pmExpand, false);
    EXPECT_TRUE(out.Bytes == text);
    EXPECT_EQ(checksum, SumOf(text));
    EXPECT_EQ(count, 30001);
    EXPECT_EQ(in.Position(), static_cast<int64_t>(stream.size()));
}

TEST(Lh5ExpandDispatch, ProgressIsReportedOncePerInputChunk) {
    TBytes stream = LiteralStream(RandomBytes(19900, 3));
    ASSERT_GT(stream.size(), 16384u);
    ASSERT_LT(stream.size(), 24576u);
    const auto size = static_cast<int32_t>(stream.size());
    TArchiver archiver;
    std::vector<int32_t> reports;
    archiver.OnShowProgress = [&](int32_t& p) { reports.push_back(p); };
    TMemoryStream in(stream), out;
    uint32_t checksum = 0;
    archiver.RunCodec(out, in, size, 19900, miLH5, checksum, pmExpand, false);
    EXPECT_EQ(reports, (std::vector<int32_t>{0, 8192 * 100 / size, 16384 * 100 / size, 100, 100}));
}

TEST(Lh5ExpandDispatch, ScrambledMemberIsReadThroughTheKey) {
    TBytes text = RandomBytes(12000, 4);
    TBytes stream = LiteralStream(text);
    const int32_t key = 0x5A3C9F01;
    TBytes scrambled = stream;
    for (size_t i = 0; i < scrambled.size(); ++i) scrambled[i] ^= static_cast<uint8_t>(key >> (8 * (i % 4)));
    TArchiver archiver;
    archiver.Key = key;
    TMemoryStream in(scrambled), out;
    uint32_t checksum = 0;
    archiver.RunCodec(out, in, static_cast<int32_t>(scrambled.size()), 12000, miLH5, checksum, pmExpand,
                      true);
    EXPECT_TRUE(out.Bytes == text);
    EXPECT_EQ(checksum, SumOf(text));
}

// Random streams: several blocks with random complete codes (deep ones give 13- to 16-bit
// codes that go through the trees), literal runs, matches of every length and distance class,
// one-code blocks, and the 65536-symbol block size.
struct TRandomStream {
    TBytes Stream;
    TBytes Expected;
};

TRandomStream MakeRandomStream(uint32_t seed, size_t targetBytes) {
    std::mt19937 rng(seed);
    TLh5Tokens all;
    TBitWriter w;
    size_t produced = 0;
    auto uniform = [&](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    while (produced < targetBytes) {
        // One block's tokens.
        const uint32_t kind = uniform(0, 9);
        std::vector<TLh5Token> tokens;
        if (kind == 0) {
            // A one-code symbol list: one literal or one match length, many times.
            const bool match = uniform(0, 1) == 1;
            const uint32_t count = uniform(1, 3000);
            const TLh5Token t{match ? static_cast<int>(uniform(3, 256)) : 0,
                              match ? uniform(0, 8191) : uniform(0, 255)};
            tokens.assign(count, t);
        } else {
            const uint32_t count = kind == 1 ? 65536 : uniform(1, 20000);
            const double matchShare = std::uniform_real_distribution<double>(0.0, 0.7)(rng);
            const uint32_t maxDistance = uniform(0, 1) ? 8191 : uniform(0, 64);
            const uint32_t maxLength = uniform(0, 3) ? 20 : 256;
            for (uint32_t i = 0; i < count; ++i) {
                if (std::bernoulli_distribution(matchShare)(rng))
                    tokens.push_back({static_cast<int>(uniform(3, maxLength)), uniform(0, maxDistance)});
                else
                    tokens.push_back({0, uniform(0, 255) & (uniform(0, 1) ? 0xFF : 0x0F)});
            }
        }
        std::vector<uint32_t> symbols, classes;
        for (const auto& t : tokens) {
            if (t.Length == 0) {
                symbols.push_back(t.Value);
                continue;
            }
            symbols.push_back(MatchSymbol(t.Length));
            uint32_t cls = 0;
            while ((t.Value >> cls) != 0) ++cls;
            classes.push_back(cls);
        }
        for (auto* v : {&symbols, &classes}) {
            std::sort(v->begin(), v->end());
            v->erase(std::unique(v->begin(), v->end()), v->end());
        }
        const double depthBias = uniform(0, 2) == 0 ? 0.9 : 0.1;
        TLh5Block block;
        block.Size = static_cast<uint16_t>(tokens.size()); // 65536 wraps to 0
        block.Symbols = RandomCode(symbols, 510, 16, depthBias, rng);
        block.Distances =
            classes.empty() ? TLh5Code::One(uniform(0, 13)) : RandomCode(classes, 14, 16, depthBias, rng);
        std::vector<uint32_t> lengthSymbols(19);
        std::iota(lengthSymbols.begin(), lengthSymbols.end(), 0u);
        block.LengthCode = RandomCode(lengthSymbols, 19, 16, depthBias, rng);
        block.PutHead(w);
        for (const auto& t : tokens) {
            if (t.Length == 0) {
                block.PutLiteral(w, static_cast<uint8_t>(t.Value));
                all.Literal(static_cast<uint8_t>(t.Value));
                ++produced;
            } else {
                block.PutMatch(w, t.Length, t.Value);
                all.Match(t.Length, t.Value);
                produced += static_cast<size_t>(t.Length);
            }
        }
    }
    return {w.Bytes(), all.Expand()};
}

TEST(Lh5ExpandDispatch, OutputBudgetRunsOutAtTheSameByte) {
    TRandomStream r = MakeRandomStream(77, 40000);
    for (int32_t budget : {0, 1, 8192, 8193, 20000, 39999}) {
        TExpandOptions options;
        options.OutBudget = budget;
        TExpandOutcome out = ExpandBothWays(r.Stream, static_cast<int32_t>(r.Expected.size()), options);
        EXPECT_EQ(out.Error, "Could not compress data, will store instead");
        EXPECT_EQ(out.OutCount, budget + 1);
        // A full output buffer is written only when a further byte arrives.
        EXPECT_EQ(out.Output.size(), static_cast<size_t>(budget > 0 ? (budget - 1) / 8192 * 8192 : 0))
            << budget;
    }
}

class Lh5FastMatchesByteWise : public ::testing::TestWithParam<uint32_t> {};

TEST_P(Lh5FastMatchesByteWise, OnRandomStreams) {
    const uint32_t seed = GetParam();
    TRandomStream r = MakeRandomStream(seed, 150000 + seed * 7919 % 100000);
    const auto size = static_cast<int32_t>(r.Expected.size());
    TExpandOutcome full = ExpandBothWays(r.Stream, size);
    EXPECT_TRUE(full.Output == r.Expected);
    EXPECT_EQ(full.OutSum, SumOf(r.Expected));
    EXPECT_EQ(full.InSum, SumOf(r.Stream));
    EXPECT_EQ(full.SourcePosition, static_cast<int64_t>(r.Stream.size()));

    // The same stream as one member among others, cut short, asked for fewer or more bytes, or
    // cancelled by the progress handler: both expanders still agree in every respect.
    TBytes withTrailer = r.Stream;
    withTrailer.insert(withTrailer.end(), 100, 0xA5);
    TExpandOptions member;
    member.SourceSize = static_cast<int32_t>(r.Stream.size());
    EXPECT_EQ(ExpandBothWays(withTrailer, size, member).SourcePosition, member.SourceSize);
    TExpandOptions cut;
    cut.SourceSize = static_cast<int32_t>(r.Stream.size() * (seed % 7 + 1) / 9);
    ExpandBothWays(withTrailer, size, cut);
    ExpandBothWays(r.Stream, size / 3 + 1);
    ExpandBothWays(r.Stream, size + 70000);
    TExpandOptions cancel;
    cancel.CancelAtReport = 2;
    ExpandBothWays(r.Stream, size, cancel);
    TExpandOptions quiet;
    quiet.WithProgress = false;
    ExpandBothWays(r.Stream, size, quiet);
}

INSTANTIATE_TEST_SUITE_P(Seeds, Lh5FastMatchesByteWise, ::testing::Range(1u, 13u));

} // namespace
