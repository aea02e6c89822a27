// The fast inner loop of the lh5 expander. The 64-bit buffer holds the stream from the first
// unconsumed bit on, left-aligned; nbits counts the bits taken from whole bytes below the read
// pointer. A refill loads eight bytes and keeps nbits at 56 or more, enough for the longest
// symbol (16 bits), distance code (16) and extra bits (12) together, so each symbol needs one
// refill and no bounds test beyond the loop condition.
//
// Bytes are loaded ahead of the bit-wise reader, but only from the current chunk and without
// touching InPos; on the way out the loop reports how far the bit-wise reader would have read,
// and the caller accounts for exactly those bytes.
#include "compress/codecs/lh5/expand/Lh5FastLoop.h"

#include <bit>
#include <cstring>

namespace {
constexpr uint32_t TreeRoot = 1u << 31;
constexpr uint32_t LengthShift = 16;
constexpr uint32_t ExtraShift = 24;
constexpr uint32_t FieldMask = 0x1F;

inline uint64_t LoadBigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::little) v = __builtin_bswap64(v);
    return v;
}

// Tree walk of a code longer than its lookup width; bits holds the code's remaining bits at the top.
inline uint32_t WalkTree(const TLh5ExpandStorage& z, uint32_t node, uint64_t bits, uint32_t leafLimit) {
    while (node >= leafLimit) {
        node = (bits >> 63) ? z.RightChild[node] : z.LeftChild[node];
        bits <<= 1;
    }
    return node;
}

inline uint32_t PackDistance(const TLh5ExpandStorage& z, uint32_t p) {
    const uint32_t extra = p > 1 ? p - 1 : 0;
    const uint32_t base = p == 0 ? 0 : 1u << (p - 1);
    return base | static_cast<uint32_t>(z.AuxLen[p]) << LengthShift | extra << ExtraShift;
}

// Copies a match of len bytes from offset bytes back; overlapping copies repeat the pattern as
// a byte-by-byte copy would. May write up to 15 bytes beyond the match.
inline void CopyMatch(uint8_t* dst, uint32_t offset, uint32_t len) {
    const uint8_t* src = dst - offset;
    if (offset >= 16) {
        for (uint32_t i = 0; i < len; i += 16) std::memcpy(dst + i, src + i, 16);
    } else if (offset == 1) {
        std::memset(dst, src[0], len);
    } else {
        for (uint32_t i = 0; i < len; ++i) dst[i] = src[i];
    }
}
} // namespace

bool BuildFastTables(const TLh5ExpandStorage& z, TLh5FastTables& t) {
    // A table that defines no code holds Lh5NoCode in every entry, any other table in none.
    if (z.SymTable[0] == Lh5NoCode || z.AuxTable[0] == Lh5NoCode) return false;
    // Code lengths by table entry value: tree node numbers get length 0.
    uint8_t symLen[Lh5TreeNodes] = {};
    std::memcpy(symLen, z.SymLen, Lh5SymbolCount);
    for (uint32_t i = 0; i < (1u << Lh5SymTableBits); ++i) {
        const uint32_t e = z.SymTable[i];
        t.Sym[i] = e | static_cast<uint32_t>(symLen[e]) << LengthShift;
    }
    for (uint32_t i = 0; i < (1u << Lh5AuxTableBits); ++i) {
        const uint32_t e = z.AuxTable[i];
        t.Dist[i] = e < Lh5DistanceClasses ? PackDistance(z, e) : e | TreeRoot;
    }
    return true;
}

const uint8_t* RunFastLoop(TLh5ExpandStorage& z, const TLh5FastTables& t, const uint8_t* in,
                           const uint8_t* inEnd, uint32_t& w, uint32_t wStop) {
    if (inEnd - in < Lh5FastMinInput) return in;
    uint64_t buf = static_cast<uint64_t>(z.BitWindow) << 48 | static_cast<uint64_t>(z.PendingByte) << 40;
    uint32_t nbits = 16 + z.PendingBits;
    const uint8_t* p = in;
    const uint8_t* const lastLoad = inEnd - Lh5FastMinInput;
    uint32_t remaining = z.BlockRemaining;
    uint8_t* out = z.Window + w;
    uint8_t* const outStop = z.Window + wStop;

    while (out < outStop && p <= lastLoad && remaining != 0) {
        buf |= LoadBigEndian64(p) >> nbits;
        p += (63 - nbits) >> 3;
        nbits |= 56;

        const uint32_t se = t.Sym[buf >> (64 - Lh5SymTableBits)];
        uint32_t sym = se & 0xFFFF;
        uint32_t len = se >> LengthShift;
        if (sym >= Lh5SymbolCount) [[unlikely]] {
            sym = WalkTree(z, sym, buf << Lh5SymTableBits, Lh5SymbolCount);
            len = z.SymLen[sym];
        }
        buf <<= len;
        nbits -= len;
        --remaining;
        if (sym < Lh5FirstMatchSymbol) {
            *out++ = static_cast<uint8_t>(sym);
            continue;
        }

        uint32_t de = t.Dist[buf >> (64 - Lh5AuxTableBits)];
        if (de & TreeRoot) [[unlikely]]
            de = PackDistance(z, WalkTree(z, de & 0xFFFF, buf << Lh5AuxTableBits, Lh5DistanceClasses));
        const uint32_t codeLen = (de >> LengthShift) & FieldMask;
        const uint32_t extra = de >> ExtraShift;
        buf <<= codeLen;
        const uint32_t distance = (de & 0xFFFF) + static_cast<uint32_t>((buf >> 1) >> (63 - extra));
        buf <<= extra;
        nbits -= codeLen + extra;

        const uint32_t matchLen = sym - Lh5MatchLengthBias;
        CopyMatch(out, distance + 1, matchLen);
        out += matchLen;
    }

    // The bit-wise reader keeps 16 bits in BitWindow; the last symbol may have left fewer here.
    while (nbits < 16) {
        buf |= static_cast<uint64_t>(*p++) << (56 - nbits);
        nbits += 8;
    }
    const uint32_t ahead = nbits - 16;
    z.PendingBits = static_cast<uint8_t>(ahead & 7);
    z.BitWindow = static_cast<uint16_t>(buf >> 48);
    z.PendingByte = static_cast<uint8_t>((buf >> 40) & (0xFF00u >> z.PendingBits));
    z.BlockRemaining = static_cast<uint16_t>(remaining);
    w = static_cast<uint32_t>(out - z.Window);
    return p - (ahead >> 3);
}
