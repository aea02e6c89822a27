// Runs an lh5 expander entry on a codec state prepared as the dispatcher prepares it, and
// records everything a caller can observe: the output, the checksum and byte count, how far
// the source was read, and one event log in which source reads, destination writes and
// progress reports appear in the order they happened.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/expand/Lh5Expand.h"
#include "platform/Stream.h"
#include "tests/support/CodecStateSetup.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

// A memory stream that appends its reads and writes to a shared log.
class TLoggingStream : public TMemoryStream {
public:
    TLoggingStream(std::vector<uint8_t> bytes, std::vector<std::string>& log)
        : TMemoryStream(std::move(bytes)), Log(log) {}
    int32_t Read(void* buffer, int32_t count) override {
        int32_t n = TMemoryStream::Read(buffer, count);
        Log.push_back("read " + std::to_string(count) + "->" + std::to_string(n));
        return n;
    }
    void Write(const void* buffer, int32_t count) override {
        Log.push_back("write " + std::to_string(count));
        TMemoryStream::Write(buffer, count);
    }

private:
    std::vector<std::string>& Log;
};

struct TExpandOutcome {
    std::vector<uint8_t> Output;
    uint32_t OutSum = 0;
    uint32_t InSum = 0;
    int64_t OutCount = 0;
    int64_t SourcePosition = 0;
    std::vector<std::string> Log;
    std::string Error; // message of the exception that ended the run, if any

    bool operator==(const TExpandOutcome&) const = default;
};

using TExpandEntry = void (*)(TCodecState&, int32_t);

struct TExpandOptions {
    int32_t SourceSize = -1;    // bytes the codec may read; -1: the whole source
    int32_t Key = 0;            // applied to the input (the member is scrambled)
    bool WithProgress = true;   // install a progress handler that logs its calls
    int32_t CancelAtReport = 0; // answer -1 at this report (1 = the first refill); 0: never
    int32_t OutBudget = INT32_MAX;
};

// Expands source (which may hold more bytes than SourceSize) with the given entry.
inline TExpandOutcome RunExpander(TExpandEntry entry, const std::vector<uint8_t>& source, int32_t destSize,
                                  const TExpandOptions& options = {}) {
    TExpandOutcome r;
    TLoggingStream in(source, r.Log), out({}, r.Log);
    std::vector<uint8_t> inBuffer(CodecChunkSize), outBuffer(CodecChunkSize);
    TCodecState s;
    PrepareCodecState(s, inBuffer.data(), outBuffer.data(), in, out,
                      options.SourceSize < 0 ? static_cast<int32_t>(source.size()) : options.SourceSize,
                      options.OutBudget);
    s.OutCount = 1;
    s.KeyIn = options.Key != 0;
    for (int i = 0; i < 4; ++i)
        s.KeyBytes[i] = static_cast<uint8_t>(static_cast<uint32_t>(options.Key) >> (8 * i));
    int reports = 0;
    if (options.WithProgress) {
        s.OnProgress = [&](int32_t& percent) {
            r.Log.push_back("progress " + std::to_string(percent));
            if (++reports == options.CancelAtReport) percent = -1;
        };
    }
    try {
        entry(s, destSize);
        FlushOutput(s);
    } catch (const Exception& e) {
        r.Error = e.Message;
    }
    r.Output = out.Bytes;
    r.OutSum = s.OutSum;
    r.InSum = s.InSum;
    r.OutCount = s.OutCount;
    r.SourcePosition = in.Position();
    return r;
}

inline uint32_t SumOf(const std::vector<uint8_t>& bytes) {
    uint32_t sum = 0;
    for (uint8_t b : bytes) sum += b;
    return sum;
}
