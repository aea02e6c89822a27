// Expansion of dense members: one zstd decompression stream per archive, fed member by member.
// A member's stored data must expand to exactly its ExpandedSize: the stream was flushed at the
// member's end, so its bytes hold every block of the member and nothing of the next one. A stream
// that asks for a window above 2^DenseWindowLogMax is refused (ZSTD_d_windowLogMax) as damaged
// data, which bounds the decoder's memory at that window plus two 128 KiB blocks.
#include "compress/dense/DenseMethod.h"

#include "compress/dense/BranchFilter.h"

#include "platform/Yield.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {
// Stored bytes fetched from the archive per read (and per progress report).
constexpr int32_t InputPieceSize = 4 * CodecChunkSize;

std::string ZstdError(size_t code) {
    // The setup programs' decoder carries no error strings; the number still tells them apart.
    return "the zstd stream is invalid (error " + std::to_string(static_cast<int>(ZSTD_getErrorCode(code))) +
           ": " + ZSTD_getErrorName(code) + ")";
}

std::string Quoted(const std::string& name) {
    return "\"" + name + "\"";
}
} // namespace

struct TFreeDCtx {
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

struct TDenseDecoder {
    TDenseDecoder()
        : Owned(ZSTD_createDCtx()), Context(Owned.get()), In(new uint8_t[InputPieceSize]),
          OutSize(ZSTD_DStreamOutSize()), Out(new uint8_t[OutSize]) {
        if (!Context) throw std::bad_alloc();
        const size_t set = ZSTD_DCtx_setParameter(Context, ZSTD_d_windowLogMax, DenseWindowLogMax);
        if (ZSTD_isError(set)) throw Exception("zstd: " + std::string(ZSTD_getErrorName(set)));
    }

    // Runs sourceSize stored bytes through the stream into dest (nothing is kept when dest is
    // null), requiring exactly destSize bytes of output; returns their byte sum. With a progress
    // handler: 0 first (-1 cancels: false comes back and nothing is read), then once per piece.
    // With branchFilter, a member that starts as an executable is converted back on its way out.
    bool Decode(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                const TShowProgressEvent& progress, bool branchFilter, uint32_t& sum);

    std::unique_ptr<ZSTD_DCtx, TFreeDCtx> Owned;
    ZSTD_DCtx* Context;
    std::unique_ptr<uint8_t[]> In;
    size_t OutSize;
    std::unique_ptr<uint8_t[]> Out;
};

bool TDenseDecoder::Decode(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                           const TShowProgressEvent& progress, bool branchFilter, uint32_t& sum) {
    if (progress) {
        int32_t percent = 0;
        progress(percent);
        if (percent == -1) return false;
    }
    sum = 0;
    int32_t fetched = 0;
    int64_t produced = 0;
    ZSTD_inBuffer in{In.get(), 0, 0};
    // Whether the last call filled its output: the decoder may then hold more. Once destSize
    // bytes are out, a one-byte probe takes the output's place and must stay empty. zstd counts
    // calls without progress and fails after a few in a row, so no call is made without input
    // unless the output was full (at most one such call per member).
    bool full = false;
    uint8_t probe = 0;
    // Output bytes held at the front of Out for the next call: the member's first bytes until
    // they tell an executable, or the start of a branch whose distance is still to come.
    size_t held = 0;
    bool decided = !branchFilter;
    std::optional<TBranchFilter> filter;
    auto release = [&](size_t count) {
        sum += ByteSum(Out.get(), count);
        if (dest) dest->Write(Out.get(), static_cast<int32_t>(count));
    };
    for (;;) {
        if (in.pos == in.size && fetched < sourceSize) {
            const int32_t want = std::min(InputPieceSize, sourceSize - fetched);
            const int32_t got = source.Read(In.get(), want);
            if (got != want) throw EDenseDataError("the stored data ends early");
            fetched += got;
            in = {In.get(), static_cast<size_t>(got), 0};
            YieldToOtherThreads();
            if (progress) {
                int32_t percent = ProgressPercent(fetched, sourceSize);
                progress(percent);
            }
        }
        const bool inputLeft = in.pos < in.size;
        if (!inputLeft && !full) break;
        const auto room =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(OutSize - held), destSize - produced));
        ZSTD_outBuffer out{room ? Out.get() + held : &probe, room ? room : 1, 0};
        const size_t before = in.pos;
        const size_t result = ZSTD_decompressStream(Context, &out, &in);
        if (ZSTD_isError(result)) throw EDenseDataError(ZstdError(result));
        if (room == 0 && out.pos != 0)
            throw EDenseDataError("the stored data expands to more than the member's " +
                                  std::to_string(destSize) + " bytes");
        if (out.pos > 0) {
            produced += static_cast<int64_t>(out.pos);
            const size_t ready = held + out.pos;
            if (!decided && ready >= ExecutableMarkBytes) {
                decided = true;
                if (StartsAsExecutable(Out.get())) filter.emplace(TBranchFilter::TDirection::ToDistances);
            }
            const size_t final = !decided ? 0 : filter ? filter->Convert(Out.get(), ready) : ready;
            release(final);
            held = ready - final;
            std::memmove(Out.get(), Out.get() + final, held);
        }
        full = out.pos == out.size;
        if (inputLeft && out.pos == 0 && in.pos == before) throw EDenseDataError("the zstd stream stalls");
    }
    if (produced != destSize)
        throw EDenseDataError("the stored data expands to " + std::to_string(produced) +
                              " bytes, not the member's " + std::to_string(destSize));
    release(held); // the member's last bytes, too few for a branch
    return true;
}

