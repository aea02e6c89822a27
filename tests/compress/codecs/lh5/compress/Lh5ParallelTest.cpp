// The compressor's search on several threads must give exactly the one-pass stream: small chunks
// and warm-ups put many chunk borders, window shifts and recomputed chunks into a short input.
#include "compress/codecs/lh5/compress/Lh5ParallelFinder.h"
#include "tests/compress/codecs/lh5/Lh5TestSupport.h"
#include "tests/support/CodecStateSetup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>
#include <utility>

namespace {

// A plan with no threads stands for the one-pass reference.
std::vector<uint8_t> CompressWith(const std::vector<uint8_t>& input, const TLh5ParallelPlan& plan) {
    TDirectCodecRun run(input, INT32_MAX);
    if (plan.Threads == 0)
        Lh5CompressOnePass(run.S);
    else
        Lh5Compress(run.S, plan);
    const uint32_t sum = run.S.InSum;
    auto out = run.Finish();
    uint32_t expected = 0;
    for (uint8_t b : input) expected += b;
    EXPECT_EQ(sum, expected) << "the checksum covers every input byte once";
    return out;
}

TLh5ParallelPlan Plan(int threads, int32_t chunk, int32_t warmup) {
    TLh5ParallelPlan plan;
    plan.Threads = threads;
    plan.ChunkBytes = chunk;
    plan.WarmupBytes = warmup;
    return plan;
}

struct TParallelCase {
    std::string Name;
    std::vector<uint8_t> Input;
};
void PrintTo(const TParallelCase& c, std::ostream* os) {
    *os << c.Name;
}

std::vector<TParallelCase> Cases() {
    std::vector<uint8_t> mixed = WordSalad(150000, 3);
    Append(mixed, RandomBytes(70000, 4));
    Append(mixed, Repeated(90000, 'a'));
    Append(mixed, Periodic(120000, 257, 5));
    Append(mixed, WordSalad(111111, 6));
    return {{"Text", WordSalad(700001, 1)},          {"Random", RandomBytes(400000, 2)},
            {"OneByteValue", Repeated(300000, 0)},   {"Period2", Periodic(300000, 2, 7)},
            {"Period257", Periodic(350000, 257, 8)}, {"Mixed", mixed}};
}

class Lh5Parallel : public ::testing::TestWithParam<TParallelCase> {};

TEST_P(Lh5Parallel, GivesTheOnePassStreamWhateverTheSplit) {
    const auto& input = GetParam().Input;
    const auto onePass = CompressWith(input, Plan(0, 0, 0));
    ASSERT_EQ(Lh5ExpandBytes(onePass, static_cast<int32_t>(input.size())), input);
    // One thread finding rounds ahead; two and three threads with warm-ups long enough to
    // agree, and one window only, after which chunks are often found again from the true
    // dictionary; rounds so short that the input window drops old bytes between them.
    for (const auto& plan : {Plan(1, 40 << 10, 0), Plan(2, 64 << 10, 32 << 10), Plan(3, 40 << 10, 16 << 10),
                             Plan(2, 48 << 10, 8192), Plan(2, 24 << 10, 8192)})
        EXPECT_EQ(CompressWith(input, plan), onePass)
            << plan.Threads << " threads, chunks of " << plan.ChunkBytes << ", warm-up " << plan.WarmupBytes;
}

INSTANTIATE_TEST_SUITE_P(Inputs, Lh5Parallel, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.Name; });

TEST(Lh5Parallel, InputsTooShortForTwoChunksTakeOneThread) {
    for (size_t size : {size_t{1}, size_t{1024}, size_t{1025}, size_t{100000}}) {
        const auto input = WordSalad(size, 9);
        EXPECT_EQ(CompressWith(input, Plan(2, 64 << 10, 32 << 10)), CompressWith(input, Plan(0, 0, 0)))
            << size << " bytes";
    }
}

TEST(Lh5Parallel, CancelInALaterRoundCodesTheInputReadSoFar) {
    // Each refill reports progress; the cancel comes while the second round's input is read.
    const auto input = WordSalad(600000, 10);
    TDirectCodecRun run(input, INT32_MAX);
    int refills = 0;
    run.S.OnProgress = [&refills](int32_t& percent) {
        if (++refills == 30) percent = -1;
    };
    Lh5Compress(run.S, Plan(2, 64 << 10, 32 << 10));
    const auto stream = run.Finish();
    const size_t read = 29 * CodecChunkSize;
    const std::vector<uint8_t> prefix(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(read));
    EXPECT_EQ(stream, CompressWith(prefix, Plan(1, 0, 0)));
}

