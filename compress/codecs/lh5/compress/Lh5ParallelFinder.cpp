// Rounds of chunks found side by side, each checked against the dictionary of the chunk before.
#include "compress/codecs/lh5/compress/Lh5ParallelFinder.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace {
constexpr int FirstLeaf = Lh5RootBase;
// A speculative chunk reports its progress, and looks for a request to stop, this often.
constexpr int64_t StepPositions = 2 * Lh5DictSize;
// It also keeps a copy of its dictionary this often: where its start disagrees with the true
// dictionary, a later copy usually agrees, and only the positions up to it are found again.
constexpr int64_t CopyEvery = 16 * StepPositions;

// Points s at the window's bytes from offset on; reading stops at the view's end, which is the
// input's end only in the last round.
void PointInput(TCodecState& s, const TLh5InputView& in, int64_t offset) {
    s.InBuffer = s.InPos = const_cast<uint8_t*>(in.Data) + (offset - in.Base);
    s.InEnd = const_cast<uint8_t*>(in.Data) + (in.End - in.Base);
    s.InRemaining = 0;
}

// A speculative chunk: its finder, the copy of its dictionary at the chunk's start, and how far
// it has got. The fields under "guarded" change only with the round's mutex held.
struct TChunk {
    int64_t From = 0;
    std::unique_ptr<TLh5FinderRun> Run;
    std::unique_ptr<TLh5DictionaryCopy> AtStart;
    std::exception_ptr Failure;
    double Seconds = 0;
    int64_t Positions = 0;
    std::atomic<bool> Stop{false};    // end at the next step (open end)
    std::atomic<bool> Abandon{false}; // the findings are not needed: end as soon as possible
    // guarded
    int64_t To = 0;        // the end; an open end moves it down when the chunk stops
    int64_t Reached = 0;   // findings [From, Reached) are written
    bool Ready = false;    // AtStart is taken
    bool Finished = false; // the thread no longer touches the chunk
    // Copies of the dictionary after entering offset From - 1 + k * CopyEvery (k = 1, 2, ...).
    std::vector<std::unique_ptr<TLh5DictionaryCopy>> Later;
};

// What the threads of a round share.
struct TRoundSync {
    std::mutex M;
    std::condition_variable Changed;

    template <typename F>
    void Update(F change) {
        {
            std::lock_guard lock(M);
            change();
        }
        Changed.notify_all();
    }
    // Waits until done() holds; done is evaluated with the mutex held.
    template <typename F>
    void WaitFor(F done) {
        std::unique_lock lock(M);
        Changed.wait(lock, done);
    }
};

// A fresh run or copy, or one from the spares.
std::unique_ptr<TLh5FinderRun> NewRun(TLh5Spares* spares, const TLh5InputView& in, int64_t start) {
    return spares ? spares->Run(in, start) : std::make_unique<TLh5FinderRun>(in, start);
}
std::unique_ptr<TLh5DictionaryCopy> NewCopy(TLh5Spares* spares, const TLh5FinderStorage& z) {
    return spares ? spares->Copy(z) : std::make_unique<TLh5DictionaryCopy>(z);
}

void FindSpeculatively(TLh5InputView in, int32_t warmup, TChunk& c, TLh5Finding* out, TRoundSync& sync,
                       TLh5Spares* spares) {
    const auto started = std::chrono::steady_clock::now();
    const int64_t start = std::max<int64_t>(0, c.From - warmup);
    int64_t to = c.To; // set before the thread started; only this thread changes it
    int64_t at = start;
    try {
        c.Run = NewRun(spares, in, start);
        c.Run->Advance(c.From - 1, nullptr, 0);
        at = c.From - 1;
        c.AtStart = NewCopy(spares, c.Run->Z);
        sync.Update([&] { c.Ready = true; });
        while (at < to - 1 && !c.Abandon.load(std::memory_order_relaxed)) {
            const int64_t next = std::min(to - 1, at + StepPositions);
            c.Run->Advance(next, out, c.From);
            at = next;
            const bool stop = c.Stop.load(std::memory_order_relaxed);
            std::unique_ptr<TLh5DictionaryCopy> copy;
            if ((at + 1 - c.From) % CopyEvery == 0 && at + 1 < to && !stop) copy = NewCopy(spares, c.Run->Z);
            sync.Update([&] {
                c.Reached = at + 1;
                if (stop) c.To = to = at + 1;
                if (copy) c.Later.push_back(std::move(copy));
            });
        }
    } catch (...) {
        c.Failure = std::current_exception();
    }
    c.Seconds = SecondsSince(started);
    c.Positions = at + 1 - start;
    sync.Update([&] { c.Finished = true; });
}

