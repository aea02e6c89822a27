// Little-endian encoding and decoding of the archive and member headers.
#include "compress/archive/ArchiveFormat.h"

#include "platform/LittleEndian.h"

namespace {
int32_t GetI32(const uint8_t* p) {
    return static_cast<int32_t>(Get32(p));
}
int16_t GetI16(const uint8_t* p) {
    return static_cast<int16_t>(Get16(p));
}

void PutI16(uint8_t* p, int16_t v) {
    Put16(p, static_cast<uint16_t>(v));
}
} // namespace

TArchiveHeader DecodeArchiveHeader(const uint8_t (&b)[ArchiveHeaderSize]) {
    TArchiveHeader h;
    for (int i = 0; i < 5; ++i) h.Signature[i] = b[i];
    for (int i = 0; i < 3; ++i) h.MethodID[i] = static_cast<char>(b[5 + i]);
    h.TotalSize = GetI32(b + 8);
    h.ArchiveType = b[12];
    h.Reserved = GetI32(b + 13);
    h.LockMark = GetI32(b + 17);
    return h;
}

void EncodeArchiveHeader(const TArchiveHeader& h, uint8_t (&b)[ArchiveHeaderSize]) {
    for (int i = 0; i < 5; ++i) b[i] = h.Signature[i];
    for (int i = 0; i < 3; ++i) b[5 + i] = static_cast<uint8_t>(h.MethodID[i]);
    Put32(b + 8, static_cast<uint32_t>(h.TotalSize));
    b[12] = h.ArchiveType;
    Put32(b + 13, static_cast<uint32_t>(h.Reserved));
    Put32(b + 17, static_cast<uint32_t>(h.LockMark));
}

TMemberHeader DecodeMemberHeader(const uint8_t (&b)[MemberHeaderSize]) {
    TMemberHeader h;
    h.NameLength = GetI16(b + 0);
    h.DateTime = GetI32(b + 2);
    h.Attributes = GetI16(b + 6);
    h.ExpandedSize = GetI32(b + 8);
    h.CompressedSize = GetI32(b + 12);
    h.Method = b[16];
    h.Checksum = Get32(b + 17);
    h.Lock = GetI32(b + 21);
    return h;
}

void EncodeMemberHeader(const TMemberHeader& h, uint8_t (&b)[MemberHeaderSize]) {
    PutI16(b + 0, h.NameLength);
    Put32(b + 2, static_cast<uint32_t>(h.DateTime));
    PutI16(b + 6, h.Attributes);
    Put32(b + 8, static_cast<uint32_t>(h.ExpandedSize));
    Put32(b + 12, static_cast<uint32_t>(h.CompressedSize));
    b[16] = h.Method;
    Put32(b + 17, h.Checksum);
    Put32(b + 21, static_cast<uint32_t>(h.Lock));
}

std::string SignatureText(const TArchiveHeader& h) {
    std::string text;
    for (uint8_t c : h.Signature) {
        if (c == 0) break;
        text += static_cast<char>(c);
    }
    return text;
}
