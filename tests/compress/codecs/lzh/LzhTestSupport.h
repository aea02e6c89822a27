// Helpers shared by the LZH tests: running the codec directly on a state with any output budget
// (the dispatcher always limits a compressor to its input size), writing hand-made streams symbol
// by symbol, reading a stream back as a list of tokens, and test data with a chosen character.
#pragma once

#include "compress/codecs/CodecState.h"
#include "compress/codecs/lzh/LzhBits.h"
#include "compress/codecs/lzh/LzhCodec.h"
#include "compress/codecs/lzh/LzhCoding.h"
#include "compress/codecs/lzh/LzhModel.h"
#include "compress/codecs/lzh/LzhStorage.h"
#include "tests/support/DirectCodecRun.h"
#include "tests/support/TestStreams.h"

#include <climits>
#include <string>
#include <vector>

inline std::vector<uint8_t> LzhCompressBytes(const std::vector<uint8_t>& input, int32_t budget = INT32_MAX) {
    TDirectCodecRun d(input, budget);
    LzhCompress(d.S);
    return d.Finish();
}

inline std::vector<uint8_t> LzhExpandBytes(const std::vector<uint8_t>& stream, int32_t count) {
    TDirectCodecRun d(stream, INT32_MAX);
    LzhExpand(d.S, count);
    return d.Finish();
}

// Writes a stream token by token through the codec's own symbol and position coders, for streams
// that the compressor would never make (long codes, far matches at the start, ...).
class TLzhStreamWriter {
public:
    TLzhStreamWriter() : State({}, INT32_MAX) {
        LzhAllocStorage(Z);
        LzhStartModel(Z);
    }
    void Literal(uint8_t b) { LzhEncodeSymbol(State.S, Z, b); }
    void Match(int length, int position) {
        LzhEncodeSymbol(State.S, Z, 253 + length);
        LzhEncodePosition(State.S, Z, position);
    }
    // Bits on the path from the root to the symbol's leaf in the current model.
    int CodeLength(int symbol) const {
        int length = 0;
        for (int n = Z.LzhHuffParent[symbol + LzhLeafBase]; n != LzhHuffRoot; n = Z.LzhHuffParent[n])
            ++length;
        return length;
    }
    std::vector<uint8_t> Finish() {
        LzhFlushBits(State.S, Z);
        return State.Finish();
    }

    TLzhStorage Z;

private:
    TDirectCodecRun State;
};

struct TLzhToken {
    int Symbol;       // 0..255 literal, 256..313 match of length Symbol - 253
    int Position = 0; // distance - 1 of a match
    bool operator==(const TLzhToken&) const = default;
};

// Decodes the tokens of a stream until they account for count bytes.
inline std::vector<TLzhToken> LzhReadTokens(const std::vector<uint8_t>& stream, int32_t count) {
    TDirectCodecRun d(stream, INT32_MAX);
    TLzhStorage z;
    LzhAllocStorage(z);
    LzhStartModel(z);
    std::vector<TLzhToken> tokens;
    for (int32_t produced = 0; produced < count;) {
        TLzhToken t{LzhDecodeSymbol(d.S, z)};
        if (t.Symbol >= 256) t.Position = LzhDecodePosition(d.S, z);
        produced += t.Symbol < 256 ? 1 : t.Symbol - 253;
        tokens.push_back(t);
    }
    return tokens;
}

inline TLzhToken LzhMatchToken(int length, int position) {
    return {253 + length, position};
}

// Text with the statistics of prose: words from a small vocabulary in pseudo-random order, so
// that there are many matches of all lengths and skewed literal frequencies.
inline std::vector<uint8_t> ProseBytes(size_t n, uint32_t seed) {
    static const char* const words[] = {"the ",   "dictionary ", "of ",     "a ",      "translation ",
                                        "and ",   "Vellumor ",   "opens ",  "every ",  "project, ",
                                        "which ", "is ",         "setup ",  "wizard ", "installs\n",
                                        "file ",  "archive. ",   "member ", "to ",     "Parlavox "};
    std::vector<uint8_t> out;
    std::vector<uint8_t> picks = RandomBytes(n, seed);
    for (size_t i = 0; out.size() < n; ++i) {
        std::string w = words[picks[i % picks.size()] % 20];
        out.insert(out.end(), w.begin(), w.end());
    }
    out.resize(n);
    return out;
}

// Literal weights that grow like Fibonacci numbers chain the tree, so the symbols never seen sit
// more than 16 levels below the root.
inline std::vector<uint8_t> DeepModelLiterals(uint32_t seed) {
    const int weights[] = {314, 314, 628, 942, 1570, 2512, 4082, 6594, 10676};
    std::vector<uint8_t> out;
    std::vector<uint8_t> order = RandomBytes(27632, seed);
    std::vector<int> left(std::begin(weights), std::end(weights));
    for (uint8_t o : order) {
        int k = o % 9;
        while (left[k] == 0) k = (k + 1) % 9;
        --left[k];
        out.push_back(static_cast<uint8_t>('A' + k));
    }
    return out;
}
