// Insertion, deletion and the shared-prefix bookkeeping of the dictionary trees. Links are 16-bit
// node numbers: 0..4095 are ring positions, 4096 is the empty link, 4097..8192 are the roots
// (which have only a right child). Writes made through an empty link land in the spare entry
// 4096 of the parent array, so no branch is needed for them.
#include "compress/codecs/lzh/LzhDictionary.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {
// Index of the first byte where the strings at a and b differ, searching from start; 60 if none.
// Eight bytes at a time: the lowest differing byte of a little-endian word is the first one.
int FirstDifference(const uint8_t* a, const uint8_t* b, int start) {
    int i = start;
    if constexpr (std::endian::native == std::endian::little) {
        while (i < LzhLookAhead) {
            uint64_t x, y;
            std::memcpy(&x, a + i, sizeof x);
            std::memcpy(&y, b + i, sizeof y);
            if (uint64_t d = x ^ y) return std::min(i + std::countr_zero(d) / 8, LzhLookAhead);
            i += 8;
        }
        return LzhLookAhead;
    }
    while (i < LzhLookAhead && a[i] == b[i]) ++i;
    return i;
}

int CommonLength(const uint8_t* ring, int a, int b, int start) {
    return FirstDifference(ring + a, ring + b, start);
}

int RootOf(const uint8_t* key) {
    int h = key[1] ^ key[2];
    h ^= h >> 4;
    return LzhRootBase + key[0] + ((h & 15) << 8);
}

// Makes the link of parent that points to old point to node instead.
void Relink(TLzhStorage& z, int parent, int old, int node) {
    if (z.LzhRight[parent] == old)
        z.LzhRight[parent] = static_cast<int16_t>(node);
    else
        z.LzhLeft[parent] = static_cast<int16_t>(node);
}
} // namespace

void LzhInitDictionary(TLzhStorage& z) {
    for (int i = LzhRootBase; i < LzhRootBase + LzhRootCount; ++i) z.LzhRight[i] = LzhNil;
    for (int i = 0; i < LzhWindow; ++i) z.LzhParent[i] = LzhNil;
}

void LzhSetSame(TLzhStorage& z, int start, int b, int n) {
    z.LzhSame[n] = static_cast<uint8_t>(b >= LzhNil ? 1 : CommonLength(z.LzhRing.get(), n, b, start));
}

void LzhFixSame(TLzhStorage& z, int newParent, int p, int q) {
    int sp = z.LzhSame[p];
    if (sp == z.LzhSame[q])
        LzhSetSame(z, sp, newParent, q);
    else if (sp < z.LzhSame[q])
        z.LzhSame[q] = static_cast<uint8_t>(sp);
}

void LzhInsertNode(TLzhStorage& z, int r) {
    const uint8_t* ring = z.LzhRing.get();
    int16_t* left = z.LzhLeft.get();
    int16_t* right = z.LzhRight.get();
    int16_t* parent = z.LzhParent.get();
    uint8_t* same = z.LzhSame.get();
    const uint8_t* key = ring + r;

    left[r] = right[r] = LzhNil;
    int p = RootOf(key);
    int i = 1;
    int cmp = 1;
    z.LzhMatchLen = 0;
    for (;;) {
        // Roots are entered with cmp > 0, so only real nodes are ever asked for a left child.
        int16_t* link = cmp >= 0 ? &right[p] : &left[p];
        if (*link == LzhNil) {
            *link = static_cast<int16_t>(r);
            parent[r] = static_cast<int16_t>(p);
            same[r] = static_cast<uint8_t>(i);
            return;
        }
        p = *link;
        int sp = same[p];
        if (i > sp) {
            // r agrees with the previous node beyond the point where p leaves it.
            i = sp;
            cmp = key[i] - ring[p + i];
        } else if (i == sp) {
            i = FirstDifference(key, ring + p, i);
            if (i < LzhLookAhead) cmp = key[i] - ring[p + i];
        }
        if (i <= LzhThreshold) continue;
        auto position = static_cast<uint16_t>(((r - p) & LzhPositionMask) - 1);
        if (i > z.LzhMatchLen) {
            z.LzhMatchPos = position;
            z.LzhMatchLen = static_cast<uint16_t>(i);
            if (i >= LzhLookAhead) break;
        } else if (i == z.LzhMatchLen && position < z.LzhMatchPos) {
            z.LzhMatchPos = position;
        }
    }
    // p holds the same 60 bytes as r: r takes its place, the newer position wins.
    same[r] = same[p];
    parent[r] = parent[p];
    left[r] = left[p];
    right[r] = right[p];
    parent[left[p]] = static_cast<int16_t>(r);
    parent[right[p]] = static_cast<int16_t>(r);
    Relink(z, parent[p], p, r);
    parent[p] = LzhNil;
}

void LzhDeleteNode(TLzhStorage& z, int p) {
    int16_t* left = z.LzhLeft.get();
    int16_t* right = z.LzhRight.get();
    int16_t* parent = z.LzhParent.get();
    if (parent[p] == LzhNil) return;

    int q;
    if (right[p] == LzhNil) {
        q = left[p];
        if (q != LzhNil) LzhFixSame(z, parent[p], p, q);
    } else if (left[p] == LzhNil) {
        q = right[p];
        LzhFixSame(z, parent[p], p, q);
    } else {
        // Two children: p's place goes to its predecessor, the rightmost node of its left subtree.
        q = left[p];
        if (right[q] != LzhNil) {
            do q = right[q];
            while (right[q] != LzhNil);
            if (left[q] != LzhNil) LzhFixSame(z, parent[q], q, left[q]);
            LzhSetSame(z, 1, q, left[p]);
            right[parent[q]] = left[q];
            parent[left[q]] = parent[q];
            left[q] = left[p];
            parent[left[p]] = static_cast<int16_t>(q);
        }
        LzhSetSame(z, 1, parent[p], q);
        LzhSetSame(z, 1, q, right[p]);
        right[q] = right[p];
        parent[right[p]] = static_cast<int16_t>(q);
    }
    parent[q] = parent[p];
    Relink(z, parent[p], p, q);
    parent[p] = LzhNil;
}
