// Bit output and input of the LZH method, most significant bit first. Both sides hold at most 16
// bits, left-aligned, exactly as the stream format is defined: the reader appends one byte
// whenever 8 bits or fewer are held, so it never runs more than two bytes ahead of the codes and
// reads nothing past the member's data. Inline, since they run once per code or bit.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lzh/LzhStorage.h"

// Sends the n (1..16) leading bits of v.
inline void LzhPutCode(TCodecState& s, TLzhStorage& z, int n, uint16_t v) {
    z.LzhOutBits = static_cast<uint16_t>(z.LzhOutBits | (v >> z.LzhOutCount));
    z.LzhOutCount = static_cast<uint8_t>(z.LzhOutCount + n);
    if (z.LzhOutCount >= 8) {
        WriteByte(s, static_cast<uint8_t>(z.LzhOutBits >> 8));
        z.LzhOutCount = static_cast<uint8_t>(z.LzhOutCount - 8);
        if (z.LzhOutCount >= 8) {
            WriteByte(s, static_cast<uint8_t>(z.LzhOutBits));
            z.LzhOutCount = static_cast<uint8_t>(z.LzhOutCount - 8);
            z.LzhOutBits = static_cast<uint16_t>(v << (n - z.LzhOutCount));
        } else {
            z.LzhOutBits = static_cast<uint16_t>(z.LzhOutBits << 8);
        }
    }
}

// Writes the held bits, padded with zero bits to a whole byte.
inline void LzhFlushBits(TCodecState& s, TLzhStorage& z) {
    if (z.LzhOutCount != 0) WriteByte(s, static_cast<uint8_t>(z.LzhOutBits >> 8));
}

// Tops the held bits up to more than 8; past the end of the input the byte appended is zero.
inline void LzhFillBits(TCodecState& s, TLzhStorage& z) {
    if (z.LzhInCount <= 8) {
        uint8_t b = s.EndOfInput ? 0 : ReadByte(s);
        z.LzhInBits = static_cast<uint16_t>(z.LzhInBits | (b << (8 - z.LzhInCount)));
        z.LzhInCount = static_cast<uint8_t>(z.LzhInCount + 8);
    }
}

inline int LzhGetBit(TCodecState& s, TLzhStorage& z) {
    LzhFillBits(s, z);
    int bit = z.LzhInBits >> 15;
    z.LzhInBits = static_cast<uint16_t>(z.LzhInBits << 1);
    --z.LzhInCount;
    return bit;
}

inline int LzhGetByte(TCodecState& s, TLzhStorage& z) {
    LzhFillBits(s, z);
    int b = z.LzhInBits >> 8;
    z.LzhInBits = static_cast<uint16_t>(z.LzhInBits << 8);
    z.LzhInCount = static_cast<uint8_t>(z.LzhInCount - 8);
    return b;
}

// The next n (1..8) bits as a number.
inline int LzhGetBits(TCodecState& s, TLzhStorage& z, int n) {
    LzhFillBits(s, z);
    int v = z.LzhInBits >> (16 - n);
    z.LzhInBits = static_cast<uint16_t>(z.LzhInBits << n);
    z.LzhInCount = static_cast<uint8_t>(z.LzhInCount - n);
    return v;
}
