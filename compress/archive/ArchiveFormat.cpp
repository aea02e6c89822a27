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

namespace A = ArchiveHeaderOffset;
namespace M = MemberHeaderOffset;

TArchiveHeader DecodeArchiveHeader(const uint8_t (&b)[ArchiveHeaderSize]) {
    TArchiveHeader h;
    for (int i = 0; i < SignatureSize; ++i) h.Signature[i] = b[A::Signature + i];
    for (int i = 0; i < MethodIDSize; ++i) h.MethodID[i] = static_cast<char>(b[A::MethodID + i]);
    h.TotalSize = GetI32(b + A::TotalSize);
    h.ArchiveType = b[A::ArchiveType];
    h.Reserved = GetI32(b + A::Reserved);
    h.LockMark = GetI32(b + A::LockMark);
    return h;
}

void EncodeArchiveHeader(const TArchiveHeader& h, uint8_t (&b)[ArchiveHeaderSize]) {
    for (int i = 0; i < SignatureSize; ++i) b[A::Signature + i] = h.Signature[i];
    for (int i = 0; i < MethodIDSize; ++i) b[A::MethodID + i] = static_cast<uint8_t>(h.MethodID[i]);
    Put32(b + A::TotalSize, static_cast<uint32_t>(h.TotalSize));
    b[A::ArchiveType] = h.ArchiveType;
    Put32(b + A::Reserved, static_cast<uint32_t>(h.Reserved));
    Put32(b + A::LockMark, static_cast<uint32_t>(h.LockMark));
}

TMemberHeader DecodeMemberHeader(const uint8_t (&b)[MemberHeaderSize]) {
    TMemberHeader h;
    h.NameLength = GetI16(b + M::NameLength);
    h.DateTime = GetI32(b + M::DateTime);
    const uint16_t attributes = Get16(b + M::Attributes);
    h.Attributes = static_cast<int16_t>(attributes & ~Utf8NameMark);
    h.Utf8Name = (attributes & Utf8NameMark) != 0;
    h.ExpandedSize = GetI32(b + M::ExpandedSize);
    h.CompressedSize = GetI32(b + M::CompressedSize);
    h.Method = b[M::Method];
    h.Checksum = Get32(b + M::Checksum);
    h.Lock = GetI32(b + M::Lock);
    return h;
}

// The mark follows Utf8Name alone, whatever Attributes holds in its place.
void EncodeMemberHeader(const TMemberHeader& h, uint8_t (&b)[MemberHeaderSize]) {
    PutI16(b + M::NameLength, h.NameLength);
    Put32(b + M::DateTime, static_cast<uint32_t>(h.DateTime));
    const uint16_t attributes = static_cast<uint16_t>(h.Attributes) & ~Utf8NameMark;
    Put16(b + M::Attributes, h.Utf8Name ? attributes | Utf8NameMark : attributes);
    Put32(b + M::ExpandedSize, static_cast<uint32_t>(h.ExpandedSize));
    Put32(b + M::CompressedSize, static_cast<uint32_t>(h.CompressedSize));
    b[M::Method] = h.Method;
    Put32(b + M::Checksum, h.Checksum);
    Put32(b + M::Lock, static_cast<uint32_t>(h.Lock));
}

std::string SignatureText(const TArchiveHeader& h) {
    std::string text;
    for (uint8_t c : h.Signature) {
        if (c == 0) break;
        text += static_cast<char>(c);
    }
    return text;
}
