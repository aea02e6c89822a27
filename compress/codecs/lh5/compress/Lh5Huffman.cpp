// Huffman code construction of the LH5 compressor. The heap keeps the left child on equal
// frequencies and leaves a sifted entry above an equal child; the symbols leave the heap least
// frequent first into a list (kept in the code array until the codes overwrite it), and the
// lengths are dealt out from that list, longest first, after the depth counts have been limited.
#include "compress/codecs/lh5/compress/Lh5Huffman.h"

#include <algorithm>

namespace {
struct THuffmanBuild {
    TLh5EncoderStorage& Z;
    int N;
    uint16_t* Freq;
    uint16_t Heap[Lh5SymbolCount + 1]; // 1-based
    int HeapSize = 0;
    int Count[Lh5MaxCodeLength + 1] = {};
};

void SiftDown(THuffmanBuild& h, int i) {
    const uint16_t k = h.Heap[i];
    int j;
    while ((j = 2 * i) <= h.HeapSize) {
        if (j < h.HeapSize && h.Freq[h.Heap[j]] > h.Freq[h.Heap[j + 1]]) ++j;
        if (h.Freq[k] <= h.Freq[h.Heap[j]]) break;
        h.Heap[i] = h.Heap[j];
        i = j;
    }
    h.Heap[i] = k;
}

// Depth of every leaf below node, deeper ones counted as 16. Trees of real blocks are at most
// about 20 deep (frequencies add up to fewer than 65536 symbols).
void CountLeafDepths(THuffmanBuild& h, uint16_t node) {
    TLh5EncoderStorage& z = h.Z;
    if (node < h.N) {
        ++h.Count[std::min<int>(z.TreeDepth, Lh5MaxCodeLength)];
        return;
    }
    ++z.TreeDepth;
    CountLeafDepths(h, z.LeftChild[node]);
    CountLeafDepths(h, z.RightChild[node]);
    --z.TreeDepth;
}

void AssignLengths(THuffmanBuild& h, uint16_t root, const uint16_t* sorted, uint8_t* lengths) {
    std::fill(std::begin(h.Count), std::end(h.Count), 0);
    h.Z.TreeDepth = 0;
    CountLeafDepths(h, root);
    uint16_t cum = 0;
    for (int i = 1; i <= Lh5MaxCodeLength; ++i) cum = static_cast<uint16_t>(cum + (h.Count[i] << (16 - i)));
    // Leaves counted at 16 that lay deeper overfill the code space: each step moves one leaf
    // from the deepest level below 16 that has one down a level, where it and an extra leaf fit.
    if (cum != 0) {
        h.Count[Lh5MaxCodeLength] -= cum;
        for (unsigned step = 0; step < cum; ++step) {
            for (int i = Lh5MaxCodeLength - 1; i > 0; --i) {
                if (h.Count[i] > 0) {
                    --h.Count[i];
                    h.Count[i + 1] += 2;
                    break;
                }
            }
        }
    }
    for (int i = Lh5MaxCodeLength; i > 0; --i)
        for (int k = h.Count[i]; k > 0; --k) lengths[*sorted++] = static_cast<uint8_t>(i);
}
} // namespace

void AssignCodes(int n, const uint8_t* lengths, uint16_t* codes) {
    uint16_t count[Lh5MaxCodeLength + 1] = {};
    for (int i = 0; i < n; ++i)
        if (lengths[i] <= Lh5MaxCodeLength) ++count[lengths[i]];
    uint16_t start[Lh5MaxCodeLength + 2];
    start[1] = 0;
    for (int i = 1; i <= Lh5MaxCodeLength; ++i)
        start[i + 1] = static_cast<uint16_t>(start[i] + (count[i] << (16 - i)));
    for (int c = 0; c < n; ++c) {
        unsigned len = lengths[c];
        if (len == 0 || len > Lh5MaxCodeLength) continue;
        codes[c] = start[len];
        start[len] = static_cast<uint16_t>(start[len] + (1u << (16 - len)));
    }
}

uint16_t BuildHuffman(TLh5EncoderStorage& z, int n, uint16_t* f, uint8_t* lengths, uint16_t* codes) {
    THuffmanBuild h{z, n, f, {}};
    h.Heap[1] = 0;
    for (int i = 0; i < n; ++i) {
        lengths[i] = 0;
        if (f[i] != 0) h.Heap[++h.HeapSize] = static_cast<uint16_t>(i);
    }
    if (h.HeapSize < 2) {
        codes[h.Heap[1]] = 0;
        return h.Heap[1];
    }
    for (int i = h.HeapSize / 2; i >= 1; --i) SiftDown(h, i);

    uint16_t* sorted = codes;
    auto avail = static_cast<uint16_t>(n);
    uint16_t k;
    do {
        uint16_t i = h.Heap[1];
        if (i < n) *sorted++ = i;
        h.Heap[1] = h.Heap[h.HeapSize--];
        SiftDown(h, 1);
        uint16_t j = h.Heap[1];
        if (j < n) *sorted++ = j;
        k = avail++;
        f[k] = static_cast<uint16_t>(f[i] + f[j]);
        h.Heap[1] = k;
        SiftDown(h, 1);
        z.LeftChild[k] = i;
        z.RightChild[k] = j;
    } while (h.HeapSize > 1);

    AssignLengths(h, k, codes, lengths);
    AssignCodes(n, lengths, codes);
    return k;
}
