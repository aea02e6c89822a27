// The LH5 compressor's driver: fills the window, walks the input one position at a time through
// the match finder, and turns each position into a literal or a match with the one-step deferred
// decision. Symbols go into the block buffer in groups of up to eight behind a flag byte (one
// byte per literal, three per match), so that a block is coded with codes fitted to it alone.
#include "compress/codecs/Lh5Compress.h"

#include "compress/codecs/Lh5BitWriter.h"
#include "compress/codecs/Lh5MatchFinder.h"

#include <bit>
#include <cstring>

int DistanceClass(uint16_t p) {
    return std::bit_width(p);
}

void EmitSymbol(TCodecState& s, TLh5Storage& z, uint16_t c, uint16_t p) {
    z.FlagMask >>= 1;
    if (z.FlagMask == 0) {
        z.FlagMask = 0x80;
        if (z.SymbolBufPos >= Lh5BlockSendPoint) {
            SendBlock(s, z);
            z.SymbolBufPos = 0;
        }
        z.FlagPos = z.SymbolBufPos;
        z.SymbolBuf[z.FlagPos] = 0;
        ++z.SymbolBufPos;
    }
    uint8_t* buf = z.SymbolBuf;
    buf[z.SymbolBufPos++] = static_cast<uint8_t>(c);
    ++z.SymFreq[c];
    if (c >= 256) {
        buf[z.FlagPos] = static_cast<uint8_t>(buf[z.FlagPos] | z.FlagMask);
        buf[z.SymbolBufPos++] = static_cast<uint8_t>(p >> 8);
        buf[z.SymbolBufPos++] = static_cast<uint8_t>(p);
        ++z.DistFreq[DistanceClass(p)];
    }
}

namespace {
void StartFrequencies(TLh5Storage& z) {
    std::memset(z.SymFreq, 0, Lh5SymbolCount * sizeof(uint16_t));
    std::memset(z.DistFreq, 0, Lh5DistanceClasses * sizeof(uint16_t));
}

inline void ClampMatch(TLh5Storage& z) {
    if (z.BytesLeft < z.MatchLen) z.MatchLen = z.BytesLeft;
}
} // namespace

void CompressLH5(TCodecState& s) {
    TLh5Storage z;
    AllocLH5Storage(z, true);
    InitDictionary(z);
    StartFrequencies(z);
    z.SymbolBuf[0] = 0;
    z.SymbolBufPos = z.FlagMask = z.FlagPos = 0;
    FillWindow(s, z);
    if (z.BytesLeft == 0) return;

    z.MatchPos = 0;
    z.MatchLen = 0;
    InsertPosition(z);
    while (z.BytesLeft > 0) {
        const int lastLen = z.MatchLen, lastPos = z.MatchPos;
        AdvancePosition(s, z);
        ClampMatch(z);
        if (lastLen < z.MatchLen || lastLen < Lh5Threshold) {
            EmitSymbol(s, z, z.Window[z.WindowPos - 1], 0);
        } else {
            EmitSymbol(s, z, static_cast<uint16_t>(lastLen + 253),
                       static_cast<uint16_t>((z.WindowPos - lastPos - 2) & Lh5DistanceMask));
            AdvancePositions(s, z, lastLen - 1);
            ClampMatch(z);
        }
    }
    SendBlock(s, z);
    TLh5BitWriter out(s, z);
    out.PutBits(7, 0);
    out.Finish();
}
