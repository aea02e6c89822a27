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

// How a round of `positions` positions is cut: the first chunk runs on this thread after coding
// the previous round's findings (`coding` positions), every other chunk on a thread of its own
// after its warm-up; the sizes are chosen so that all threads take about equally long.
struct TRoundSplit {
    int64_t First, Chunk;
};

TRoundSplit SplitRound(const TLh5ParallelPlan& plan, int64_t positions, int64_t coding) {
    // Coding a position costs about a tenth of finding one (a fourteenth on text, an eighth on
    // binaries, measured on the benchmark's corpora).
    const int64_t codingLoad = coding / 10;
    const int64_t threads = plan.Threads;
    auto down = [](int64_t n) { return n / Lh5DictSize * Lh5DictSize; };
    const int64_t chunk = down(std::max<int64_t>(
        Lh5DictSize, (positions - plan.WarmupBytes + codingLoad + threads - 1) / threads + Lh5DictSize - 1));
    const int64_t first =
        down(std::clamp<int64_t>(plan.WarmupBytes + chunk - codingLoad, Lh5DictSize, positions));
    return {first, chunk};
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
    // The findings of a round are coded on this thread while the next round is searched.
    std::vector<TLh5Finding> found, coding;
    int64_t codingFrom = 0, codingTo = 0;
    auto codeFindings = [&] {
        if (codingTo > codingFrom) driver.Consume(in, coding.data(), codingFrom, codingTo);
    };
    const int64_t roundBytes = static_cast<int64_t>(plan.ChunkBytes) * plan.Threads;
    // A finder reads up to a window and a chunk of its input's buffer ahead of its position.
    const int64_t readAhead = Lh5ReadAheadEnd + CodecChunkSize;
    for (int64_t from = 0;;) {
        const int64_t readAt = carried ? carried->ReadOffset(in) : 0;
        // Keep the warm-ups of this round and the literals of the round still to be coded.
        const int64_t keepFrom = std::max<int64_t>(0, std::min(from - plan.WarmupBytes, codingFrom - 1));
        if (!FillInputWindow(s, in, keepFrom, from + roundBytes + readAhead))
            in.Total = in.End(); // cancelled or short: the input ends here
        if (carried) carried->PointAt(in, readAt);
        const int64_t to = std::min(from + roundBytes, in.Total - Lh5LiveTail);
        if (to <= from) break;
        const TRoundSplit split = SplitRound(plan, to - from, codingTo - codingFrom);
        TLh5ParallelPlan round = plan;
        round.ChunkBytes = static_cast<int32_t>(split.Chunk);
        found.resize(static_cast<size_t>(to - from));
        FindInParallel(in, from, to, split.First, round, carried, found.data(), codeFindings);
        std::swap(found, coding);
        codingFrom = from;
        codingTo = to;
        from = to;
    }
    codeFindings();
    if (!carried) {
        // The input ended early, before a single parallel position.
        if (in.Total == 0) return;
        carried = std::make_unique<TLh5FinderRun>(in, 0);
        driver.Current = LastFinding(carried->Z);
    }
    // The finder of the last chunk stands where the driver does; it finds the rest live.
    CompressRest(s, enc, carried->S, carried->Z, driver.Skip);
    FinishStream(s, enc);
}
