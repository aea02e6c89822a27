// How create and make-setup pack members: one of the method table's compressors, or the dense
// method (zstd through the custom-method door, with its compression level and window).
#pragma once

#include "compress/archive/ArchiveWriter.h"
#include "compress/dense/DenseMethod.h"

#include <memory>
#include <string>

namespace qdmx {

struct TPackMethod {
    uint8_t Index = miLH5;
    bool Dense = false;
    int Level = DenseDefaultLevel;
    int WindowLog = DenseWindowLogMax;
    // Executables go through the x86 branch filter (DenseExecutableMethodID archives).
    bool BranchFilter = true;
};

// The method of a -m option ("zstd" or a name that CompressMethodFromOption knows), with --level
// and --window-log (0: not given), which only the dense method takes. EUsageError when invalid.
TPackMethod PackMethodFromOptions(const std::string& name, int level = 0, int windowLog = 0);

// The method with the dense method's window cut to the smallest power of two that holds all of
// the input (a window cannot reach further back than that, and the expander reserves the window's
// size in memory, so small archives expand in little memory).
TPackMethod WindowForInput(TPackMethod method, int64_t inputBytes);

// An archive writer for a pack method: the dense method's archives carry its identifier and code
// every member through one TDenseCompressor.
class TPackWriter {
public:
    TPackWriter(TStream& dest, const TPackMethod& method, int32_t key = 0, int32_t lock = 0);
    void SetProgress(const TShowProgressEvent& handler);
    void AddFile(const std::string& name, const std::string& path);
    void Finish() { Writer->Finish(); }

private:
    TPackMethod Method;
    std::unique_ptr<TDenseCompressor> Dense;
    std::unique_ptr<TArchiveWriter> Writer;
};

} // namespace qdmx
