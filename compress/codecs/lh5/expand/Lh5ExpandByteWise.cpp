// The lh5 expander one symbol and one byte at a time: every output byte goes through the
// 8192-byte ring Window and WriteByte, every input byte through ReadByte. This loop defines the
// results that the fast expander reproduces; it also serves keyed runs, whose bytes must pass
// the key transform one by one.
#include "compress/codecs/lh5/expand/Lh5Expand.h"

#include <algorithm>

void Lh5ExpandByteWise(TCodecState& s, int32_t destSize) {
    if (destSize == 0) return;
    TLh5ExpandStorage z;
    Lh5AllocStorage(z);
    FetchBits(s, z, 16);
    std::fill(z.Window, z.Window + Lh5DictSize, Lh5WindowFill);
    constexpr uint32_t ringMask = Lh5DictSize - 1;
    uint32_t pos = 0;
    int64_t produced = 0;
    while (produced < destSize) {
        const uint16_t sym = DecodeSymbol(s, z);
        if (sym < Lh5FirstMatchSymbol) {
            z.Window[pos] = static_cast<uint8_t>(sym);
            WriteByte(s, static_cast<uint8_t>(sym));
            pos = (pos + 1) & ringMask;
            ++produced;
            continue;
        }
        const int length = sym - Lh5MatchLengthBias;
        const uint32_t from = pos - DecodeDistance(s, z) - 1;
        produced += length;
        for (int k = 0; k < length; ++k) {
            const uint8_t b = z.Window[(from + k) & ringMask];
            z.Window[pos] = b;
            WriteByte(s, b);
            pos = (pos + 1) & ringMask;
        }
    }
}
