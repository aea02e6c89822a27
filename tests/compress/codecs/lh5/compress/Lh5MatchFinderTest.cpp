#include "compress/codecs/lh5/compress/Lh5MatchFinder.h"
#include "tests/compress/codecs/lh5/Lh5TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// Drives the dictionary position by position over some data, as the compressor does but without
// cutting matches at the end of the data, and checks it against a brute-force search.
class TFinder {
public:
    explicit TFinder(std::vector<uint8_t> data) : Run(data, INT32_MAX), Data(std::move(data)) {
        Lh5AllocStorage(Z);
        InitDictionary(Z);
        FillWindow(Run.S, Z);
        Z.MatchPos = 0;
        Z.MatchLen = 0;
        InsertPosition(Z);
    }
    void Step() {
        AdvancePosition(Run.S, Z);
        ++Offset;
    }

    // The leaf number of the string at data offset i.
    static uint16_t LeafOf(int64_t i) { return static_cast<uint16_t>(Lh5RootBase + (i + 256) % Lh5DictSize); }
    // Window index of a position value once the current string is in the trie (its own leaf
    // number is WindowPos).
    int IndexOf(int value) const { return value > Z.WindowPos ? value - Lh5DictSize : value; }

    // The longest common prefix (up to 256) of the current string with any string in the
    // dictionary: the previous 8191 positions, or fewer at the start.
    int LongestMatch() const {
        const uint8_t* w = Z.Window;
        const int pos = Z.WindowPos;
        int best = 0;
        const int64_t reach = std::min<int64_t>(Offset, Lh5DictSize - 1);
        for (int d = 1; d <= reach && best < Lh5LongestMatch; ++d) {
            int k = 0;
            while (k < Lh5LongestMatch && w[pos + k] == w[pos - d + k]) ++k;
            best = std::max(best, k);
        }
        return best;
    }

    // Checks the reported match against the brute-force one.
    void CheckMatch() const {
        const int expected = LongestMatch();
        ASSERT_EQ(Z.MatchLen, std::max(expected, 1)) << "at offset " << Offset;
        if (Z.MatchLen >= 2) {
            int distance = Z.WindowPos - Z.MatchPos;
            ASSERT_GE(distance, 1) << "at offset " << Offset;
            ASSERT_LE(distance, Lh5DictSize) << "at offset " << Offset;
            ASSERT_EQ(
                std::memcmp(Z.Window + Z.WindowPos, Z.Window + Z.MatchPos, static_cast<size_t>(Z.MatchLen)),
                0)
                << "at offset " << Offset;
        }
    }

    // A string that passes through inner node or leaf x: the leaf itself or the node's position.
    int StringOf(uint16_t x) const {
        return IndexOf(x >= Lh5RootBase ? x : (Z.Trie[x].Position & ~Lh5PendingFlag));
    }

