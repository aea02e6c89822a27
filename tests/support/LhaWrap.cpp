// Level-0 LHA header layout: header size (bytes after the first two), header checksum (byte sum
// of those bytes), method, compressed and original size, DOS date-time, attribute, level, name
// length and name, CRC-16 of the original data; all integers little-endian.
#include "tests/support/LhaWrap.h"

#include <stdexcept>

namespace {
void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// 2024-01-01 12:00:00 in MS-DOS form: date in the high half, time in the low half.
constexpr uint32_t FixedDosTime = (((2024u - 1980u) << 9 | 1u << 5 | 1u) << 16) | (12u << 11);
constexpr uint8_t ArchiveAttribute = 0x20;
} // namespace

uint16_t Crc16Arc(const std::vector<uint8_t>& data) {
    uint16_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

std::vector<uint8_t> WrapLhaLevel0(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& original,
                                   const std::string& method, const std::string& name) {
    if (method.size() != 5 || name.size() > 200) throw std::invalid_argument("bad LHA method or name");
    std::vector<uint8_t> header;
    header.insert(header.end(), method.begin(), method.end());
    PutLe(header, static_cast<uint32_t>(packed.size()), 4);
    PutLe(header, static_cast<uint32_t>(original.size()), 4);
    PutLe(header, FixedDosTime, 4);
    header.push_back(ArchiveAttribute);
    header.push_back(0); // level
    header.push_back(static_cast<uint8_t>(name.size()));
    header.insert(header.end(), name.begin(), name.end());
    PutLe(header, Crc16Arc(original), 2);

    uint8_t sum = 0;
    for (uint8_t b : header) sum = static_cast<uint8_t>(sum + b);
    std::vector<uint8_t> archive;
    archive.reserve(2 + header.size() + packed.size() + 1);
    archive.push_back(static_cast<uint8_t>(header.size()));
    archive.push_back(sum);
    for (uint8_t b : header) archive.push_back(b);
    for (uint8_t b : packed) archive.push_back(b);
    archive.push_back(0); // end of archive
    return archive;
}
