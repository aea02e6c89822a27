#include "tools/qdmx/PackMethod.h"

#include "tools/qdmx/CommandSupport.h"
#include "tools/qdmx/Commands.h"

namespace qdmx {

TPackMethod PackMethodFromOptions(const std::string& name, int level, int windowLog) {
    TPackMethod method;
    if (name != "zstd") {
        if (level != 0 || windowLog != 0) throw EUsageError{"--level and --window-log need -m zstd"};
        method.Index = CompressMethodFromOption(name);
        return method;
    }
    method.Index = miCustom;
    method.Dense = true;
    if (level != 0) {
        if (level < 1 || level > DenseMaxLevel)
            throw EUsageError{"--level must be 1 to " + std::to_string(DenseMaxLevel)};
        method.Level = level;
    }
    if (windowLog != 0) {
        if (windowLog < DenseWindowLogMin || windowLog > DenseWindowLogMax)
            throw EUsageError{"--window-log must be " + std::to_string(DenseWindowLogMin) + " to " +
                              std::to_string(DenseWindowLogMax)};
        method.WindowLog = windowLog;
    }
    return method;
}

TPackMethod WindowForInput(TPackMethod method, int64_t inputBytes) {
    int log = DenseWindowLogMin;
    while (log < method.WindowLog && (int64_t{1} << log) < inputBytes) ++log;
    method.WindowLog = log;
    return method;
}

TPackWriter::TPackWriter(TStream& dest, const TPackMethod& method, int32_t key, int32_t lock)
    : Method(method) {
    if (method.Dense) {
        if (key != 0 && lock == 2)
            throw EUsageError{"-m zstd locks with --lock 1 only (its data cannot be scrambled)"};
        Dense = std::make_unique<TDenseCompressor>(method.Level, method.WindowLog, method.BranchFilter);
        Writer = std::make_unique<TArchiveWriter>(dest, Dense->MethodID(), key, 1);
        Writer->OnCompress = Dense->Handler();
    } else {
        Writer = std::make_unique<TArchiveWriter>(dest, method.Index, key, lock == 0 ? 2 : lock);
    }
}

void TPackWriter::SetProgress(const TShowProgressEvent& handler) {
    Writer->OnShowProgress = handler;
    if (Dense) Dense->OnShowProgress = handler;
}

void TPackWriter::AddFile(const std::string& name, const std::string& path) {
    Writer->AddFile(name, path, Method.Index);
}

} // namespace qdmx
