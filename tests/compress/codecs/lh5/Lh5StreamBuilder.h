// Writes lh5 streams for the expander tests, field by field: a most-significant-bit-first bit
// writer, canonical codes from code lengths, the compact length lists of a block head (including
// the one-code form with count 0) and the codes of symbols and distances. Damaged streams are
// written with the same pieces, by sending fields that no encoder would.
//
// TLh5Tokens also expands its tokens by the method's rule (output[i] = output[i - distance - 1]
// over a history of spaces), which gives the tests their expected bytes independently of the
// expander.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <vector>

using TBytes = std::vector<uint8_t>;

class TBitWriter {
public:
    // Appends the low `bits` bits of value, most significant first.
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            Acc = static_cast<uint8_t>(Acc << 1 | ((value >> i) & 1));
            if (++Count == 8) {
                Out.push_back(Acc);
                Acc = 0;
                Count = 0;
            }
        }
    }
    // The stream so far, its last byte padded with zero bits.
    TBytes Bytes() const {
        TBytes out = Out;
        if (Count) out.push_back(static_cast<uint8_t>(Acc << (8 - Count)));
        return out;
    }

private:
    TBytes Out;
    uint8_t Acc = 0;
    int Count = 0;
};

// Canonical codes for a list of code lengths: codes of one length go to the symbols in
// increasing order; shorter codes are numerically smaller.
inline std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
    uint32_t count[17] = {};
    for (uint8_t l : lengths) ++count[l];
    uint32_t next[18] = {};
    for (int i = 1; i <= 16; ++i) next[i + 1] = (next[i] + count[i]) << 1;
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s]) codes[s] = next[lengths[s]]++;
    return codes;
}

// A code of one block: either the one-code form (every use takes zero bits) or code lengths.
struct TLh5Code {
    bool Single = false;
    uint32_t Value = 0;           // the one code's symbol
    std::vector<uint8_t> Lengths; // per symbol, 0 = absent
    std::vector<uint32_t> Codes;

    static TLh5Code One(uint32_t value) { return {true, value, {}, {}}; }
    static TLh5Code FromLengths(std::vector<uint8_t> lengths) {
        auto codes = CanonicalCodes(lengths);
        return {false, 0, std::move(lengths), std::move(codes)};
    }

    void Encode(TBitWriter& w, uint32_t symbol) const {
        if (Single) return;
        if (symbol >= Lengths.size() || Lengths[symbol] == 0) throw std::logic_error("symbol has no code");
        w.Put(Codes[symbol], Lengths[symbol]);
    }
};

// The length code used to send symbol lengths when a block gives none: 13 codes of 4 bits and
// 6 of 5 bits, a complete code over all 19 length-code symbols.
inline TLh5Code DefaultLengthCode() {
    std::vector<uint8_t> l(19, 4);
    for (int i = 13; i < 19; ++i) l[i] = 5;
    return TLh5Code::FromLengths(l);
}

// One auxiliary code length: 0..6 in three bits, 7..16 as (length - 4) one bits and a zero bit.
inline void PutAuxLength(TBitWriter& w, int len) {
    if (len <= 6) {
        w.Put(static_cast<uint32_t>(len), 3);
    } else {
        w.Put((1u << (len - 3)) - 2, len - 3);
    }
}

// An auxiliary length list (length code: 5 count bits, zero run after entry 3; distance classes:
// 4 count bits, no zero run). Trailing zero lengths are not sent.
inline void PutAuxCode(TBitWriter& w, const TLh5Code& code, int countBits, int zeroRunAfter) {
    if (code.Single) {
        w.Put(0, countBits);
        w.Put(code.Value, countBits);
        return;
    }
    int n = static_cast<int>(code.Lengths.size());
    while (n > 0 && code.Lengths[n - 1] == 0) --n;
    w.Put(static_cast<uint32_t>(n), countBits);
    for (int i = 0; i < n;) {
        PutAuxLength(w, code.Lengths[i++]);
        if (i == zeroRunAfter) {
            int zeros = 0;
            while (zeros < 3 && i + zeros < n && code.Lengths[i + zeros] == 0) ++zeros;
            w.Put(static_cast<uint32_t>(zeros), 2);
            i += zeros;
        }
    }
}

