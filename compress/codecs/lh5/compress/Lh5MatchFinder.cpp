// The PATRICIA-trie dictionary of the LH5 compressor. Every operation works in place on the
// 16-bit arrays of TLh5FinderStorage: nothing is allocated per position, children are found by walking
// one short hash chain, and an insertion compares only the bytes along the edges it follows
// (eight at a time while at least eight remain before the edge's end).
//
// The operations run on TTrie, a view that holds the array addresses and the scalar state in
// locals for the length of one step, so that the compiler keeps them in registers instead of
// reloading them from the storage after every byte-sized store.
#include "compress/codecs/lh5/compress/Lh5MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
constexpr int FirstLeaf = Lh5RootBase; // node numbers from here on are leaves or roots

// The window index of a position value, seen from the current position. Either case is common
// and neither can be foretold, so it is computed without a branch.
inline int WindowIndex(int value, int windowPos) {
    return value - (Lh5DictSize & -static_cast<int>(value >= windowPos));
}

// a when c holds, otherwise b, computed with a mask: for choices that go either way at random,
// where a branch would often be mispredicted.
inline unsigned Select(bool c, unsigned a, unsigned b) {
    const unsigned m = 0u - static_cast<unsigned>(c);
    return (a & m) | (b & ~m);
}

// How far a and b agree, starting at offset from (known equal before it) and stopping at limit.
inline int MatchUpTo(const uint8_t* a, const uint8_t* b, int from, int limit) {
    while (from + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + from, 8);
        std::memcpy(&y, b + from, 8);
        if (uint64_t d = x ^ y) {
            if constexpr (std::endian::native == std::endian::little)
                return from + std::countr_zero(d) / 8;
            else
                return from + std::countl_zero(d) / 8;
        }
        from += 8;
    }
    while (from < limit && a[from] == b[from]) ++from;
    return from;
}

} // namespace

int ReadInputBytes(TCodecState& s, uint8_t* dst, int n) {
    int real = 0;
    while (real < n) {
        if (s.InPos == s.InEnd || s.EndOfInput || s.KeyIn) {
            dst[real] = ReadByte(s);
            if (s.EndOfInput) break;
            ++real;
            continue;
        }
        const int k = static_cast<int>(std::min<std::ptrdiff_t>(s.InEnd - s.InPos, n - real));
        std::memcpy(dst + real, s.InPos, static_cast<size_t>(k));
        s.InSum += ByteSum(s.InPos, static_cast<size_t>(k));
        s.InPos += k;
        real += k;
    }
    return real;
}

namespace {

void ShiftWindow(TCodecState& s, TLh5FinderStorage& z) {
    uint8_t* w = z.Window;
    std::memmove(w, w + Lh5DictSize, Lh5ReadAheadEnd - Lh5DictSize);
    const int real = ReadInputBytes(s, w + Lh5FirstPosition, Lh5ReadAheadEnd - Lh5FirstPosition);
    z.BytesLeft = static_cast<int16_t>(z.BytesLeft + real);
    z.WindowPos = Lh5DictSize;
}

class TTrie {
public:
    explicit TTrie(TLh5FinderStorage& z)
        : Z(z), W(z.Window), N(z.Trie), Pos(z.WindowPos), MatchPos(z.MatchPos), MatchLen(z.MatchLen),
          FreeNode(z.FreeNode) {}
    TLh5Finding Finding() const { return {static_cast<int16_t>(MatchLen), static_cast<int16_t>(MatchPos)}; }
    // Moves on by one position within the current window.
    void Step() { ++Pos; }
    void Store() {
        Z.MatchPos = static_cast<int16_t>(MatchPos);
        Z.MatchLen = static_cast<int16_t>(MatchLen);
        Z.FreeNode = static_cast<uint16_t>(FreeNode);
    }

    [[gnu::always_inline]] unsigned FindChild(unsigned q, unsigned b) {
        unsigned r = N[Lh5ChainHead(q, b)].Next;
        N[0].Parent = static_cast<uint16_t>(q);
        while (N[r].Parent != q) r = N[r].Next;
        return r;
    }

    [[gnu::always_inline]] void AddChild(unsigned q, unsigned b, unsigned r) {
        const unsigned h = Lh5ChainHead(q, b);
        const unsigned t = N[h].Next;
        N[r].Next = static_cast<uint16_t>(t);
        N[t].Prev = static_cast<uint16_t>(r);
        N[h].Next = static_cast<uint16_t>(r);
        N[r].Prev = static_cast<uint16_t>(h);
        N[r].Parent = static_cast<uint16_t>(q);
        ++CountAt(q);
        XorAt(q) = static_cast<uint16_t>(XorAt(q) ^ r);
    }

