// libFuzzer target of the LH5 compressor: any input that the compressor accepts within its budget
// (no more output than input) must expand back to the same bytes with the same byte sum, and the
// expander must then have read the compressed member to its last byte. An input that cannot be
// compressed must raise EUnableToCompress, and only when its stream, made without a budget, is
// longer than the input.
#include "compress/Archiver.h"
#include "compress/codecs/Lh5Compress.h"

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
    s.InBuffer = in.data();
    s.OutBuffer = out.data();
    s.InPos = s.InEnd = s.InBuffer;
    s.OutPos = s.OutBuffer;
    s.OutEnd = s.OutBuffer + CodecChunkSize;
    s.Source = &source;
    s.Dest = &dest;
    s.InRemaining = static_cast<int32_t>(input.size());
    s.ChunkSize = CodecChunkSize;
    s.OutBudget = INT32_MAX;
    CompressLH5(s);
    return s.OutCount;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> original(data, data + size);
    const auto originalSize = static_cast<int32_t>(size);
    TArchiver archiver;
    TMemoryStream input(original), coded;
    uint32_t inSum = 0;
    int64_t codedSize = 0;
    try {
        codedSize =
            archiver.RunCodec(coded, input, originalSize, originalSize, miLH5, inSum, pmCompress, false);
    } catch (const EUnableToCompress&) {
        if (UnlimitedStreamSize(original) <= originalSize) std::abort();
        return 0;
    }
    if (codedSize != static_cast<int64_t>(coded.Bytes.size()) || codedSize > originalSize) std::abort();
    if (input.Position() != originalSize) std::abort();

    coded.Bytes.insert(coded.Bytes.end(), 16, 0x5A); // the next member's bytes
    coded.Seek(0, TSeekOrigin::Begin);
    TMemoryStream expanded;
    uint32_t outSum = 0;
    archiver.RunCodec(expanded, coded, static_cast<int32_t>(codedSize), originalSize, miLH5, outSum, pmExpand,
                      false);
    if (expanded.Bytes != original || outSum != inSum) std::abort();
    if (coded.Position() != codedSize) std::abort();
    return 0;
}
