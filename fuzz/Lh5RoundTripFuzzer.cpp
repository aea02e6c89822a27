// libFuzzer target of the LH5 compressor: any input that the compressor accepts must survive the
// round trip, and an input that cannot be compressed must raise EUnableToCompress, and only when
// its stream, made without a budget, is longer than the input.
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "fuzz/RoundTripCheck.h"
#include "tests/support/CodecStateSetup.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
// Size of the stream of input when the output may grow without limit.
int64_t UnlimitedStreamSize(const std::vector<uint8_t>& input) {
    std::vector<uint8_t> in(CodecChunkSize), out(CodecChunkSize);
    TMemoryStream source(input), dest;
    TCodecState s;
    PrepareCodecState(s, in.data(), out.data(), source, dest, static_cast<int32_t>(input.size()), INT32_MAX);
    Lh5Compress(s);
    return s.OutCount;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!CheckRoundTrip(data, size, miLH5) &&
        UnlimitedStreamSize({data, data + size}) <= static_cast<int64_t>(size))
        std::abort();
    return 0;
}
