// The one place where a member's bytes pass through a codec: prepares the shared state, runs the
// codec of the method index, flushes the output and hands back the checksum, with the progress
// protocol 0, one report per input chunk, 100. The two buffers are released on every way out.
#include "compress/Archiver.h"
#include "compress/CodecTable.h"

#include <climits>

namespace {
// Owns a run's two buffers and clears the state's references to them when the run ends.
class TRunBuffers {
public:
    explicit TRunBuffers(TCodecState& s)
        : State(s), In(new uint8_t[CodecChunkSize]), Out(new uint8_t[CodecChunkSize]) {
        s.InBuffer = In.get();
        s.OutBuffer = Out.get();
    }
    ~TRunBuffers() {
        State.InBuffer = State.InPos = State.InEnd = nullptr;
        State.OutBuffer = State.OutPos = State.OutEnd = nullptr;
    }

private:
    TCodecState& State;
    std::unique_ptr<uint8_t[]> In, Out;
};

void PrepareState(TCodecState& s, TStream& dest, TStream& source, int32_t sourceSize, int32_t key,
                  TProcessMode mode, bool scramble) {
    s.Source = &source;
    s.Dest = &dest;
    s.InPos = s.InEnd = s.InBuffer;
    s.OutPos = s.OutBuffer;
    s.OutEnd = s.OutBuffer + CodecChunkSize;
    s.EndOfInput = false;
    s.InRemaining = sourceSize;
    s.ChunkSize = CodecChunkSize;
    s.InSum = s.OutSum = 0;
    s.InFetched = 0;
    s.OutBudget = mode == pmExpand ? INT32_MAX : sourceSize;
    s.KeyOut = mode == pmCompress && key != 0;
    s.KeyIn = mode == pmExpand && key != 0 && scramble;
    for (int i = 0; i < 4; ++i) s.KeyBytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(key) >> (8 * i));
    s.KeyIndex = 0;
    s.OutCount = mode == pmCompress ? 0 : 1;
}
} // namespace

int64_t TArchiver::RunCodec(TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize,
                            uint8_t method, uint32_t& checksum, TProcessMode mode, bool scramble) {
    TCodecState& s = *State;
    s.OnProgress = OnShowProgress;
    if (OnShowProgress) {
        int32_t percent = 0;
        OnShowProgress(percent);
        if (percent == -1) return 0;
    }
    {
        TRunBuffers buffers(s);
        PrepareState(s, dest, source, sourceSize < 0 ? 0 : sourceSize, Key, mode, scramble);
        if (const TCodecEntry* codec = FindCodec(method)) {
            if (mode == pmCompress) {
                if (codec->Compress) codec->Compress(s);
            } else
                codec->Expand(s, destSize);
        }
        checksum = mode == pmCompress ? s.InSum : s.OutSum;
        FlushOutput(s);
    }
    if (OnShowProgress) {
        int32_t percent = 100;
        OnShowProgress(percent);
    }
    return s.OutCount;
}
