// The LH5 match finder on several cores, with exactly the results of one pass.
//
// The finder's result at each position (MatchLen and MatchPos after the position is entered)
// depends on the whole history only through the dictionary, and a dictionary that starts empty
// some way before a position is usually the same dictionary by the time it gets there: it holds
// the same strings, with the same newest positions on its nodes. (Not always: in very repetitive
// input, long-lived nodes near the root keep positions whose passing-on to their parents is
// still pending, and that state reaches back further than any warm-up.) So the input is taken
// in rounds of one chunk per thread. The first chunk of a round continues the true dictionary;
// every other chunk starts with an empty one a warm-up before its start and, on reaching it,
// keeps a copy of its dictionary. Once the chunk before it is done, that copy is compared with the
// dictionary the chunk before ends with; where they differ, the chunk is found again from the true
// dictionary. The results are therefore those of one pass, whatever the data.
//
// Rounds before the last one have an open end: the last chunk goes on until the calling thread has
// done its share (its chunk and the coding around it), so no core waits for another however the
// speeds vary; the last round ends on all threads at once, and its findings are passed on as soon
// as they are final.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/compress/Lh5MatchFinder.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// How to split the work. Chunk and warm-up sizes are multiples of 8192, so that every chunk's
// window slides at the same input offsets as in one pass.
struct TLh5ParallelPlan {
    int Threads = 1;
    int32_t ChunkBytes = 2 << 20;
    int32_t WarmupBytes = 128 << 10;
};

// A part of the input in memory: bytes [Base, End) at Data.
struct TLh5InputView {
    const uint8_t* Data = nullptr;
    int64_t Base = 0, End = 0;
};

// The part of the input that the search still needs, in memory: bytes [Base, Base + size).
// While finders run, bytes are only appended, within the reserved capacity, so that the bytes
// they read never move.
struct TLh5InputWindow {
    std::vector<uint8_t> Bytes;
    int64_t Base = 0;
    int64_t Total = 0; // the input's length; reading stops there
    int64_t End() const { return Base + static_cast<int64_t>(Bytes.size()); }
    TLh5InputView View() const { return {Bytes.data(), Base, End()}; }
};

// One match finder walking through the input.
class TLh5FinderRun {
public:
    // Starts with an empty dictionary at offset start (a multiple of 8192) and enters it.
    TLh5FinderRun(const TLh5InputView& in, int64_t start);
    TLh5FinderRun(const TLh5FinderRun&) = delete;
    TLh5FinderRun& operator=(const TLh5FinderRun&) = delete;
    // Starts again as the constructor does, in the storage it already has.
    void Restart(const TLh5InputView& in, int64_t start);

    // The input offset that the run reads next, and pointing it there in a changed window.
    int64_t ReadOffset(const TLh5InputView& in) const;
    void PointAt(const TLh5InputView& in, int64_t offset);
    // Advances position by position up to offset `to`, storing each finding at out[offset - outBase].
    void Advance(int64_t to, TLh5Finding* out, int64_t outBase);

    int64_t Offset = 0; // the position entered last
    TCodecState S;      // reads straight from the window's bytes
    TLh5FinderStorage Z;

private:
    // Reads from offset start of a freshly allocated or cleared storage and enters it.
    void Begin(const TLh5InputView& in, int64_t start);
};

// A copy of the parts of a dictionary that decide the finder's results.
struct TLh5DictionaryCopy {
    explicit TLh5DictionaryCopy(const TLh5FinderStorage& z);
    // Copies z over what the copy held, in the storage it already has.
    void Take(const TLh5FinderStorage& z);
    std::vector<TLh5TrieNode> Trie;
    std::vector<uint8_t> Level;
    std::vector<uint8_t> ChildCount;
    int16_t WindowPos, MatchLen, MatchPos;
};

// Finder runs and dictionary copies kept from one round for the next, so that rounds reuse their
// memory instead of having the system map and zero fresh pages for every run and every copy
// (about seven thousand page faults on a 40 MB input). Safe to use from several threads.
class TLh5Spares {
public:
    // A run started at offset start, in a spare run's storage when there is one.
    std::unique_ptr<TLh5FinderRun> Run(const TLh5InputView& in, int64_t start);
    // A copy of z's dictionary, in a spare copy's storage when there is one.
    std::unique_ptr<TLh5DictionaryCopy> Copy(const TLh5FinderStorage& z);
    void Keep(std::unique_ptr<TLh5FinderRun> run);
    void Keep(std::unique_ptr<TLh5DictionaryCopy> copy);

private:
    std::mutex M;
    std::vector<std::unique_ptr<TLh5FinderRun>> Runs;
    std::vector<std::unique_ptr<TLh5DictionaryCopy>> Copies;
};

// True when the copy and z hold the same strings under the same node levels and positions (node
// numbers may differ), with the same last match: from here on they find the same matches.
bool SameDictionary(const TLh5DictionaryCopy& copy, const TLh5FinderStorage& z);

// Seconds of wall time since start, for the costs that balance the rounds.
inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// One round of the parallel search: positions [From, To) at most, the first FirstChunk of them
// on the calling thread (continuing the true finder), the others in chunks of ChunkBytes on
// Threads - 1 more threads, the last chunk taking the rest.
struct TLh5Round {
    int64_t From = 0, To = 0;
    int64_t FirstChunk = 0;
    int32_t ChunkBytes = 0;
    int32_t WarmupBytes = 0;
    int Threads = 1;
    // The last chunk stops early, at a multiple of 8192 from its start, once the calling thread
    // has done its chunk and `After`; the round then ends there (TLh5RoundReport::End). Without
    // it the round runs to To and the other chunks' findings are passed to `Final` as they become
    // final.
    bool OpenEnd = false;
};

// What the calling thread does besides its chunk, in this order: Before; the first chunk; Final
// with its findings; After; in a round without open end, Final with every later range of
// findings as soon as it is final, in input order.
struct TLh5RoundHooks {
    std::function<void()> Before;
    std::function<void(int64_t, int64_t)> Final; // findings [a, b) are final
    std::function<void()> After;
};

// What a round of FindInParallel took.
struct TLh5RoundReport {
    int64_t End = 0;                 // the round found positions [From, End)
    int FoundAgain = 0;              // chunks whose start disagreed with the true dictionary
    int64_t FoundAgainPositions = 0; // positions of them found again by the true finder
    double FirstSeconds = 0;         // the first chunk's search on the calling thread
    double OtherSeconds = 0;         // the slowest other chunk, warm-up included
    int64_t OtherPositions = 0;      // positions searched by that chunk, warm-up included
};

// Finds a round of positions of the input window. carried is the true finder, standing at
// From - 1 (or null when From is 0); on return it stands at End - 1. Findings go to
// out[offset - From]. Runs and copies come from spares and go back to it, when given.
TLh5RoundReport FindInParallel(const TLh5InputWindow& in, const TLh5Round& round,
                               std::unique_ptr<TLh5FinderRun>& carried, TLh5Finding* out,
                               const TLh5RoundHooks& hooks = {}, TLh5Spares* spares = nullptr);
