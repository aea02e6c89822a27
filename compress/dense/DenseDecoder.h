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

struct TDenseDecoder {
    TDenseDecoder();

    // Starts the stream again: the next member is the first of an archive.
    void Reset() { ZSTD_DCtx_reset(Context.get(), ZSTD_reset_session_only); }
    // Runs sourceSize stored bytes through the stream into dest (nothing is kept when dest is
    // null), requiring exactly destSize bytes of output; returns their byte sum. With a progress
    // handler: 0 first (-1 cancels: false comes back and nothing is read), then once per piece.
    // With branchFilter, a member that starts as an executable is converted back on its way out.
    // With place (room for destSize bytes), the output is decoded there and passed to dest from
    // there, in the same pieces.
    bool Decode(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                const TShowProgressEvent& progress, bool branchFilter, uint32_t& sum,
                uint8_t* place = nullptr);

    std::unique_ptr<ZSTD_DCtx, TFreeDCtx> Context;
    std::unique_ptr<uint8_t[]> In;
    size_t OutSize;
    std::unique_ptr<uint8_t[]> Out;
};
