// Expansion of dense members: one zstd decompression stream per archive, fed member by member.
// A member's stored data must expand to exactly its ExpandedSize: the stream was flushed at the
// member's end, so its bytes hold every block of the member and nothing of the next one. A stream
// that asks for a window above 2^DenseWindowLogMax is refused (ZSTD_d_windowLogMax) as damaged
// data, which bounds the decoder's memory at that window plus two 128 KiB blocks.
// zstd's allocation callbacks (ZSTD_customMem) are in the part of its interface kept for
// programs that link it statically or pin its version.
#define ZSTD_STATIC_LINKING_ONLY
#include "compress/dense/DenseMethod.h"

#include "compress/dense/BranchFilter.h"
#include "compress/dense/DenseAhead.h"
#include "compress/dense/DenseDecoder.h"

#include "platform/process/Pages.h"
#include "platform/process/Yield.h"

#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <cstdlib>
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

// A member of the archive that the member being expanded builds on failed.
EDenseDataError BuildsOnError(const std::string& name, const EDenseDataError& e) {
    return EDenseDataError("member " + Quoted(name) +
                           ", which this member builds on: " + e.Message.substr(e.Message.find(": ") + 2));
}

// Whether the stream starts with an archive header (the position is left after it).
bool StartsWithArchive(TStream& source) {
    uint8_t bytes[ArchiveHeaderSize];
    source.Seek(0, TSeekOrigin::Begin);
    return source.Read(bytes, ArchiveHeaderSize) == ArchiveHeaderSize &&
           SignatureText(DecodeArchiveHeader(bytes)) == ArchiveSignature;
}
} // namespace

void TWindowBlock::Allocated(uint8_t* start, size_t size) {
    if (size < MinSize) return;
    Start = start;
    Size = size;
    Present = 0;
    Extend();
}

void TWindowBlock::Freed(const void* start) {
    if (start == Start) Start = nullptr;
}

void TWindowBlock::Want(int64_t produced) {
    Wanted = static_cast<size_t>(produced);
    Extend();
}

void TWindowBlock::Extend() {
    // A step past the bytes wanted also covers the input piece before the window.
    if (!Start || Present >= Size || Wanted + Step <= Present) return;
    const size_t end = std::min(Size, std::max(Wanted + Step, Present + Step));
    MakePagesPresent(Start + Present, end - Present);
    Present = end;
}

namespace {
void* AllocateForDecoder(void* window, size_t size) {
    void* start = std::malloc(size);
    if (start) static_cast<TWindowBlock*>(window)->Allocated(static_cast<uint8_t*>(start), size);
    return start;
}

void FreeForDecoder(void* window, void* start) {
    static_cast<TWindowBlock*>(window)->Freed(start);
    std::free(start);
}
} // namespace

TDenseDecoder::TDenseDecoder()
    : Window(std::make_unique<TWindowBlock>()),
      Context(ZSTD_createDCtx_advanced({AllocateForDecoder, FreeForDecoder, Window.get()})),
      In(new uint8_t[InputPieceSize]), OutSize(ZSTD_DStreamOutSize()), Out(new uint8_t[OutSize]) {
    if (!Context) throw std::bad_alloc();
    const size_t set = ZSTD_DCtx_setParameter(Context.get(), ZSTD_d_windowLogMax, DenseWindowLogMax);
    if (ZSTD_isError(set)) throw Exception("zstd: " + std::string(ZSTD_getErrorName(set)));
}