TDenseExpander::TDenseExpander(TArchiver& archiver)
    : Archiver(archiver), Decoder(std::make_unique<TDenseDecoder>()) {
    // Every archive header read starts a new archive: the stream's state starts again with it.
    Archiver.OnRecognize = [this](const std::string& compressID, bool& recognized) {
        if (!IsDenseMethodID(compressID)) return;
        recognized = true;
        Restart();
    };
    Archiver.OnExpand = [this](TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize,
                               const std::string& compressID, uint32_t& checksum) {
        if (!IsDenseMethodID(compressID)) return;
        BranchFilter = compressID == DenseExecutableMethodID;
        Expand(dest, source, sourceSize, destSize, checksum);
    };
}

TDenseExpander::~TDenseExpander() = default;

void TDenseExpander::Restart() {
    ZSTD_DCtx_reset(Decoder->Context, ZSTD_reset_session_only);
    SyncedStream = nullptr;
}

void TDenseExpander::Expand(TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize,
                            uint32_t& checksum) {
    const int64_t dataStart = source.Position();
    CatchUp(source, dataStart);
    // Whatever stops this member leaves the stream's state inside it: the next member starts
    // again from the archive's beginning.
    SyncedStream = nullptr;
    if (!Decoder->Decode(&dest, source, sourceSize, destSize, Archiver.OnShowProgress, BranchFilter,
                         checksum)) {
        // Cancelled before anything was read: the state is still that before this member.
        Restart();
        return;
    }
    if (Archiver.OnShowProgress) {
        int32_t percent = 100;
        Archiver.OnShowProgress(percent);
    }
    SyncedStream = &source;
    SyncedEnd = dataStart + sourceSize;
}

void TDenseExpander::CatchUp(TStream& source, int64_t dataStart) {
    int64_t at = SyncedEnd;
    if (SyncedStream != &source || SyncedEnd > dataStart) {
        Restart();
        uint8_t bytes[ArchiveHeaderSize];
        source.Seek(0, TSeekOrigin::Begin);
        if (source.Read(bytes, ArchiveHeaderSize) != ArchiveHeaderSize ||
            SignatureText(DecodeArchiveHeader(bytes)) != ArchiveSignature)
            throw EDenseDataError("the archive does not start at the beginning of its stream");
        at = ArchiveHeaderSize;
    } else {
        source.Seek(at, TSeekOrigin::Begin);
    }
    // Walk the members from there; the dense ones before this member expand into nothing.
    TMemberHeader header;
    std::string name;
    for (;;) {
        if (at + MemberHeaderSize > dataStart || !Archiver.ReadMemberHeader(source, header, name))
            throw EDenseDataError("the members before this one do not lead to it");
        const int64_t memberData = source.Position();
        if (memberData == dataStart) return;
        if (memberData > dataStart) throw EDenseDataError("the members before this one do not lead to it");
        if (header.Method == miCustom) {
            uint32_t sum = 0;
            SyncedStream = nullptr;
            try {
                Decoder->Decode(nullptr, source, header.CompressedSize, header.ExpandedSize, nullptr,
                                BranchFilter, sum);
            } catch (const EDenseDataError& e) {
                throw EDenseDataError("member " + Quoted(name) + ", which this member builds on: " +
                                      e.Message.substr(e.Message.find(": ") + 2));
            }
            const bool matches =
                sum == header.Checksum ||
                (header.Lock > 0 && static_cast<uint32_t>(Archiver.Key) + sum == header.Checksum);
            if (!matches)
                throw EDenseDataError("member " + Quoted(name) +
                                      ", which this member builds on, has a bad checksum");
        }
        at = memberData + header.CompressedSize;
        source.Seek(at, TSeekOrigin::Begin);
        SyncedStream = &source;
        SyncedEnd = at;
    }
}
