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

// Seconds per position of the three kinds of work in a round, measured as the rounds go; only
// their ratios matter. They start from what the benchmark corpora show: coding a position costs
// about a tenth of finding one, and a speculative finder about as much as the true one.
struct TRoundCosts {
    double Find = 1, Speculate = 1, Code = 0.1;

    // Learns from a finished round; a step that was not timed keeps its estimate.
    void Learn(const TLh5RoundReport& report, int64_t firstPositions, double codeSeconds, int64_t coded) {
        const double scale = Find;
        if (report.FirstSeconds > 0 && firstPositions > 0)
            Find = report.FirstSeconds / static_cast<double>(firstPositions);
        if (report.OtherSeconds > 0 && report.OtherPositions > 0)
            Speculate = report.OtherSeconds / static_cast<double>(report.OtherPositions);
        else
            Speculate *= Find / scale;
        if (codeSeconds > 0 && coded > 0)
            Code = codeSeconds / static_cast<double>(coded);
        else
            Code *= Find / scale;
    }
};

// How a round of `positions` positions is cut: this thread codes `coding` positions of the
// round before, finds the first chunk and codes it; every other thread warms up and finds a
// chunk. The first chunk is sized so that all threads take about equally long.
struct TRoundSplit {
    int64_t First, Chunk;
};

TRoundSplit SplitRound(const TLh5ParallelPlan& plan, const TRoundCosts& cost, int64_t positions,
                       int64_t coding) {
    if (plan.Threads == 1) return {positions, positions};
    auto down = [](double n) { return static_cast<int64_t>(n) / Lh5DictSize * Lh5DictSize; };
    const double others = plan.Threads - 1;
    // cost.Code * (coding + first) + cost.Find * first = cost.Speculate * (warm-up + chunk), with
    // first + others * chunk = positions.
    const double first =
        (cost.Speculate * (static_cast<double>(plan.WarmupBytes) + static_cast<double>(positions) / others) -
         cost.Code * static_cast<double>(coding)) /
        (cost.Find + cost.Code + cost.Speculate / others);
    const int64_t firstChunk = std::clamp<int64_t>(down(first), Lh5DictSize, positions);
    const int64_t chunk = std::max<int64_t>(
        Lh5DictSize,
        down(static_cast<double>(positions - firstChunk + Lh5DictSize - 1) / others + Lh5DictSize - 1));
    return {firstChunk, chunk};
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
    const int64_t roundBytes = std::min<int64_t>(static_cast<int64_t>(plan.ChunkBytes) * plan.Threads, total);
    // The findings of a round stay until their coding is done in the next round. The buffers are
    // left uninitialised: the finders touch their pages first, each on its own core.
    std::unique_ptr<TLh5Finding[]> found(new TLh5Finding[static_cast<size_t>(roundBytes)]);
    std::unique_ptr<TLh5Finding[]> coding(new TLh5Finding[static_cast<size_t>(roundBytes)]);
    int64_t codingBase = 0, codingFrom = 0, codingTo = 0; // coding[offset - codingBase]
    TRoundCosts cost;
    double codeSeconds = 0;
    int64_t coded = 0;
    auto code = [&](const TLh5Finding* findings, int64_t base, int64_t a, int64_t b) {
        if (b <= a) return;
        const auto started = std::chrono::steady_clock::now();
        driver.Consume(in, findings + (a - base), a, b);
        codeSeconds += SecondsSince(started);
        coded += b - a;
    };
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
        const TRoundSplit split = SplitRound(plan, cost, to - from, codingTo - codingFrom);
        TLh5ParallelPlan round = plan;
        round.ChunkBytes = static_cast<int32_t>(split.Chunk);
        codeSeconds = 0;
        coded = 0;
        const TLh5RoundReport report = FindInParallel(
            in, from, to, split.First, round, carried, found.get(),
            [&] { code(coding.get(), codingBase, codingFrom, codingTo); },
            [&](int64_t firstEnd) { code(found.get(), from, from, firstEnd); });
        cost.Learn(report, std::min(split.First, to - from), codeSeconds, coded);
        // What the first chunk found is coded; the rest waits for the next round.
        std::swap(found, coding);
        codingBase = from;
        codingFrom = std::min(from + split.First, to);
        codingTo = to;
        from = to;
    }
    code(coding.get(), codingBase, codingFrom, codingTo);
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