    // Walks the whole trie: child counts, levels, chains, edge labels and the free list.
    // Returns the number of inner nodes in use.
    int CheckTrie() {
        std::vector<int> children(Lh5RootBase + 256, 0);
        std::vector<uint16_t> childXor(Lh5RootBase + 256, 0);
        int inner = 0;
        for (int x = 1; x < 2 * Lh5DictSize; ++x) {
            uint16_t q = Z.Trie[x].Parent;
            if (q == 0) continue;
            if (x < Lh5RootBase) ++inner;
            EXPECT_TRUE(q < Lh5RootBase + 256 && q != 0) << "parent of " << x;
            ++children[q];
            childXor[q] = static_cast<uint16_t>(childXor[q] ^ x);
        }
        for (int q = Lh5RootBase; q < Lh5RootBase + 256; ++q)
            EXPECT_EQ(Z.NodeChildXor[q], childXor[q]) << "root " << q;
        int freeCount = 0;
        for (uint16_t f = Z.FreeNode; f != 0 && freeCount <= Lh5InnerNodeCount; f = Z.Trie[f].Next) {
            EXPECT_EQ(Z.Trie[f].Parent, 0) << "free node " << f << " is in the trie";
            ++freeCount;
        }
        EXPECT_EQ(inner + freeCount, Lh5InnerNodeCount);
        for (int x = 1; x < 2 * Lh5DictSize; ++x) {
            uint16_t q = Z.Trie[x].Parent;
            if (q == 0) continue;
            auto node = static_cast<uint16_t>(x);
            if (x < Lh5RootBase) {
                EXPECT_GE(children[x], 2) << "inner node " << x;
                EXPECT_EQ(Z.NodeChildCount[x], children[x] & 0xFF) << "inner node " << x;
                EXPECT_EQ(Z.NodeChildXor[x], childXor[x]) << "inner node " << x;
                EXPECT_GT(Z.NodeLevel[x], Z.NodeLevel[q]) << "inner node " << x;
            }
            // The edge from q starts with the byte after q's shared prefix, and the string below
            // shares that prefix with the string recorded at q.
            const int level = Z.NodeLevel[q];
            const int at = StringOf(node);
            EXPECT_EQ(FindChild(Z, q, Z.Window[at + level]), node) << "node " << x << " under " << q;
            if (q < Lh5RootBase)
                EXPECT_EQ(std::memcmp(Z.Window + at, Z.Window + StringOf(q), static_cast<size_t>(level)), 0)
                    << "node " << x << " under " << q;
            else
                EXPECT_EQ(Z.Window[at], q - Lh5RootBase) << "node " << x << " under root";
        }
        return inner;
    }

    TDirectCodecRun Run;
    TLh5FinderStorage Z;
    std::vector<uint8_t> Data;
    int64_t Offset = 0; // data offset of WindowPos
};

// Data offsets at which WindowPos reaches 16384 and the window shifts.
bool NearShift(int64_t offset) {
    int64_t r = (offset - (Lh5WindowEnd - Lh5FirstPosition)) % Lh5DictSize;
    return offset >= Lh5WindowEnd - Lh5FirstPosition - 300 && (r < 300 || r > Lh5DictSize - 300);
}

TEST(Lh5MatchFinder, FirstPositionFindsAnEmptyRoot) {
    TFinder f(Bytes("hello"));
    EXPECT_EQ(f.Z.MatchLen, 1);
    EXPECT_EQ(f.Z.WindowPos, Lh5FirstPosition);
    EXPECT_EQ(f.Z.Trie[Lh5FirstPosition].Parent, Lh5RootBase + 'h');
    EXPECT_EQ(f.Z.BytesLeft, 5);
}

// FindChild takes the first node in the chain whose parent is q: that is only right if no two
// children of one node can share a chain.
TEST(Lh5MatchFinder, ChildrenOfOneNodeNeverShareAChain) {
    std::vector<uint16_t> seenFor(Lh5TrieRecords, 0);
    for (unsigned q = 1; q < Lh5RootBase + 256; ++q) {
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned head = Lh5ChainHead(q, b);
            ASSERT_GE(head, static_cast<unsigned>(Lh5ChainHeadBase));
            ASSERT_LT(head, static_cast<unsigned>(Lh5TrieRecords));
            ASSERT_NE(seenFor[head], q) << "node " << q << ", byte " << b;
            seenFor[head] = static_cast<uint16_t>(q);
        }
    }
}

struct TFinderCase {
    std::string Name;
    std::vector<uint8_t> Data;
    int Sample; // check every Sample-th position (and every position near a window shift)
};

void PrintTo(const TFinderCase& c, std::ostream* os) {
    *os << c.Name;
}

class Lh5MatchFinderSearch : public ::testing::TestWithParam<TFinderCase> {};

TEST_P(Lh5MatchFinderSearch, FindsTheLongestEarlierMatchAndKeepsTheTrieSound) {
    TFinder f(GetParam().Data);
    const auto size = static_cast<int64_t>(f.Data.size());
    for (; f.Offset < size; f.Step()) {
        if (f.Offset % GetParam().Sample == 0 || NearShift(f.Offset)) {
            f.CheckMatch();
            if (HasFatalFailure()) return;
        }
        if (f.Offset % 4096 == 0 || (NearShift(f.Offset) && f.Offset % 50 == 0)) {
            f.CheckTrie();
            if (HasFailure()) return;
        }
    }
}

