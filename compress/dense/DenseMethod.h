// The dense method: archives whose header carries the identifier DenseMethodID and whose members
// are custom members (method index 3) coded with the zstd library. The members of such an archive
// are consecutive pieces of one zstd stream, flushed at each member's end: a member's stored
// bytes expand to exactly its own contents, and its matches may reach back into what the members
// before it expanded to, up to the stream's window. So the archive compresses about as well as
// one stream while each member keeps its own record, checksum, listing line and events.
//
// The window is at most 2^DenseWindowLogMax bytes (64 MiB); the expander refuses any stream that
// asks for more, so its memory stays bounded whatever the archive says. Members are reached
// through the component's events only: TDenseExpander answers OnRecognize and OnExpand of a
// TArchiver, TDenseCompressor serves TArchiveWriter's OnCompress.
#pragma once

#include "compress/Archiver.h"

#include <cstdint>
#include <memory>
#include <string>

// The archive header's method identifiers of dense archives: DenseExecutableMethodID's members
// that start as executables went through the x86 branch filter (BranchFilter.h) before zstd.
inline const std::string DenseMethodID = "ZST";
inline const std::string DenseExecutableMethodID = "ZSX";
inline bool IsDenseMethodID(const std::string& id) {
    return id == DenseMethodID || id == DenseExecutableMethodID;
}
// Largest stream window an expander accepts (and the default of the compressor): 2^26 = 64 MiB.
// The compressor cuts it to what the archive holds, so only archives above 32 MiB ask for it; a
// 60 MB dictionary of text packs 1.2 % smaller with it than with 32 MiB.
constexpr int DenseWindowLogMax = 26;
constexpr int DenseWindowLogMin = 10;
// Compression level used unless another is asked for: zstd's densest (an "ultra" level, its window
// held to DenseWindowLogMax). It packs the install benchmark's payload 1.5 % smaller than level 19
// in about 1.5 times the time, with about 0.7 GB of memory while packing; expanding is unchanged.
constexpr int DenseDefaultLevel = 22;
constexpr int DenseMaxLevel = 22;

// A dense member's stored data that the zstd stream rejects, or that expands to another size than
// the member header says. The message starts with "Damaged data: ".
class EDenseDataError : public Exception {
public:
    explicit EDenseDataError(const std::string& detail) : Exception("Damaged data: " + detail) {}
};

struct TDenseDecoder;
class TDenseAhead;

// Expands the dense members of the archives that one TArchiver reads. Constructing it assigns the
// component's OnRecognize (accepting both identifiers) and OnExpand; it must outlive the component's
// use of them.
//
// The stream's state carries over from member to member. A member whose predecessors were not all
// expanded by this object (skipped by OnCheckFile or a names list, failed, or expanded through
// another component) is reached by first expanding the dense members before it, from the archive's
// start or from the last member expanded, into nothing: their contents are the history it refers
// to. That read-back assumes the archive starts at its stream's beginning, as every archive this
// system opens does.
class TDenseExpander {
public:
    // With decodeAhead, a thread decodes the members that follow the one being expanded (see
    // DenseAhead.h): for expansions that do more with each member than verify it.
    explicit TDenseExpander(TArchiver& archiver, bool decodeAhead = true);
    ~TDenseExpander();
    TDenseExpander(const TDenseExpander&) = delete;
    TDenseExpander& operator=(const TDenseExpander&) = delete;

    // Expands one member's stored data (sourceSize bytes at source's position) into dest; the
    // byte sum of the expanded data comes back in checksum. Raises EDenseDataError.
    void Expand(TStream& dest, TStream& source, int32_t sourceSize, int32_t destSize, uint32_t& checksum);

private:
    // Brings the stream's state to the member whose stored data starts at dataStart.
    void CatchUp(TStream& source, int64_t dataStart);
    void Restart();
    // Expands the member through the thread that decodes ahead; false when it cannot follow the
    // archive to this member (nothing was written or reported then).
    bool ExpandAhead(TStream& dest, TStream& source, int64_t dataStart, int32_t sourceSize, int32_t destSize,
                     uint32_t& checksum);
    // Whether a member is held whole, its stored bytes and its output, to be decoded ahead.
    static bool Holdable(const TMemberHeader& header);
    // Reads the header of the next dense member from AheadNext on, passing over the others;
    // false at the archive's end or a damaged header.
    bool NextDenseMember(TStream& source, TMemberHeader& header, std::string& name);
    // Queues the members that follow, up to the thread's budget of stored bytes.
    void ReadAhead(TStream& source);
    void ReportDone();
    // Raises when a member that the member being expanded builds on expanded to another sum.
    void CheckBuildsOn(const std::string& name, uint32_t checksum, int32_t lock, uint32_t sum) const;

    TArchiver& Archiver;
    std::unique_ptr<TDenseDecoder> Decoder;
    // Whether the archive being read is a DenseExecutableMethodID one.
    bool BranchFilter = false;
    // The stream and the archive offset just past the last member expanded; the state is valid
    // for the member whose header starts there (none: SyncedStream null).
    const TStream* SyncedStream = nullptr;
    int64_t SyncedEnd = 0;
    // The thread that decodes ahead (made at the first member), whether this archive is expanded
    // without it, and the archive offset of the next member header it has not seen.
    const bool DecodeAhead;
    std::unique_ptr<TDenseAhead> Ahead;
    bool AheadOff = false;
    int64_t AheadNext = 0;
};

struct TDenseEncoder;

// Compresses the members of one new dense archive, in archive order, as TArchiveWriter's
// OnCompress: each call codes the rest of its source and flushes the stream at its end.
class TDenseCompressor {
public:
    // With branchFilter, the archive's identifier is DenseExecutableMethodID (MethodID()).
    explicit TDenseCompressor(int level = DenseDefaultLevel, int windowLog = DenseWindowLogMax,
                              bool branchFilter = false);
    ~TDenseCompressor();
    TDenseCompressor(const TDenseCompressor&) = delete;
    TDenseCompressor& operator=(const TDenseCompressor&) = delete;

    // Codes source from its position to its end into dest; outputSize is the number of bytes
    // written, checksum the byte sum of the source. Progress is reported per input piece.
    void Compress(TStream& dest, TStream& source, std::string& compressID, int32_t& outputSize,
                  uint32_t& checksum);
    TCompressEvent Handler();
    const std::string& MethodID() const { return BranchFilter ? DenseExecutableMethodID : DenseMethodID; }

    TShowProgressEvent OnShowProgress;

private:
    std::unique_ptr<TDenseEncoder> Encoder;
    bool BranchFilter;
};