    [[gnu::always_inline]] void SplitNode(unsigned old) {
        const unsigned fresh = FreeNode;
        FreeNode = N[fresh].Next;
        CountAt(fresh) = 0;
        XorAt(fresh) = 0;
        TakePlace(old, fresh);
        const unsigned parent = N[old].Parent;
        N[fresh].Parent = static_cast<uint16_t>(parent);
        XorAt(parent) = static_cast<uint16_t>(XorAt(parent) ^ old ^ fresh);
        LevelAt(fresh) = static_cast<uint8_t>(MatchLen);
        N[fresh].Position = static_cast<uint16_t>(Pos);
        AddChild(fresh, W[MatchPos + MatchLen], old);
        AddChild(fresh, W[Pos + MatchLen], static_cast<unsigned>(Pos));
    }

    [[gnu::always_inline]] void Insert() {
        const uint8_t* w = W;
        const unsigned posValue = static_cast<unsigned>(Pos);
        int len = MatchLen;
        unsigned q, r;
        if (len >= 4) {
            // The new string shares len - 1 bytes with the one after the previous match: start
            // below the deepest node on that string's path whose level is still shorter.
            --len;
            r = static_cast<unsigned>(MatchPos + 1) | Lh5DictSize;
            while ((q = N[r].Parent) == 0) r = N[r].Next;
            while (LevelAt(q) >= len) {
                r = q;
                q = N[q].Parent;
            }
            // Positions pending on q and the nodes above it are passed on.
            unsigned t = q;
            unsigned u;
            while ((u = N[t].Position) & Lh5PendingFlag) {
                N[t].Position = static_cast<uint16_t>(posValue);
                t = N[t].Parent;
            }
            // Only an inner node takes the pending mark; a root keeps its position.
            N[t].Position = static_cast<uint16_t>(t < FirstLeaf ? posValue | Lh5PendingFlag : u);
        } else {
            q = Lh5RootBase + w[Pos];
            const unsigned b = w[Pos + 1];
            r = FindChild(q, b);
            if (r == 0) {
                AddChild(q, b, posValue);
                MatchLen = 1;
                return;
            }
            len = 2;
        }
        for (;;) {
            int limit;
            if (r >= FirstLeaf) {
                limit = Lh5LongestMatch;
                MatchPos = WindowIndex(static_cast<int>(r), Pos);
            } else {
                limit = LevelAt(r);
                MatchPos = WindowIndex(N[r].Position & ~Lh5PendingFlag, Pos);
            }
            if (len < limit) {
                len = MatchUpTo(w + Pos, w + MatchPos, len, limit);
                if (len < limit) {
                    MatchLen = len;
                    SplitNode(r);
                    return;
                }
            }
            if (len >= Lh5LongestMatch) break;
            N[r].Position = static_cast<uint16_t>(posValue);
            q = r;
            const unsigned b = w[Pos + len];
            r = FindChild(q, b);
            if (r == 0) {
                MatchLen = len;
                AddChild(q, b, posValue);
                return;
            }
            ++len;
        }
        // Leaf r holds a string equal to the new one over all 256 bytes: the new leaf replaces
        // it and the old leaf points on to its successor.
        MatchLen = len;
        TakePlace(r, posValue);
        N[posValue].Parent = static_cast<uint16_t>(q);
        XorAt(q) = static_cast<uint16_t>(XorAt(q) ^ r ^ posValue);
        N[r].Parent = 0;
        N[r].Next = static_cast<uint16_t>(posValue);
    }

    [[gnu::always_inline]] void Delete() {
        const unsigned leaf = static_cast<unsigned>(Pos);
        const unsigned r = N[leaf].Parent;
        if (r == 0) return;
        Unlink(leaf);
        N[leaf].Parent = 0;
        --CountAt(r);
        XorAt(r) = static_cast<uint16_t>(XorAt(r) ^ leaf);
        // One branch for both tests (r is an inner node or a root, whose counts are kept).
        if ((r >= FirstLeaf) | (CountAt(r) > 1)) return;

        // r is left with one child and goes; the newest position it knew passes to its ancestors.
        const int t = WindowIndex(N[r].Position & ~Lh5PendingFlag, Pos);
        int newest = t;
        unsigned q = N[r].Parent;
        unsigned u;
        while ((u = N[q].Position) & Lh5PendingFlag) {
            const int v = WindowIndex(static_cast<int>(u & ~Lh5PendingFlag), Pos);
            newest = std::max(newest, v);
            N[q].Position = static_cast<uint16_t>(newest | Lh5DictSize);
            q = N[q].Parent;
        }
        // An inner node takes the pending newest position; a root keeps its own. (Written as a
        // plain conditional, this one becomes a branch.)
        newest = std::max(newest, WindowIndex(static_cast<int>(u), Pos));
        N[q].Position = static_cast<uint16_t>(
            Select(q < FirstLeaf, static_cast<unsigned>(newest) | Lh5DictSize | Lh5PendingFlag, u));
        const unsigned s = XorAt(r); // the one child left
        Unlink(s);
        TakePlace(r, s);
        const unsigned parent = N[r].Parent;
        N[s].Parent = static_cast<uint16_t>(parent);
        XorAt(parent) = static_cast<uint16_t>(XorAt(parent) ^ r ^ s);
        N[r].Parent = 0;
        N[r].Next = static_cast<uint16_t>(FreeNode);
        FreeNode = r;
    }

private:
    void Unlink(unsigned r) {
        const uint16_t prev = N[r].Prev, next = N[r].Next;
        N[prev].Next = next;
        N[next].Prev = prev;
    }

