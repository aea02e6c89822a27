// TArchiveWriter builds an archive in the container's layout: a 21-byte archive header, then per
// member a 25-byte member header, the name and the data coded by the member's method through
// RunCodec in compression mode. A member whose coded form would outgrow it is stored unchanged
// (method 0) instead. The archive header is written first and completed by Finish, once TotalSize
// (the sum of the expanded sizes) is known, so the destination must be seekable.
//
// With a key, members are locked: Lock 2 (the default) scrambles the stored data with the key,
// Lock 1 keeps it plain and only adds the key to the checksum; the header's LockMark is 2 for a
// key above 0.
//
// Custom members (method 3) are coded by the application's OnCompress, in an archive whose header
// carries the application's own identifier; their stored data is the handler's output as it is,
// so a key locks them with Lock 1 only (the key is added to the checksum).
#pragma once

#include "compress/Archiver.h"

#include <cstdint>
#include <string>

class TArchiveWriter {
public:
    // Starts an archive at dest's position. archiveMethod (0..4) names the header's identifier;
    // lock (1 or 2) applies only when key is not 0.
    TArchiveWriter(TStream& dest, uint8_t archiveMethod, int32_t key = 0, int32_t lock = 2);
    // Starts an archive whose header carries a custom identifier (three characters), for
    // members coded by OnCompress.
    TArchiveWriter(TStream& dest, const std::string& customID, int32_t key = 0, int32_t lock = 1);

    // Adds the rest of source (from its position) as a member. Raises Exception for a name longer
    // than 32,767 bytes, data beyond the format's 2 GiB limits or a method without a compressor.
    TMemberHeader AddStream(const std::string& name, TStream& source, int32_t dateTime, int16_t attributes,
                            uint8_t method);
    // Adds a file with its last-write time and attributes.
    TMemberHeader AddFile(const std::string& name, const std::string& path, uint8_t method);
    // Completes the archive header and leaves dest at the end of the archive.
    void Finish();

    // Progress of the member being coded, as TArchiver reports it (0, per 8 KB chunk, 100).
    TShowProgressEvent OnShowProgress;
    // Codes custom members (method 3): writes the rest of source to dest and reports the output
    // size and the source's byte sum.
    TCompressEvent OnCompress;
    int64_t TotalSize() const { return Total; }

private:
    void WriteArchiveHeader();

    TStream& Dest;
    int64_t Start;
    std::string MethodID;
    int32_t Key;
    int32_t Lock;
    int64_t Total = 0;
    TArchiver Coder;
};
