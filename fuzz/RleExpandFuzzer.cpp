// libFuzzer target of the RLE expander: any byte sequence is valid RLE data. The expansion through
// RunCodec must read the whole input, hand back the byte sum of its output, and agree with a
// plain token-by-token reading of the format kept here: literal, 94 00 (the marker byte),
// 94 n (n - 1 copies of the first byte of the previous token, 0 before any token, the marker
// after a marker token), and a marker as the last byte standing for itself.
#include "compress/Archiver.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
std::vector<uint8_t> ReferenceExpand(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    uint8_t last = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t b = data[i];
        if (b != 0x94) {
            out.push_back(b);
        } else {
            const uint8_t n = i + 1 < size ? data[++i] : 0;
            if (n == 0)
                out.push_back(0x94);
            else
                out.insert(out.end(), n - 1u, last);
        }
        last = b;
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    TArchiver archiver;
    TMemoryStream source(input), dest;
    uint32_t checksum = 0;
    archiver.RunCodec(dest, source, static_cast<int32_t>(size), 0, miRLE, checksum, pmExpand, false);
    if (source.Position() != static_cast<int64_t>(size)) std::abort();
    uint32_t sum = 0;
    for (uint8_t b : dest.Bytes) sum += b;
    if (sum != checksum) std::abort();
    if (dest.Bytes != ReferenceExpand(data, size)) std::abort();
    return 0;
}
