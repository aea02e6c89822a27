// Coding one block of the LH5 compressor: the 16-bit symbol count, the length-code table, the
// symbol code lengths sent with it, the distance-class table, then every buffered symbol. The
// length-code table is built and written before the distance table because both use AuxLen and
// AuxCode in turn. The symbol walk works from right-aligned copies of the codes so that each
// code is a single shift-and-or into the bit writer's word.
#include "compress/codecs/lh5/compress/Lh5BitWriter.h"
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "compress/codecs/lh5/compress/Lh5Huffman.h"

#include <cstring>

namespace {
constexpr int NoZeroRun = -1;

// Symbols up to the last one with a non-zero length.
int UsedSymbols(const uint8_t* lengths, int n) {
    while (n > 0 && lengths[n - 1] == 0) --n;
    return n;
}

// Length of the run of zero lengths that starts at i (lengths[i] is 0).
int ZeroRun(const uint8_t* lengths, int i, int n) {
    int run = 1;
    while (i + run < n && lengths[i + run] == 0) ++run;
    return run;
}

// How often each length-code symbol is needed to send the symbol lengths: 0 for one zero, 1 for
// 3..18 zeros (4 more bits), 2 for 20 or more (9 more bits), 3..18 for lengths 1..16.
void CountLenCodeFreq(TLh5EncoderStorage& z) {
    uint16_t* freq = z.LenCodeFreq;
    std::memset(freq, 0, Lh5LenCodeSymbols * sizeof(uint16_t));
    const int n = UsedSymbols(z.SymLen, Lh5SymbolCount);
    for (int i = 0; i < n;) {
        int len = z.SymLen[i];
        if (len != 0) {
            ++freq[len + 2];
            ++i;
            continue;
        }
        int run = ZeroRun(z.SymLen, i, n);
        i += run;
        if (run <= 2) {
            freq[0] = static_cast<uint16_t>(freq[0] + run);
        } else if (run <= 18) {
            ++freq[1];
        } else if (run == 19) {
            ++freq[0];
            ++freq[1];
        } else {
            ++freq[2];
        }
    }
}

void WriteAuxLengths(TLh5BitWriter& out, TLh5EncoderStorage& z, int n, int countBits, int zeroRunIndex) {
    const int m = UsedSymbols(z.AuxLen, n);
    out.PutBits(static_cast<unsigned>(countBits), static_cast<uint32_t>(m));
    for (int i = 0; i < m;) {
        unsigned len = z.AuxLen[i++];
        if (len <= 6)
            out.PutBits(3, len);
        else
            out.PutBits(len - 3, (1u << (len - 3)) - 2); // len - 4 one bits and a zero bit
        if (i == zeroRunIndex) {
            while (i < zeroRunIndex + Lh5LenCodeZeroRunMax && z.AuxLen[i] == 0) ++i;
            out.PutBits(2, static_cast<uint32_t>(i - zeroRunIndex));
        }
    }
}

void PutLenCode(TLh5BitWriter& out, const TLh5EncoderStorage& z, int t) {
    out.PutCode(z.AuxLen[t], z.AuxCode[t]);
}

void WriteSymbolLengths(TLh5BitWriter& out, TLh5EncoderStorage& z) {
    const int n = UsedSymbols(z.SymLen, Lh5SymbolCount);
    out.PutBits(Lh5SymbolCountBits, static_cast<uint32_t>(n));
    for (int i = 0; i < n;) {
        int len = z.SymLen[i];
        if (len != 0) {
            PutLenCode(out, z, len + 2);
            ++i;
            continue;
        }
        int run = ZeroRun(z.SymLen, i, n);
        i += run;
        if (run <= 2) {
            for (int k = 0; k < run; ++k) PutLenCode(out, z, 0);
        } else if (run <= 18) {
            PutLenCode(out, z, 1);
            out.PutBits(4, static_cast<uint32_t>(run - 3));
        } else if (run == 19) {
            PutLenCode(out, z, 0);
            PutLenCode(out, z, 1);
            out.PutBits(4, 15);
        } else {
            PutLenCode(out, z, 2);
            out.PutBits(9, static_cast<uint32_t>(run - 20));
        }
    }
}

// Right-aligned copies of n left-aligned codes (0 for absent symbols).
void RightAlign(int n, const uint8_t* lengths, const uint16_t* codes, uint16_t* right) {
    for (int c = 0; c < n; ++c)
        right[c] = lengths[c] ? static_cast<uint16_t>(codes[c] >> (16 - lengths[c])) : 0;
}

// EncodeSymbol and EncodeDistance for every buffered symbol.
void EncodeSymbols(TLh5BitWriter& out, const TLh5EncoderStorage& z, unsigned size) {
    uint16_t symCode[Lh5SymbolCount];
    uint16_t distCode[Lh5DistanceClasses];
    RightAlign(Lh5SymbolCount, z.SymLen, z.SymCode, symCode);
    RightAlign(Lh5DistanceClasses, z.AuxLen, z.AuxCode, distCode);
    const uint8_t* symLen = z.SymLen;
    const uint8_t* distLen = z.AuxLen;
    const uint8_t* buf = z.SymbolBuf;
    unsigned flags = 0;
    for (unsigned i = 0; i < size; ++i) {
        if ((i & 7) == 0)
            flags = *buf++;
        else
            flags <<= 1;
        if (flags & 0x80) {
            unsigned c = buf[0] + 256u;
            auto p = static_cast<uint16_t>((buf[1] << 8) | buf[2]);
            buf += 3;
            out.Put(symLen[c], symCode[c]);
            int k = DistanceClass(p);
            unsigned extra = k > 1 ? static_cast<unsigned>(k - 1) : 0;
            out.Put(distLen[k] + extra,
                    (static_cast<uint32_t>(distCode[k]) << extra) | (p & ((1u << extra) - 1)));
        } else {
            unsigned c = *buf++;
            out.Put(symLen[c], symCode[c]);
        }
    }
}
} // namespace

