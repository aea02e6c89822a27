// The fixed prefix code for the upper six bits u of a match's distance - 1: a canonical code of
// 3 to 8 bits whose lengths rise with u (0: 3 bits; 1..3: 4; 4..11: 5; 12..23: 6; 24..47: 7;
// 48..63: 8), built here at compile time. The code is complete (its Kraft sum is exactly 1), so
// every 8-bit value starts with exactly one code word and the two inverse tables have no gaps.
#pragma once

#include <array>
#include <cstdint>

constexpr int LzhPositionClasses = 64;

struct TLzhPositionCode {
    std::array<uint8_t, LzhPositionClasses> Code{};   // code word, left-aligned in 8 bits
    std::array<uint8_t, LzhPositionClasses> Length{}; // 3..8
    std::array<uint8_t, 256> DecodeClass{};           // u whose code word starts the 8-bit value
    std::array<uint8_t, 256> DecodeLength{};          // that code word's length
};

constexpr int LzhPositionCodeLength(int u) {
    return u < 1 ? 3 : u < 4 ? 4 : u < 12 ? 5 : u < 24 ? 6 : u < 48 ? 7 : 8;
}

constexpr TLzhPositionCode MakeLzhPositionCode() {
    TLzhPositionCode t;
    int code = 0;
    for (int u = 0; u < LzhPositionClasses; ++u) {
        int len = LzhPositionCodeLength(u);
        if (u > 0) code = (code + 1) << (len - LzhPositionCodeLength(u - 1));
        t.Code[u] = static_cast<uint8_t>(code << (8 - len));
        t.Length[u] = static_cast<uint8_t>(len);
        for (int b = 0; b < (1 << (8 - len)); ++b) {
            t.DecodeClass[t.Code[u] | b] = static_cast<uint8_t>(u);
            t.DecodeLength[t.Code[u] | b] = static_cast<uint8_t>(len);
        }
    }
    return t;
}

inline constexpr TLzhPositionCode LzhPositionCode = MakeLzhPositionCode();

constexpr bool LzhPositionCodeComplete() {
    for (int b = 0; b < 256; ++b) {
        int u = LzhPositionCode.DecodeClass[b], len = LzhPositionCode.DecodeLength[b];
        if (len < 3 || (b >> (8 - len)) != (LzhPositionCode.Code[u] >> (8 - len))) return false;
    }
    return LzhPositionCode.Code[LzhPositionClasses - 1] == 0xFF;
}
static_assert(LzhPositionCodeComplete(), "every 8-bit value starts with exactly one code word");