std::vector<uint8_t> SmallAlphabet(size_t n, int letters, uint32_t seed) {
    auto r = RandomBytes(n, seed);
    for (auto& b : r) b = static_cast<uint8_t>('a' + b % letters);
    return r;
}

std::vector<uint8_t> RepeatsAcrossTheShift() {
    // Strings of the first window that come back after the shift.
    auto data = RandomBytes(30000, 41);
    std::copy_n(data.begin() + 6000, 3000, data.begin() + 9000);
    std::copy_n(data.begin() + 15000, 1000, data.begin() + 16500);
    std::copy_n(data.begin() + 7800, 600, data.begin() + 24000);
    return data;
}

INSTANTIATE_TEST_SUITE_P(Data, Lh5MatchFinderSearch,
                         ::testing::Values(TFinderCase{"Text", WordSalad(40000, 1), 37},
                                           TFinderCase{"Random", RandomBytes(30000, 2), 41},
                                           TFinderCase{"TwoLetters", SmallAlphabet(30000, 2, 3), 53},
                                           TFinderCase{"FourLetters", SmallAlphabet(30000, 4, 4), 47},
                                           TFinderCase{"Period257", Periodic(30000, 257, 5), 31},
                                           TFinderCase{"Run", Repeated(20000, 'z'), 29},
                                           TFinderCase{"RepeatsAcrossTheShift", RepeatsAcrossTheShift(), 43}),
                         [](const auto& info) { return info.param.Name; });

TEST(Lh5MatchFinder, RunsLongerThan256ReplaceTheOlderLeaf) {
    const int run = 3000;
    TFinder f(Repeated(run, 'x'));
    int replaced = 0;
    for (f.Step(); f.Offset < run; f.Step()) {
        if (f.Offset + Lh5LongestMatch > run) break; // the strings now reach the spaces past the end
        ASSERT_EQ(f.Z.MatchLen, Lh5LongestMatch) << "at " << f.Offset;
        {
            // The previous leaf held the same 256 bytes: it left the trie and points on to this one.
            uint16_t older = TFinder::LeafOf(f.Offset - 1), newer = TFinder::LeafOf(f.Offset);
            ASSERT_EQ(f.Z.Trie[older].Parent, 0) << "at " << f.Offset;
            ASSERT_EQ(f.Z.Trie[older].Next, newer) << "at " << f.Offset;
            ASSERT_NE(f.Z.Trie[newer].Parent, 0) << "at " << f.Offset;
            ++replaced;
        }
    }
    EXPECT_EQ(replaced, run - Lh5LongestMatch);
    f.CheckTrie();
}

TEST(Lh5MatchFinder, WindowShiftFindsStringsEnteredBeforeIt8192Lower) {
    auto data = RandomBytes(20000, 77);
    std::copy_n(data.begin() + 7000, 500, data.begin() + 9000);
    TFinder f(data);
    while (f.Offset < 8999) f.Step();
    const uint16_t earlier = TFinder::LeafOf(7000);
    EXPECT_EQ(earlier, 15448); // entered before the shift, at window index 15448
    EXPECT_NE(f.Z.Trie[earlier].Parent, 0);
    f.Step();
    // The shift came at offset 7936; offset 9000 now stands at 8192 + 1064 and finds the string
    // of offset 7000 at 15448 - 8192. The two agree over 256 bytes, so the new leaf replaces it.
    EXPECT_EQ(f.Z.WindowPos, 9256);
    EXPECT_EQ(f.Z.MatchLen, Lh5LongestMatch);
    EXPECT_EQ(f.Z.MatchPos, 15448 - Lh5DictSize);
    EXPECT_EQ(f.Z.Trie[earlier].Parent, 0);
    EXPECT_EQ(f.Z.Trie[earlier].Next, TFinder::LeafOf(9000));
}

struct TRefillCase {
    int Size;
    int BytesLeftAfterShift;
};