void SendBlock(TCodecState& s, TLh5EncoderStorage& z) {
    TLh5BitWriter out(s, z);
    const uint16_t root = BuildHuffman(z, Lh5SymbolCount, z.SymFreq, z.SymLen, z.SymCode);
    const uint16_t size = z.SymFreq[root];
    out.PutBits(16, size);
    if (root >= Lh5SymbolCount) {
        CountLenCodeFreq(z);
        uint16_t r = BuildHuffman(z, Lh5LenCodeSymbols, z.LenCodeFreq, z.AuxLen, z.AuxCode);
        if (r >= Lh5LenCodeSymbols) {
            WriteAuxLengths(out, z, Lh5LenCodeSymbols, Lh5LenCodeCountBits, Lh5LenCodeZeroRunAfter);
        } else {
            out.PutBits(Lh5LenCodeCountBits, 0);
            out.PutBits(Lh5LenCodeCountBits, r);
        }
        WriteSymbolLengths(out, z);
    } else {
        // One symbol only: its code has no bits. Distances of matches are still sent.
        out.PutBits(Lh5LenCodeCountBits, 0);
        out.PutBits(Lh5LenCodeCountBits, 0);
        out.PutBits(Lh5SymbolCountBits, 0);
        out.PutBits(Lh5SymbolCountBits, root);
    }
    uint16_t r = BuildHuffman(z, Lh5DistanceClasses, z.DistFreq, z.AuxLen, z.AuxCode);
    if (r >= Lh5DistanceClasses) {
        WriteAuxLengths(out, z, Lh5DistanceClasses, Lh5DistanceCountBits, NoZeroRun);
    } else {
        out.PutBits(Lh5DistanceCountBits, 0);
        out.PutBits(Lh5DistanceCountBits, r);
    }
    EncodeSymbols(out, z, size);
    out.Finish();
    std::memset(z.SymFreq, 0, Lh5SymbolCount * sizeof(uint16_t));
    std::memset(z.DistFreq, 0, Lh5DistanceClasses * sizeof(uint16_t));
}
