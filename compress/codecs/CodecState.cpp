// The rare paths of the codec state: refilling the input chunk with its progress report and
// flushing the output buffer.
#include "compress/codecs/CodecState.h"

#include "platform/Yield.h"

int32_t ProgressPercent(int32_t done, int32_t total) {
    if (total <= 100000) return done * 100 / total;
    return done / (total / 100);
}

bool TCodecState::RefillInput() {
    EndOfInput = true;
    if (InRemaining == 0) return false;
    if (InRemaining < ChunkSize) ChunkSize = InRemaining;
    int32_t n = Source->Read(InBuffer, ChunkSize);
    InRemaining -= n;
    if (n == 0) return false;
    InEnd = InBuffer + n;
    InPos = InBuffer;
    if (OnProgress) {
        InFetched += n;
        int32_t percent = ProgressPercent(InFetched, InFetched + InRemaining);
        OnProgress(percent);
        if (percent == -1) {
            // Cancelled: the chunk is dropped and nothing more is fetched, so even a caller that
            // read on would only see the end of the input.
            InPos = InEnd;
            InRemaining = 0;
            return false;
        }
    }
    YieldToOtherThreads();
    EndOfInput = false;
    return true;
}

void TCodecState::FlushFullBuffer() {
    YieldToOtherThreads();
    Dest->Write(OutBuffer, CodecChunkSize);
    OutPos = OutBuffer;
}

void ThrowUnableToCompress() {
    throw EUnableToCompress();
}

void FlushOutput(TCodecState& s) {
    if (s.OutPos != s.OutBuffer) s.Dest->Write(s.OutBuffer, static_cast<int32_t>(s.OutPos - s.OutBuffer));
}