void PrintTo(const TRefillCase& c, std::ostream* os) {
    *os << c.Size;
}

class Lh5MatchFinderRefill : public ::testing::TestWithParam<TRefillCase> {};

TEST_P(Lh5MatchFinderRefill, BytesLeftGrowsByTheRealBytesRead) {
    const TRefillCase c = GetParam();
    auto data = WordSalad(static_cast<size_t>(c.Size), 8);
    TFinder f(data);
    EXPECT_EQ(f.Z.BytesLeft, std::min(c.Size, Lh5DictSize));
    const int shiftAt = Lh5WindowEnd - Lh5FirstPosition; // 7936
    while (f.Offset < shiftAt) f.Step();
    EXPECT_EQ(f.Z.WindowPos, Lh5DictSize);
    EXPECT_EQ(f.Z.BytesLeft, c.BytesLeftAfterShift);
    // The window moved down by 8192 and the refill follows the moved read-ahead.
    const int real = c.Size > Lh5DictSize ? std::min(c.Size - Lh5DictSize, Lh5DictSize) : 0;
    for (int i = 0; i < std::min(256 + real, c.Size - shiftAt); ++i)
        ASSERT_EQ(f.Z.Window[Lh5DictSize + i], data[static_cast<size_t>(shiftAt + i)]) << i;
    // The read that met the end stored its zero right after the real bytes.
    if (real < Lh5DictSize) {
        EXPECT_EQ(f.Z.Window[Lh5FirstPosition + real], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, Lh5MatchFinderRefill,
                         ::testing::Values(TRefillCase{8000, 64}, TRefillCase{8192, 256},
                                           TRefillCase{8193, 257}, TRefillCase{11192, 3256},
                                           TRefillCase{16383, 8447}, TRefillCase{16384, 8448},
                                           TRefillCase{30000, 8448}));

TEST(Lh5MatchFinder, AdvancingSeveralPositionsAtOnceEqualsSingleSteps) {
    auto data = WordSalad(40000, 12);
    Append(data, Repeated(3000, 'q'));
    TFinder single(data), batched(data);
    auto counts = RandomBytes(4000, 13);
    for (size_t i = 0; batched.Offset + 300 < static_cast<int64_t>(data.size()); ++i) {
        const int count = 1 + counts[i % counts.size()] % 200;
        AdvancePositions(batched.Run.S, batched.Z, count);
        batched.Offset += count;
        for (int k = 0; k < count; ++k) single.Step();
        ASSERT_EQ(batched.Z.WindowPos, single.Z.WindowPos);
        ASSERT_EQ(batched.Z.BytesLeft, single.Z.BytesLeft);
        ASSERT_EQ(batched.Z.MatchLen, single.Z.MatchLen) << "at " << single.Offset;
        ASSERT_EQ(batched.Z.MatchPos, single.Z.MatchPos) << "at " << single.Offset;
        ASSERT_EQ(batched.Z.FreeNode, single.Z.FreeNode) << "at " << single.Offset;
    }
    EXPECT_EQ(std::memcmp(batched.Z.Trie, single.Z.Trie, Lh5TrieRecords * sizeof(TLh5TrieNode)), 0);
    EXPECT_EQ(std::memcmp(batched.Z.Window, single.Z.Window, Lh5ReadAheadEnd), 0);
}

TEST(Lh5MatchFinder, InnerNodesStayWithin8191AndReturnToTheFreeList) {
    // Two letters at random: nearly every position splits an edge, so the trie runs close to
    // its limit of inner nodes for many windows.
    TFinder f(SmallAlphabet(120000, 2, 99));
    int most = 0;
    for (; f.Offset < 120000; f.Step()) {
        ASSERT_NE(f.Z.FreeNode, 0) << "free list exhausted at " << f.Offset;
        if (f.Offset % 997 == 0) {
            most = std::max(most, f.CheckTrie());
            if (HasFailure()) return;
        }
    }
    EXPECT_LE(most, Lh5InnerNodeCount);
    EXPECT_GT(most, 8000);
}

} // namespace
