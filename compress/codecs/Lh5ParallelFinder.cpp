// Rounds of chunks found side by side, each checked against the dictionary of the chunk before.
#include "compress/codecs/Lh5ParallelFinder.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <thread>

namespace {
constexpr int FirstLeaf = Lh5RootBase;

// Points s at the window's bytes from offset on; reading stops at the window's end, which is the
// input's end only in the last round.
void PointInput(TCodecState& s, const TLh5InputWindow& in, int64_t offset) {
    s.InBuffer = s.InPos = const_cast<uint8_t*>(in.Bytes.data()) + (offset - in.Base);
    s.InEnd = const_cast<uint8_t*>(in.Bytes.data()) + in.Bytes.size();
    s.InRemaining = 0;
}

// A speculative chunk: its finder and the copy of its dictionary at the chunk's start.
struct TChunk {
    int64_t From = 0, To = 0;
    std::unique_ptr<TLh5FinderRun> Run;
    std::unique_ptr<TLh5DictionaryCopy> AtStart;
    std::exception_ptr Failure;
    double Seconds = 0;
    int64_t Positions = 0;
};

void FindSpeculatively(const TLh5InputWindow& in, const TLh5ParallelPlan& plan, TChunk& c, TLh5Finding* out) {
    const auto started = std::chrono::steady_clock::now();
    try {
        const int64_t start = std::max<int64_t>(0, c.From - plan.WarmupBytes);
        c.Positions = c.To - start;
        c.Run = std::make_unique<TLh5FinderRun>(in, start);
        c.Run->Advance(c.From - 1, nullptr, 0);
        c.AtStart = std::make_unique<TLh5DictionaryCopy>(c.Run->Z);
        c.Run->Advance(c.To - 1, out, c.From);
    } catch (...) {
        c.Failure = std::current_exception();
    }
    c.Seconds = SecondsSince(started);
}
} // namespace

TLh5FinderRun::TLh5FinderRun(const TLh5InputWindow& in, int64_t start) : Offset(start) {
    PointInput(S, in, start);
    S.ChunkSize = CodecChunkSize;
    AllocLH5Storage(Z, true);
    StartSearch(S, Z);
}

int64_t TLh5FinderRun::ReadOffset(const TLh5InputWindow& in) const {
    return in.Base + (S.InPos - in.Bytes.data());
}

void TLh5FinderRun::PointAt(const TLh5InputWindow& in, int64_t offset) {
    PointInput(S, in, offset);
}

void TLh5FinderRun::Advance(int64_t to, TLh5Finding* out, int64_t outBase) {
    if (to <= Offset) return;
    const auto count = static_cast<int>(to - Offset);
    if (out)
        AdvanceRecording(S, Z, count, out + (Offset + 1 - outBase));
    else
        AdvancePositions(S, Z, count);
    Offset = to;
}

TLh5DictionaryCopy::TLh5DictionaryCopy(const TLh5Storage& z)
    : Trie(z.Trie, z.Trie + Lh5NodeRecords), Level(z.NodeLevel, z.NodeLevel + FirstLeaf + 256),
      ChildCount(z.NodeChildCount, z.NodeChildCount + FirstLeaf + 256), WindowPos(z.WindowPos),
      MatchLen(z.MatchLen), MatchPos(z.MatchPos) {}

bool SameDictionary(const TLh5DictionaryCopy& a, const TLh5Storage& b) {
    if (a.WindowPos != b.WindowPos || a.MatchLen != b.MatchLen || a.MatchPos != b.MatchPos) return false;
    // Every leaf of the window: in both tries or in neither (then both point on to the same newer
    // leaf), and along its path to the root the same levels, child counts and positions.
    for (int leaf = FirstLeaf; leaf < FirstLeaf + Lh5DictSize; ++leaf) {
        unsigned p = a.Trie[leaf].Parent, q = b.Trie[leaf].Parent;
        if ((p == 0) != (q == 0)) return false;
        if (p == 0) {
            if (a.Trie[leaf].Next != b.Trie[leaf].Next) return false;
            continue;
        }
        while (p < FirstLeaf && q < FirstLeaf) {
            if (a.Level[p] != b.NodeLevel[q] || a.ChildCount[p] != b.NodeChildCount[q] ||
                a.Trie[p].Position != b.Trie[q].Position)
                return false;
            p = a.Trie[p].Parent;
            q = b.Trie[q].Parent;
        }
        if (p != q) return false; // the same root, reached at the same depth
    }
    return true;
}

TLh5RoundReport FindInParallel(const TLh5InputWindow& in, int64_t from, int64_t to, int64_t firstChunk,
                               const TLh5ParallelPlan& plan, std::unique_ptr<TLh5FinderRun>& carried,
                               TLh5Finding* out, const std::function<void()>& before,
                               const std::function<void(int64_t)>& after) {
    // The first chunk continues the true finder on this thread; the others (one per remaining
    // thread, the last one taking whatever is left) run on their own.
    const int64_t firstEnd = std::min(to, from + firstChunk);
    std::vector<TChunk> chunks;
    for (int64_t a = firstEnd; a < to; a += plan.ChunkBytes) {
        TChunk& c = chunks.emplace_back();
        c.From = a;
        c.To = static_cast<int>(chunks.size()) + 1 == plan.Threads ? to : std::min(to, a + plan.ChunkBytes);
        if (c.To == to) break;
    }
    std::vector<std::thread> threads;
    try {
        for (TChunk& c : chunks)
            threads.emplace_back(FindSpeculatively, std::cref(in), std::cref(plan), std::ref(c),
                                 out + (c.From - from));
    } catch (...) {
        for (std::thread& t : threads) t.join();
        throw;
    }
    TLh5RoundReport report;
    std::exception_ptr failure;
    try {
        if (before) before();
        const auto started = std::chrono::steady_clock::now();
        if (!carried) {
            carried = std::make_unique<TLh5FinderRun>(in, 0);
            out[0] = LastFinding(carried->Z);
        }
        carried->Advance(firstEnd - 1, out, from);
        report.FirstSeconds = SecondsSince(started);
        if (after) after(firstEnd);
    } catch (...) {
        failure = std::current_exception();
    }
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);

    for (TChunk& c : chunks) {
        if (c.Failure) std::rethrow_exception(c.Failure);
        if (c.Seconds > report.OtherSeconds) {
            report.OtherSeconds = c.Seconds;
            report.OtherPositions = c.Positions;
        }
        if (SameDictionary(*c.AtStart, carried->Z)) {
            carried = std::move(c.Run);
        } else {
            carried->Advance(c.To - 1, out, from);
            ++report.FoundAgain;
        }
    }
    return report;
}
