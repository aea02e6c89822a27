// One zstd decompression stream and the buffers it is run with: the state that a dense archive's
// members share, member after member.
#pragma once

#include "compress/Archiver.h"

#include <zstd.h>

#include <cstdint>
#include <memory>

struct TFreeDCtx {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

// The block zstd keeps its window in, behind its input piece, filled from its start on: its pages
// are made present a step ahead of the decoding, in one request a step rather than a page fault
// each (platform/process/Pages.h). Which block that is, and its layout, are zstd's: a guess that misses
// costs the faults it would have saved, nothing else.
class TWindowBlock {
public:
    // Smaller blocks are zstd's other memory (its context, or the window of a small stream).
    static constexpr size_t MinSize = 1 << 20;
    // Made present at least this far ahead, at most one request a step.
    static constexpr size_t Step = 1 << 20;

    void Allocated(uint8_t* start, size_t size);
    void Freed(const void* start);
    // The stream will have put out this many bytes since its start.
    void Want(int64_t produced);

private:
    void Extend();

    uint8_t* Start = nullptr;
    size_t Size = 0;
    size_t Present = 0; // the bytes from Start on made present
    size_t Wanted = 0;
};

struct TDenseDecoder {
    TDenseDecoder();

    // Starts the stream again: the next member is the first of an archive.
    void Reset() {
        ZSTD_DCtx_reset(Context.get(), ZSTD_reset_session_only);
        Produced = 0;
    }
    // Runs sourceSize stored bytes through the stream into dest (nothing is kept when dest is
    // null), requiring exactly destSize bytes of output; returns their byte sum. With a progress
    // handler: 0 first (-1 cancels: false comes back and nothing is read), then once per piece.
    // With branchFilter, a member that starts as an executable is converted back on its way out.
    // With place (room for destSize bytes), the output is decoded there and passed to dest from
    // there, in the same pieces.
    bool Decode(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                const TShowProgressEvent& progress, bool branchFilter, uint32_t& sum,
                uint8_t* place = nullptr);

    // Before the context, which it outlives: zstd's memory comes through it.
    std::unique_ptr<TWindowBlock> Window;
    std::unique_ptr<ZSTD_DCtx, TFreeDCtx> Context;
    int64_t Produced = 0; // bytes put out since the stream's start
    std::unique_ptr<uint8_t[]> In;
    size_t OutSize;
    std::unique_ptr<uint8_t[]> Out;
};
