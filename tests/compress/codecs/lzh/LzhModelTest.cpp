// The adaptive Huffman model and the fixed position code of the LZH method, tested through their
// own operations: code lengths of the fresh model, the sibling-order invariants after updates and
// rebuilds, the moment of the rebuild, codes longer than 16 bits, and the position code words.
#include "LzhTestSupport.h"
#include "compress/codecs/lzh/LzhPositionCode.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

namespace {

int CodeLength(const TLzhStorage& z, int symbol) {
    int length = 0;
    for (int n = z.LzhHuffParent[symbol + LzhLeafBase]; n != LzhHuffRoot; n = z.LzhHuffParent[n]) ++length;
    return length;
}

// Sibling order, sums, adjacent children with the first at an even index, consistent parents,
// and every symbol on exactly one leaf.
void ExpectModelInvariants(const TLzhStorage& z) {
    std::vector<int> leafOf(LzhSymbols, -1);
    for (int i = 0; i < LzhHuffNodes; ++i) {
        if (i + 1 < LzhHuffNodes) {
            ASSERT_LE(z.LzhHuffFreq[i], z.LzhHuffFreq[i + 1]) << "node " << i;
        }
        int c = z.LzhHuffChild[i];
        if (c >= LzhLeafBase) {
            ASSERT_LT(c - LzhLeafBase, LzhSymbols);
            ASSERT_EQ(leafOf[c - LzhLeafBase], -1) << "symbol on two leaves";
            leafOf[c - LzhLeafBase] = i;
            ASSERT_EQ(z.LzhHuffParent[c], i);
        } else {
            ASSERT_EQ(c % 2, 0) << "node " << i;
            ASSERT_LT(c + 1, i);
            ASSERT_EQ(z.LzhHuffFreq[i], z.LzhHuffFreq[c] + z.LzhHuffFreq[c + 1]) << "node " << i;
            ASSERT_EQ(z.LzhHuffParent[c], i);
            ASSERT_EQ(z.LzhHuffParent[c + 1], i);
        }
    }
    for (int s = 0; s < LzhSymbols; ++s) ASSERT_NE(leafOf[s], -1) << "symbol " << s;
    EXPECT_EQ(z.LzhHuffFreq[LzhHuffNodes], 0xFFFF);
    EXPECT_EQ(z.LzhHuffParent[LzhHuffRoot], 0);
}

struct TFreshModel : ::testing::Test {
    TFreshModel() {
        LzhAllocStorage(Z);
        LzhStartModel(Z);
    }
    TLzhStorage Z;
};

using LzhModel = TFreshModel;

TEST_F(LzhModel, FreshModelGivesNineBitsToSymbolsBelow116AndEightToTheRest) {
    for (int s = 0; s < LzhSymbols; ++s) EXPECT_EQ(CodeLength(Z, s), s < 116 ? 9 : 8) << "symbol " << s;
    EXPECT_EQ(Z.LzhHuffFreq[LzhHuffRoot], 314);
    ExpectModelInvariants(Z);
}

TEST_F(LzhModel, RebuildHappensAtTheUpdateForSymbol32455) {
    std::vector<uint8_t> picks = RandomBytes(32454, 3);
    for (uint8_t p : picks) LzhUpdateModel(Z, p % 40 == 0 ? 256 + p % 58 : p);
    ASSERT_EQ(Z.LzhHuffFreq[LzhHuffRoot], 0x8000);
    std::vector<int> leafFreq(LzhSymbols);
    for (int s = 0; s < LzhSymbols; ++s) leafFreq[s] = Z.LzhHuffFreq[Z.LzhHuffParent[s + LzhLeafBase]];

    LzhUpdateModel(Z, 'e');
    ExpectModelInvariants(Z);
    int halved = 0;
    for (int s = 0; s < LzhSymbols; ++s) {
        int expected = (leafFreq[s] + 1) / 2 + (s == 'e' ? 1 : 0);
        EXPECT_EQ(Z.LzhHuffFreq[Z.LzhHuffParent[s + LzhLeafBase]], expected) << "symbol " << s;
        halved += (leafFreq[s] + 1) / 2;
    }
    EXPECT_EQ(Z.LzhHuffFreq[LzhHuffRoot], halved + 1);
}

TEST_F(LzhModel, UpdatesAndRepeatedRebuildsKeepTheInvariants) {
    // Skewed towards a few symbols so that leaves overtake each other often.
    std::vector<uint8_t> picks = RandomBytes(200000, 11);
    for (size_t i = 0; i < picks.size(); ++i) {
        LzhUpdateModel(Z, picks[i] < 200 ? picks[i] % 3 : picks[i] + 58);
        if (i == 20000 - 1) {
            EXPECT_EQ(Z.LzhHuffFreq[LzhHuffRoot], 314 + 20000);
        }
        if (i % 9973 == 0) ExpectModelInvariants(Z);
        ASSERT_LE(Z.LzhHuffFreq[LzhHuffRoot], 0x8000);
    }
    ExpectModelInvariants(Z);
}

TEST(LzhLongCodes, CodesBeyondSixteenBitsAreSentInTwoPiecesAndDecodeBack) {
    std::vector<uint8_t> literals = DeepModelLiterals(5);
    TLzhStreamWriter w;
    for (uint8_t b : literals) w.Literal(b);
    const std::vector<uint8_t> rare = {0x01, 0x02, 0xFE, 0x7F, 0x10};
    for (uint8_t b : rare) {
        ASSERT_GT(w.CodeLength(b), 16) << "the model is not deep enough for this test";
        w.Literal(b);
    }
    std::vector<uint8_t> expected = literals;
    expected.insert(expected.end(), rare.begin(), rare.end());
    for (uint8_t b : literals) {
        w.Literal(b);
        expected.push_back(b);
    }
    std::vector<uint8_t> stream = w.Finish();
    EXPECT_EQ(LzhExpandBytes(stream, static_cast<int32_t>(expected.size())), expected);
}

TEST(LzhPositionCode, CodeWordsAndLengths) {
    struct TCase {
        int U;
        const char* Bits;
    };
    const TCase cases[] = {{0, "000"},       {1, "0010"},     {2, "0011"},     {3, "0100"},
                           {4, "01010"},     {12, "100100"},  {24, "1100000"}, {47, "1110111"},
                           {48, "11110000"}, {63, "11111111"}};
    for (const TCase& c : cases) {
        int length = static_cast<int>(std::string(c.Bits).size());
        int value = std::stoi(c.Bits, nullptr, 2);
        EXPECT_EQ(LzhPositionCode.Length[c.U], length) << "u " << c.U;
        EXPECT_EQ(LzhPositionCode.Code[c.U] >> (8 - length), value) << "u " << c.U;
        EXPECT_EQ(LzhPositionCode.Code[c.U] & ((1 << (8 - length)) - 1), 0) << "u " << c.U;
        EXPECT_EQ(LzhPositionCode.DecodeClass[LzhPositionCode.Code[c.U]], c.U);
        EXPECT_EQ(LzhPositionCode.DecodeLength[LzhPositionCode.Code[c.U] | ((1 << (8 - length)) - 1)],
                  length);
    }
}

// The position value's code followed by its six low bits, padded with zero bits.
TEST(LzhPositionCode, EncodedPositionBits) {
    struct TCase {
        int Position;
        std::vector<uint8_t> Bytes;
    };
    const TCase cases[] = {
        {0, {0x00, 0x00}},    // 000 000000
        {4094, {0xFF, 0xF8}}, // 11111111 111110: the largest distance, 4095
        {3072, {0xF0, 0x00}}, // 11110000 000000: the first 8-bit class
        {64, {0x20, 0x00}},   // 0010 000000
        {777, {0x90, 0x90}},  // u 12: 100100, low bits 001001
    };
    for (const TCase& c : cases) {
        TDirectCodecRun d({}, INT32_MAX);
        TLzhStorage z;
        LzhAllocStorage(z);
        LzhStartModel(z);
        LzhEncodePosition(d.S, z, c.Position);
        LzhFlushBits(d.S, z);
        EXPECT_EQ(d.Finish(), c.Bytes) << "position " << c.Position;

        TDirectCodecRun in(c.Bytes, INT32_MAX);
        EXPECT_EQ(LzhDecodePosition(in.S, z), c.Position);
    }
}

TEST(LzhBits, ReadsPastTheEndAsZeroBitsWithoutFetchingMore) {
    TDirectCodecRun d({0xA5}, INT32_MAX);
    TLzhStorage z;
    LzhAllocStorage(z);
    LzhStartModel(z);
    EXPECT_EQ(LzhGetByte(d.S, z), 0xA5);
    for (int i = 0; i < 40; ++i) EXPECT_EQ(LzhGetBit(d.S, z), 0);
    EXPECT_EQ(LzhGetBits(d.S, z, 6), 0);
    EXPECT_EQ(d.Source.ReadRequests, (std::vector<int32_t>{1}));
}

} // namespace
