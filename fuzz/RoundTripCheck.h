// The round-trip check of the compressor fuzz targets: data compressed through the dispatcher
// within its budget (no more output than input) must expand back to the same bytes with the same
// byte sum, and the expander must then have read the compressed member to its last byte, even
// with the next member's bytes behind it. Any breach aborts, which libFuzzer reports.
#pragma once

#include "compress/Archiver.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

// Returns false when the compressor refused the data with EUnableToCompress.
inline bool CheckRoundTrip(const uint8_t* data, size_t size, uint8_t method) {
    const std::vector<uint8_t> original(data, data + size);
    const auto originalSize = static_cast<int32_t>(size);
    TArchiver archiver;
    TMemoryStream input(original), coded;
    uint32_t inSum = 0;
    int64_t codedSize = 0;
    try {
        codedSize =
            archiver.RunCodec(coded, input, originalSize, originalSize, method, inSum, pmCompress, false);
    } catch (const EUnableToCompress&) {
        return false;
    }
    if (codedSize != static_cast<int64_t>(coded.Bytes.size()) || codedSize > originalSize) std::abort();
    if (input.Position() != originalSize) std::abort();

    coded.Bytes.insert(coded.Bytes.end(), 16, 0x5A); // the next member's bytes
    coded.Seek(0, TSeekOrigin::Begin);
    TMemoryStream expanded;
    uint32_t outSum = 0;
    archiver.RunCodec(expanded, coded, static_cast<int32_t>(codedSize), originalSize, method, outSum,
                      pmExpand, false);
    if (expanded.Bytes != original || outSum != inSum) std::abort();
    if (coded.Position() != codedSize) std::abort();
    return true;
}
