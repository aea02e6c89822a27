// The LZH compressor. The ring starts with 4036 spaces; the input streams in behind them, and for
// each step the dictionary search that inserted the current position names the longest, nearest
// earlier string. Matches longer than the data left are cut to it, so the last code ends exactly
// at the end of the data and the expander needs no end marker.
#include "compress/codecs/lzh/LzhCodec.h"

#include "compress/codecs/lzh/LzhBits.h"
#include "compress/codecs/lzh/LzhCoding.h"
#include "compress/codecs/lzh/LzhDictionary.h"
#include "compress/codecs/lzh/LzhModel.h"

#include <cstring>

namespace {
// Stores an input byte at ring position s, and at its mirror beyond 4095 for the first 59
// positions, so that the strings starting near the end of the ring read on without wrapping.
void StoreByte(uint8_t* ring, int s, uint8_t b) {
    ring[s] = b;
    if (s < LzhLookAhead - 1) ring[s + LzhWindow] = b;
}
} // namespace

void LzhCompress(TCodecState& s) {
    TLzhStorage z;
    LzhAllocStorage(z);
    LzhStartModel(z);
    LzhInitDictionary(z);
    uint8_t* ring = z.LzhRing.get();
    std::memset(ring, LzhFillByte, LzhStartPosition);

    int oldest = 0;
    int r = LzhStartPosition;
    int len = 0;
    while (len < LzhLookAhead) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) break;
        ring[r + len] = b;
        ++len;
    }
    if (len == 0) return;
    for (int i = 1; i <= LzhLookAhead; ++i) LzhInsertNode(z, r - i);
    LzhInsertNode(z, r);

    while (len != 0) {
        if (z.LzhMatchLen > len) z.LzhMatchLen = static_cast<uint16_t>(len);
        if (z.LzhMatchLen <= LzhThreshold) {
            z.LzhMatchLen = 1;
            LzhEncodeSymbol(s, z, ring[r]);
        } else {
            LzhEncodeSymbol(s, z, 255 - LzhThreshold + z.LzhMatchLen);
            LzhEncodePosition(s, z, z.LzhMatchPos);
        }
        int last = z.LzhMatchLen;
        int i = 0;
        for (; i < last; ++i) {
            uint8_t b = ReadByte(s);
            if (s.EndOfInput) break;
            LzhDeleteNode(z, oldest);
            StoreByte(ring, oldest, b);
            oldest = (oldest + 1) & LzhPositionMask;
            r = (r + 1) & LzhPositionMask;
            LzhInsertNode(z, r);
        }
        // The input has ended: the look-ahead shrinks instead of being refilled.
        for (; i < last; ++i) {
            LzhDeleteNode(z, oldest);
            oldest = (oldest + 1) & LzhPositionMask;
            r = (r + 1) & LzhPositionMask;
            if (--len != 0) LzhInsertNode(z, r);
        }
    }
    LzhFlushBits(s, z);
}
