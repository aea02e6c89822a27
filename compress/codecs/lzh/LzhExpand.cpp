// The LZH expander: decodes symbols until destSize bytes are out. A literal is written and kept
// in the ring; a match copies from the ring byte by byte, so a copy whose distance is shorter than
// its length repeats the bytes it has just written. Every ring index is taken modulo 4096, so no
// stream can make it read or write outside the ring.
#include "compress/codecs/lzh/LzhCodec.h"

#include "compress/codecs/lzh/LzhCoding.h"
#include "compress/codecs/lzh/LzhModel.h"

#include <algorithm>
#include <cstring>

void LzhExpand(TCodecState& s, int32_t destSize) {
    if (destSize <= 0) return;
    TLzhStorage z;
    LzhAllocStorage(z);
    LzhStartModel(z);
    uint8_t* ring = z.LzhRing.get();
    std::memset(ring, LzhFillByte, LzhStartPosition);

    int r = LzhStartPosition;
    int32_t produced = 0;
    while (produced < destSize) {
        int symbol = LzhDecodeSymbol(s, z);
        if (symbol < 256) {
            auto b = static_cast<uint8_t>(symbol);
            WriteByte(s, b);
            ring[r] = b;
            r = (r + 1) & LzhPositionMask;
            ++produced;
        } else {
            int from = (r - LzhDecodePosition(s, z) - 1) & LzhPositionMask;
            int length = std::min(symbol - (255 - LzhThreshold), destSize - produced);
            for (int k = 0; k < length; ++k) {
                uint8_t b = ring[(from + k) & LzhPositionMask];
                WriteByte(s, b);
                ring[r] = b;
                r = (r + 1) & LzhPositionMask;
            }
            produced += length;
        }
    }
}
