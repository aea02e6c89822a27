// What the setup's integrity check costs before its first page: the CRC-32 of its embedded data,
// here 24 MiB (the size of the install benchmark's payload packed with lh5); and what the writer's
// digest of every installed file costs, in the blocks its thread writes (64 KiB).
#include "bench/BenchData.h"

#include "compress/archive/output/BackgroundWriter.h"
#include "platform/digest/Crc32.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

constexpr size_t SetupPayloadSize = 24 << 20;

void SetupDigestBench(benchmark::State& state) {
    const std::vector<uint8_t> payload = GeneratedBinary(SetupPayloadSize, 20261209);
    for (auto _ : state) benchmark::DoNotOptimize(UpdateCrc32(0, payload.data(), payload.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(SetupDigestBench)->Name("setup-digest/crc32/24MiB")->Unit(benchmark::kMillisecond);

void WriterDigestBench(benchmark::State& state) {
    constexpr size_t Block = TBackgroundWriter::BlockSize;
    const std::vector<uint8_t> payload = GeneratedBinary(SetupPayloadSize, 20261210);
    for (auto _ : state) {
        uint32_t crc = 0;
        for (size_t at = 0; at < payload.size(); at += Block)
            crc = UpdateCrc32(crc, payload.data() + at, std::min(Block, payload.size() - at));
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(WriterDigestBench)
    ->Name("writer-digest/crc32/24MiB-in-64KiB-blocks")
    ->Unit(benchmark::kMillisecond);

} // namespace
