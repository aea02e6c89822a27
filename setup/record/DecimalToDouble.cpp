// The value is the integer D of the significant digits times 10^E. D and the power of ten are
// made exact as big integers, their quotient (or product) is taken to 56 bits plus a sticky
// remainder, and that is rounded once to the double's 53 bits (fewer below the normal range).
// Digits beyond the 800th only ever matter as "something more": no point where rounding changes
// (a double or a midpoint between two) has more than 767 significant digits, so they stand in as
// one extra digit 1.
#include "setup/record/DecimalToDouble.h"

#include <bit>
#include <cstdint>
#include <vector>

namespace {

constexpr int MaxDigits = 800;

// Unsigned big integer, 32-bit limbs, least significant first, no leading zero limb.
using TBig = std::vector<uint32_t>;

void MultiplyAdd(TBig& a, uint32_t factor, uint32_t addend) {
    uint64_t carry = addend;
    for (uint32_t& limb : a) {
        carry += static_cast<uint64_t>(limb) * factor;
        limb = static_cast<uint32_t>(carry);
        carry >>= 32;
    }
    if (carry) a.push_back(static_cast<uint32_t>(carry));
}

void MultiplyByPowerOfFive(TBig& a, int64_t exponent) {
    for (; exponent >= 13; exponent -= 13) MultiplyAdd(a, 1220703125u, 0); // 5^13
    uint32_t rest = 1;
    for (; exponent > 0; --exponent) rest *= 5;
    MultiplyAdd(a, rest, 0);
}

void ShiftLeft(TBig& a, int64_t bits) {
    if (a.empty() || bits <= 0) return;
    const size_t limbs = static_cast<size_t>(bits / 32);
    const int shift = static_cast<int>(bits % 32);
    if (shift) {
        uint32_t carry = 0;
        for (uint32_t& limb : a) {
            const uint32_t next = limb >> (32 - shift);
            limb = limb << shift | carry;
            carry = next;
        }
        if (carry) a.push_back(carry);
    }
    a.insert(a.begin(), limbs, 0);
}

void ShiftRightOne(TBig& a) {
    for (size_t i = 0; i < a.size(); ++i) a[i] = a[i] >> 1 | (i + 1 < a.size() ? a[i + 1] << 31 : 0);
    if (!a.empty() && a.back() == 0) a.pop_back();
}

int64_t BitLength(const TBig& a) {
    return a.empty() ? 0 : static_cast<int64_t>(a.size() * 32) - std::countl_zero(a.back());
}

bool NotLess(const TBig& a, const TBig& b) {
    if (a.size() != b.size()) return a.size() > b.size();
    for (size_t i = a.size(); i-- > 0;)
        if (a[i] != b[i]) return a[i] > b[i];
    return true;
}

void Subtract(TBig& a, const TBig& b) { // a >= b
    int64_t borrow = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const int64_t difference = static_cast<int64_t>(a[i]) - (i < b.size() ? b[i] : 0) - borrow;
        borrow = difference < 0;
        a[i] = static_cast<uint32_t>(difference + (borrow << 32));
    }
    while (!a.empty() && a.back() == 0) a.pop_back();
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::optional<double> DecimalToDouble(std::string_view text) {
    size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;

    // The significant digits into D; pointPosition: digits of D before the decimal point.
    TBig digits;
    int digitCount = 0;
    bool sticky = false, seenPoint = false;
    int64_t pointPosition = 0;
    for (; i < text.size() && (IsDigit(text[i]) || text[i] == '.'); ++i) {
        if (text[i] == '.') {
            seenPoint = true;
            continue;
        }
        const uint32_t digit = static_cast<uint32_t>(text[i] - '0');
        if (digitCount == 0 && digit == 0) {
            if (seenPoint) --pointPosition;
            continue;
        }
        if (!seenPoint) ++pointPosition;
        if (digitCount < MaxDigits) {
            MultiplyAdd(digits, 10, digit);
            ++digitCount;
        } else if (digit != 0) {
            sticky = true;
        }
    }
    if (sticky) {
        MultiplyAdd(digits, 10, 1);
        ++digitCount;
    }
    int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        const bool negativeExponent = i < text.size() && text[i] == '-';
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
        for (; i < text.size() && IsDigit(text[i]); ++i)
            if (exponent < 1000000000000000) exponent = exponent * 10 + (text[i] - '0');
        if (negativeExponent) exponent = -exponent;
    }
    if (digits.empty()) return negative ? -0.0 : 0.0;

    // The value lies in [10^(magnitude-1), 10^magnitude): the double range needs -324..309.
    const int64_t magnitude = pointPosition + exponent;
    if (magnitude > 310) return std::nullopt;
    if (magnitude < -325) return std::nullopt;
    const int64_t powerOfTen = magnitude - digitCount;

    // value = numerator / denominator exactly.
    TBig numerator = digits, denominator{1};
    if (powerOfTen >= 0) {
        MultiplyByPowerOfFive(numerator, powerOfTen);
        ShiftLeft(numerator, powerOfTen);
    } else {
        MultiplyByPowerOfFive(denominator, -powerOfTen);
        ShiftLeft(denominator, -powerOfTen);
    }
    // Scaled by 2^scale so that the quotient has 56 or 57 bits (55 < 53 + rounding bits).
    const int64_t scale = 56 - (BitLength(numerator) - BitLength(denominator));
    ShiftLeft(numerator, scale);
    ShiftLeft(denominator, -scale);
    ShiftLeft(denominator, 56);
    uint64_t quotient = 0;
    for (int bit = 56; bit >= 0; --bit) {
        if (NotLess(numerator, denominator)) {
            Subtract(numerator, denominator);
            quotient |= uint64_t{1} << bit;
        }
        ShiftRightOne(denominator);
    }
    const bool inexact = !numerator.empty();

    // value = quotient * 2^-scale (+ the remainder); its leading bit is worth 2^top.
    const int length = std::bit_width(quotient);
    const int64_t top = length - 1 - scale;
    const int64_t kept = top >= -1022 ? 53 : top + 1075; // bits that fit, fewer when subnormal
    const int64_t dropped = length - kept;               // at least 3
    if (dropped > length) return std::nullopt;           // below half the smallest subnormal
    uint64_t mantissa = quotient >> dropped;
    const uint64_t rest = quotient & ((uint64_t{1} << dropped) - 1);
    const uint64_t half = uint64_t{1} << (dropped - 1);
    if (rest > half || (rest == half && (inexact || (mantissa & 1)))) ++mantissa;

    uint64_t bits;
    if (kept == 53) {
        int64_t biased = top + 1023;
        if (mantissa >> 53) {
            mantissa >>= 1;
            ++biased;
        }
        if (biased >= 2047) return std::nullopt;
        bits = static_cast<uint64_t>(biased) << 52 | (mantissa & ((uint64_t{1} << 52) - 1));
    } else {
        // A subnormal that rounds up to 2^52 reads as the smallest normal, as it should.
        if (mantissa == 0) return std::nullopt;
        bits = mantissa;
    }
    const double value = std::bit_cast<double>(bits);
    return negative ? -value : value;
}