// The dictionary comparison itself: finders that started at different places agree once both
// have seen enough of the same input, and any difference in the strings held, a node's position
// or the place reached is seen.
TEST(Lh5Dictionary, FindersAgreeAfterAWarmUpAndEveryDifferenceIsSeen) {
    TLh5InputWindow in;
    in.Bytes = Periodic(200000, 257, 11);
    Append(in.Bytes, RandomBytes(100000, 12));
    in.Total = static_cast<int64_t>(in.Bytes.size());
    TLh5FinderRun fromStart(in.View(), 0), warmedUp(in.View(), 65536);
    const int64_t at = 262143;
    fromStart.Advance(at, nullptr, 0);
    warmedUp.Advance(at, nullptr, 0);
    const TLh5DictionaryCopy truth(fromStart.Z);
    EXPECT_TRUE(SameDictionary(truth, warmedUp.Z));

    for (int leaf = Lh5RootBase; leaf < Lh5RootBase + Lh5DictSize; leaf += 997) {
        const uint16_t parent = truth.Trie[leaf].Parent;
        if (parent == 0) continue;
        TLh5DictionaryCopy missing = truth;
        missing.Trie[leaf].Parent = 0;
        EXPECT_FALSE(SameDictionary(missing, warmedUp.Z)) << "string " << leaf << " is missing";
        if (parent < Lh5RootBase) {
            TLh5DictionaryCopy moved = truth;
            moved.Trie[parent].Position ^= Lh5PendingFlag;
            EXPECT_FALSE(SameDictionary(moved, warmedUp.Z)) << "a pending mark differs above " << leaf;
        }
    }
    fromStart.Advance(at + 1, nullptr, 0);
    EXPECT_FALSE(SameDictionary(truth, fromStart.Z)) << "one position later the window has moved";
}

// Runs and copies reused from the spares behave as fresh ones, whatever the run that held their
// storage had left in it.
TEST(Lh5Spares, ReusedRunsAndCopiesAreLikeFreshOnes) {
    TLh5InputWindow in;
    in.Bytes = WordSalad(300000, 20);
    Append(in.Bytes, Periodic(100000, 3, 21));
    in.Total = static_cast<int64_t>(in.Bytes.size());
    const int64_t start = 16 * Lh5DictSize, at = 300000;
    TLh5Spares spares;
    auto used = spares.Run(in.View(), 0);
    used->Advance(in.Total - 1, nullptr, 0);
    spares.Keep(spares.Copy(used->Z));
    const TLh5FinderStorage* storage = &used->Z;
    spares.Keep(std::move(used));

    auto reused = spares.Run(in.View(), start);
    ASSERT_EQ(&reused->Z, storage) << "the spare run's storage is taken";
    TLh5FinderRun fresh(in.View(), start);
    std::vector<TLh5Finding> a(static_cast<size_t>(at - start)), b(a.size());
    reused->Advance(at - 1, a.data(), start + 1);
    fresh.Advance(at - 1, b.data(), start + 1);
    for (size_t i = 0; i < a.size(); ++i)
        ASSERT_TRUE(a[i].Len == b[i].Len && a[i].Pos == b[i].Pos)
            << "offset " << start + 1 + static_cast<int64_t>(i);
    const auto copy = spares.Copy(reused->Z);
    EXPECT_TRUE(SameDictionary(*copy, fresh.Z));
    EXPECT_EQ(copy->Trie.size(), static_cast<size_t>(Lh5NodeRecords));
}

