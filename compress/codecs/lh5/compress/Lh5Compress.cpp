// The LH5 compressor's driver: fills the window, walks the input one position at a time through
// the match finder, and turns each position into a literal or a match with the one-step deferred
// decision. Symbols go into the block buffer in groups of up to eight behind a flag byte (one
// byte per literal, three per match), so that a block is coded with codes fitted to it alone.
// Most inputs are searched ahead of the decisions, on one or several cores
// (Lh5ParallelCompress.cpp), with the same results.
#include "compress/codecs/lh5/compress/Lh5Compress.h"

#include "compress/codecs/lh5/compress/Lh5BitWriter.h"
#include "compress/codecs/lh5/compress/Lh5MatchFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>

int DistanceClass(uint16_t p) {
    return std::bit_width(p);
}

void EmitSymbol(TCodecState& s, TLh5EncoderStorage& z, uint16_t c, uint16_t p) {
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
void StartFrequencies(TLh5EncoderStorage& z) {
    std::memset(z.SymFreq, 0, Lh5SymbolCount * sizeof(uint16_t));
    std::memset(z.DistFreq, 0, Lh5DistanceClasses * sizeof(uint16_t));
}

inline void ClampMatch(TLh5FinderStorage& z) {
    if (z.BytesLeft < z.MatchLen) z.MatchLen = z.BytesLeft;
}
} // namespace

void CompressRest(TCodecState& out, TLh5EncoderStorage& enc, TCodecState& in, TLh5FinderStorage& find,
                  int skip) {
    if (skip > 0) {
        AdvancePositions(in, find, skip);
        ClampMatch(find);
    }
    while (find.BytesLeft > 0) {
        const int lastLen = find.MatchLen, lastPos = find.MatchPos;
        AdvancePosition(in, find);
        ClampMatch(find);
        if (lastLen < find.MatchLen || lastLen < Lh5Threshold) {
            EmitSymbol(out, enc, find.Window[find.WindowPos - 1], 0);
        } else {
            EmitSymbol(out, enc, static_cast<uint16_t>(lastLen + 253),
                       static_cast<uint16_t>((find.WindowPos - lastPos - 2) & Lh5DistanceMask));
            AdvancePositions(in, find, lastLen - 1);
            ClampMatch(find);
        }
    }
}

void StartBlock(TLh5EncoderStorage& z) {
    StartFrequencies(z);
    z.SymbolBuf[0] = 0;
    z.SymbolBufPos = z.FlagMask = z.FlagPos = 0;
}

void FinishStream(TCodecState& s, TLh5EncoderStorage& z) {
    SendBlock(s, z);
    TLh5BitWriter out(s, z);
    out.PutBits(7, 0);
    out.Finish();
}

TLh5ParallelPlan DefaultLh5Plan(int64_t total) {
    TLh5ParallelPlan plan;
    plan.Threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    // At least two rounds, so that coding overlaps searching; shorter chunks than that spend
    // too much of their time warming up.
    const int64_t chunk = total / (2 * plan.Threads);
    plan.ChunkBytes = static_cast<int32_t>(std::clamp<int64_t>(chunk, Lh5MinimumChunk, plan.ChunkBytes));
    return plan;
}

void Lh5Compress(TCodecState& s) {
    Lh5Compress(s, DefaultLh5Plan(static_cast<int64_t>(s.InRemaining) + (s.InEnd - s.InPos)));
}

void Lh5Compress(TCodecState& s, const TLh5ParallelPlan& wanted) {
    // Chunks and warm-ups are whole windows, so that every finder's window slides at the same
    // input offsets; a warm-up of one window at least fills the dictionary.
    TLh5ParallelPlan plan = wanted;
    plan.ChunkBytes = std::max(Lh5DictSize, plan.ChunkBytes / Lh5DictSize * Lh5DictSize);
    plan.WarmupBytes = std::max(Lh5DictSize, plan.WarmupBytes / Lh5DictSize * Lh5DictSize);
    const int64_t total = static_cast<int64_t>(s.InRemaining) + (s.InEnd - s.InPos);
    if (plan.Threads > 1 && total >= static_cast<int64_t>(plan.ChunkBytes) * 2 + Lh5LiveTail) {
        Lh5CompressInParallel(s, plan, total);
        return;
    }
    if (total > 2 * Lh5LiveTail) {
        // One thread finds a round ahead and then codes it, which keeps the search in its tight
        // loop instead of stepping out after every literal.
        TLh5ParallelPlan one = plan;
        one.Threads = 1;
        one.ChunkBytes = std::min(plan.ChunkBytes, Lh5OneThreadRound);
        Lh5CompressInParallel(s, one, total);
        return;
    }
    Lh5CompressOnePass(s);
}

void Lh5CompressOnePass(TCodecState& s) {
    TLh5EncoderStorage enc;
    Lh5AllocStorage(enc);
    TLh5FinderStorage find;
    Lh5AllocStorage(find);
    StartBlock(enc);
    StartSearch(s, find);
    if (find.BytesLeft == 0) return; // empty input: no stream at all
    CompressRest(s, enc, s, find, 0);
    FinishStream(s, enc);
}
