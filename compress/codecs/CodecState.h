// The state object that every codec works through: buffered byte input and output in 8192-byte
// chunks, the byte sums that serve as checksums, the key transform of locked members, the output
// budget that stops a compressor whose output would outgrow its input, and per-chunk progress.
//
// ReadByte and WriteByte are inline: their common path is a pointer comparison, a sum and an
// increment; everything else (refills, flushes, progress, yielding) sits behind the rare branch.
#pragma once

#include "platform/Exception.h"
#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <functional>

// A compressor's output would grow past its input.
class EUnableToCompress : public Exception {
public:
    EUnableToCompress() : Exception("Could not compress data, will store instead") {}
};

// Direction of an operation.
enum TProcessMode : uint8_t { pmCompress = 0, pmExpand = 1 };

// Progress in percent; the handler may answer -1 to cancel.
using TShowProgressEvent = std::function<void(int32_t& PercentageDone)>;

constexpr int32_t CodecChunkSize = 8192;

class TCodecState {
public:
    bool EndOfInput = false;
    uint8_t* InBuffer = nullptr;
    uint8_t* OutBuffer = nullptr;
    uint8_t* InEnd = nullptr;
    uint8_t* InPos = nullptr;
    uint8_t* OutEnd = nullptr;
    uint8_t* OutPos = nullptr;
    TStream* Source = nullptr;
    TStream* Dest = nullptr;
    uint32_t InSum = 0;
    uint32_t OutSum = 0;
    int32_t InRemaining = 0;
    int32_t ChunkSize = 0;
    int32_t InFetched = 0;
    // Bytes written; 64 bits so that an expansion of the full 2^31 - 1 budget cannot overflow it.
    int64_t OutCount = 0;
    bool KeyIn = false;
    bool KeyOut = false;
    uint8_t KeyBytes[4] = {};
    int16_t KeyIndex = 0;
    int32_t OutBudget = 0;
    TShowProgressEvent OnProgress;

    // Refills InBuffer; returns false (EndOfInput left set) when no byte can be delivered.
    bool RefillInput();
    // Writes the full OutBuffer to Dest (after yielding) and starts it again.
    void FlushFullBuffer();
};

int32_t ProgressPercent(int32_t done, int32_t total);

// The sum of n bytes, modulo 2^32: what InSum gains when they are read.
uint32_t ByteSum(const uint8_t* p, size_t n);

inline uint8_t ApplyKey(TCodecState& s, uint8_t b) {
    b ^= s.KeyBytes[s.KeyIndex];
    s.KeyIndex = static_cast<int16_t>((s.KeyIndex + 1) & 3);
    return b;
}

// The next input byte, or 0 with EndOfInput set when none can be delivered.
inline uint8_t ReadByte(TCodecState& s) {
    if (s.InPos == s.InEnd) [[unlikely]] {
        if (!s.RefillInput()) return 0;
    }
    uint8_t b = *s.InPos++;
    s.InSum += b;
    if (s.KeyIn) [[unlikely]]
        b = ApplyKey(s, b);
    return b;
}

[[noreturn]] void ThrowUnableToCompress();

// Appends one output byte; raises EUnableToCompress once the budget is used up.
inline void WriteByte(TCodecState& s, uint8_t b) {
    if (s.OutBudget <= 0) [[unlikely]]
        ThrowUnableToCompress();
    --s.OutBudget;
    if (s.OutPos == s.OutEnd) [[unlikely]]
        s.FlushFullBuffer();
    if (s.KeyOut) [[unlikely]]
        b = ApplyKey(s, b);
    *s.OutPos++ = b;
    s.OutSum += b;
    ++s.OutCount;
}

// Writes what is left in OutBuffer to Dest in one complete write.
void FlushOutput(TCodecState& s);