// Joins the round's threads on every way out, asking unfinished chunks to give up first.
class TChunkThreads {
public:
    explicit TChunkThreads(std::deque<TChunk>& chunks) : Chunks(chunks) {}
    ~TChunkThreads() {
        for (TChunk& c : Chunks) c.Abandon = true;
        JoinAll();
    }
    void Start(TLh5InputView in, int32_t warmup, TChunk& c, TLh5Finding* out, TRoundSync& sync,
               TLh5Spares* spares) {
        Threads.emplace_back(FindSpeculatively, in, warmup, std::ref(c), out, std::ref(sync), spares);
    }
    void Join(size_t i) {
        if (i < Threads.size() && Threads[i].joinable()) Threads[i].join();
    }
    void JoinAll() {
        for (size_t i = 0; i < Threads.size(); ++i) Join(i);
    }

private:
    std::deque<TChunk>& Chunks;
    std::vector<std::thread> Threads;
};
} // namespace

TLh5FinderRun::TLh5FinderRun(const TLh5InputView& in, int64_t start) {
    Lh5AllocStorage(Z);
    Begin(in, start);
}

void TLh5FinderRun::Restart(const TLh5InputView& in, int64_t start) {
    Lh5ClearStorage(Z);
    Begin(in, start);
}

void TLh5FinderRun::Begin(const TLh5InputView& in, int64_t start) {
    Offset = start;
    S = TCodecState();
    PointInput(S, in, start);
    S.ChunkSize = CodecChunkSize;
    StartSearch(S, Z);
}

int64_t TLh5FinderRun::ReadOffset(const TLh5InputView& in) const {
    return in.Base + (S.InPos - in.Data);
}

