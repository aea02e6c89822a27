// Deterministic text-like and binary-like buffers built from a xorshift generator; no library
// random engine, whose sequences may differ between standard libraries.
#include "bench/BenchData.h"

#include <string>

namespace {

class TXorShift {
public:
    explicit TXorShift(uint32_t seed) : X(seed ? seed : 1) {}
    uint32_t Next() {
        X ^= X << 13;
        X ^= X >> 17;
        X ^= X << 5;
        return X;
    }
    uint32_t Below(uint32_t n) { return Next() % n; }

private:
    uint32_t X;
};

std::vector<std::string> MakeVocabulary(TXorShift& rng, size_t count) {
    static const char* const Syllables[] = {"al", "be", "con", "de",  "ex", "for", "ge", "in", "lo",  "ma",
                                            "ne", "or", "pre", "qui", "re", "st",  "ta", "un", "ver", "y"};
    std::vector<std::string> words;
    for (size_t i = 0; i < count; ++i) {
        std::string word;
        for (uint32_t n = 1 + rng.Below(4); n > 0; --n) word += Syllables[rng.Below(20)];
        words.push_back(word);
    }
    return words;
}

} // namespace

std::vector<uint8_t> GeneratedText(size_t size, uint32_t seed) {
    TXorShift rng(seed);
    const auto words = MakeVocabulary(rng, 4096);
    std::vector<uint8_t> out;
    out.reserve(size + 64);
    size_t lineLength = 0;
    while (out.size() < size) {
        // Squaring a uniform index skews the choice towards the first words, as in real prose.
        uint32_t r = rng.Below(4096);
        const std::string& word = words[(static_cast<uint64_t>(r) * r) >> 12];
        out.insert(out.end(), word.begin(), word.end());
        lineLength += word.size() + 1;
        uint32_t p = rng.Below(16);
        if (p == 0) out.push_back('.');
        if (p == 1) out.push_back(',');
        if (lineLength > 72) {
            out.push_back('\n');
            lineLength = 0;
        } else {
            out.push_back(' ');
        }
    }
    out.resize(size);
    return out;
}

std::vector<uint8_t> GeneratedBinary(size_t size, uint32_t seed) {
    TXorShift rng(seed);
    std::vector<uint8_t> out;
    out.reserve(size + 512);
    uint32_t counter = 0x401000;
    while (out.size() < size) {
        switch (rng.Below(4)) {
        case 0: // a table of little-endian addresses
            for (uint32_t n = 4 + rng.Below(28); n > 0; --n) {
                counter += 4 * (1 + rng.Below(8));
                for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(counter >> (8 * i)));
            }
            break;
        case 1: // instruction-like bytes from a small set of opcodes and operands
            for (uint32_t n = 16 + rng.Below(96); n > 0; --n) {
                static const uint8_t Opcodes[] = {0x48, 0x89, 0x8b, 0xe8, 0xc3, 0x0f, 0x85, 0x74, 0x31, 0xff};
                out.push_back(Opcodes[rng.Below(10)]);
                if (rng.Below(3) == 0) out.push_back(static_cast<uint8_t>(rng.Below(16)));
            }
            break;
        case 2: // alignment padding
            out.insert(out.end(), 8 + rng.Below(56), static_cast<uint8_t>(rng.Below(4) == 0 ? 0xcc : 0));
            break;
        default: // already-compressed or encrypted data
            for (uint32_t n = 8 + rng.Below(120); n > 0; --n)
                out.push_back(static_cast<uint8_t>(rng.Next() >> 24));
            break;
        }
    }
    out.resize(size);
    return out;
}
