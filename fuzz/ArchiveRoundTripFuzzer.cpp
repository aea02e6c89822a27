// libFuzzer target of the archive writer with every compressor: the input describes members
// (per member one method byte, two bytes of length, then that many bytes of contents; a first
// byte chooses no key, a scrambling lock or a checksum-only lock). The writer packs them, falling
// back to storing a member that will not shrink; ReadDirectory must list them with their names and
// sizes, and ExpandMember must give each one back byte for byte with its checksum verified.
#include "compress/archive/ArchiveWriter.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
struct TFuzzMember {
    std::string Name;
    std::vector<uint8_t> Contents;
    uint8_t Method;
};

constexpr uint8_t Methods[] = {miStored, miRLE, miLZH, miLH5};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t key = data[0] % 3 == 0 ? 0 : static_cast<int32_t>(0x9E3779B9u * (data[0] | 1u));
    const int32_t lock = data[0] % 3 == 2 ? 1 : 2;
    std::vector<TFuzzMember> members;
    size_t at = 1;
    while (at + 3 <= size && members.size() < 16) {
        const uint8_t method = Methods[data[at] & 3];
        size_t length = data[at + 1] | data[at + 2] << 8;
        at += 3;
        length = std::min(length, size - at);
        members.push_back({"m" + std::to_string(members.size()) + "\\" + std::to_string(data[at - 3]),
                           std::vector<uint8_t>(data + at, data + at + length), method});
        at += length;
    }

    TMemoryStream archive;
    {
        TArchiveWriter writer(archive, miLH5, key, lock);
        for (const auto& m : members) {
            TMemoryStream source(m.Contents);
            TMemberHeader h = writer.AddStream(m.Name, source, 0x58B1645C, 0x20, m.Method);
            if (h.Method != m.Method && h.Method != miStored) std::abort();
        }
        writer.Finish();
    }

    TArchiver reader;
    reader.Key = key;
    TDirectoryList list;
    archive.Seek(0, TSeekOrigin::Begin);
    reader.ReadDirectory(archive, list);
    if (members.empty() ? !list.empty() : list.size() != members.size()) std::abort();
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].Name != members[i].Name ||
            list[i].Info->ExpandedSize != static_cast<int32_t>(members[i].Contents.size()))
            std::abort();

    archive.Seek(0, TSeekOrigin::Begin);
    std::string methodID;
    const TArchiveHeader header = reader.ReadArchiveHeader(archive, methodID);
    int64_t total = 0;
    TMemberHeader h;
    std::string name;
    size_t i = 0;
    while (reader.ReadMemberHeader(archive, h, name)) {
        if (i >= members.size()) std::abort();
        TMemoryStream out;
        reader.ExpandMember(out, archive, h.CompressedSize, h.ExpandedSize, h.Checksum, h.Method, methodID,
                            h.Lock);
        if (out.Bytes != members[i].Contents) std::abort();
        total += h.ExpandedSize;
        ++i;
    }
    if (i != members.size() || total != header.TotalSize) std::abort();
    return 0;
}
