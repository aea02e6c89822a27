// The portable part of SHA-256: reading a stream through it and the hexadecimal text.
#include "platform/digest/Sha256.h"

#include <vector>

namespace {
constexpr int32_t ReadPiece = 256 * 1024;

std::string HexOf(const std::array<uint8_t, 32>& digest) {
    static const char Digits[] = "0123456789abcdef";
    std::string text;
    for (const uint8_t byte : digest) {
        text += Digits[byte >> 4];
        text += Digits[byte & 15];
    }
    return text;
}
} // namespace

std::string Sha256Hex(TStream& stream) {
    TSha256 hash;
    std::vector<uint8_t> buffer(ReadPiece);
    for (int32_t n; (n = stream.Read(buffer.data(), ReadPiece)) > 0;)
        hash.Update(buffer.data(), static_cast<size_t>(n));
    return HexOf(hash.Finish());
}

std::string Sha256Hex(const uint8_t* bytes, size_t count) {
    TSha256 hash;
    hash.Update(bytes, count);
    return HexOf(hash.Finish());
}
