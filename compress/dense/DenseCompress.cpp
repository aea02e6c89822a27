// Compression of dense members: one zstd compression stream per archive (one thread, so that the
// output is the same on every build), flushed at the end of each member. The flush ends the
// member's last block, so its stored data expands to exactly its contents, while the stream's
// window (2^windowLog bytes) keeps what the members before it held within reach.
#include "compress/dense/DenseMethod.h"

#include "compress/dense/BranchFilter.h"

#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>

namespace {
// Source bytes read per piece (and per progress report).
constexpr int32_t SourcePieceSize = 1 << 20;

void Check(size_t result) {
    if (ZSTD_isError(result)) throw Exception(std::string("zstd: ") + ZSTD_getErrorName(result));
}
} // namespace

struct TFreeCCtx {
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
};

struct TDenseEncoder {
    TDenseEncoder(int level, int windowLog)
        : Owned(ZSTD_createCCtx()), Context(Owned.get()), In(new uint8_t[SourcePieceSize]),
          OutSize(ZSTD_CStreamOutSize()), Out(new uint8_t[OutSize]) {
        if (!Context) throw std::bad_alloc();
        Check(ZSTD_CCtx_setParameter(Context, ZSTD_c_compressionLevel, level));
        Check(ZSTD_CCtx_setParameter(Context, ZSTD_c_windowLog, windowLog));
        // The members' own checksums serve; the stream's size is not known in advance.
        Check(ZSTD_CCtx_setParameter(Context, ZSTD_c_checksumFlag, 0));
    }

    // Runs the stream with the given directive until it has taken all of in (and, when flushing,
    // until the flush is complete), writing its output to dest; returns the bytes written.
    int64_t Run(TStream& dest, ZSTD_inBuffer& in, ZSTD_EndDirective directive) {
        int64_t written = 0;
        for (;;) {
            ZSTD_outBuffer out{Out.get(), OutSize, 0};
            const size_t left = ZSTD_compressStream2(Context, &out, &in, directive);
            Check(left);
            if (out.pos) dest.Write(Out.get(), static_cast<int32_t>(out.pos));
            written += static_cast<int64_t>(out.pos);
            if (directive == ZSTD_e_continue ? in.pos == in.size : left == 0) return written;
        }
    }

    std::unique_ptr<ZSTD_CCtx, TFreeCCtx> Owned;
    ZSTD_CCtx* Context;
    std::unique_ptr<uint8_t[]> In;
    size_t OutSize;
    std::unique_ptr<uint8_t[]> Out;
};

TDenseCompressor::TDenseCompressor(int level, int windowLog, bool branchFilter) : BranchFilter(branchFilter) {
    if (level < 1 || level > DenseMaxLevel)
        throw Exception("zstd level must be 1 to " + std::to_string(DenseMaxLevel));
    if (windowLog < DenseWindowLogMin || windowLog > DenseWindowLogMax)
        throw Exception("zstd window log must be " + std::to_string(DenseWindowLogMin) + " to " +
                        std::to_string(DenseWindowLogMax));
    Encoder = std::make_unique<TDenseEncoder>(level, windowLog);
}

TDenseCompressor::~TDenseCompressor() = default;

void TDenseCompressor::Compress(TStream& dest, TStream& source, std::string& compressID, int32_t& outputSize,
                                uint32_t& checksum) {
    compressID = MethodID();
    const int64_t size = source.Remaining();
    int64_t done = 0, written = 0;
    uint32_t sum = 0;
    if (OnShowProgress) {
        int32_t percent = 0;
        OnShowProgress(percent);
    }
    // Bytes held at the front of In for the next piece: the start of a branch whose distance is
    // still to come. An executable is told by its first piece, which holds its whole mark.
    uint8_t* in = Encoder->In.get();
    size_t held = 0;
    std::optional<TBranchFilter> filter;
    while (done < size) {
        const auto want = static_cast<int32_t>(
            std::min<int64_t>(SourcePieceSize - static_cast<int64_t>(held), size - done));
        if (source.Read(in + held, want) != want) throw EStreamError("Source ended early while compressing");
        sum += ByteSum(in + held, static_cast<size_t>(want));
        const size_t ready = held + static_cast<size_t>(want);
        if (BranchFilter && done == 0 && ready >= ExecutableMarkBytes && StartsAsExecutable(in))
            filter.emplace(TBranchFilter::TDirection::ToTargets);
        done += want;
        size_t final = filter ? filter->Convert(in, ready) : ready;
        if (done == size) final = ready; // the member's last bytes, too few for a branch
        ZSTD_inBuffer piece{in, final, 0};
        written += Encoder->Run(dest, piece, ZSTD_e_continue);
        held = ready - final;
        std::memmove(in, in + final, held);
        if (OnShowProgress) {
            int32_t percent = ProgressPercent(static_cast<int32_t>(done), static_cast<int32_t>(size));
            OnShowProgress(percent);
        }
    }
    ZSTD_inBuffer none{nullptr, 0, 0};
    written += Encoder->Run(dest, none, ZSTD_e_flush);
    if (written > INT32_MAX) throw Exception("Compressed member exceeds 2 GiB");
    outputSize = static_cast<int32_t>(written);
    checksum = sum;
    if (OnShowProgress) {
        int32_t percent = 100;
        OnShowProgress(percent);
    }
}

TCompressEvent TDenseCompressor::Handler() {
    return [this](TStream& dest, TStream& source, std::string& compressID, int32_t& outputSize,
                  uint32_t& checksum) { Compress(dest, source, compressID, outputSize, checksum); };
}
