// The PATRICIA-trie dictionary of the LH5 compressor. Every operation works in place on the
// 16-bit arrays of TLh5Storage: nothing is allocated per position, children are found by walking
// one short hash chain, and an insertion compares only the bytes along the edges it follows
// (eight at a time while at least eight remain before the edge's end).
//
// The operations run on TTrie, a view that holds the array addresses and the scalar state in
// locals for the length of one step, so that the compiler keeps them in registers instead of
// reloading them from the storage after every byte-sized store.
#include "compress/codecs/Lh5MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
constexpr int FirstLeaf = Lh5RootBase; // node numbers from here on are leaves or roots

// The window index of a position value, seen from the current position.
inline int WindowIndex(int value, int windowPos) {
    return value >= windowPos ? value - Lh5DictSize : value;
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

// Copies up to n input bytes to dst as ReadByte would deliver them one by one, stopping at the
// first read that sets EndOfInput (its 0 is stored); returns the number of real bytes.
int ReadInto(TCodecState& s, uint8_t* dst, int n) {
    int real = 0;
    while (real < n) {
        if (s.InPos == s.InEnd || s.EndOfInput || s.KeyIn) {
            dst[real] = ReadByte(s);
            if (s.EndOfInput) break;
            ++real;
            continue;
        }
        const int k = static_cast<int>(std::min<std::ptrdiff_t>(s.InEnd - s.InPos, n - real));
        uint32_t sum = 0;
        for (int i = 0; i < k; ++i) sum += dst[real + i] = s.InPos[i];
        s.InSum += sum;
        s.InPos += k;
        real += k;
    }
    return real;
}

void ShiftWindow(TCodecState& s, TLh5Storage& z) {
    uint8_t* w = z.Window;
    std::memmove(w, w + Lh5DictSize, Lh5ReadAheadEnd - Lh5DictSize);
    const int real = ReadInto(s, w + Lh5FirstPosition, Lh5ReadAheadEnd - Lh5FirstPosition);
    z.BytesLeft = static_cast<int16_t>(z.BytesLeft + real);
    z.WindowPos = Lh5DictSize;
}

class TTrie {
public:
    explicit TTrie(TLh5Storage& z)
        : Z(z), W(z.Window), Level(z.NodeLevel), ChildCount(z.NodeChildCount), Position(z.NodePosition),
          Parent(z.NodeParent), Prev(z.ChainPrev), Next(z.ChainNext), Pos(z.WindowPos), MatchPos(z.MatchPos),
          MatchLen(z.MatchLen), FreeNode(z.FreeNode) {}
    // Moves on by one position within the current window.
    void Step() { ++Pos; }
    void Store() {
        Z.MatchPos = static_cast<int16_t>(MatchPos);
        Z.MatchLen = static_cast<int16_t>(MatchLen);
        Z.FreeNode = static_cast<uint16_t>(FreeNode);
    }

    [[gnu::always_inline]] unsigned FindChild(unsigned q, unsigned b) {
        unsigned r = Next[ChainHead(q, b)];
        Parent[0] = static_cast<uint16_t>(q);
        while (Parent[r] != q) r = Next[r];
        return r;
    }

    [[gnu::always_inline]] void AddChild(unsigned q, unsigned b, unsigned r) {
        const unsigned h = ChainHead(q, b);
        const unsigned t = Next[h];
        Next[r] = static_cast<uint16_t>(t);
        Prev[t] = static_cast<uint16_t>(r);
        Next[h] = static_cast<uint16_t>(r);
        Prev[r] = static_cast<uint16_t>(h);
        Parent[r] = static_cast<uint16_t>(q);
        ++ChildCount[q];
    }

    [[gnu::always_inline]] void SplitNode(unsigned old) {
        const unsigned fresh = FreeNode;
        FreeNode = Next[fresh];
        ChildCount[fresh] = 0;
        TakePlace(old, fresh);
        Parent[fresh] = Parent[old];
        Level[fresh] = static_cast<uint8_t>(MatchLen);
        Position[fresh] = static_cast<uint16_t>(Pos);
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
            while ((q = Parent[r]) == 0) r = Next[r];
            while (Level[q] >= len) {
                r = q;
                q = Parent[q];
            }
            unsigned t = q;
            while (Position[t] & Lh5PendingFlag) {
                Position[t] = static_cast<uint16_t>(posValue);
                t = Parent[t];
            }
            if (t < FirstLeaf) Position[t] = static_cast<uint16_t>(posValue | Lh5PendingFlag);
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
                limit = Level[r];
                MatchPos = WindowIndex(Position[r] & ~Lh5PendingFlag, Pos);
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
            Position[r] = static_cast<uint16_t>(posValue);
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
        Parent[posValue] = static_cast<uint16_t>(q);
        Parent[r] = 0;
        Next[r] = static_cast<uint16_t>(posValue);
    }

    [[gnu::always_inline]] void Delete() {
        const unsigned leaf = static_cast<unsigned>(Pos);
        const unsigned r = Parent[leaf];
        if (r == 0) return;
        Unlink(leaf);
        Parent[leaf] = 0;
        --ChildCount[r];
        if (r >= FirstLeaf || ChildCount[r] > 1) return;

        // r is left with one child and goes; the newest position it knew passes to its ancestors.
        const int t = WindowIndex(Position[r] & ~Lh5PendingFlag, Pos);
        int newest = t;
        unsigned q = Parent[r];
        unsigned u;
        while ((u = Position[q]) & Lh5PendingFlag) {
            const int v = WindowIndex(static_cast<int>(u & ~Lh5PendingFlag), Pos);
            if (v > newest) newest = v;
            Position[q] = static_cast<uint16_t>(newest | Lh5DictSize);
            q = Parent[q];
        }
        if (q < FirstLeaf) {
            const int v = WindowIndex(static_cast<int>(u), Pos);
            if (v > newest) newest = v;
            Position[q] = static_cast<uint16_t>(newest | Lh5DictSize | Lh5PendingFlag);
        }
        const unsigned s = FindChild(r, W[t + Level[r]]);
        Unlink(s);
        TakePlace(r, s);
        Parent[s] = Parent[r];
        Parent[r] = 0;
        Next[r] = static_cast<uint16_t>(FreeNode);
        FreeNode = r;
    }

private:
    static unsigned ChainHead(unsigned q, unsigned b) { return q + 16 * b + Lh5ChainHeadBase; }

    void Unlink(unsigned r) {
        const uint16_t prev = Prev[r], next = Next[r];
        Next[prev] = next;
        Prev[next] = prev;
    }

    // Node fresh takes old's place in old's chain.
    void TakePlace(unsigned old, unsigned fresh) {
        const uint16_t prev = Prev[old];
        Prev[fresh] = prev;
        Next[prev] = static_cast<uint16_t>(fresh);
        const uint16_t next = Next[old];
        Next[fresh] = next;
        Prev[next] = static_cast<uint16_t>(fresh);
    }

    TLh5Storage& Z;
    uint8_t* const W;
    uint8_t* const Level;
    uint8_t* const ChildCount;
    uint16_t* const Position;
    uint16_t* const Parent;
    uint16_t* const Prev;
    uint16_t* const Next;
    int Pos;
    int MatchPos;
    int MatchLen;
    unsigned FreeNode;
};
} // namespace

