// Decoding ahead: a thread of its own runs a dense archive's stream through the members that
// follow the one being expanded, while the expansion's thread creates, writes and replaces files.
// The expansion reads the members' stored bytes and queues them (the thread never touches the
// archive's stream); taking a member replays what its decoding did: the same progress reports
// with the same bytes passed on before each, the same error, in the same order as decoding it
// there and then would have made them.
//
// The memory is the decoder's window, the stored bytes queued and the output of the members
// decoded and not taken yet: at most OutputBudget bytes, or one member's.
#pragma once

#include "compress/Archiver.h"
#include "compress/dense/DenseDecoder.h"
#include "compress/dense/DenseMethod.h"
#include "platform/process/Pages.h"
#include "platform/process/Thread.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Bytes held ahead: allocated uncleared, and handed on to a later member once taken. Memory the
// process has touched costs nothing more; new memory comes from the system zeroed page by page,
// which costs more than decoding into it (a third of the thread's time, for as many pages as the
// members have bytes).
class TAheadBytes {
public:
    TAheadBytes() = default;
    TAheadBytes(TAheadBytes&& other) noexcept { *this = std::move(other); }
    TAheadBytes& operator=(TAheadBytes&& other) noexcept {
        Bytes = std::move(other.Bytes);
        Room = std::exchange(other.Room, 0);
        Size = std::exchange(other.Size, 0);
        return *this;
    }

    uint8_t* Data() const { return Bytes.get(); }
    size_t Capacity() const { return Room; }
    // Room for count bytes at least; what it held is lost when it grows. Every byte is about to
    // be filled: the pages are made present at once.
    void Reserve(size_t count) {
        if (count <= Room) return;
        Bytes.reset(new uint8_t[count]);
        Room = count;
        MakePagesPresent(Bytes.get(), count);
    }

    size_t Size = 0; // the bytes in use

private:
    std::unique_ptr<uint8_t[]> Bytes;
    size_t Room = 0;
};

// A member to decode: what its header says, and its stored bytes.
struct TAheadMember {
    int64_t DataStart = 0; // where its stored bytes start in the archive's stream
    std::string Name;
    TMemberHeader Header;
    TAheadBytes Stored;
};

class TDenseAhead {
public:
    // Output held for the expansion; a member that expands to more is decoded in place.
    static constexpr int32_t OutputBudget = 8 << 20;
    // Stored bytes held for the thread; a member with more is decoded in place.
    static constexpr int32_t StoredBudget = 4 << 20;
    // Buffers of members taken, kept for the next ones: at most SpareCount, of SpareBudget bytes.
    static constexpr size_t SpareBudget = OutputBudget + StoredBudget;
    static constexpr int SpareCount = 16;

    // Starts the thread; raises Exception when the system cannot make one.
    TDenseAhead();
    ~TDenseAhead();
    TDenseAhead(const TDenseAhead&) = delete;
    TDenseAhead& operator=(const TDenseAhead&) = delete;

    // Forgets every member queued, once the thread is done with the one it is decoding; the next
    // member is the first of the archive read through source (none: nullptr), with or without the
    // branch filter.
    void Restart(const TStream* source, bool branchFilter);
    const TStream* Source() const { return ArchiveStream; }

    // Reads the next member's stored bytes (in archive order, at source's position) and queues
    // it; false when the stream ends before them.
    bool Add(TStream& source, const TMemberHeader& header, std::string name);
    // The first member not taken yet, or nullptr.
    const TAheadMember* Front() const;
    int64_t StoredQueued() const { return QueuedStored; }

    // Takes the first member: writes its output to dest (nothing kept when dest is null) and
    // reports progress as its decoding did; returns its byte sum. False when the first progress
    // report cancels (the stream's state is then lost: Restart). Raises what its decoding raised.
    bool Take(TStream* dest, const TShowProgressEvent& progress, uint32_t& sum);
    // Decodes the next member here, on the calling thread, with the stream's state left by the
    // members taken before it (nothing may be queued): for a member too large to hold.
    bool DecodeHere(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                    const TShowProgressEvent& progress, uint32_t& sum);

private:
    struct TJob;
    class TOutput;

    void Run();
    void DecodeJob(TJob& job);
    // Under Changed: the smallest spare buffer with room for count bytes (a new one if none has),
    // and a buffer given back, kept while the spares stay within SpareBudget.
    TAheadBytes SpareBytes(size_t count);
    void KeepSpare(TAheadBytes bytes);
    // The decoder ready for an archive (reset when the archive changed since its last use).
    TDenseDecoder& DecoderFor(uint64_t generation);

    TDenseDecoder Decoder;
    uint64_t DecoderGeneration = 0;
    const TStream* ArchiveStream = nullptr;
    bool BranchFilter = false;
    int64_t QueuedStored = 0;
    // The expansion's thread alone changes the queue; the thread reads it under Changed. Jobs
    // are only ever dropped while the thread does not decode.
    std::vector<std::unique_ptr<TJob>> Jobs;
    size_t Taken = 0; // jobs at the front that the expansion is done with
    // Guarded by Changed:
    size_t Started = 0;   // jobs that the thread has begun or finished
    int64_t Buffered = 0; // output of the jobs decoded or being decoded, not taken
    uint64_t Generation = 1;
    bool Broken = false;   // a member failed: the stream's state is lost until Restart
    bool Decoding = false; // the thread is inside a member's decoding (and uses Decoder)
    bool Ending = false;
    TAheadBytes Spares[SpareCount]; // empty ones have no capacity
    size_t SpareBytesHeld = 0;
    TLockedCondition Changed;
    std::unique_ptr<TThread> Thread; // last: it ends first
};
