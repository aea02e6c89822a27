// Eight bytes at a time (slicing tables): the setup digests every installed file and its own
// embedded archives, and byte by byte that took a quarter of a second for 80 MB.
#include "platform/Crc32.h"

#include "platform/LittleEndian.h"

namespace {

constexpr int SliceBytes = 8;
constexpr int ByteValues = 256;

// Tables[0] is the usual byte-wise table; Tables[k] advances a byte's contribution by k more bytes.
// Made at start-up on the heap rather than as a constant or zero-initialised global: either of
// those puts 8 KB in the image (MinGW keeps zero-initialised objects in .data under
// -fdata-sections), and the tables would travel in every setup program and its packed uninstaller.
using TCrcTable = uint32_t[ByteValues];

const TCrcTable* MakeTables() {
    auto* tables = new TCrcTable[SliceBytes];
    for (uint32_t n = 0; n < ByteValues; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (int k = 1; k < SliceBytes; ++k)
        for (uint32_t n = 0; n < ByteValues; ++n)
            tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFF];
    return tables;
}

const TCrcTable* const Tables = MakeTables(); // lives as long as the program

} // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    const TCrcTable* const t = Tables;
    crc = ~crc;
    for (; count >= SliceBytes; bytes += SliceBytes, count -= SliceBytes) {
        const uint32_t one = Get32(bytes) ^ crc, two = Get32(bytes + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
              t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
    for (; count > 0; ++bytes, --count) crc = t[0][(crc ^ *bytes) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
