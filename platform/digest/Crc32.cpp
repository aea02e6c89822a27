// Eight bytes at a time (slicing tables): the setup digests every installed file and its own
// embedded archives, and byte by byte that took a quarter of a second for 80 MB. On x86-64 with
// PCLMULQDQ, long runs go 64 bytes at a time by carry-less multiplication instead, several times
// faster again; the tables take the bytes before and after.
#include "platform/digest/Crc32.h"

#include "platform/LittleEndian.h"

#if defined(__x86_64__)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace {

constexpr int SliceBytes = 8;
constexpr int ByteValues = 256;
constexpr uint32_t Polynomial = 0xEDB88320u; // reflected: bit 31 is x^0, bit 0 is x^31, x^32 implied

// Tables[0] is the usual byte-wise table; Tables[k] advances a byte's contribution by k more bytes.
// Made at start-up on the heap rather than as a constant or zero-initialised global: either of
// those puts 8 KB in the image (MinGW keeps zero-initialised objects in .data under
// -fdata-sections), and the tables would travel in every setup program and its packed uninstaller.
using TCrcTable = uint32_t[ByteValues];

// Cold: made once, so compiled for size.
__attribute__((cold)) const TCrcTable* MakeTables() {
    auto* tables = new TCrcTable[SliceBytes];
    for (uint32_t n = 0; n < ByteValues; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? Polynomial ^ (c >> 1) : c >> 1;
        tables[0][n] = c;
    }
    for (int k = 1; k < SliceBytes; ++k)
        for (uint32_t n = 0; n < ByteValues; ++n)
            tables[k][n] = (tables[k - 1][n] >> 8) ^ tables[0][tables[k - 1][n] & 0xFF];
    return tables;
}

const TCrcTable* const Tables = MakeTables(); // lives as long as the program

#if defined(__x86_64__)

// Carry-less multiplication (PCLMULQDQ) folds the data 64 bytes at a time into four 16-byte
// blocks, those into one, and reduces that to the CRC (Barrett). A block read little-endian holds
// a polynomial bit-reflected, as the CRC register does: bit i is x^(127-i). The constants are
// polynomials made here, each stored so that bit j is x^(32-j): a block's first half (x^127..x^64)
// times one gives a product whose bit m is x^(95-m), which read as a block is the product times
// x^32. So moving a block on by n bits multiplies its first half by x^(n+32) mod P and its second
// half by x^(n-32) mod P, and both products fit in 128 bits again.

// x^n mod P, reflected as the register holds it (bit 31 is x^0).
constexpr uint32_t PowerModP(int n) {
    uint32_t r = 0x80000000u;
    for (; n > 0; --n) r = (r & 1) ? Polynomial ^ (r >> 1) : r >> 1;
    return r;
}

// A reflected polynomial of degree < 32 as a multiplier (bit j is x^(32-j)).
constexpr uint64_t Multiplier(uint32_t reflected) {
    return uint64_t{reflected} << 1;
}

constexpr uint64_t Reflect(uint64_t value, int bits) {
    uint64_t r = 0;
    for (int i = 0; i < bits; ++i) r |= (value >> i & 1) << (bits - 1 - i);
    return r;
}

// floor(x^64 / P), degree 32, as a multiplier: long division in the usual order (bit k is x^k).
constexpr uint64_t BarrettQuotient() {
    const uint64_t p = Reflect(Polynomial, 32); // P less its x^32
    uint64_t remainder = p << 32, quotient = 1; // x^64 - x^32 P, and the quotient's x^32
    for (int i = 31; i >= 0; --i) {
        quotient <<= 1;
        if (remainder >> (32 + i) & 1) {
            quotient |= 1;
            remainder ^= p << i;
        }
    }
    return Reflect(quotient, 33);
}

constexpr int FoldBytes = 64;
// Four blocks on by 64 bytes (512 bits), one block on by 16 bytes.
constexpr uint64_t FoldFirst64 = Multiplier(PowerModP(512 + 32)),
                   FoldSecond64 = Multiplier(PowerModP(512 - 32));
constexpr uint64_t FoldFirst16 = Multiplier(PowerModP(128 + 32)),
                   FoldSecond16 = Multiplier(PowerModP(128 - 32));
// The last block times x^32 (the CRC's own shift) from 128 bits to 96 is its first half times
// x^96 mod P, FoldSecond16; from 96 bits to 64 the first 32 times x^64 mod P.
constexpr uint64_t Fold96To64 = Multiplier(PowerModP(64));
// The Barrett reduction from 64 bits to 32: the quotient's estimate floor(x^64 / P), and P.
constexpr uint64_t BarrettMu = BarrettQuotient(), BarrettP = Multiplier(Polynomial) | 1;

