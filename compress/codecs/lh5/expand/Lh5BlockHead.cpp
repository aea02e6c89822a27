// Block heads of the lh5 expander: the block size and three code-length lists - the length code
// (19 symbols) that carries the symbol lengths, the symbol code (510) and the distance classes
// (14). A list sent with count 0 defines a single code of zero bits.
//
// Damaged lists are stopped before they can leave a table: a unary length above 16, a symbol
// count above 510 and a zero run past the last symbol raise ELh5BadDecodeTable; a one-code list
// naming a symbol outside its alphabet gets a table of Lh5NoCode like a list without codes.
// Auxiliary counts above the alphabet stay inside AuxLen, which holds the longest list a count can
// announce, and are read and ignored.
#include "compress/codecs/lh5/expand/Lh5Expand.h"

#include <algorithm>
#include <iterator>

namespace {
constexpr int UnaryLengthStart = 7;

// One auxiliary code length: 0..6 in three bits; 7 and more as 111 followed by a 1 bit for each
// step above 7 and a closing 0 bit.
int ReadAuxLength(TCodecState& s, TLh5ExpandStorage& z) {
    int len = z.BitWindow >> 13;
    if (len == UnaryLengthStart) {
        for (unsigned mask = 1u << 12; mask != 0 && (z.BitWindow & mask); mask >>= 1) ++len;
    }
    if (len > Lh5MaxCodeLength) ThrowBadDecodeTable();
    FetchBits(s, z, len < UnaryLengthStart ? 3 : len - 3);
    return len;
}

// The length-code symbol at the front of the bit window (0..18).
uint16_t DecodeLengthCode(TCodecState& s, TLh5ExpandStorage& z) {
    uint16_t code = z.AuxTable[z.BitWindow >> 8];
    for (unsigned mask = 0x80; code >= Lh5LenCodeSymbols; mask >>= 1) {
        if (code >= Lh5TreeNodes || mask == 0) ThrowBadDecodeTable();
        code = (z.BitWindow & mask) ? z.RightChild[code] : z.LeftChild[code];
    }
    FetchBits(s, z, z.AuxLen[code]);
    return code;
}
} // namespace

void ReadAuxLengths(TCodecState& s, TLh5ExpandStorage& z, int symbolCount, int countBits, int zeroRunAfter) {
    const int count = TakeBits(s, z, countBits);
    if (count == 0) {
        const uint16_t value = TakeBits(s, z, countBits);
        std::fill(z.AuxLen, z.AuxLen + symbolCount, uint8_t{0});
        std::fill(z.AuxTable, z.AuxTable + (1 << Lh5AuxTableBits), value < symbolCount ? value : Lh5NoCode);
        return;
    }
    // A zero run may write entries beyond the count.
    if (count + Lh5LenCodeZeroRunMax > static_cast<int>(std::size(z.AuxLen))) ThrowBadDecodeTable();
    int i = 0;
    while (i < count) {
        z.AuxLen[i++] = static_cast<uint8_t>(ReadAuxLength(s, z));
        if (i == zeroRunAfter) {
            for (int zeros = TakeBits(s, z, 2); zeros > 0; --zeros) z.AuxLen[i++] = 0;
        }
    }
    if (i < symbolCount) std::fill(z.AuxLen + i, z.AuxLen + symbolCount, uint8_t{0});
    BuildDecodeTable(z, symbolCount, z.AuxLen, Lh5AuxTableBits, z.AuxTable);
}

void ReadSymbolLengths(TCodecState& s, TLh5ExpandStorage& z) {
    const int count = TakeBits(s, z, Lh5SymbolCountBits);
    if (count == 0) {
        const uint16_t value = TakeBits(s, z, Lh5SymbolCountBits);
        std::fill(z.SymLen, z.SymLen + Lh5SymbolCount, uint8_t{0});
        std::fill(z.SymTable, z.SymTable + (1 << Lh5SymTableBits),
                  value < Lh5SymbolCount ? value : Lh5NoCode);
        return;
    }
    if (count > Lh5SymbolCount) ThrowBadDecodeTable();
    int i = 0;
    while (i < count) {
        const uint16_t code = DecodeLengthCode(s, z);
        if (code <= 2) {
            const int zeros = code == 0 ? 1 : code == 1 ? TakeBits(s, z, 4) + 3 : TakeBits(s, z, 9) + 20;
            if (i + zeros > Lh5SymbolCount) ThrowBadDecodeTable();
            std::fill(z.SymLen + i, z.SymLen + i + zeros, uint8_t{0});
            i += zeros;
        } else {
            z.SymLen[i++] = static_cast<uint8_t>(code - 2);
        }
    }
    if (i < Lh5SymbolCount) std::fill(z.SymLen + i, z.SymLen + Lh5SymbolCount, uint8_t{0});
    BuildDecodeTable(z, Lh5SymbolCount, z.SymLen, Lh5SymTableBits, z.SymTable);
}

void ReadBlockHead(TCodecState& s, TLh5ExpandStorage& z) {
    z.BlockRemaining = TakeBits(s, z, 16);
    ReadAuxLengths(s, z, Lh5LenCodeSymbols, Lh5LenCodeCountBits, Lh5LenCodeZeroRunAfter);
    ReadSymbolLengths(s, z);
    ReadAuxLengths(s, z, Lh5DistanceClasses, Lh5DistanceCountBits, -1);
}
