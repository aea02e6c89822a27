// Stored copy and run-length coding. Tokens of the RLE form: a literal byte other than 0x94;
// 0x94 0x00 for one byte 0x94; 0x94 n (n >= 1) for n - 1 more copies of the previous token's
// first byte. The compressor writes runs of 3..255 right after the literal that began them.
#include "compress/codecs/StoredRle.h"

void StoredCopy(TCodecState& s) {
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

namespace {
// The RLE codec's own state for one run of it: the previous token's first byte and, while the
// compressor counts a run, its length so far.
struct TRleState {
    bool FirstByte = true; // no byte read yet: the first byte never continues a run
    bool InRun = false;
    uint8_t LastByte = 0;
    int32_t RunCount = 0;
};
} // namespace

void RleCompress(TCodecState& s) {
    TRleState r;
    for (;;) {
        uint8_t b = ReadByte(s);
        if (s.EndOfInput) break;
        if (r.InRun) {
            if (b == r.LastByte && r.RunCount < 255) {
                ++r.RunCount;
            } else {
                EmitRun(s, r.RunCount, r.LastByte);
                r.LastByte = b;
                if (b == RleMarker)
                    EmitRun(s, 0, RleMarker);
                else
                    WriteByte(s, b);
                r.InRun = false;
            }
        } else {
            if (b == RleMarker) {
                EmitRun(s, 0, RleMarker);
            } else if (b != r.LastByte || r.FirstByte) {
                WriteByte(s, b);
            } else {
                r.RunCount = 2;
                r.InRun = true;
            }
            r.LastByte = b;
        }
        r.FirstByte = false;
    }
    if (r.InRun) EmitRun(s, r.RunCount, r.LastByte);
}

void RleExpand(TCodecState& s) {
    TRleState r;
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
                r.RunCount = n - 1;
                for (int32_t i = 0; i < r.RunCount; ++i) WriteByte(s, r.LastByte);
            }
        }
        r.LastByte = b;
    }
}
