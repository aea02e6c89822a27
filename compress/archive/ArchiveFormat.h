// The archive container's byte layout (docs/FORMAT.md): a 21-byte archive header, then members,
// each a 25-byte member header, its name and its stored data. All integers are little-endian and
// are encoded and decoded byte by byte at the offsets below, never by laying a struct over a buffer.
#pragma once

#include "platform/Exception.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int ArchiveHeaderSize = 21;
constexpr int MemberHeaderSize = 25;
constexpr int SignatureSize = 5;
constexpr int MethodIDSize = 3;
constexpr uint8_t atMulti = 1;
// "QDMX" followed by 0x1A.
inline constexpr std::string_view ArchiveSignature = "QDMX\x1A";

// Where each field of the archive header starts.
namespace ArchiveHeaderOffset {
constexpr int Signature = 0;    // 5 bytes
constexpr int MethodID = 5;     // 3 ASCII characters
constexpr int TotalSize = 8;    // int32
constexpr int ArchiveType = 12; // uint8
constexpr int Reserved = 13;    // int32, written 0, never read
constexpr int LockMark = 17;    // int32, never read
} // namespace ArchiveHeaderOffset

// Where each field of the member header starts; the name follows at MemberHeaderSize.
namespace MemberHeaderOffset {
constexpr int NameLength = 0;      // int16
constexpr int DateTime = 2;        // int32, packed local time
constexpr int Attributes = 6;      // int16, with the UTF-8 name mark
constexpr int ExpandedSize = 8;    // int32
constexpr int CompressedSize = 12; // int32
constexpr int Method = 16;         // uint8, the method index
constexpr int Checksum = 17;       // uint32
constexpr int Lock = 21;           // int32
} // namespace MemberHeaderOffset

// The UTF-8 name mark: bit 3 (0x0008) of a member's Attributes says that its name is UTF-8.
// Without it the name is in the ANSI code page of the machine that reads it, as the first tools
// wrote names. The bit is the DOS volume-label bit, which Windows never reports for a file and
// SetFileAttributes cannot set, so no archive written from a file's attributes has it, and the
// readers take it out before they apply the attributes. Decoding moves it into Utf8Name.
constexpr uint16_t Utf8NameMark = 0x0008;

// The five methods by index; a member's Method byte selects its codec.
enum TMethodIndex : uint8_t { miStored = 0, miRLE = 1, miLZH = 2, miCustom = 3, miLH5 = 4 };
inline constexpr std::array<const char*, 5> MethodIdentifiers = {"NON", "RLE", "LZH", "CUS", "LH5"};

struct TArchiveHeader {
    std::array<uint8_t, 5> Signature{};
    std::array<char, 3> MethodID{};
    int32_t TotalSize = 0;
    uint8_t ArchiveType = 0;
    int32_t Reserved = 0;
    int32_t LockMark = 0;
};

struct TMemberHeader {
    int16_t NameLength = 0;
    int32_t DateTime = 0;
    int16_t Attributes = 0; // without the UTF-8 name mark, which Utf8Name carries
    int32_t ExpandedSize = 0;
    int32_t CompressedSize = 0;
    uint8_t Method = 0;
    uint32_t Checksum = 0;
    int32_t Lock = 0;
    bool Utf8Name = false; // the name is UTF-8 (Utf8NameMark)
};

// One member's directory entry, attached to the member's name in a directory list.
struct TMemberInfo {
    int32_t DateTime = 0;
    int16_t Attributes = 0;
    int32_t ExpandedSize = 0;
    int32_t CompressedSize = 0;
    uint8_t Method = 0;
    uint32_t Checksum = 0;
    int32_t Position = 0;
    bool Locked = false;
};

TArchiveHeader DecodeArchiveHeader(const uint8_t (&bytes)[ArchiveHeaderSize]);
void EncodeArchiveHeader(const TArchiveHeader& header, uint8_t (&bytes)[ArchiveHeaderSize]);
TMemberHeader DecodeMemberHeader(const uint8_t (&bytes)[MemberHeaderSize]);
void EncodeMemberHeader(const TMemberHeader& header, uint8_t (&bytes)[MemberHeaderSize]);

// The signature bytes up to the first zero byte, as the reader compares them.
std::string SignatureText(const TArchiveHeader& header);

// The archive's signature is not "QDMX" + 0x1A.
class EInvalidHeader : public Exception {
    using Exception::Exception;
};

// The archive type is not atMulti.
class EInvalidHeaderArchiveType : public Exception {
    using Exception::Exception;
};

// A method identifier that neither the method table nor the application recognises.
class EUnrecognizedCompressionMethod : public Exception {
    using Exception::Exception;
};

// A member header whose values no writer produces: a negative name length, compressed size or
// expanded size, or stored data running past the end of the stream. The message starts with
// "Damaged archive: " and names the member (or, for a negative name length, the header's offset).
class EDamagedArchive : public Exception {
public:
    explicit EDamagedArchive(const std::string& detail) : Exception("Damaged archive: " + detail) {}
};
