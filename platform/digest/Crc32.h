// CRC-32 (ISO-HDLC, as zip uses it): the uninstall record's file digests and the setup's
// integrity digests of its embedded data.
#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-32 of bytes, continuing from crc (0 to start).
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count);

// Whether UpdateCrc32 takes long runs by carry-less multiplication (x86-64 with PCLMULQDQ and SSE4.1)
// rather than by its tables alone.
bool Crc32Folds();
