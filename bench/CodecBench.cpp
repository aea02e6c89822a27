// In-process throughput of every codec this build has, through TArchiver::RunCodec exactly as an
// archive member passes, on generated text-like and binary-like buffers. Throughput is counted
// in uncompressed bytes for both directions. Output goes to a stream that only counts, so the
// figures hold the codec and its buffered I/O but no copying into a growing buffer.
//
// Benchmarks are registered at run time from the codec table: a method without a compressor or
// expander in this build is skipped with a note. Expansion needs the method's compressor to make
// its input; each pair is checked for an exact round trip before it is timed.
#include "bench/BenchData.h"

#include "compress/Archiver.h"
#include "compress/CodecTable.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

constexpr size_t InputSize = 4 << 20;

struct TInput {
    const char* Name;
    std::vector<uint8_t> Bytes;
};

int64_t Run(TArchiver& archiver, TStream& dest, const std::vector<uint8_t>& source, int32_t destSize,
            uint8_t method, TProcessMode mode) {
    TReadOnlyMemoryStream in(source.data(), static_cast<int64_t>(source.size()));
    uint32_t checksum = 0;
    return archiver.RunCodec(dest, in, static_cast<int32_t>(source.size()), destSize, method, checksum, mode,
                             false);
}

void CompressBench(benchmark::State& state, uint8_t method, const TInput* input) {
    TArchiver archiver;
    auto size = static_cast<int32_t>(input->Bytes.size());
    int64_t written = 0;
    try {
        for (auto _ : state) {
            TCountingStream sink;
            written = Run(archiver, sink, input->Bytes, size, method, pmCompress);
        }
    } catch (const Exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["ratio"] = static_cast<double>(written) / size;
}

void ExpandBench(benchmark::State& state, uint8_t method, const TInput* input) {
    TArchiver archiver;
    auto size = static_cast<int32_t>(input->Bytes.size());
    TMemoryStream packed, unpacked;
    try {
        Run(archiver, packed, input->Bytes, size, method, pmCompress);
        Run(archiver, unpacked, packed.Bytes, size, method, pmExpand);
    } catch (const Exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    if (unpacked.Bytes != input->Bytes) {
        state.SkipWithError("round trip does not give back the input");
        return;
    }
    try {
        for (auto _ : state) {
            TCountingStream sink;
            Run(archiver, sink, packed.Bytes, size, method, pmExpand);
        }
    } catch (const Exception& e) {
        state.SkipWithError(e.what());
        return;
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * size);
    state.counters["ratio"] = static_cast<double>(packed.Bytes.size()) / size;
}

void RegisterAll(const std::vector<TInput>& inputs) {
    for (uint8_t method = 0; method < MethodIdentifiers.size(); ++method) {
        if (method == miCustom) continue;
        const std::string name = MethodIdentifiers[method];
        const TCodecEntry* codec = FindCodec(method);
        if (!codec || !codec->Compress) {
            std::fprintf(stderr, "CodecBench: %s has no compressor in this build: skipped%s\n", name.c_str(),
                         codec && codec->Expand ? " (its expansion needs one to make input)" : "");
            continue;
        }
        for (const TInput& input : inputs) {
            benchmark::RegisterBenchmark((name + "/compress/" + input.Name).c_str(), CompressBench, method,
                                         &input)
                ->Unit(benchmark::kMillisecond);
            if (codec->Expand)
                benchmark::RegisterBenchmark((name + "/expand/" + input.Name).c_str(), ExpandBench, method,
                                             &input)
                    ->Unit(benchmark::kMillisecond);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const std::vector<TInput> inputs = {{"text", GeneratedText(InputSize, 20240101)},
                                        {"binary", GeneratedBinary(InputSize, 20240102)}};
    RegisterAll(inputs);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
