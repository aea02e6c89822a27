// The LH5 compressor on several cores: findings computed ahead in rounds, turned into symbols by
// the one-pass decisions, and the last positions found live by the finder that got there.
#include "compress/codecs/Lh5Compress.h"
#include "compress/codecs/Lh5MatchFinder.h"
#include "compress/codecs/Lh5ParallelFinder.h"

#include <algorithm>

namespace {
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

} // namespace

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
