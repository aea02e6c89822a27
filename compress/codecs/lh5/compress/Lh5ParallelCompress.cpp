// The LH5 compressor on several cores: findings computed ahead in rounds, turned into symbols by
// the one-pass decisions, and the last positions found live by the finder that got there.
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "compress/codecs/lh5/compress/Lh5MatchFinder.h"
#include "compress/codecs/lh5/compress/Lh5ParallelFinder.h"

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
    TFindingDriver(TCodecState& s, TLh5EncoderStorage& enc) : S(s), Enc(enc) {}

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
    TLh5EncoderStorage& Enc;
};

// Drops the bytes before keepFrom when the window could not otherwise hold the input up to
// needEnd. Only between rounds: it moves the bytes that finders read.
void MakeRoom(TLh5InputWindow& in, int64_t keepFrom, int64_t needEnd) {
    if (needEnd - in.Base <= static_cast<int64_t>(in.Bytes.capacity()) || keepFrom <= in.Base) return;
    in.Bytes.erase(in.Bytes.begin(), in.Bytes.begin() + static_cast<std::ptrdiff_t>(keepFrom - in.Base));
    in.Base = keepFrom;
}

// Reads the input up to needEnd, as far as the window's capacity allows: appending within the
// capacity never moves the bytes that running finders read. When the input ends early
// (cancelled or short), the window's end becomes the input's end.
void ReadAhead(TCodecState& s, TLh5InputWindow& in, int64_t needEnd) {
    const int64_t end = std::min({needEnd, in.Total, in.Base + static_cast<int64_t>(in.Bytes.capacity())});
    const int64_t want = end - in.End();
    if (want <= 0) return;
    const size_t had = in.Bytes.size();
    in.Bytes.resize(had + static_cast<size_t>(want));
    const int real = ReadInputBytes(s, in.Bytes.data() + had, static_cast<int>(want));
    in.Bytes.resize(had + static_cast<size_t>(real));
    if (real < want) in.Total = in.End();
}

// n rounded down to whole windows: where chunks may start.
int64_t WholeWindows(int64_t n) {
    return n / Lh5DictSize * Lh5DictSize;
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
// round before, finds the first chunk and codes it, and in the last round also codes the other
// chunks as they come; every other thread warms up and finds a chunk. The first chunk is sized so
// that all threads take about equally long.
struct TRoundSplit {
    int64_t First, Chunk;
};

TRoundSplit SplitRound(const TLh5ParallelPlan& plan, const TRoundCosts& cost, int64_t positions,
                       int64_t coding, bool last) {
    if (plan.Threads == 1) return {positions, positions};
    auto down = [](double n) { return WholeWindows(static_cast<int64_t>(n)); };
    const double others = plan.Threads - 1;
    // cost.Code * (coding + first [+ others * chunk in the last round]) + cost.Find * first =
    // cost.Speculate * (warm-up + chunk), with first + others * chunk = positions. Before the last
    // round, the other chunks are coded in the next one.
    const double n = static_cast<double>(positions);
    const double first = (cost.Speculate * (static_cast<double>(plan.WarmupBytes) + n / others) -
                          cost.Code * (static_cast<double>(coding) + (last ? n : 0))) /
                         (cost.Find + (last ? 0 : cost.Code) + cost.Speculate / others);
    const int64_t firstChunk = std::clamp<int64_t>(down(first), Lh5DictSize, positions);
    const int64_t chunk = std::max<int64_t>(
        Lh5DictSize,
        down(static_cast<double>(positions - firstChunk + Lh5DictSize - 1) / others + Lh5DictSize - 1));
    return {firstChunk, chunk};
}

} // namespace

