// A codec state over memory streams, prepared as the dispatcher prepares it but with the output
// budget of the caller's choice (the dispatcher always limits a compressor to its input size,
// which incompressible test data would exceed), for running a codec directly.
#pragma once

#include "compress/codecs/CodecState.h"
#include "tests/support/CodecStateSetup.h"
#include "tests/support/TestStreams.h"

#include <cstdint>
#include <vector>

class TDirectCodecRun {
public:
    TDirectCodecRun(std::vector<uint8_t> input, int32_t budget) : Source(std::move(input)) {
        PrepareCodecState(S, In.data(), Out.data(), Source, Dest, static_cast<int32_t>(Source.Bytes.size()),
                          budget);
    }
    std::vector<uint8_t> Finish() {
        FlushOutput(S);
        return Dest.Bytes;
    }

    TCodecState S;
    TRecordingStream Source, Dest;

private:
    std::vector<uint8_t> In = std::vector<uint8_t>(CodecChunkSize);
    std::vector<uint8_t> Out = std::vector<uint8_t>(CodecChunkSize);
};