// Chunks found side by side give the findings of one pass: taken as they are where the
// dictionaries agree, found again where they do not.
TEST(Lh5Dictionary, ParallelFindingsAreThoseOfOnePass) {
    for (bool repetitive : {false, true}) {
        TLh5InputWindow in;
        in.Bytes = repetitive ? WordSalad(600000, 13) : RandomBytes(600000, 14);
        in.Total = static_cast<int64_t>(in.Bytes.size());
        const int64_t to = 3 * (64 << 10) + 5000;
        std::vector<TLh5Finding> onePass(static_cast<size_t>(to)), parallel(static_cast<size_t>(to));
        TLh5FinderRun single(in.View(), 0);
        onePass[0] = {single.Z.MatchLen, single.Z.MatchPos};
        single.Advance(to - 1, onePass.data(), 0);

        std::unique_ptr<TLh5FinderRun> carried;
        TLh5Round round{0, 3 * (64 << 10), 64 << 10, 64 << 10, 32 << 10, 3, false};
        int foundAgain = FindInParallel(in, round, carried, parallel.data()).FoundAgain;
        round.From = round.To;
        round.To = to;
        foundAgain += FindInParallel(in, round, carried, parallel.data() + round.From).FoundAgain;
        for (int64_t i = 0; i < to; ++i) {
            ASSERT_EQ(parallel[i].Len, onePass[i].Len) << "at " << i;
            ASSERT_EQ(parallel[i].Pos, onePass[i].Pos) << "at " << i;
        }
        EXPECT_EQ(carried->Offset, to - 1);
        // Word salad from an 18-word vocabulary keeps pending marks that no warm-up reproduces.
        if (repetitive)
            EXPECT_EQ(foundAgain, 2);
        else
            EXPECT_EQ(foundAgain, 0);
    }
}

// An open round ends where its last chunk stopped (a whole number of steps into it, or at the
// round's limit), and only the chunks before the open one reach the Final hook; a closed round
// passes on every finding, in order and without gaps. Either way the findings are those of one
// pass, also where a chunk has to be found again.
TEST(Lh5Dictionary, OpenAndClosedRoundsPassOnTheFindingsOfOnePass) {
    for (bool repetitive : {false, true}) {
        TLh5InputWindow in;
        in.Bytes = repetitive ? WordSalad(700000, 15) : RandomBytes(700000, 16);
        in.Total = static_cast<int64_t>(in.Bytes.size());
        const int64_t to = 650000;
        std::vector<TLh5Finding> onePass(static_cast<size_t>(to)), parallel(static_cast<size_t>(to));
        TLh5FinderRun single(in.View(), 0);
        onePass[0] = {single.Z.MatchLen, single.Z.MatchPos};
        single.Advance(to - 1, onePass.data(), 0);

        std::vector<std::pair<int64_t, int64_t>> passed;
        TLh5RoundHooks hooks;
        hooks.Final = [&passed](int64_t a, int64_t b) { passed.emplace_back(a, b); };
        auto passedWithoutGaps = [&passed](int64_t from, int64_t to) {
            for (const auto& [a, b] : passed) {
                if (a != from || b <= a) return false;
                from = b;
            }
            return from == to;
        };
        std::unique_ptr<TLh5FinderRun> carried;
        TLh5Round open{0, 400000, 64 << 10, 64 << 10, 32 << 10, 3, true};
        const int64_t end = FindInParallel(in, open, carried, parallel.data(), hooks).End;
        const int64_t openFrom = 2 * (64 << 10);
        EXPECT_TRUE(end == open.To || (end > openFrom && (end - openFrom) % Lh5DictSize == 0)) << end;
        EXPECT_TRUE(passedWithoutGaps(0, openFrom));
        EXPECT_EQ(carried->Offset, end - 1);

        passed.clear();
        const TLh5Round closed{end, to, 40 << 10, 64 << 10, 32 << 10, 3, false};
        FindInParallel(in, closed, carried, parallel.data() + end, hooks);
        EXPECT_TRUE(passedWithoutGaps(end, to));
        EXPECT_EQ(carried->Offset, to - 1);
        for (int64_t i = 0; i < to; ++i) {
            ASSERT_EQ(parallel[i].Len, onePass[i].Len) << "at " << i;
            ASSERT_EQ(parallel[i].Pos, onePass[i].Pos) << "at " << i;
        }
    }
}

// A hook that throws ends the round at once: the other threads are told to give up and are
// joined, and the exception reaches the caller.
TEST(Lh5Dictionary, AHookThatThrowsEndsTheRound) {
    TLh5InputWindow in;
    in.Bytes = RandomBytes(900000, 17);
    in.Total = static_cast<int64_t>(in.Bytes.size());
    std::vector<TLh5Finding> found(in.Bytes.size());
    for (bool inFinal : {false, true}) {
        TLh5RoundHooks hooks;
        int calls = 0;
        hooks.Final = [&](int64_t, int64_t) {
            if (inFinal && ++calls == 2) throw std::runtime_error("stop");
        };
        hooks.Before = [&] {
            if (!inFinal) throw std::runtime_error("stop");
        };
        std::unique_ptr<TLh5FinderRun> carried;
        const TLh5Round round{0, 800000, 16384, 256 << 10, 32 << 10, 3, false};
        EXPECT_THROW(FindInParallel(in, round, carried, found.data(), hooks), std::runtime_error);
    }
}

