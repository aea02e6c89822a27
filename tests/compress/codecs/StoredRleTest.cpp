#include "compress/codecs/StoredRle.h"
#include "compress/Archiver.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

namespace {

using TBytes = std::vector<uint8_t>;

TBytes RunCodecOn(uint8_t method, TProcessMode mode, const TBytes& input) {
    TArchiver archiver;
    TMemoryStream source(input), dest;
    uint32_t checksum = 0;
    auto size = static_cast<int32_t>(input.size());
    archiver.RunCodec(dest, source, size, size, method, checksum, mode, false);
    return dest.Bytes;
}

TBytes Compress(const TBytes& in) {
    return RunCodecOn(miRLE, pmCompress, in);
}
TBytes Expand(const TBytes& in) {
    return RunCodecOn(miRLE, pmExpand, in);
}
TBytes Repeat(uint8_t b, size_t n) {
    return TBytes(n, b);
}
TBytes Concat(std::initializer_list<TBytes> parts) {
    TBytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct TRleExample {
    TBytes Input, Coded;
};

class RleExamples : public ::testing::TestWithParam<TRleExample> {};

TEST_P(RleExamples, CompressToTheDefinedTokensAndBack) {
    EXPECT_EQ(Compress(GetParam().Input), GetParam().Coded);
    EXPECT_EQ(Expand(GetParam().Coded), GetParam().Input);
}

INSTANTIATE_TEST_SUITE_P(Tokens, RleExamples,
                         ::testing::Values(TRleExample{{0x41, 0x41, 0x41, 0x42}, {0x41, 0x94, 0x03, 0x42}},
                                           TRleExample{{0x41, 0x41}, {0x41, 0x41}},
                                           TRleExample{{0x00, 0x00, 0x00}, {0x00, 0x94, 0x03}},
                                           TRleExample{Repeat(0x41, 256), {0x41, 0x94, 0xFF, 0x41}},
                                           TRleExample{Repeat(0x41, 255), {0x41, 0x94, 0xFF}},
                                           TRleExample{Repeat(0x41, 257), {0x41, 0x94, 0xFF, 0x41, 0x41}},
                                           TRleExample{Repeat(0x41, 4), {0x41, 0x94, 0x04}},
                                           // Runs of 0x94 never start: each marker is escaped.
                                           TRleExample{
                                               {0x01, 0x94, 0x94, 0x94, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02},
                                               {0x01, 0x94, 0x00, 0x94, 0x00, 0x94, 0x00, 0x02, 0x94, 0x06}}),
                         [](const auto& info) { return "Example" + std::to_string(info.index); });

TEST(RleCompress, SingleMarkerDoesNotFitTheBudgetFourEqualBytesDo) {
    EXPECT_THROW(Compress({0x94}), EUnableToCompress);
    EXPECT_EQ(Compress(Repeat(0x41, 4)).size(), 3u);
}

TEST(RleCompress, EmptyInputGivesNoOutputInAnyEntry) {
    EXPECT_TRUE(Compress({}).empty());
    EXPECT_TRUE(Expand({}).empty());
    EXPECT_TRUE(RunCodecOn(miStored, pmCompress, {}).empty());
}

TEST(RleExpand, TokensFollowingMarkersRepeatTheMarker) {
    EXPECT_EQ(Expand({0x41, 0x94, 0x01}), (TBytes{0x41}));
    EXPECT_EQ(Expand({0x41, 0x94, 0x02}), (TBytes{0x41, 0x41}));
    EXPECT_EQ(Expand({0x94, 0x00, 0x94, 0x03}), (TBytes{0x94, 0x94, 0x94}));
    EXPECT_EQ(Expand({0x41, 0x94, 0x03, 0x94, 0x02}), (TBytes{0x41, 0x41, 0x41, 0x94}));
    // A run before any literal repeats the start value 0.
    EXPECT_EQ(Expand({0x94, 0x03}), (TBytes{0x00, 0x00}));
    // A marker as the last byte stands for itself.
    EXPECT_EQ(Expand({0x41, 0x94}), (TBytes{0x41, 0x94}));
}

TEST(RleRoundTrip, RunsOfEveryLengthUpTo300) {
    for (size_t n = 1; n <= 300; ++n) {
        for (uint8_t b : {uint8_t(0x00), uint8_t(0x41)}) {
            TBytes input = Concat({{0x10}, Repeat(b, n), {0x20}});
            TBytes coded = Compress(input);
            ASSERT_EQ(Expand(coded), input) << "run of " << n << " x " << int(b);
        }
    }
}

TEST(RleRoundTrip, StructuredAndChunkEdgeInputsThatFitTheBudget) {
    std::vector<TBytes> inputs = {Repeat(0x00, 8192), Repeat(0x00, 8193), Repeat(0x7F, 300000)};
    TBytes structured;
    for (int i = 0; i < 200000; ++i)
        structured.push_back(static_cast<uint8_t>((i / 7) % 5 == 0 ? 0x94 : i / 13));
    inputs.push_back(structured);
    TBytes text;
    for (int i = 0; i < 20000; ++i) text.insert(text.end(), {'l', 'i', 'n', 'e', ' ', ' ', ' ', ' ', '\n'});
    inputs.push_back(text);
    for (const auto& input : inputs) {
        TBytes coded = Compress(input);
        EXPECT_LE(coded.size(), input.size());
        EXPECT_EQ(Expand(coded), input) << input.size();
    }
}

TEST(RleRoundTrip, RandomDataEitherFitsAndRoundTripsOrIsRefused) {
    for (uint32_t seed = 1; seed <= 20; ++seed) {
        // Mostly random bytes with runs mixed in, so that some inputs fit the budget.
        TBytes input = RandomBytes(20000 + seed * 1000, seed);
        for (size_t i = 0; i < input.size(); i += 97)
            std::fill_n(input.begin() + i, std::min<size_t>(9, input.size() - i), input[i]);
        try {
            TBytes coded = Compress(input);
            EXPECT_EQ(Expand(coded), input) << "seed " << seed;
        } catch (const EUnableToCompress&) {
            size_t markers = std::count(input.begin(), input.end(), RleMarker);
            EXPECT_GT(markers, 0u) << "only escaped markers can make RLE output grow";
        }
    }
}

TEST(StoredCopy, CopiesEveryByteInBothDirections) {
    TBytes data = RandomBytes(30000, 7);
    EXPECT_EQ(RunCodecOn(miStored, pmCompress, data), data);
    EXPECT_EQ(RunCodecOn(miStored, pmExpand, data), data);
}

} // namespace