bool TDenseDecoder::Decode(TStream* dest, TStream& source, int32_t sourceSize, int32_t destSize,
                           const TShowProgressEvent& progress, bool branchFilter, uint32_t& sum,
                           uint8_t* place) {
    if (progress) {
        int32_t percent = 0;
        progress(percent);
        if (percent == -1) return false;
    }
    Window->Want(Produced + destSize);
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
    // The output goes to Out, which is passed on and used again, or straight to its place.
    uint8_t* const base = place ? place : Out.get();
    const size_t capacity = place ? static_cast<size_t>(destSize) : OutSize;
    size_t first = 0; // where the bytes not passed on yet start (in place: all before are)
    // Output bytes not passed on yet: the member's first bytes until they tell an executable, or
    // the start of a branch whose distance is still to come.
    size_t held = 0;
    bool decided = !branchFilter;
    std::optional<TBranchFilter> filter;
    auto release = [&](size_t count) {
        sum += ByteSum(base + first, count);
        if (dest) dest->Write(base + first, static_cast<int32_t>(count));
        if (place) first += count;
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
        const auto room = static_cast<size_t>(
            std::min<int64_t>(static_cast<int64_t>(capacity - first - held), destSize - produced));
        ZSTD_outBuffer out{room ? base + first + held : &probe, room ? room : 1, 0};
        const size_t before = in.pos;
        const size_t result = ZSTD_decompressStream(Context.get(), &out, &in);
        if (ZSTD_isError(result)) throw EDenseDataError(ZstdError(result));
        if (room == 0 && out.pos != 0)
            throw EDenseDataError("the stored data expands to more than the member's " +
                                  std::to_string(destSize) + " bytes");
        if (out.pos > 0) {
            produced += static_cast<int64_t>(out.pos);
            const size_t ready = held + out.pos;
            if (!decided && ready >= ExecutableMarkBytes) {
                decided = true;
                if (StartsAsExecutable(base)) filter.emplace(TBranchFilter::TDirection::ToDistances);
            }
            const size_t final = !decided ? 0 : filter ? filter->Convert(base + first, ready) : ready;
            release(final);
            held = ready - final;
            if (!place) std::memmove(base, base + final, held);
        }
        full = out.pos == out.size;
        if (inputLeft && out.pos == 0 && in.pos == before) throw EDenseDataError("the zstd stream stalls");
    }
    if (produced != destSize)
        throw EDenseDataError("the stored data expands to " + std::to_string(produced) +
                              " bytes, not the member's " + std::to_string(destSize));
    release(held); // the member's last bytes, too few for a branch
    Produced += destSize;
    return true;
}

TDenseExpander::TDenseExpander(TArchiver& archiver, bool decodeAhead)
    : Archiver(archiver), Decoder(std::make_unique<TDenseDecoder>()), DecodeAhead(decodeAhead),
      AheadOff(!decodeAhead) {
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
    Decoder->Reset();
    SyncedStream = nullptr;
    AheadOff = !DecodeAhead;
    if (Ahead) Ahead->Restart(nullptr, false);
}

void TDenseExpander::Expand(TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize,
                            uint32_t& checksum) {
    const int64_t dataStart = source.Position();
    if (!AheadOff) {
        try {
            if (ExpandAhead(dest, source, dataStart, sourceSize, destSize, checksum)) return;
        } catch (...) {
            if (Ahead) Ahead->Restart(nullptr, false);
            throw;
        }
        // An archive the thread cannot follow (members out of order, a damaged header) is
        // expanded here until the next archive, and fails here as it would have without it.
        AheadOff = true;
        if (Ahead) Ahead->Restart(nullptr, false);
        source.Seek(dataStart, TSeekOrigin::Begin);
    }
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
        Decoder->Reset();
        SyncedStream = nullptr;
        if (!StartsWithArchive(source))
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
                throw BuildsOnError(name, e);
            }
            CheckBuildsOn(name, header.Checksum, header.Lock, sum);
        }
        at = memberData + header.CompressedSize;
        source.Seek(at, TSeekOrigin::Begin);
        SyncedStream = &source;
        SyncedEnd = at;
    }
}

void TDenseExpander::CheckBuildsOn(const std::string& name, uint32_t checksum, int32_t lock,
                                   uint32_t sum) const {
    const bool matches =
        sum == checksum || (lock > 0 && static_cast<uint32_t>(Archiver.Key) + sum == checksum);
    if (!matches)
        throw EDenseDataError("member " + Quoted(name) + ", which this member builds on, has a bad checksum");
}

