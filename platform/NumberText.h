// Numbers as fixed-width text, the way "%0*d" and "%0*X" write them, without the printf family:
// the setup programs would carry its whole formatting engine (about 20 KB) for a few dates and
// checksums.
#pragma once

#include <cstdint>
#include <string>

// Decimal digits, padded with zeros to width characters, a minus sign counting as one of them.
inline std::string ZeroPaddedDecimal(int value, int width) {
    const bool negative = value < 0;
    std::string digits = std::to_string(negative ? -static_cast<int64_t>(value) : value);
    const int length = static_cast<int>(digits.size()) + (negative ? 1 : 0);
    if (length < width) digits.insert(0, static_cast<size_t>(width - length), '0');
    return negative ? "-" + digits : digits;
}

// Upper-case hexadecimal digits, padded with zeros to width characters.
inline std::string ZeroPaddedHex(uint32_t value, int width) {
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<size_t>(width) - digits.size(), '0');
    return digits;
}