// A chunk whose start disagrees (word salad keeps pending marks that a warm-up of one window
// does not reproduce) is found again only up to the first later copy of its dictionary that
// agrees (once random bytes have replaced the salad), in a closed round while the chunk still
// runs and in an open one after it stopped.
TEST(Lh5Dictionary, AChunkThatStartsWrongIsTakenOverFromALaterCopy) {
    TLh5InputWindow in;
    in.Bytes = WordSalad(400000, 18);
    Append(in.Bytes, RandomBytes(1200000, 19));
    in.Total = static_cast<int64_t>(in.Bytes.size());
    const int64_t to = 1500000;
    std::vector<TLh5Finding> onePass(static_cast<size_t>(to));
    TLh5FinderRun single(in.View(), 0);
    onePass[0] = {single.Z.MatchLen, single.Z.MatchPos};
    single.Advance(to - 1, onePass.data(), 0);
    for (bool openEnd : {false, true}) {
        std::vector<TLh5Finding> parallel(static_cast<size_t>(to));
        std::unique_ptr<TLh5FinderRun> carried;
        TLh5RoundHooks hooks;
        // An open end stops once this thread is done: give the chunk time to pass some copies.
        hooks.After = [] { std::this_thread::sleep_for(std::chrono::milliseconds(150)); };
        const TLh5Round round{0, to, 64 << 10, 64 << 10, Lh5DictSize, 2, openEnd};
        const TLh5RoundReport report = FindInParallel(in, round, carried, parallel.data(), hooks);
        ASSERT_EQ(report.FoundAgain, 1) << "open end " << openEnd;
        EXPECT_GT(report.FoundAgainPositions, 0);
        // Copies come every 256 KiB; an open end may have stopped before the second one.
        if (report.End >= (64 << 10) + 2 * (256 << 10))
            EXPECT_LT(report.FoundAgainPositions, report.End - (64 << 10)) << "a later copy agreed";
        else
            EXPECT_TRUE(openEnd) << "a closed round runs to its end";
        EXPECT_EQ(carried->Offset, report.End - 1);
        for (int64_t i = 0; i < report.End; ++i) {
            ASSERT_EQ(parallel[i].Len, onePass[i].Len) << "at " << i;
            ASSERT_EQ(parallel[i].Pos, onePass[i].Pos) << "at " << i;
        }
    }
}

// A stream that fails after Limit bytes, read or written.
class TFailingStream : public TMemoryStream {
public:
    TFailingStream(std::vector<uint8_t> bytes, int64_t limit)
        : TMemoryStream(std::move(bytes)), Limit(limit) {}
    int32_t Read(void* buffer, int32_t count) override {
        if (Position() + count > Limit) throw EStreamError("read failure");
        return TMemoryStream::Read(buffer, count);
    }
    void Write(const void* buffer, int32_t count) override {
        if (Size() + count > Limit) throw EStreamError("write failure");
        TMemoryStream::Write(buffer, count);
    }
    int64_t Limit;
};

// A source that fails while a round reads ahead for the next one, and a destination that fails
// while the last round codes findings as they come: the stream's error ends the search on all
// threads and reaches the caller (the ASan build's leak checker sees the storage released).
TEST(Lh5Parallel, AStreamErrorInAnyRoundReachesTheCaller) {
    const auto input = WordSalad(600000, 20);
    for (bool failingSource : {true, false}) {
        std::vector<uint8_t> in(CodecChunkSize), out(CodecChunkSize);
        TFailingStream source(input, failingSource ? 400000 : INT64_MAX);
        TFailingStream dest({}, failingSource ? INT64_MAX : 60000);
        TCodecState s;
        PrepareCodecState(s, in.data(), out.data(), source, dest, static_cast<int32_t>(input.size()),
                          INT32_MAX);
        try {
            Lh5Compress(s, Plan(2, 64 << 10, 32 << 10));
            FAIL() << "no exception";
        } catch (const EStreamError& e) {
            EXPECT_EQ(e.Message, failingSource ? "read failure" : "write failure");
        }
    }
}

} // namespace