void Lh5CompressInParallel(TCodecState& s, const TLh5ParallelPlan& plan, int64_t total) {
    TLh5EncoderStorage enc;
    Lh5AllocStorage(enc);
    StartBlock(enc);
    TFindingDriver driver(s, enc);
    TLh5InputWindow in;
    in.Total = total;
    std::unique_ptr<TLh5FinderRun> carried;
    TLh5Spares spares;
    // A round aims at a chunk per thread; with an open end it may run a quarter longer while the
    // calling thread is still busy.
    const int64_t target = std::min<int64_t>(static_cast<int64_t>(plan.ChunkBytes) * plan.Threads, total);
    const int64_t roundMax =
        plan.Threads == 1 ? target : std::max<int64_t>(Lh5DictSize, WholeWindows(target + target / 4));
    // A finder reads up to a window and a chunk of its input's buffer ahead of its position.
    const int64_t readAhead = Lh5ReadAheadEnd + CodecChunkSize;
    // The window keeps the warm-ups or the literals still to code, this round and the next one,
    // which is read during this one; a window of several rounds seldom needs its bytes moved.
    in.Bytes.reserve(static_cast<size_t>(std::min(total, 3 * roundMax + plan.WarmupBytes + 2 * readAhead)));
    // The findings of a round stay until their coding is done in the next round. The buffers are
    // left uninitialised: the finders touch their pages first, each on its own core.
    std::unique_ptr<TLh5Finding[]> found(new TLh5Finding[static_cast<size_t>(roundMax)]);
    std::unique_ptr<TLh5Finding[]> coding(new TLh5Finding[static_cast<size_t>(roundMax)]);
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
    for (int64_t from = 0;;) {
        const int64_t readAt = carried ? carried->ReadOffset(in.View()) : 0;
        // Keep the warm-ups of this round and the literals of the round still to be coded.
        const int64_t keepFrom = std::max<int64_t>(0, std::min(from - plan.WarmupBytes, codingFrom - 1));
        MakeRoom(in, keepFrom, from + roundMax + readAhead);
        ReadAhead(s, in, from + roundMax + readAhead);
        if (carried) carried->PointAt(in.View(), readAt);
        const int64_t liveFrom = in.Total - Lh5LiveTail;
        const int64_t to = std::min(from + roundMax, liveFrom);
        if (to <= from) break;
        // Rounds before the last one end where the calling thread runs out of work; the last
        // one is split to end on all threads at once.
        TLh5Round round;
        round.From = from;
        round.To = to;
        round.Threads = plan.Threads;
        round.WarmupBytes = plan.WarmupBytes;
        round.OpenEnd = plan.Threads > 1 && to < liveFrom;
        const TRoundSplit split =
            SplitRound(plan, cost, round.OpenEnd ? target : to - from, codingTo - codingFrom, !round.OpenEnd);
        round.FirstChunk = split.First;
        round.ChunkBytes = static_cast<int32_t>(split.Chunk);
        const int64_t firstEnd = std::min(to, from + split.First);
        codeSeconds = 0;
        coded = 0;
        int64_t passed = from; // findings of this round coded so far
        TLh5RoundHooks hooks;
        hooks.Before = [&] { code(coding.get(), codingBase, codingFrom, codingTo); };
        hooks.Final = [&](int64_t a, int64_t b) {
            code(found.get(), from, a, b);
            passed = b;
        };
        if (round.OpenEnd) hooks.After = [&] { ReadAhead(s, in, to + roundMax + readAhead); };
        const TLh5RoundReport report = FindInParallel(in, round, carried, found.get(), hooks, &spares);
        cost.Learn(report, firstEnd - from, codeSeconds, coded);
        // The findings of an open end wait for the next round; the others are coded.
        std::swap(found, coding);
        codingBase = from;
        codingFrom = passed;
        codingTo = report.End;
        from = report.End;
    }
    code(coding.get(), codingBase, codingFrom, codingTo);
    if (!carried) {
        // The input ended early, before a single parallel position.
        if (in.Total == 0) return;
        carried = std::make_unique<TLh5FinderRun>(in.View(), 0);
        driver.Current = LastFinding(carried->Z);
    }
    // The finder of the last chunk stands where the driver does; it finds the rest live.
    CompressRest(s, enc, carried->S, carried->Z, driver.Skip);
    FinishStream(s, enc);
}