bool TDenseExpander::ExpandAhead(TStream& dest, TStream& source, int64_t dataStart, int32_t sourceSize,
                                 int32_t destSize, uint32_t& checksum) {
    if (!Ahead) {
        try {
            Ahead = std::make_unique<TDenseAhead>();
        } catch (const Exception&) {
            return false; // no thread: expanded here
        }
    }
    // The stream's state is the thread's from now on; the expander's own starts again if needed.
    SyncedStream = nullptr;
    const TAheadMember* front = Ahead->Front();
    const bool reachable =
        Ahead->Source() == &source && (front ? front->DataStart <= dataStart : AheadNext < dataStart);
    if (!reachable) {
        if (!StartsWithArchive(source)) return false;
        Ahead->Restart(&source, BranchFilter);
        AheadNext = ArchiveHeaderSize;
    }
    const TShowProgressEvent& progress = Archiver.OnShowProgress;
    // The members before this one, if any, expand into nothing: their contents are the history
    // this one refers to.
    for (;;) {
        front = Ahead->Front();
        if (front && front->DataStart < dataStart) {
            const std::string name = front->Name;
            const uint32_t recorded = front->Header.Checksum;
            const int32_t lock = front->Header.Lock;
            uint32_t sum = 0;
            try {
                Ahead->Take(nullptr, nullptr, sum);
            } catch (const EDenseDataError& e) {
                throw BuildsOnError(name, e);
            }
            CheckBuildsOn(name, recorded, lock, sum);
            continue;
        }
        if (front) {
            if (front->DataStart != dataStart) return false;
            break;
        }
        TMemberHeader header;
        std::string name;
        if (!NextDenseMember(source, header, name)) return false;
        const int64_t memberData = source.Position();
        if (memberData > dataStart) return false;
        if (Holdable(header)) {
            if (!Ahead->Add(source, header, std::move(name))) return false;
            AheadNext = memberData + header.CompressedSize;
            continue;
        }
        // Too large to hold: decoded here, from the archive's stream, with the thread's state.
        AheadNext = memberData + header.CompressedSize;
        uint32_t sum = 0;
        if (memberData == dataStart) {
            if (!Ahead->DecodeHere(&dest, source, sourceSize, destSize, progress, checksum)) {
                Restart();
                return true;
            }
            ReportDone();
            return true;
        }
        try {
            Ahead->DecodeHere(nullptr, source, header.CompressedSize, header.ExpandedSize, nullptr, sum);
        } catch (const EDenseDataError& e) {
            throw BuildsOnError(name, e);
        }
        CheckBuildsOn(name, header.Checksum, header.Lock, sum);
    }
    ReadAhead(source);
    source.Seek(dataStart + sourceSize, TSeekOrigin::Begin);
    if (!Ahead->Take(&dest, progress, checksum)) {
        Restart(); // cancelled at the member's first report
        return true;
    }
    ReportDone();
    return true;
}

bool TDenseExpander::Holdable(const TMemberHeader& header) {
    return header.CompressedSize <= TDenseAhead::StoredBudget &&
           header.ExpandedSize <= TDenseAhead::OutputBudget;
}

bool TDenseExpander::NextDenseMember(TStream& source, TMemberHeader& header, std::string& name) {
    for (;;) {
        source.Seek(AheadNext, TSeekOrigin::Begin);
        try {
            if (!Archiver.ReadMemberHeader(source, header, name)) return false;
        } catch (const Exception&) {
            return false; // the expansion meets it, if it gets there
        }
        if (header.Method == miCustom) return true;
        AheadNext = source.Position() + header.CompressedSize;
    }
}

void TDenseExpander::ReadAhead(TStream& source) {
    TMemberHeader header;
    std::string name;
    while (Ahead->StoredQueued() < TDenseAhead::StoredBudget && NextDenseMember(source, header, name) &&
           Holdable(header)) {
        const int64_t memberData = source.Position();
        if (!Ahead->Add(source, header, std::move(name))) return;
        AheadNext = memberData + header.CompressedSize;
    }
}

void TDenseExpander::ReportDone() {
    if (!Archiver.OnShowProgress) return;
    int32_t percent = 100;
    Archiver.OnShowProgress(percent);
}
