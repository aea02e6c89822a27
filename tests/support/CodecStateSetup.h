// Prepares a codec state as the dispatcher does, over buffers and streams of the test's choosing.
#pragma once

#include "compress/codecs/CodecState.h"

#include <cstdint>

// Input and output chunk buffers of CodecChunkSize bytes each; inRemaining bytes may be read from
// source; at most budget bytes may be written to dest.
inline void PrepareCodecState(TCodecState& s, uint8_t* in, uint8_t* out, TStream& source, TStream& dest,
                              int32_t inRemaining, int32_t budget) {
    s.InBuffer = in;
    s.OutBuffer = out;
    s.InPos = s.InEnd = s.InBuffer;
    s.OutPos = s.OutBuffer;
    s.OutEnd = s.OutBuffer + CodecChunkSize;
    s.Source = &source;
    s.Dest = &dest;
    s.InRemaining = inRemaining;
    s.ChunkSize = CodecChunkSize;
    s.OutBudget = budget;
}
