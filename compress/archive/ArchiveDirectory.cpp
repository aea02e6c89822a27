// Listing an archive's members into a directory list, freeing such lists, and the target
// directory property that expansion places member names under.
#include "compress/Archiver.h"

void TArchiver::SetTargetPath(const std::string& path) {
    FTargetPath = path;
    if (!FTargetPath.empty() && FTargetPath.back() != '\\') FTargetPath += '\\';
}

// Walks every member that can be read, whatever the header's TotalSize says; the list is appended
// to, not emptied. A stream too short for a header and one member header lists nothing. Once the
// members listed reach TotalSize, bytes that do not hold a sound member header (padding, an
// appended block) end the listing quietly: they follow the archive rather than damage it.
void TArchiver::ReadDirectory(TStream& stream, TDirectoryList& list) {
    if (stream.Remaining() < ArchiveHeaderSize + MemberHeaderSize) return;
    std::string methodID;
    const TArchiveHeader archive = ReadArchiveHeader(stream, methodID);
    int64_t total = 0;
    TMemberHeader header;
    std::string name;
    for (;;) {
        try {
            if (!ReadMemberHeader(stream, header, name)) break;
        } catch (const EDamagedArchive&) {
            if (total >= archive.TotalSize) break;
            throw;
        }
        auto info = std::make_unique<TMemberInfo>();
        info->DateTime = header.DateTime;
        info->Attributes = header.Attributes;
        info->ExpandedSize = header.ExpandedSize;
        info->CompressedSize = header.CompressedSize;
        info->Method = header.Method;
        info->Checksum = header.Checksum;
        info->Position = static_cast<int32_t>(stream.Position() - MemberHeaderSize - header.NameLength);
        info->Locked = header.Lock > 0;
        list.push_back({name, std::move(info)});
        total += header.ExpandedSize;
        stream.Seek(header.CompressedSize, TSeekOrigin::Current);
    }
}

void TArchiver::FreeDirectory(TDirectoryList* list) {
    if (list) list->clear();
}