    // Node fresh takes old's place in old's chain.
    void TakePlace(unsigned old, unsigned fresh) {
        const uint16_t prev = N[old].Prev;
        N[fresh].Prev = prev;
        N[prev].Next = static_cast<uint16_t>(fresh);
        const uint16_t next = N[old].Next;
        N[fresh].Next = next;
        N[next].Prev = static_cast<uint16_t>(fresh);
    }

    // The node arrays lie at fixed offsets from the trie's records, so one register reaches them all.
    uint8_t* Base() const { return reinterpret_cast<uint8_t*>(N); }
    uint8_t& LevelAt(unsigned x) const { return Base()[Lh5NodeLevelOffset + x]; }
    uint8_t& CountAt(unsigned x) const { return Base()[Lh5NodeChildCountOffset + x]; }
    uint16_t& XorAt(unsigned x) const {
        return reinterpret_cast<uint16_t*>(Base() + Lh5NodeChildXorOffset)[x];
    }

    TLh5FinderStorage& Z;
    uint8_t* const W;
    TLh5TrieNode* const N;
    int Pos;
    int MatchPos;
    int MatchLen;
    unsigned FreeNode;
};
} // namespace

void FillWindow(TCodecState& s, TLh5FinderStorage& z) {
    z.WindowPos = Lh5FirstPosition;
    z.BytesLeft = 0;
    for (int i = Lh5FirstPosition; i < Lh5ReadAheadEnd; ++i) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) {
            z.Window[i] = 0x20;
        } else {
            z.Window[i] = b;
            ++z.BytesLeft;
        }
    }
}

void StartSearch(TCodecState& s, TLh5FinderStorage& z) {
    InitDictionary(z);
    FillWindow(s, z);
    z.MatchPos = 0;
    z.MatchLen = 0;
    InsertPosition(z);
}

void InitDictionary(TLh5FinderStorage& z) {
    for (int i = Lh5RootBase; i < Lh5RootBase + 256; ++i) {
        z.NodeLevel[i] = 1;
        z.NodeChildXor[i] = 0;
        z.Trie[i].Position = 0;
    }
    for (int i = Lh5DictSize; i < 2 * Lh5DictSize; ++i) z.Trie[i].Parent = 0;
    z.FreeNode = 1;
    for (uint16_t i = 1; i < Lh5InnerNodeCount; ++i) z.Trie[i].Next = static_cast<uint16_t>(i + 1);
    z.Trie[Lh5InnerNodeCount].Next = 0;
    for (int i = Lh5ChainHeadBase; i < Lh5TrieRecords; ++i) z.Trie[i].Next = 0;
}

uint16_t FindChild(TLh5FinderStorage& z, uint16_t q, uint8_t b) {
    return static_cast<uint16_t>(TTrie(z).FindChild(q, b));
}

void AddChild(TLh5FinderStorage& z, uint16_t q, uint8_t b, uint16_t r) {
    TTrie(z).AddChild(q, b, r);
}

void SplitNode(TLh5FinderStorage& z, uint16_t old) {
    TTrie trie(z);
    trie.SplitNode(old);
    trie.Store();
}

void InsertPosition(TLh5FinderStorage& z) {
    TTrie trie(z);
    trie.Insert();
    trie.Store();
}

void DeletePosition(TLh5FinderStorage& z) {
    TTrie trie(z);
    trie.Delete();
    trie.Store();
}

void AdvancePosition(TCodecState& s, TLh5FinderStorage& z) {
    --z.BytesLeft;
    if (++z.WindowPos == Lh5WindowEnd) ShiftWindow(s, z);
    TTrie trie(z);
    trie.Delete();
    trie.Insert();
    trie.Store();
}

namespace {
// AdvancePosition count times; with Record, the match of every position entered goes to out.
template <bool Record>
void AdvanceBy(TCodecState& s, TLh5FinderStorage& z, int count, TLh5Finding* out) {
    while (count > 0) {
        // One view serves every step up to the next window shift.
        const int steps = std::min(count, Lh5WindowEnd - 1 - z.WindowPos);
        if (steps == 0) {
            AdvancePosition(s, z);
            if constexpr (Record) *out++ = LastFinding(z);
            --count;
            continue;
        }
        TTrie trie(z);
        for (int i = 0; i < steps; ++i) {
            trie.Step();
            trie.Delete();
            trie.Insert();
            if constexpr (Record) *out++ = trie.Finding();
        }
        trie.Store();
        z.WindowPos = static_cast<int16_t>(z.WindowPos + steps);
        z.BytesLeft = static_cast<int16_t>(z.BytesLeft - steps);
        count -= steps;
    }
}
} // namespace

void AdvancePositions(TCodecState& s, TLh5FinderStorage& z, int count) {
    AdvanceBy<false>(s, z, count, nullptr);
}

void AdvanceRecording(TCodecState& s, TLh5FinderStorage& z, int count, TLh5Finding* out) {
    AdvanceBy<true>(s, z, count, out);
}
