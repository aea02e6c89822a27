// libFuzzer target of the LH5 compressor's parallel search: for any input, the stream made with
// chunks searched side by side, or rounds found ahead on one thread, must be the one-pass stream. The fuzz
// input is a recipe for a longer input (so that small fuzz inputs still cross many chunk borders): each
// 4-byte step appends fresh pseudo-random bytes, a run of one byte, or a copy of earlier output from some
// distance back, which is where dictionaries that disagree would find different matches.
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "tests/support/CodecStateSetup.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
std::vector<uint8_t> BuildInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    uint32_t x = 0x9E3779B9u;
    for (size_t i = 0; i + 4 <= size && out.size() < 300000; i += 4) {
        const unsigned op = data[i] % 4;
        const size_t length = 1 + (static_cast<size_t>(data[i + 1]) << 4 | (data[i + 2] & 15)) % 4000;
        const size_t back = 1 + (static_cast<size_t>(data[i + 2] >> 4) << 8 | data[i + 3]) * 7;
        if (op == 0 || out.empty()) {
            for (size_t k = 0; k < length; ++k) {
                x ^= x << 13;
                x ^= x >> 17;
                x ^= x << 5;
                out.push_back(static_cast<uint8_t>(x >> 24) % (2 + data[i + 3] % 64));
            }
        } else if (op == 1) {
            out.insert(out.end(), length, data[i + 3]);
        } else {
            const size_t from = out.size() - std::min(back, out.size());
            for (size_t k = 0; k < length; ++k) out.push_back(out[from + k]);
        }
    }
    return out;
}

std::vector<uint8_t> Compress(const std::vector<uint8_t>& input, int threads, int32_t chunk, int32_t warmup) {
    std::vector<uint8_t> in(CodecChunkSize), out(CodecChunkSize);
    TMemoryStream source(input), dest;
    TCodecState s;
    PrepareCodecState(s, in.data(), out.data(), source, dest, static_cast<int32_t>(input.size()), INT32_MAX);
    TLh5ParallelPlan plan;
    plan.Threads = threads;
    plan.ChunkBytes = chunk;
    plan.WarmupBytes = warmup;
    if (threads == 0)
        Lh5CompressOnePass(s);
    else
        Lh5Compress(s, plan);
    FlushOutput(s);
    return dest.Bytes;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto input = BuildInput(data, size);
    if (input.size() < 3 * 8192) return 0;
    const auto onePass = Compress(input, 0, 0, 0);
    if (Compress(input, 1, 8192, 0) != onePass) std::abort();
    if (Compress(input, 2, 16384, 16384) != onePass) std::abort();
    if (Compress(input, 3, 8192, 8192) != onePass) std::abort();
    return 0;
}