// CPUID leaf 1 reports PCLMULQDQ and SSE4.1 in ECX; asked once, at start-up.
bool CpuFolds() {
    unsigned eax, ebx, ecx, edx;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
}

const bool Folds = CpuFolds();

#define PARLAVOX_CLMUL __attribute__((target("pclmul,sse4.1")))

// Both halves of a block times their constants (first half by k's low half, second by its high).
PARLAVOX_CLMUL inline __m128i Fold(__m128i block, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(block, k, 0x00), _mm_clmulepi64_si128(block, k, 0x11));
}

PARLAVOX_CLMUL inline __m128i Load(const uint8_t* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

// The low 32 bits of a block, the rest cleared.
PARLAVOX_CLMUL inline __m128i Low32(__m128i block) {
    return _mm_cvtsi32_si128(_mm_cvtsi128_si32(block));
}

// The CRC register (not inverted) after the whole 16-byte blocks of count >= FoldBytes bytes.
PARLAVOX_CLMUL uint32_t FoldCrc(uint32_t crc, const uint8_t* bytes, size_t count) {
    __m128i x0 = _mm_xor_si128(Load(bytes), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load(bytes + 16), x2 = Load(bytes + 32), x3 = Load(bytes + 48);
    const __m128i by64 = _mm_set_epi64x(FoldSecond64, FoldFirst64);
    for (bytes += FoldBytes, count -= FoldBytes; count >= FoldBytes; bytes += FoldBytes, count -= FoldBytes) {
        x0 = _mm_xor_si128(Fold(x0, by64), Load(bytes));
        x1 = _mm_xor_si128(Fold(x1, by64), Load(bytes + 16));
        x2 = _mm_xor_si128(Fold(x2, by64), Load(bytes + 32));
        x3 = _mm_xor_si128(Fold(x3, by64), Load(bytes + 48));
    }
    const __m128i by16 = _mm_set_epi64x(FoldSecond16, FoldFirst16);
    __m128i x =
        _mm_xor_si128(Fold(_mm_xor_si128(Fold(_mm_xor_si128(Fold(x0, by16), x1), by16), x2), by16), x3);
#pragma GCC unroll 1 // a loop, not three copies: the setup programs carry this
    for (; count >= 16; bytes += 16, count -= 16) x = _mm_xor_si128(Fold(x, by16), Load(bytes));
    // The block times x^32, mod P: to 96 bits (bit m is x^(95-m)), to 64 (bit m is x^(63-m)), and
    // the remainder of those by P, W + P floor(floor(W / x^32) Mu / x^32), in the upper 32 bits.
    x = _mm_xor_si128(_mm_clmulepi64_si128(x, by16, 0x10), _mm_srli_si128(x, 8));
    x = _mm_xor_si128(_mm_clmulepi64_si128(Low32(x), _mm_cvtsi64_si128(Fold96To64), 0x00),
                      _mm_srli_si128(x, 4));
    const __m128i barrett = _mm_set_epi64x(BarrettP, BarrettMu);
    const __m128i q = _mm_clmulepi64_si128(Low32(x), barrett, 0x00);
    return static_cast<uint32_t>(
        _mm_extract_epi32(_mm_xor_si128(x, _mm_clmulepi64_si128(Low32(q), barrett, 0x10)), 1));
}

#endif

} // namespace

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    const TCrcTable* const t = Tables;
    crc = ~crc;
#if defined(__x86_64__)
    if (Folds && count >= FoldBytes) {
        crc = FoldCrc(crc, bytes, count);
        bytes += count & ~size_t{15};
        count &= 15;
    }
#endif
    for (; count >= SliceBytes; bytes += SliceBytes, count -= SliceBytes) {
        const uint32_t one = Get32(bytes) ^ crc, two = Get32(bytes + 4);
        crc = t[7][one & 0xFF] ^ t[6][(one >> 8) & 0xFF] ^ t[5][(one >> 16) & 0xFF] ^ t[4][one >> 24] ^
              t[3][two & 0xFF] ^ t[2][(two >> 8) & 0xFF] ^ t[1][(two >> 16) & 0xFF] ^ t[0][two >> 24];
    }
#pragma GCC unroll 1 // likewise, not seven copies
    for (; count > 0; ++bytes, --count) crc = t[0][(crc ^ *bytes) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool Crc32Folds() {
#if defined(__x86_64__)
    return Folds;
#else
    return false;
#endif
}
