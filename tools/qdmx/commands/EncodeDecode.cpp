// qdmx encode / decode: raw member data through RunCodec, exactly as an archive member's bytes
// would pass. encode collects its output in memory so that a member that cannot be compressed
// leaves nothing behind; decode streams straight to its destination.
#include "tools/qdmx/Commands.h"
#include "tools/qdmx/Console.h"
#include "tools/qdmx/Methods.h"

#include "compress/Archiver.h"
#include "platform/files/FileStream.h"

#include <climits>
#include <cstdio>

namespace qdmx {
namespace {

bool IsStandard(const std::string& path) {
    return path.empty() || path == "-";
}

std::unique_ptr<TStream> OpenInput(const std::string& path) {
    if (!IsStandard(path)) return TFileStream::OpenRead(path);
    // Standard input may be a pipe: take it whole so that its size is known.
    return std::make_unique<TMemoryStream>(ReadAll(*TFileStream::StandardInput()));
}

std::unique_ptr<TStream> CreateOutput(const std::string& path) {
    return IsStandard(path) ? TFileStream::StandardOutput() : TFileStream::Create(path);
}

uint8_t CheckedMethod(const std::string& name, bool expanding) {
    auto index = MethodIndexOfName(name);
    if (!index) throw EUsageError{"unknown method '" + name + "' (use none, rle, lzh or lh5)"};
    if (!MethodAvailable(*index, expanding))
        throw EUsageError{"method '" + name + "' is not available for " + (expanding ? "decode" : "encode") +
                          " in this build"};
    return *index;
}

int32_t CheckedSourceSize(TStream& input) {
    int64_t size = input.Remaining();
    if (size > INT32_MAX) throw Exception("input is larger than 2 GiB, the limit of the archive format");
    return static_cast<int32_t>(size);
}

} // namespace

int Encode(const TCodecOptions& options) {
    uint8_t method = CheckedMethod(options.Method, false);
    auto input = OpenInput(options.Input);
    int32_t size = CheckedSourceSize(*input);
    TArchiver archiver;
    TMemoryStream coded;
    uint32_t checksum = 0;
    try {
        archiver.RunCodec(coded, *input, size, size, method, checksum, pmCompress, false);
    } catch (const EUnableToCompress& e) {
        PrintText(stderr, "qdmx: %s\n", e.what());
        return ExitUnableToCompress;
    }
    auto output = CreateOutput(options.Output);
    output->Write(coded.Bytes.data(), static_cast<int32_t>(coded.Bytes.size()));
    return ExitOk;
}

int Decode(const TCodecOptions& options) {
    uint8_t method = CheckedMethod(options.Method, true);
    bool needsSize = method == miLZH || method == miLH5;
    if (needsSize && options.Size < 0) throw EUsageError{"decode -m " + options.Method + " needs -s SIZE"};
    if (options.Size > INT32_MAX)
        throw EUsageError{"SIZE is larger than 2 GiB, the limit of the archive format"};
    auto input = OpenInput(options.Input);
    int32_t size = CheckedSourceSize(*input);
    auto output = CreateOutput(options.Output);
    TArchiver archiver;
    uint32_t checksum = 0;
    auto expandedSize = static_cast<int32_t>(options.Size < 0 ? 0 : options.Size);
    // An expansion's count starts at 1, so the bytes written are one less.
    int64_t written =
        archiver.RunCodec(*output, *input, size, expandedSize, method, checksum, pmExpand, false) - 1;
    if (options.Size >= 0 && written != options.Size) {
        PrintText(stderr, "qdmx: damaged data: decoded %lld bytes, expected %lld\n",
                  static_cast<long long>(written), static_cast<long long>(options.Size));
        return ExitFailure;
    }
    return ExitOk;
}

} // namespace qdmx
