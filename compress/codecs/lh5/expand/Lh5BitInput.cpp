// Bit input of the lh5 expander, most significant bit first. BitWindow always holds the next 16
// bits; PendingByte keeps the unused bits of the last byte read, left-aligned. A byte is read
// only when a fetch needs bits beyond both, so after T bits have passed through BitWindow exactly
// ceil(T / 8) bytes have been read: the stream never runs ahead of what the codes require.
#include "compress/codecs/lh5/expand/Lh5Expand.h"

void ThrowBadDecodeTable() {
    throw ELh5BadDecodeTable();
}

void FetchBits(TCodecState& s, TLh5ExpandStorage& z, int n) {
    while (n > z.PendingBits) {
        n -= z.PendingBits;
        z.BitWindow = static_cast<uint16_t>((static_cast<uint32_t>(z.BitWindow) << z.PendingBits) +
                                            (z.PendingByte >> (8 - z.PendingBits)));
        z.PendingByte = s.EndOfInput ? 0 : ReadByte(s);
        z.PendingBits = 8;
    }
    z.PendingBits = static_cast<uint8_t>(z.PendingBits - n);
    z.BitWindow =
        static_cast<uint16_t>((static_cast<uint32_t>(z.BitWindow) << n) + (z.PendingByte >> (8 - n)));
    z.PendingByte = static_cast<uint8_t>(z.PendingByte << n);
}

uint16_t TakeBits(TCodecState& s, TLh5ExpandStorage& z, int n) {
    auto bits = static_cast<uint16_t>(static_cast<uint32_t>(z.BitWindow) >> (16 - n));
    FetchBits(s, z, n);
    return bits;
}
