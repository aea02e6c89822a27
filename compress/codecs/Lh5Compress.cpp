// The LH5 compressor's driver: fills the window, walks the input one position at a time through
// the match finder, and turns each position into a literal or a match with the one-step deferred
// decision. Symbols go into the block buffer in groups of up to eight behind a flag byte (one
// byte per literal, three per match), so that a block is coded with codes fitted to it alone.
#include "compress/codecs/Lh5Compress.h"

#include "compress/codecs/Lh5BitWriter.h"
#include "compress/codecs/Lh5MatchFinder.h"
#include "compress/codecs/Lh5ParallelFinder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <thread>

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

namespace {
// The positions after the last parallel finding. The end of the input cuts matches there (and
// the cut length is where the next position's search starts), so they are found one by one.
constexpr int64_t Lh5LiveTail = 512;

// The one-pass compressor from wherever find stands: out and enc code the symbols; in and find
// walk the input. A pending match's remaining positions (skip) are passed first.
void CompressRest(TCodecState& out, TLh5Storage& enc, TCodecState& in, TLh5Storage& find, int skip) {
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

void StartBlock(TLh5Storage& z) {
    StartFrequencies(z);
    z.SymbolBuf[0] = 0;
    z.SymbolBufPos = z.FlagMask = z.FlagPos = 0;
}

void FinishStream(TCodecState& s, TLh5Storage& z) {
    SendBlock(s, z);
    TLh5BitWriter out(s, z);
    out.PutBits(7, 0);
    out.Finish();
}

// The window index of input offset o, as the one-pass finder has it.
inline int WindowIndexOf(int64_t o) {
    return Lh5DictSize + static_cast<int>((o + Lh5FirstPosition - Lh5DictSize) % Lh5DictSize);
}

// The one-pass decisions over findings computed ahead: the driver stands at offset At with the
// finding Current, possibly inside a match with Skip positions still to pass.
class TFindingDriver {
public:
    TFindingDriver(TCodecState& s, TLh5Storage& enc) : S(s), Enc(enc) {}

    // Consumes the findings of offsets [from, to) (from = At + 1, or 0 at the start).
    void Consume(const TLh5InputWindow& in, const TLh5Finding* found, int64_t from, int64_t to) {
        if (from == 0) Current = found[0];
        for (;;) {
            if (Skip > 0) {
                const int64_t step = std::min<int64_t>(Skip, to - 1 - At);
                At += step;
                Skip -= static_cast<int>(step);
                Current = found[At - from];
                if (Skip > 0) return;
                continue;
            }
            if (At + 1 >= to) return;
            const TLh5Finding last = Current;
            Current = found[++At - from];
            if (last.Len < Current.Len || last.Len < Lh5Threshold) {
                EmitSymbol(S, Enc, in.Bytes[static_cast<size_t>(At - 1 - in.Base)], 0);
            } else {
                EmitSymbol(S, Enc, static_cast<uint16_t>(last.Len + 253),
                           static_cast<uint16_t>((WindowIndexOf(At) - last.Pos - 2) & Lh5DistanceMask));
                Skip = last.Len - 1;
            }
        }
    }

    int64_t At = 0;
    int Skip = 0;
    TLh5Finding Current{};

private:
    TCodecState& S;
    TLh5Storage& Enc;
};

// Reads the input that the round [from, to) needs behind what the window holds, dropping what
// lies before keepFrom. Returns false when the input ended early.
bool FillInputWindow(TCodecState& s, TLh5InputWindow& in, int64_t keepFrom, int64_t needEnd) {
    if (keepFrom > in.Base) {
        in.Bytes.erase(in.Bytes.begin(), in.Bytes.begin() + static_cast<std::ptrdiff_t>(keepFrom - in.Base));
        in.Base = keepFrom;
    }
    const int64_t want = std::min(needEnd, in.Total) - in.End();
    if (want <= 0) return true;
    const size_t had = in.Bytes.size();
    in.Bytes.resize(had + static_cast<size_t>(want));
    const int real = ReadInputBytes(s, in.Bytes.data() + had, static_cast<int>(want));
    in.Bytes.resize(had + static_cast<size_t>(real));
    return real == want;
}

void CompressInParallel(TCodecState& s, const TLh5ParallelPlan& plan, int64_t total) {
    TLh5Storage enc;
    AllocLH5Storage(enc, true);
    StartBlock(enc);
    TFindingDriver driver(s, enc);
    TLh5InputWindow in;
    in.Total = total;
    std::unique_ptr<TLh5FinderRun> carried;
    std::vector<TLh5Finding> found;
    const int64_t roundBytes = static_cast<int64_t>(plan.ChunkBytes) * plan.Threads;
    // A finder reads up to a window and a chunk of its input's buffer ahead of its position.
    const int64_t readAhead = Lh5ReadAheadEnd + CodecChunkSize;
    for (int64_t from = 0;;) {
        const int64_t readAt = carried ? carried->ReadOffset(in) : 0;
        if (!FillInputWindow(s, in, std::max<int64_t>(0, from - plan.WarmupBytes),
                             from + roundBytes + readAhead))
            in.Total = in.End(); // cancelled or short: the input ends here
        if (carried) carried->PointAt(in, readAt);
        const int64_t to = std::min(from + roundBytes, in.Total - Lh5LiveTail);
        if (to <= from) break;
        // A last, shorter round shares its positions evenly among the threads.
        TLh5ParallelPlan round = plan;
        if (to - from < roundBytes) {
            const int64_t share = (to - from + plan.Threads - 1) / plan.Threads;
            round.ChunkBytes = static_cast<int32_t>((share + Lh5DictSize - 1) / Lh5DictSize * Lh5DictSize);
        }
        found.resize(static_cast<size_t>(to - from));
        FindInParallel(in, from, to, round, carried, found.data());
        driver.Consume(in, found.data(), from, to);
        from = to;
    }
    if (!carried) {
        // The input ended early, before a single parallel position.
        if (in.Total == 0) return;
        carried = std::make_unique<TLh5FinderRun>(in, 0);
        driver.Current = {carried->Z.MatchLen, carried->Z.MatchPos};
    }
    // The finder of the last chunk stands where the driver does; it finds the rest live.
    CompressRest(s, enc, carried->S, carried->Z, driver.Skip);
    FinishStream(s, enc);
}
} // namespace

TLh5ParallelPlan DefaultLh5Plan() {
    TLh5ParallelPlan plan;
    plan.Threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    return plan;
}

void CompressLH5(TCodecState& s) {
    CompressLH5(s, DefaultLh5Plan());
}

void CompressLH5(TCodecState& s, const TLh5ParallelPlan& wanted) {
    // Chunks and warm-ups are whole windows, so that every finder's window slides at the same
    // input offsets; a warm-up of one window at least fills the dictionary.
    TLh5ParallelPlan plan = wanted;
    plan.ChunkBytes = std::max(Lh5DictSize, plan.ChunkBytes / Lh5DictSize * Lh5DictSize);
    plan.WarmupBytes = std::max(Lh5DictSize, plan.WarmupBytes / Lh5DictSize * Lh5DictSize);
    const int64_t total = static_cast<int64_t>(s.InRemaining) + (s.InEnd - s.InPos);
    if (plan.Threads > 1 && total >= static_cast<int64_t>(plan.ChunkBytes) * 2 + Lh5LiveTail) {
        CompressInParallel(s, plan, total);
        return;
    }
    TLh5Storage z;
    AllocLH5Storage(z, true);
    InitDictionary(z);
    StartBlock(z);
    FillWindow(s, z);
    if (z.BytesLeft == 0) return;
    z.MatchPos = 0;
    z.MatchLen = 0;
    InsertPosition(z);
    CompressRest(s, z, s, z, 0);
    FinishStream(s, z);
}
