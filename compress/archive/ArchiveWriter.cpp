// The archive writer. Each member's data is coded straight into the destination; when the
// compressor gives up (EUnableToCompress, at most as many bytes written as the source has), the
// destination is rewound to the member's data and the stored copy overwrites that partial output
// with exactly the source's bytes, so no stale byte remains. The member header is written as a
// placeholder first and rewritten with the final sizes and checksum.
#include "compress/archive/ArchiveWriter.h"

#include "compress/CodecTable.h"
#include "compress/archive/FileNames.h"
#include "platform/files/FileStream.h"
#include "platform/files/FileSystem.h"
#include "platform/files/FileTime.h"
#include "platform/text/TextEncoding.h"

#include <climits>

namespace {
std::string IdentifierOfIndex(uint8_t archiveMethod) {
    if (archiveMethod >= MethodIdentifiers.size()) throw Exception("Invalid archive method index");
    return MethodIdentifiers[archiveMethod];
}
} // namespace

TArchiveWriter::TArchiveWriter(TStream& dest, uint8_t archiveMethod, int32_t key, int32_t lock)
    : TArchiveWriter(dest, IdentifierOfIndex(archiveMethod), key, lock) {}

TArchiveWriter::TArchiveWriter(TStream& dest, const std::string& customID, int32_t key, int32_t lock)
    : Dest(dest), Start(dest.Position()), MethodID(customID), Key(key), Lock(lock) {
    if (MethodID.size() != 3) throw Exception("A method identifier has three characters");
    if (key != 0 && lock <= 0) throw Exception("A locked member needs Lock 1 or 2");
    WriteArchiveHeader();
}

void TArchiveWriter::WriteArchiveHeader() {
    TArchiveHeader header;
    for (size_t i = 0; i < 5; ++i) header.Signature[i] = static_cast<uint8_t>(ArchiveSignature[i]);
    for (size_t i = 0; i < 3; ++i) header.MethodID[i] = MethodID[i];
    header.TotalSize = static_cast<int32_t>(Total);
    header.ArchiveType = atMulti;
    header.Reserved = 0;
    header.LockMark = Key > 0 ? 2 : 0;
    uint8_t bytes[ArchiveHeaderSize];
    EncodeArchiveHeader(header, bytes);
    Dest.Write(bytes, ArchiveHeaderSize);
}

TMemberHeader TArchiveWriter::AddStream(const std::string& name, TStream& source, int32_t dateTime,
                                        int16_t attributes, uint8_t method) {
    const int64_t size = source.Remaining();
    if (name.size() > INT16_MAX)
        throw Exception("Member name longer than 32767 bytes: " + name.substr(0, 64) + "...");
    // Every name inside is UTF-8; bytes that are not (a file name in another encoding) would be
    // read back as some other name.
    if (!IsValidUtf8(name)) throw Exception("Member name is not UTF-8: " + PrintableName(name));
    if (size > INT32_MAX || Total + size > INT32_MAX)
        throw Exception("Archive would exceed 2 GiB of expanded data at " + name);
    const TCodecEntry* codec = FindCodec(method);
    if (method == miCustom ? !OnCompress : !codec || !codec->Compress)
        throw Exception("No compressor for method " + std::to_string(method) + " in this build");
    if (method == miCustom && Key != 0 && Lock == 2)
        throw Exception("Custom members are locked with Lock 1 only (the key is added to the checksum)");

    TMemberHeader header;
    header.NameLength = static_cast<int16_t>(name.size());
    // A name of ASCII alone reads the same in every code page, so it stays unmarked as the first
    // tools wrote it, and archives of such names stay byte for byte what they were.
    header.Utf8Name = !IsAscii(name);
    header.DateTime = dateTime;
    header.Attributes = attributes;
    header.ExpandedSize = static_cast<int32_t>(size);
    header.Method = method;
    header.Lock = Key != 0 ? Lock : 0;

    const int64_t headerPos = Dest.Position();
    uint8_t bytes[MemberHeaderSize];
    EncodeMemberHeader(header, bytes);
    Dest.Write(bytes, MemberHeaderSize);
    Dest.Write(name.data(), static_cast<int32_t>(name.size()));
    const int64_t dataStart = Dest.Position();
    const int64_t sourceStart = source.Position();

    // Only a scrambling lock lets RunCodec apply the key to the output.
    Coder.Key = header.Lock == 2 ? Key : 0;
    Coder.OnShowProgress = OnShowProgress;
    uint32_t sum = 0;
    if (method == miCustom) {
        std::string id = MethodID;
        int32_t written = 0;
        OnCompress(Dest, source, id, written, sum);
        if (Dest.Position() - dataStart != written)
            throw Exception("Custom compression of " + name + " miscounted");
    } else {
        try {
            Coder.RunCodec(Dest, source, header.ExpandedSize, header.ExpandedSize, method, sum, pmCompress,
                           false);
        } catch (const EUnableToCompress&) {
            header.Method = miStored;
            source.Seek(sourceStart, TSeekOrigin::Begin);
            Dest.Seek(dataStart, TSeekOrigin::Begin);
            Coder.RunCodec(Dest, source, header.ExpandedSize, header.ExpandedSize, miStored, sum, pmCompress,
                           false);
        }
    }
    if (source.Position() - sourceStart != size) throw Exception("Compression of " + name + " was cancelled");

    const int64_t dataEnd = Dest.Position();
    header.CompressedSize = static_cast<int32_t>(dataEnd - dataStart);
    header.Checksum = header.Lock > 0 ? sum + static_cast<uint32_t>(Key) : sum;
    EncodeMemberHeader(header, bytes);
    Dest.Seek(headerPos, TSeekOrigin::Begin);
    Dest.Write(bytes, MemberHeaderSize);
    Dest.Seek(dataEnd, TSeekOrigin::Begin);
    Total += size;
    return header;
}

TMemberHeader TArchiveWriter::AddFile(const std::string& name, const std::string& path, uint8_t method) {
    auto file = TFileStream::OpenRead(path);
    int32_t attributes = GetAttributes(path);
    if (attributes == -1) attributes = faArchive;
    attributes &= ~faDirectory & 0xFFFF;
    int32_t dateTime = GetFileDateTime(path).value_or(MinPackedDateTime);
    return AddStream(name, *file, dateTime, static_cast<int16_t>(static_cast<uint16_t>(attributes)), method);
}

void TArchiveWriter::Finish() {
    const int64_t end = Dest.Position();
    Dest.Seek(Start, TSeekOrigin::Begin);
    WriteArchiveHeader();
    Dest.Seek(end, TSeekOrigin::Begin);
}
