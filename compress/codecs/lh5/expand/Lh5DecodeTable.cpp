// Decoding tables of the lh5 expander. Codes are canonical: within one length they go to the
// symbols in increasing order, and shorter codes have numerically smaller values. Codes of up to
// tableBits bits fill a run of lookup entries; a longer code's entry is the root of a small tree
// (LeftChild/RightChild, node numbers from symbolCount up) walked one bit at a time.
//
// Only complete prefix codes are built: their Kraft sum is exactly 2^16, which keeps every
// entry set and needs fewer than symbolCount tree nodes. Any other sum - including those that
// wrap to 0 in 16 bits - is damaged data. A list without any code fills the table with
// Lh5NoCode, which every decoder rejects when it meets it.
#include "compress/codecs/lh5/expand/Lh5Expand.h"

#include <algorithm>

void BuildDecodeTable(TLh5ExpandStorage& z, int symbolCount, const uint8_t* lengths, int tableBits,
                      uint16_t* table) {
    uint32_t count[Lh5MaxCodeLength + 1] = {};
    for (int s = 0; s < symbolCount; ++s) {
        if (lengths[s] > Lh5MaxCodeLength) ThrowBadDecodeTable();
        ++count[lengths[s]];
    }
    uint32_t start[Lh5MaxCodeLength + 2];
    uint32_t weight[Lh5MaxCodeLength + 1];
    start[1] = 0;
    for (int i = 1; i <= Lh5MaxCodeLength; ++i) {
        weight[i] = 1u << (Lh5MaxCodeLength - i);
        start[i + 1] = start[i] + count[i] * weight[i];
    }
    const uint32_t tableSize = 1u << tableBits;
    if (start[Lh5MaxCodeLength + 1] == 0) {
        std::fill(table, table + tableSize, Lh5NoCode);
        return;
    }
    if (start[Lh5MaxCodeLength + 1] != 1u << Lh5MaxCodeLength) ThrowBadDecodeTable();

    const int jut = Lh5MaxCodeLength - tableBits;
    for (int i = 1; i <= tableBits; ++i) {
        start[i] >>= jut;
        weight[i] >>= jut;
    }
    // Entries of the longer codes become tree roots; 0 marks a root not created yet.
    std::fill(table + (start[tableBits + 1] >> jut), table + tableSize, uint16_t{0});

    uint32_t avail = static_cast<uint32_t>(symbolCount);
    for (int s = 0; s < symbolCount; ++s) {
        const int len = lengths[s];
        if (len == 0) continue;
        const uint32_t k = start[len];
        const uint32_t next = k + weight[len];
        if (len <= tableBits) {
            std::fill(table + k, table + next, static_cast<uint16_t>(s));
        } else {
            uint16_t* entry = &table[k >> jut];
            uint32_t code = k << tableBits;
            for (int depth = len - tableBits; depth > 0; --depth) {
                if (*entry == 0) {
                    if (avail >= static_cast<uint32_t>(Lh5TreeNodes)) ThrowBadDecodeTable();
                    z.LeftChild[avail] = z.RightChild[avail] = 0;
                    *entry = static_cast<uint16_t>(avail++);
                } else if (*entry < symbolCount || *entry >= Lh5TreeNodes) {
                    ThrowBadDecodeTable(); // a code running through a leaf: not a prefix code
                }
                entry = (code & 0x8000) ? &z.RightChild[*entry] : &z.LeftChild[*entry];
                code <<= 1;
            }
            *entry = static_cast<uint16_t>(s);
        }
        start[len] = next;
    }
}
