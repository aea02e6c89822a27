// Helpers shared by the LH5 compressor tests: running the compressor on a hand-prepared state
// with any output budget (the dispatcher always limits it to the input size, which incompressible
// test data would exceed), expanding through the dispatcher, and generators of test data.
#pragma once

#include "compress/Archiver.h"
#include "compress/codecs/CodecState.h"
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "tests/support/DirectCodecRun.h"
#include "tests/support/TestStreams.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

// The compressed stream of input, without the dispatcher's budget.
inline std::vector<uint8_t> Lh5CompressBytes(const std::vector<uint8_t>& input, int32_t budget = INT32_MAX) {
    TDirectCodecRun run(input, budget);
    Lh5Compress(run.S);
    return run.Finish();
}

// Expands a stream to size bytes through the dispatcher (method 4, expand direction).
inline std::vector<uint8_t> Lh5ExpandBytes(const std::vector<uint8_t>& stream, int32_t size) {
    TArchiver archiver;
    TMemoryStream source(stream), dest;
    uint32_t checksum = 0;
    archiver.RunCodec(dest, source, static_cast<int32_t>(stream.size()), size, miLH5, checksum, pmExpand,
                      false);
    return dest.Bytes;
}

inline std::vector<uint8_t> Repeated(size_t n, uint8_t b) {
    return std::vector<uint8_t>(n, b);
}

// n bytes repeating a random pattern of the given period.
inline std::vector<uint8_t> Periodic(size_t n, size_t period, uint32_t seed) {
    auto pattern = RandomBytes(period, seed);
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i) out[i] = pattern[i % period];
    return out;
}

// The start of the de Bruijn sequence of order 3 over all 256 byte values: no three-byte string
// occurs twice, so the compressor finds no match and sends literals only.
inline std::vector<uint8_t> LiteralOnly(size_t n) {
    // Lyndon words over 0..255 in lexicographic order (Duval); those whose length divides 3,
    // written one after another, form the de Bruijn sequence.
    std::vector<uint8_t> out;
    std::vector<int> w{-1};
    while (!w.empty() && out.size() < n) {
        ++w.back();
        const size_t m = w.size();
        if (3 % m == 0)
            for (size_t i = 0; i < m && out.size() < n; ++i) out.push_back(static_cast<uint8_t>(w[i]));
        while (w.size() < 3) w.push_back(w[w.size() - m]);
        while (!w.empty() && w.back() == 255) w.pop_back();
    }
    return out;
}

// Text-like bytes: words from a small vocabulary with spaces, punctuation and line breaks.
inline std::vector<uint8_t> WordSalad(size_t n, uint32_t seed) {
    static const char* const words[] = {"the",   "dictionary", "entry", "of",      "translation", "and",
                                        "setup", "window",     "match", "archive", "Vellumor",    "is",
                                        "a",     "with",       "to",    "block",   "Parlavox",    "code"};
    auto r = RandomBytes(n, seed);
    std::string text;
    for (size_t i = 0; text.size() < n; ++i) {
        text += words[r[i % n] % std::size(words)];
        text += (r[(i * 7) % n] % 13 == 0) ? ".\n" : " ";
    }
    return {text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n)};
}

inline void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& more) {
    to.insert(to.end(), more.begin(), more.end());
}
