// Builds small archives in memory for the wizard's tests: stored members (method 0) whose
// checksum is the byte sum of their contents, with a chosen date, so that the real archive
// component can expand them without any codec beyond the stored one.
#pragma once

#include "compress/archive/ArchiveWriter.h"
#include "compress/dense/DenseMethod.h"

#include <string>
#include <vector>

struct TTestMember {
    std::string Name;
    std::string Contents;
    int32_t DateTime = 0x2A54598E; // 20 February 1999, 11:12:28
    bool Damaged = false;          // stored checksum off by one
};

inline std::string BuildArchive(const std::vector<TTestMember>& members) {
    std::string archive;
    TArchiveHeader header;
    for (size_t i = 0; i < header.Signature.size(); ++i)
        header.Signature[i] = static_cast<uint8_t>(ArchiveSignature[i]);
    header.MethodID = {'N', 'O', 'N'};
    header.ArchiveType = atMulti;
    for (const TTestMember& member : members)
        header.TotalSize += static_cast<int32_t>(member.Contents.size());
    uint8_t headerBytes[ArchiveHeaderSize];
    EncodeArchiveHeader(header, headerBytes);
    archive.append(reinterpret_cast<const char*>(headerBytes), sizeof headerBytes);

    for (const TTestMember& member : members) {
        TMemberHeader m;
        m.NameLength = static_cast<int16_t>(member.Name.size());
        m.DateTime = member.DateTime;
        m.Attributes = 0x20;
        m.ExpandedSize = static_cast<int32_t>(member.Contents.size());
        m.CompressedSize = m.ExpandedSize;
        m.Method = miStored;
        for (unsigned char c : member.Contents) m.Checksum += c;
        if (member.Damaged) m.Checksum += 1;
        uint8_t memberBytes[MemberHeaderSize];
        EncodeMemberHeader(m, memberBytes);
        archive.append(reinterpret_cast<const char*>(memberBytes), sizeof memberBytes);
        archive += member.Name;
        archive += member.Contents;
    }
    return archive;
}

// The same members packed with the dense method (each member may refer to those before it).
inline std::string BuildDenseArchive(const std::vector<TTestMember>& members) {
    TMemoryStream archive;
    TDenseCompressor compressor;
    TArchiveWriter writer(archive, DenseMethodID);
    writer.OnCompress = compressor.Handler();
    for (const TTestMember& member : members) {
        TMemoryStream source(std::vector<uint8_t>(member.Contents.begin(), member.Contents.end()));
        writer.AddStream(member.Name, source, member.DateTime, 0x20, miCustom);
    }
    writer.Finish();
    return {archive.Bytes.begin(), archive.Bytes.end()};
}
