// Numbers as fixed-width text, the way "%0*d" and "%0*X" write them (and back), without the printf
// family:
// the setup programs would carry its whole formatting engine (about 20 KB) for a few dates and
// checksums.
#pragma once

#include <cstdint>
#include <optional>
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

// The number that ZeroPaddedDecimal (base 10) or ZeroPaddedHex (base 16, upper-case digits) wrote:
// 1 to 16 digits and nothing else; nothing for any other text.
inline std::optional<uint64_t> ParsePaddedNumber(const std::string& text, int base) {
    if (text.empty() || text.size() > 16) return std::nullopt;
    uint64_t value = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0 || digit >= base) return std::nullopt;
        value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    }
    return value;
}
