// A minimal LHA archive around one raw compressed stream, so that peer archivers (lhasa, 7-Zip,
// bsdtar) can be handed our codec output as black boxes: one level-0 member header, the data,
// and the end-of-archive zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// CRC-16/ARC (reflected polynomial 0xA001, initial value 0), the checksum LHA keeps of a member's
// original data.
uint16_t Crc16Arc(const std::vector<uint8_t>& data);

// An archive of one member: method such as "-lh5-" (five characters), the compressed stream and
// the original bytes it expands to (for the sizes and the CRC), stored under name.
std::vector<uint8_t> WrapLhaLevel0(const std::vector<uint8_t>& packed, const std::vector<uint8_t>& original,
                                   const std::string& method = "-lh5-", const std::string& name = "data.bin");
