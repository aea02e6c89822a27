#include "compress/codecs/CodecState.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

#include <climits>
#include <numeric>

namespace {

// A state prepared by hand, as the dispatcher would for one run.
class CodecStateTest : public ::testing::Test {
protected:
    uint8_t In[CodecChunkSize];
    uint8_t Out[CodecChunkSize];
    TCodecState S;
    TRecordingStream Source, Dest;

    void Prepare(std::vector<uint8_t> source, int32_t sourceSize, int32_t budget = INT32_MAX) {
        Source.Bytes = std::move(source);
        S.Source = &Source;
        S.Dest = &Dest;
        S.InBuffer = In;
        S.InPos = S.InEnd = In;
        S.OutBuffer = S.OutPos = Out;
        S.OutEnd = Out + CodecChunkSize;
        S.InRemaining = sourceSize;
        S.ChunkSize = CodecChunkSize;
        S.OutBudget = budget;
    }
};

TEST_F(CodecStateTest, ZeroSourceSizeNeverTouchesTheSource) {
    Prepare(Bytes("abc"), 0);
    EXPECT_EQ(ReadByte(S), 0);
    EXPECT_TRUE(S.EndOfInput);
    EXPECT_TRUE(Source.ReadRequests.empty());
}

TEST_F(CodecStateTest, ReadsExactlyTheGivenSizeInChunksAndStopsThere) {
    auto data = RandomBytes(20000, 3);
    Prepare(data, 17000);
    uint32_t sum = 0;
    for (int i = 0; i < 17000; ++i) {
        uint8_t b = ReadByte(S);
        ASSERT_FALSE(S.EndOfInput) << "at " << i;
        ASSERT_EQ(b, data[i]);
        sum += b;
    }
    ReadByte(S);
    EXPECT_TRUE(S.EndOfInput);
    EXPECT_EQ(Source.ReadRequests, (std::vector<int32_t>{8192, 8192, 616}));
    EXPECT_EQ(Source.Position(), 17000);
    EXPECT_EQ(S.InSum, sum);
}

TEST_F(CodecStateTest, ShortSourceEndsTheInputEarly) {
    Prepare(Bytes("xy"), 100);
    ReadByte(S);
    ReadByte(S);
    EXPECT_FALSE(S.EndOfInput);
    EXPECT_EQ(ReadByte(S), 0);
    EXPECT_TRUE(S.EndOfInput);
}

TEST_F(CodecStateTest, FullBufferIsWrittenOnlyWhenAFurtherByteArrives) {
    Prepare({}, 0);
    for (int i = 0; i < 8192; ++i) WriteByte(S, static_cast<uint8_t>(i));
    EXPECT_TRUE(Dest.WriteSizes.empty());
    FlushOutput(S);
    EXPECT_EQ(Dest.WriteSizes, (std::vector<int32_t>{8192}));

    Dest.WriteSizes.clear();
    Dest.Bytes.clear();
    Dest.Seek(0, TSeekOrigin::Begin);
    S.OutPos = Out;
    for (int i = 0; i < 8193; ++i) WriteByte(S, static_cast<uint8_t>(i));
    EXPECT_EQ(Dest.WriteSizes, (std::vector<int32_t>{8192}));
    FlushOutput(S);
    EXPECT_EQ(Dest.WriteSizes, (std::vector<int32_t>{8192, 1}));
    EXPECT_EQ(Dest.Bytes.back(), static_cast<uint8_t>(8192));
}

TEST_F(CodecStateTest, BudgetAcceptsNBytesAndRefusesByteNPlusOne) {
    Prepare({}, 0, 5);
    for (int i = 0; i < 5; ++i) WriteByte(S, 'a');
    try {
        WriteByte(S, 'a');
        ADD_FAILURE() << "sixth byte accepted";
    } catch (const EUnableToCompress& e) {
        EXPECT_STREQ(e.what(), "Could not compress data, will store instead");
    }
    EXPECT_EQ(S.OutCount, 5);
}

TEST_F(CodecStateTest, KeyBytesCycleAcrossChunkBoundaries) {
    std::vector<uint8_t> data(8195, 0);
    Prepare(data, 8195);
    S.KeyIn = true;
    const uint8_t key[4] = {0x11, 0x22, 0x33, 0x44};
    std::copy(key, key + 4, S.KeyBytes);
    for (int i = 0; i < 8195; ++i) ASSERT_EQ(ReadByte(S), key[i % 4]) << "at " << i;
    // The checksum is taken before the transform.
    EXPECT_EQ(S.InSum, 0u);
    // Writing continues the same index: one index serves both directions.
    S.KeyOut = true;
    WriteByte(S, 0);
    EXPECT_EQ(Out[0], key[8195 % 4]);
    EXPECT_EQ(S.OutSum, key[8195 % 4]);
}

TEST_F(CodecStateTest, ProgressCancelOnARefillEndsTheInputAtOnce) {
    Prepare(RandomBytes(20000, 9), 20000);
    int calls = 0;
    S.OnProgress = [&](int32_t& p) {
        ++calls;
        p = -1;
    };
    EXPECT_EQ(ReadByte(S), 0);
    EXPECT_TRUE(S.EndOfInput);
    EXPECT_EQ(S.InSum, 0u);
    // Nothing more is fetched afterwards, even by a caller that reads on.
    ReadByte(S);
    EXPECT_TRUE(S.EndOfInput);
    EXPECT_EQ(Source.ReadRequests.size(), 1u);
    EXPECT_EQ(calls, 1);
}

TEST(ProgressPercent, SwitchesToDivisionByHundredthsAbove100000) {
    EXPECT_EQ(ProgressPercent(8192, 12630), 64);
    EXPECT_EQ(ProgressPercent(12630, 12630), 100);
    EXPECT_EQ(ProgressPercent(8192, 707643), 1);
    EXPECT_EQ(ProgressPercent(99999, 100000), 99);   // 9999900 div 100000
    EXPECT_EQ(ProgressPercent(99999, 100001), 99);   // 99999 div 1000
    EXPECT_EQ(ProgressPercent(100001, 100001), 100); // 100001 div 1000
    EXPECT_EQ(ProgressPercent(2147483647, 2147483647), 100);
}

} // namespace