// The symbol length list, sent with the length code; zero runs use the run codes 1 (3..18) and
// 2 (20..531) where possible.
inline void PutSymbolCode(TBitWriter& w, const TLh5Code& code, const TLh5Code& lengthCode) {
    if (code.Single) {
        w.Put(0, 9);
        w.Put(code.Value, 9);
        return;
    }
    int n = static_cast<int>(code.Lengths.size());
    while (n > 0 && code.Lengths[n - 1] == 0) --n;
    w.Put(static_cast<uint32_t>(n), 9);
    for (int i = 0; i < n;) {
        if (code.Lengths[i] != 0) {
            lengthCode.Encode(w, code.Lengths[i++] + 2u);
            continue;
        }
        int run = 0;
        while (i + run < n && code.Lengths[i + run] == 0) ++run;
        if (run >= 20) {
            run = std::min(run, 20 + 511);
            lengthCode.Encode(w, 2);
            w.Put(static_cast<uint32_t>(run - 20), 9);
        } else if (run >= 3) {
            run = std::min(run, 18);
            lengthCode.Encode(w, 1);
            w.Put(static_cast<uint32_t>(run - 3), 4);
        } else {
            run = 1;
            lengthCode.Encode(w, 0);
        }
        i += run;
    }
}

struct TLh5Block {
    uint16_t Size = 0; // symbols in the block; 0 stands for 65536
    TLh5Code LengthCode = DefaultLengthCode();
    TLh5Code Symbols;
    TLh5Code Distances;

    void PutHead(TBitWriter& w) const {
        w.Put(Size, 16);
        PutAuxCode(w, LengthCode, 5, 3);
        PutSymbolCode(w, Symbols, LengthCode);
        PutAuxCode(w, Distances, 4, -1);
    }
    void PutLiteral(TBitWriter& w, uint8_t b) const { Symbols.Encode(w, b); }
    // A match of length 3..256 whose source lies distance + 1 bytes back (distance 0..8191).
    void PutMatch(TBitWriter& w, int length, uint32_t distance) const {
        Symbols.Encode(w, static_cast<uint32_t>(length + 253));
        uint32_t cls = 0;
        while ((distance >> cls) != 0) ++cls;
        Distances.Encode(w, cls);
        if (cls > 1) w.Put(distance & ((1u << (cls - 1)) - 1), static_cast<int>(cls - 1));
    }
};

struct TLh5Token {
    int Length = 0;     // 0: literal
    uint32_t Value = 0; // the literal byte, or the distance of a match
};

// A symbol sequence and the bytes it stands for by the method's definition.
struct TLh5Tokens {
    std::vector<TLh5Token> Items;

    void Literal(uint8_t b) { Items.push_back({0, b}); }
    void Match(int length, uint32_t distance) { Items.push_back({length, distance}); }

    TBytes Expand() const {
        TBytes out;
        auto at = [&](int64_t i) -> uint8_t { return i < 0 ? uint8_t{0x20} : out[static_cast<size_t>(i)]; };
        for (const auto& t : Items) {
            if (t.Length == 0) {
                out.push_back(static_cast<uint8_t>(t.Value));
                continue;
            }
            for (int k = 0; k < t.Length; ++k)
                out.push_back(at(static_cast<int64_t>(out.size()) - t.Value - 1));
        }
        return out;
    }
};

// A random complete prefix code over the given symbols: a random binary tree no deeper than
// maxLength, its leaves dealt out to the symbols. depthBias near 1 favours deep trees.
inline TLh5Code RandomCode(const std::vector<uint32_t>& symbols, size_t alphabet, int maxLength,
                           double depthBias, std::mt19937& rng) {
    if (symbols.size() == 1) return TLh5Code::One(symbols[0]);
    std::vector<uint8_t> leaves{0};
    while (leaves.size() < symbols.size()) {
        // Split a leaf: the deepest splittable one with probability depthBias, else a random one.
        std::vector<size_t> candidates;
        for (size_t i = 0; i < leaves.size(); ++i)
            if (leaves[i] < maxLength) candidates.push_back(i);
        if (candidates.empty()) throw std::logic_error("too many symbols for the length limit");
        size_t pick = candidates[std::uniform_int_distribution<size_t>(0, candidates.size() - 1)(rng)];
        if (std::bernoulli_distribution(depthBias)(rng)) {
            for (size_t i : candidates)
                if (leaves[i] > leaves[pick]) pick = i;
        }
        uint8_t d = static_cast<uint8_t>(leaves[pick] + 1);
        leaves[pick] = d;
        leaves.push_back(d);
    }
    std::shuffle(leaves.begin(), leaves.end(), rng);
    std::vector<uint8_t> lengths(alphabet, 0);
    for (size_t i = 0; i < symbols.size(); ++i) lengths[symbols[i]] = leaves[i];
    return TLh5Code::FromLengths(lengths);
}
