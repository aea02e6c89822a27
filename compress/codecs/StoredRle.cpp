// Stored copy and run-length coding. Tokens of the RLE form: a literal byte other than 0x94;
// 0x94 0x00 for one byte 0x94; 0x94 n (n >= 1) for n - 1 more copies of the previous token's
// first byte. The compressor writes runs of 3..255 right after the literal that began them.
#include "compress/codecs/StoredRle.h"

void CopyStored(TCodecState& s) {
    for (;;) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) return;
        WriteByte(s, b);
    }
}

void EmitRun(TCodecState& s, int32_t count, uint8_t b) {
    if (count == 0 || count > 2) {
        WriteByte(s, RleMarker);
        WriteByte(s, static_cast<uint8_t>(count));
    } else if (count == 2) {
        WriteByte(s, b);
    }
}

void CompressRLE(TCodecState& s) {
    for (;;) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) break;
        if (s.InRun) {
            if (b == s.LastByte && s.RunCount < 255) {
                ++s.RunCount;
            } else {
                EmitRun(s, s.RunCount, s.LastByte);
                s.LastByte = b;
                if (b == RleMarker)
                    EmitRun(s, 0, RleMarker);
                else
                    WriteByte(s, b);
                s.InRun = false;
            }
        } else {
            if (b == RleMarker) {
                EmitRun(s, 0, RleMarker);
            } else if (b != s.LastByte || s.FirstByte) {
                WriteByte(s, b);
            } else {
                s.RunCount = 2;
                s.InRun = true;
            }
            s.LastByte = b;
        }
        s.FirstByte = false;
    }
    if (s.InRun) EmitRun(s, s.RunCount, s.LastByte);
}

void ExpandRLE(TCodecState& s) {
    for (;;) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) return;
        if (b != RleMarker) {
            WriteByte(s, b);
        } else {
            // A marker that is the last input byte reads its count as 0: one byte 0x94.
            uint8_t n = ReadByte(s);
            if (n == 0) {
                WriteByte(s, RleMarker);
            } else {
                s.RunCount = n - 1;
                for (int32_t i = 0; i < s.RunCount; ++i) WriteByte(s, s.LastByte);
            }
        }
        s.LastByte = b;
    }
}
