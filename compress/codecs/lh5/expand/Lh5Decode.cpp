// Symbol and distance decoding of the lh5 expander, one code at a time on the bit window: a
// lookup with the top 12 (symbols) or 8 (distance classes) bits decodes every short code; a
// longer code continues in its tree from the table entry, one bit per level.
#include "compress/codecs/lh5/expand/Lh5Expand.h"

namespace {
// Walks from a tree node down to a leaf below leafLimit, testing BitWindow from firstMask down.
uint16_t WalkTree(const TLh5ExpandStorage& z, uint16_t node, uint16_t leafLimit, unsigned firstMask) {
    for (unsigned mask = firstMask; node >= leafLimit; mask >>= 1) {
        if (node >= Lh5TreeNodes || mask == 0) ThrowBadDecodeTable();
        node = (z.BitWindow & mask) ? z.RightChild[node] : z.LeftChild[node];
    }
    return node;
}
} // namespace

uint16_t DecodeSymbol(TCodecState& s, TLh5ExpandStorage& z) {
    if (z.BlockRemaining == 0) ReadBlockHead(s, z);
    --z.BlockRemaining;
    uint16_t sym = z.SymTable[z.BitWindow >> (16 - Lh5SymTableBits)];
    if (sym < Lh5SymbolCount) {
        FetchBits(s, z, z.SymLen[sym]);
        return sym;
    }
    if (sym >= Lh5TreeNodes) ThrowBadDecodeTable();
    FetchBits(s, z, Lh5SymTableBits);
    sym = WalkTree(z, sym, Lh5SymbolCount, 0x8000);
    FetchBits(s, z, z.SymLen[sym] - Lh5SymTableBits);
    return sym;
}

uint16_t DecodeDistance(TCodecState& s, TLh5ExpandStorage& z) {
    uint16_t p = z.AuxTable[z.BitWindow >> (16 - Lh5AuxTableBits)];
    if (p < Lh5DistanceClasses) {
        FetchBits(s, z, z.AuxLen[p]);
    } else {
        if (p >= Lh5TreeNodes) ThrowBadDecodeTable();
        FetchBits(s, z, Lh5AuxTableBits);
        p = WalkTree(z, p, Lh5DistanceClasses, 0x8000);
        FetchBits(s, z, z.AuxLen[p] - Lh5AuxTableBits);
    }
    if (p == 0) return 0;
    return static_cast<uint16_t>((1u << (p - 1)) + TakeBits(s, z, p - 1));
}
