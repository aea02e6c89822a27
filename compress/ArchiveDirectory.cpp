// Listing an archive's members into a directory list, freeing such lists, and the target
// directory property that expansion places member names under.
#include "compress/Archiver.h"

void TArchiver::SetTargetPath(const std::string& path) {
    FTargetPath = path;
    if (!FTargetPath.empty() && FTargetPath.back() != '\\') FTargetPath += '\\';
}

// Walks every member that can be read, whatever the header's TotalSize says; the list is appended
// to, not emptied. A stream too short for a header and one member header lists nothing.
void TArchiver::ReadDirectory(TStream& stream, TDirectoryList& list) {
    if (stream.Remaining() < ArchiveHeaderSize + MemberHeaderSize) return;
    std::string methodID;
    ReadArchiveHeader(stream, methodID);
    TMemberHeader header;
    std::string name;
    while (ReadMemberHeader(stream, header, name)) {
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
        stream.Seek(header.CompressedSize, TSeekOrigin::Current);
    }
}

void TArchiver::FreeDirectory(TDirectoryList* list) {
    if (list) list->clear();
}