void TLh5FinderRun::PointAt(const TLh5InputView& in, int64_t offset) {
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

TLh5DictionaryCopy::TLh5DictionaryCopy(const TLh5FinderStorage& z) {
    Take(z);
}

void TLh5DictionaryCopy::Take(const TLh5FinderStorage& z) {
    Trie.assign(z.Trie, z.Trie + Lh5NodeRecords);
    Level.assign(z.NodeLevel, z.NodeLevel + FirstLeaf + 256);
    ChildCount.assign(z.NodeChildCount, z.NodeChildCount + FirstLeaf + 256);
    WindowPos = z.WindowPos;
    MatchLen = z.MatchLen;
    MatchPos = z.MatchPos;
}

std::unique_ptr<TLh5FinderRun> TLh5Spares::Run(const TLh5InputView& in, int64_t start) {
    std::unique_ptr<TLh5FinderRun> run;
    {
        std::lock_guard lock(M);
        if (Runs.empty()) return std::make_unique<TLh5FinderRun>(in, start);
        run = std::move(Runs.back());
        Runs.pop_back();
    }
    run->Restart(in, start);
    return run;
}

std::unique_ptr<TLh5DictionaryCopy> TLh5Spares::Copy(const TLh5FinderStorage& z) {
    std::unique_ptr<TLh5DictionaryCopy> copy;
    {
        std::lock_guard lock(M);
        if (Copies.empty()) return std::make_unique<TLh5DictionaryCopy>(z);
        copy = std::move(Copies.back());
        Copies.pop_back();
    }
    copy->Take(z);
    return copy;
}

void TLh5Spares::Keep(std::unique_ptr<TLh5FinderRun> run) {
    if (!run) return;
    std::lock_guard lock(M);
    Runs.push_back(std::move(run));
}

void TLh5Spares::Keep(std::unique_ptr<TLh5DictionaryCopy> copy) {
    if (!copy) return;
    std::lock_guard lock(M);
    Copies.push_back(std::move(copy));
}

bool SameDictionary(const TLh5DictionaryCopy& a, const TLh5FinderStorage& b) {
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

TLh5RoundReport FindInParallel(const TLh5InputWindow& in, const TLh5Round& round,
                               std::unique_ptr<TLh5FinderRun>& carried, TLh5Finding* out,
                               const TLh5RoundHooks& hooks, TLh5Spares* spares) {
    // The first chunk continues the true finder on this thread; the others (one per remaining
    // thread, the last one taking whatever is left) run on their own.
    const int64_t from = round.From, firstEnd = std::min(round.To, from + round.FirstChunk);
    std::deque<TChunk> chunks;
    for (int64_t a = firstEnd; a < round.To; a += round.ChunkBytes) {
        TChunk& c = chunks.emplace_back();
        c.From = a;
        const bool last = static_cast<int>(chunks.size()) + 1 == round.Threads;
        c.To = last ? round.To : std::min(round.To, a + round.ChunkBytes);
        if (c.To == round.To) break;
    }
    const auto final = [&](int64_t a, int64_t b) {
        if (hooks.Final && a < b) hooks.Final(a, b);
    };
    TRoundSync sync;
    TLh5RoundReport report;
    {
        TChunkThreads threads(chunks);
        for (TChunk& c : chunks)
            threads.Start(in.View(), round.WarmupBytes, c, out + (c.From - from), sync, spares);

        if (hooks.Before) hooks.Before();
        const auto started = std::chrono::steady_clock::now();
        if (!carried) {
            carried = NewRun(spares, in.View(), 0);
            out[0] = LastFinding(carried->Z);
        }
        carried->Advance(firstEnd - 1, out, from);
        report.FirstSeconds = SecondsSince(started);
        final(from, firstEnd);
        if (hooks.After) hooks.After();

        // In input order: a chunk that started from the dictionary that the one before ended
        // with is taken over; otherwise the true finder finds it again up to the first of its
        // later copies that agrees, and takes it over from there, or all of it. The findings of
        // an open end stay for the caller; all others are passed on as they become final.
        for (size_t i = 0; i < chunks.size(); ++i) {
            TChunk& c = chunks[i];
            const bool openEnd = round.OpenEnd && i + 1 == chunks.size();
            bool finished = false;
            if (openEnd) {
                c.Stop = true;
                threads.Join(i);
                finished = true;
            } else {
                sync.WaitFor([&] { return (finished = c.Finished) || c.Ready; });
            }
            if (finished && c.Failure) std::rethrow_exception(c.Failure);
            // The chunk's findings are taken from `agreed` on, if it is taken over at all.
            int64_t agreed = c.From;
            bool agrees = c.AtStart && SameDictionary(*c.AtStart, carried->Z);
            if (!agrees) ++report.FoundAgain;
            for (size_t k = 0; !agrees; ++k) {
                // The next copy, or the chunk's end once it has finished without one.
                const TLh5DictionaryCopy* later = nullptr;
                int64_t to = 0;
                sync.WaitFor([&] {
                    later = c.Later.size() > k ? c.Later[k].get() : nullptr;
                    to = c.To;
                    return later || c.Finished;
                });
                const int64_t at = later ? c.From + static_cast<int64_t>(k + 1) * CopyEvery : to;
                carried->Advance(at - 1, out, from);
                report.FoundAgainPositions += at - agreed;
                if (!openEnd) final(agreed, at);
                agreed = at;
                if (!later) break;
                agrees = SameDictionary(*later, carried->Z);
            }
            if (agrees) {
                for (int64_t passed = agreed; !openEnd;) {
                    int64_t reached = 0;
                    sync.WaitFor([&] { return (finished = c.Finished) || (reached = c.Reached) > passed; });
                    if (finished) {
                        if (c.Failure) std::rethrow_exception(c.Failure);
                        reached = c.To;
                    }
                    final(passed, reached);
                    passed = reached;
                    if (finished) break;
                }
            }
            threads.Join(i);
            if (agrees) {
                if (c.Failure) std::rethrow_exception(c.Failure);
                std::swap(carried, c.Run);
            }
        }
    }
    if (spares) {
        for (TChunk& c : chunks) {
            spares->Keep(std::move(c.Run));
            spares->Keep(std::move(c.AtStart));
            for (auto& copy : c.Later) spares->Keep(std::move(copy));
        }
    }
    for (TChunk& c : chunks) {
        if (c.Seconds > report.OtherSeconds) {
            report.OtherSeconds = c.Seconds;
            report.OtherPositions = c.Positions;
        }
    }
    report.End = chunks.empty() ? firstEnd : chunks.back().To;
    return report;
}
