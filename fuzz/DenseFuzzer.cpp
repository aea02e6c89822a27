// libFuzzer target of the dense method. The first byte chooses the mode:
// - even: the rest is a whole archive, read as a dense archive would be: each member is expanded
//   or (by the bits of the first byte) skipped, so that later members must read the skipped ones
//   back; any outcome but a clear error or the right number of bytes is a fault.
// - odd: the rest describes members (a flags byte, two bytes of length, the contents); they are
//   packed with the dense compressor at a low level and a small window chosen by the first byte,
//   with or without the branch filter (then a flags bit makes the member start as an executable),
//   then expanded with the flags' skip pattern: every member expanded must come back exactly.
#include "compress/dense/DenseMethod.h"

#include "compress/archive/ArchiveWriter.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
// Members that claim more than this are skipped rather than expanded, to keep runs short (a few
// stored bytes can claim and produce megabytes).
constexpr int32_t LargestExpansion = 1 << 20;

void ExpandAsArchive(const uint8_t* data, size_t size, uint8_t skipBits) {
    TReadOnlyMemoryStream archive(data, static_cast<int64_t>(size));
    TArchiver reader;
    TDenseExpander dense(reader);
    reader.Key = 0x5EC2E7;
    try {
        std::string methodID;
        reader.ReadArchiveHeader(archive, methodID);
        TMemberHeader h;
        std::string name;
        for (int i = 0; reader.ReadMemberHeader(archive, h, name); ++i) {
            const int64_t end = archive.Position() + h.CompressedSize;
            if ((skipBits >> (i % 7) & 1) || h.ExpandedSize > LargestExpansion) {
                archive.Seek(end, TSeekOrigin::Begin);
                continue;
            }
            TCountingStream out;
            reader.ExpandMember(out, archive, h.CompressedSize, h.ExpandedSize, h.Checksum, h.Method,
                                methodID, h.Lock);
            if (archive.Position() != end) std::abort();
            // Custom members of other archives pass with nothing expanded, as without a handler.
            if (h.Method == miCustom && IsDenseMethodID(methodID) && out.Size() != h.ExpandedSize)
                std::abort();
        }
    } catch (const Exception&) {
    }
}

struct TFuzzMember {
    bool Skip;
    std::vector<uint8_t> Contents;
};

void RoundTrip(const uint8_t* data, size_t size, uint8_t choice) {
    const bool branchFilter = choice & 32;
    std::vector<TFuzzMember> members;
    size_t at = 0;
    while (at + 3 <= size && members.size() < 16) {
        size_t length = data[at + 1] | data[at + 2] << 8;
        const bool skip = data[at] & 1;
        at += 3;
        length = std::min(length, size - at);
        members.push_back({skip, std::vector<uint8_t>(data + at, data + at + length)});
        if (branchFilter && (data[at - 3] & 2))
            members.back().Contents.insert(members.back().Contents.begin(), {'M', 'Z'});
        at += length;
    }
    TMemoryStream archive;
    {
        TDenseCompressor compressor(1 + choice % 3, DenseWindowLogMin + (choice >> 2) % 8, branchFilter);
        TArchiveWriter writer(archive, compressor.MethodID(), choice & 2 ? 0x1234567 : 0, 1);
        writer.OnCompress = compressor.Handler();
        for (size_t i = 0; i < members.size(); ++i) {
            TMemoryStream source(members[i].Contents);
            writer.AddStream("m" + std::to_string(i), source, 0x58B1645C, 0x20, miCustom);
        }
        writer.Finish();
    }
    TArchiver reader;
    TDenseExpander dense(reader);
    reader.Key = choice & 2 ? 0x1234567 : 0;
    archive.Seek(0, TSeekOrigin::Begin);
    std::string methodID;
    reader.ReadArchiveHeader(archive, methodID);
    TMemberHeader h;
    std::string name;
    size_t i = 0;
    while (reader.ReadMemberHeader(archive, h, name)) {
        if (i >= members.size() || h.Method != miCustom) std::abort();
        if (members[i].Skip) {
            archive.Seek(h.CompressedSize, TSeekOrigin::Current);
        } else {
            TMemoryStream out;
            reader.ExpandMember(out, archive, h.CompressedSize, h.ExpandedSize, h.Checksum, h.Method,
                                methodID, h.Lock);
            if (out.Bytes != members[i].Contents) std::abort();
        }
        ++i;
    }
    if (i != members.size()) std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    if (data[0] & 1)
        RoundTrip(data + 1, size - 1, static_cast<uint8_t>(data[0] >> 1));
    else
        ExpandAsArchive(data + 1, size - 1, static_cast<uint8_t>(data[0] >> 1));
    return 0;
}
