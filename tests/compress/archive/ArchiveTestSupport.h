// Hand-encoded archives for the archive component's tests: every field is written byte by byte
// here, independently of the component's own encoder, so that a test can also build archives
// that no writer would produce (negative sizes, wrong checksums, odd methods, locks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct TRawMember {
    std::string Name;
    std::string Data;      // stored data bytes as they appear in the archive
    int32_t Expanded = -1; // -1: the size of Data (other negative values are written as they are)
    uint8_t Method = 0;    // stored
    int64_t Checksum = -1; // -1: the byte sum of Data
    int32_t Lock = 0;
    int32_t DateTime = 0x2A54598E; // 2001-02-20 11:12:28
    int16_t Attributes = 0x20;
    int32_t NameLength = -100000;     // other values replace the name's length in the header
    int32_t CompressedSize = -100000; // other values replace Data's size in the header
};

inline uint32_t ByteSum(const std::string& data) {
    uint32_t sum = 0;
    for (unsigned char c : data) sum += c;
    return sum;
}

inline void PutLE(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
}

inline std::string RawArchiveHeader(int32_t totalSize, const std::string& methodID = "NON", uint8_t type = 1,
                                    int32_t lockMark = 0) {
    std::string out = std::string("QDMX\x1A", 5) + methodID.substr(0, 3);
    PutLE(out, static_cast<uint32_t>(totalSize), 4);
    out += static_cast<char>(type);
    PutLE(out, 0, 4);
    PutLE(out, static_cast<uint32_t>(lockMark), 4);
    return out;
}

inline std::string RawMember(const TRawMember& m) {
    std::string out;
    int32_t nameLength = m.NameLength != -100000 ? m.NameLength : static_cast<int32_t>(m.Name.size());
    int32_t expanded = m.Expanded != -1 ? m.Expanded : static_cast<int32_t>(m.Data.size());
    int32_t compressed = m.CompressedSize != -100000 ? m.CompressedSize : static_cast<int32_t>(m.Data.size());
    PutLE(out, static_cast<uint32_t>(nameLength), 2);
    PutLE(out, static_cast<uint32_t>(m.DateTime), 4);
    PutLE(out, static_cast<uint16_t>(m.Attributes), 2);
    PutLE(out, static_cast<uint32_t>(expanded), 4);
    PutLE(out, static_cast<uint32_t>(compressed), 4);
    out += static_cast<char>(m.Method);
    PutLE(out, m.Checksum >= 0 ? static_cast<uint32_t>(m.Checksum) : ByteSum(m.Data), 4);
    PutLE(out, static_cast<uint32_t>(m.Lock), 4);
    return out + m.Name + m.Data;
}

// An archive of the members; totalSize -1 means the sum of their expanded sizes.
inline std::string RawArchive(const std::vector<TRawMember>& members, int64_t totalSize = -1) {
    int64_t total = 0;
    for (const auto& m : members) total += m.Expanded >= 0 ? m.Expanded : static_cast<int64_t>(m.Data.size());
    std::string out = RawArchiveHeader(static_cast<int32_t>(totalSize >= 0 ? totalSize : total));
    for (const auto& m : members) out += RawMember(m);
    return out;
}

// The bytes of data combined with the key's four bytes in turn (least significant first), as
// the stored data of a member with Lock 2 holds them.
inline std::string Scramble(const std::string& data, uint32_t key) {
    std::string out = data;
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char>(out[i] ^ (key >> (8 * (i % 4)) & 0xFF));
    return out;
}
