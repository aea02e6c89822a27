// The compressor's dictionary trees, driven the way the compressor drives them (delete the oldest
// position, store the new byte with its mirror, insert the newest), checked against their own
// definition: search-tree order, consistent links, exact shared-prefix lengths, and a best match
// that a brute-force search over the whole window confirms.
#include "compress/codecs/lzh/LzhDictionary.h"
#include "LzhTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace {

int Common(const uint8_t* ring, int a, int b) {
    int i = 0;
    while (i < LzhLookAhead && ring[a + i] == ring[b + i]) ++i;
    return i;
}

int RootOf(const uint8_t* ring, int p) {
    int h = ring[p + 1] ^ ring[p + 2];
    h ^= h >> 4;
    return LzhRootBase + ring[p] + ((h & 15) << 8);
}

// Bytewise comparison of the 60-byte strings at a and b: negative, zero or positive.
int Compare(const uint8_t* ring, int a, int b) {
    int k = Common(ring, a, b);
    return k == LzhLookAhead ? 0 : ring[a + k] - ring[b + k];
}

// Walks every tree and checks it; returns the number of positions found in trees. Each node must
// lie strictly between the bounds that its ancestors set (-1: no bound).
int CheckTrees(const TLzhStorage& z) {
    const uint8_t* ring = z.LzhRing.get();
    int nodes = 0;
    std::function<void(int, int, int, int)> walk = [&](int n, int root, int low, int high) {
        ++nodes;
        ASSERT_EQ(RootOf(ring, n), root) << "node " << n << " in the wrong tree";
        if (low >= 0) {
            ASSERT_GT(Compare(ring, n, low), 0) << "node " << n << " left of a lower bound";
        }
        if (high >= 0) {
            ASSERT_LT(Compare(ring, n, high), 0) << "node " << n << " right of an upper bound";
        }
        int parent = z.LzhParent[n];
        int expectedSame = parent >= LzhRootBase ? 1 : Common(ring, n, parent);
        ASSERT_EQ(z.LzhSame[n], expectedSame) << "node " << n;
        if (z.LzhLeft[n] != LzhNil) {
            ASSERT_EQ(z.LzhParent[z.LzhLeft[n]], n);
            walk(z.LzhLeft[n], root, low, n);
        }
        if (z.LzhRight[n] != LzhNil) {
            ASSERT_EQ(z.LzhParent[z.LzhRight[n]], n);
            walk(z.LzhRight[n], root, n, high);
        }
    };
    for (int root = LzhRootBase; root < LzhRootBase + LzhRootCount; ++root) {
        int top = z.LzhRight[root];
        if (top == LzhNil) continue;
        EXPECT_EQ(z.LzhParent[top], root);
        walk(top, root, -1, -1);
    }
    return nodes;
}

// The compressor's sequence of dictionary operations over data, with the trees checked every
// checkEvery steps and each insertion's match compared with a brute-force search.
void DriveDictionary(const std::vector<uint8_t>& data, int checkEvery) {
    TLzhStorage z;
    LzhAllocStorage(z);
    LzhInitDictionary(z);
    uint8_t* ring = z.LzhRing.get();
    std::memset(ring, LzhFillByte, LzhStartPosition);
    int r = LzhStartPosition;
    std::memcpy(ring + r, data.data(), LzhLookAhead);
    for (int i = 1; i <= LzhLookAhead; ++i) LzhInsertNode(z, r - i);
    LzhInsertNode(z, r);
    int oldest = 0;
    for (size_t t = LzhLookAhead; t < data.size(); ++t) {
        LzhDeleteNode(z, oldest);
        ring[oldest] = data[t];
        if (oldest < LzhLookAhead - 1) ring[oldest + LzhWindow] = data[t];
        oldest = (oldest + 1) & LzhPositionMask;
        r = (r + 1) & LzhPositionMask;

        bool check = t % checkEvery == 0;
        int best = 0;
        if (check) {
            for (int p = 0; p < LzhWindow; ++p)
                if (p != r && z.LzhParent[p] != LzhNil) best = std::max(best, Common(ring, r, p));
        }
        LzhInsertNode(z, r);
        if (!check) continue;
        ASSERT_EQ(z.LzhMatchLen, best > LzhThreshold ? best : 0) << "step " << t;
        if (best > LzhThreshold) {
            int from = (r - z.LzhMatchPos - 1) & LzhPositionMask;
            ASSERT_EQ(Common(ring, r, from), best) << "step " << t;
        }
        int nodes = CheckTrees(z);
        if (::testing::Test::HasFatalFailure()) return;
        // The tree holds r and the 4036 positions before it, less those whose string an equal
        // newer one replaced.
        ASSERT_LE(nodes, LzhStartPosition + 1);
        ASSERT_GT(nodes, 0);
        int linked = 0;
        for (int p = 0; p < LzhWindow; ++p) linked += z.LzhParent[p] != LzhNil;
        ASSERT_EQ(linked, nodes) << "positions marked as in a tree that no tree reaches";
    }
}

// Two-letter text with long repeats: deep trees, many equal prefixes, frequent replacements.
std::vector<uint8_t> LowEntropy(size_t n, uint32_t seed) {
    std::vector<uint8_t> r = RandomBytes(n, seed), out;
    while (out.size() < n) {
        size_t i = out.size();
        if (r[i] < 40 && i > 300) {
            size_t back = 1 + (r[i - 1] * 16 + r[i - 2]) % std::min<size_t>(i, 4200);
            size_t len = 3 + r[i - 3] % 70;
            for (size_t k = 0; k < len && out.size() < n; ++k) out.push_back(out[out.size() - back]);
        } else {
            out.push_back(r[i] & 1 ? 'a' : 'b');
        }
    }
    return out;
}

TEST(LzhDictionary, LowEntropyTextKeepsTreesExactAndFindsTheLongestMatch) {
    DriveDictionary(LowEntropy(16000, 21), 97);
}

TEST(LzhDictionary, RunsOfOneByteReplaceEqualStrings) {
    std::vector<uint8_t> data(12000, 'x');
    for (size_t i = 5000; i < 5100; ++i) data[i] = static_cast<uint8_t>('a' + i % 3);
    DriveDictionary(data, 71);
}

TEST(LzhDictionary, RandomBytesAcrossSeveralWindowWraps) {
    DriveDictionary(RandomBytes(13000, 8), 101);
}

TEST(LzhDictionary, PrefixSharingWordsDeleteNodesWithTwoChildren) {
    DriveDictionary(ProseBytes(16000, 4), 89);
}

} // namespace
