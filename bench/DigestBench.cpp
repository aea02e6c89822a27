// What the setup's integrity check costs before its first page: the CRC-32 of its embedded data,
// here 24 MiB (the size of the install benchmark's payload packed with lh5).
#include "bench/BenchData.h"

#include "platform/Crc32.h"

#include <benchmark/benchmark.h>

namespace {

constexpr size_t SetupPayloadSize = 24 << 20;

void SetupDigestBench(benchmark::State& state) {
    const std::vector<uint8_t> payload = GeneratedBinary(SetupPayloadSize, 20261209);
    for (auto _ : state) benchmark::DoNotOptimize(UpdateCrc32(0, payload.data(), payload.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(payload.size()));
}
BENCHMARK(SetupDigestBench)->Name("setup-digest/crc32/24MiB")->Unit(benchmark::kMillisecond);

} // namespace
