// libFuzzer target of the lh5 expander. Input: three bytes of expanded size (below 2 MiB), one
// option byte, then the member's stream. The stream goes through RunCodec
// (method 4, expand direction) into a memory stream, and again through the fast and the
// symbol-by-symbol expander on identically prepared states, which must agree on every observable
// result: output, sums, count, source position, the order of reads, writes and progress reports,
// and the error raised. Any other exception than ELh5BadDecodeTable is a finding.
#include "compress/Archiver.h"
#include "tests/compress/codecs/lh5/Lh5ExpandHarness.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
constexpr size_t HeadBytes = 4;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HeadBytes) return 0;
    // 21 bits of size, shifted right by 3 times the top three bits of the third byte: small sizes
    // are common, which keeps the runs short, and every size up to 2 MiB - 1 can occur.
    const auto destSize =
        static_cast<int32_t>((data[0] | data[1] << 8 | (data[2] & 0x1F) << 16) >> (data[2] >> 5) * 3);
    const uint8_t options = data[3];
    const std::vector<uint8_t> stream(data + HeadBytes, data + size);

    {
        TArchiver archiver;
        TMemoryStream source(stream), dest;
        uint32_t checksum = 0;
        try {
            archiver.RunCodec(dest, source, static_cast<int32_t>(stream.size()), destSize, miLH5, checksum,
                              pmExpand, false);
            if (destSize > 0 && dest.Bytes.size() < static_cast<size_t>(destSize)) std::abort();
            if (dest.Bytes.size() > static_cast<size_t>(destSize) + 255) std::abort();
        } catch (const ELh5BadDecodeTable&) {
        }
    }

    // Bits 0-1: answer -1 at that progress report (0: never); bits 2-4: read only that many
    // eighths of the stream (0: all of it).
    TExpandOptions run;
    run.CancelAtReport = options & 3;
    if (const int eighths = (options >> 2) & 7)
        run.SourceSize = static_cast<int32_t>(stream.size() * static_cast<size_t>(eighths) / 8);
    const TExpandOutcome fast = RunExpander(Lh5Expand, stream, destSize, run);
    const TExpandOutcome byteWise = RunExpander(Lh5ExpandByteWise, stream, destSize, run);
    if (!(fast == byteWise)) std::abort();
    if (!fast.Error.empty() && fast.Error != "Bad decode table in archive!") std::abort();
    return 0;
}