void FillWindow(TCodecState& s, TLh5Storage& z) {
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

void InitDictionary(TLh5Storage& z) {
    for (int i = Lh5RootBase; i < Lh5RootBase + 256; ++i) {
        z.NodeLevel[i] = 1;
        z.NodePosition[i] = 0;
    }
    std::memset(z.NodeParent + Lh5DictSize, 0, Lh5DictSize * sizeof(uint16_t));
    z.FreeNode = 1;
    for (uint16_t i = 1; i < Lh5InnerNodeCount; ++i) z.ChainNext[i] = static_cast<uint16_t>(i + 1);
    z.ChainNext[Lh5InnerNodeCount] = 0;
    std::memset(z.ChainNext + Lh5ChainHeadBase, 0, (Lh5ChainHeadEnd - Lh5ChainHeadBase) * sizeof(uint16_t));
}

uint16_t FindChild(TLh5Storage& z, uint16_t q, uint8_t b) {
    return static_cast<uint16_t>(TTrie(z).FindChild(q, b));
}

void AddChild(TLh5Storage& z, uint16_t q, uint8_t b, uint16_t r) {
    TTrie(z).AddChild(q, b, r);
}

void SplitNode(TLh5Storage& z, uint16_t old) {
    TTrie trie(z);
    trie.SplitNode(old);
    trie.Store();
}

void InsertPosition(TLh5Storage& z) {
    TTrie trie(z);
    trie.Insert();
    trie.Store();
}

void DeletePosition(TLh5Storage& z) {
    TTrie trie(z);
    trie.Delete();
    trie.Store();
}

void AdvancePosition(TCodecState& s, TLh5Storage& z) {
    --z.BytesLeft;
    if (++z.WindowPos == Lh5WindowEnd) ShiftWindow(s, z);
    TTrie trie(z);
    trie.Delete();
    trie.Insert();
    trie.Store();
}

void AdvancePositions(TCodecState& s, TLh5Storage& z, int count) {
    while (count > 0) {
        // One view serves every step up to the next window shift.
        const int steps = std::min(count, Lh5WindowEnd - 1 - z.WindowPos);
        if (steps == 0) {
            AdvancePosition(s, z);
            --count;
            continue;
        }
        TTrie trie(z);
        for (int i = 0; i < steps; ++i) {
            trie.Step();
            trie.Delete();
            trie.Insert();
        }
        trie.Store();
        z.WindowPos = static_cast<int16_t>(z.WindowPos + steps);
        z.BytesLeft = static_cast<int16_t>(z.BytesLeft - steps);
        count -= steps;
    }
}
