// libFuzzer target of the archive reader: the input is a whole archive. It is listed
// (ReadDirectory), expanded into files of a scratch folder (ExpandArchive, with OnCheckFile
// redirecting every member there, and a fixed 1 MiB of free space so that a damaged ExpandedSize
// cannot make it write gigabytes), and walked member by member into memory as `qdmx test` does.
// Findings: any exception but the component's documented ones, a directory entry outside the
// archive, a file outside the scratch folder, a member read past its stored data, and output
// beyond what the member's codec may write.
#include "compress/Archiver.h"
#include "compress/archive/ArchiveFormat.h"
#include "compress/codecs/lh5/expand/Lh5Expand.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int32_t FreeSpace = 1 << 20;
constexpr int32_t FuzzKey = 0x5EED1234;

class TLimitedArchiver : public TArchiver {
protected:
    float TargetFreeSpace(const std::string&) override { return static_cast<float>(FreeSpace); }
};

// The failures that damaged data may cause; anything else is a finding.
bool Documented(const Exception& e) {
    return dynamic_cast<const EDamagedArchive*>(&e) || dynamic_cast<const EInvalidHeader*>(&e) ||
           dynamic_cast<const EInvalidHeaderArchiveType*>(&e) ||
           dynamic_cast<const EUnrecognizedCompressionMethod*>(&e) || dynamic_cast<const EBadChecksum*>(&e) ||
           dynamic_cast<const EInvalidKey*>(&e) || dynamic_cast<const ELh5BadDecodeTable*>(&e) ||
           dynamic_cast<const EInsufficientDiskSpace*>(&e);
}

const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        auto path = base / ("parlavox-fuzz-archive-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

void List(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TArchiver archiver;
    TDirectoryList list;
    try {
        archiver.ReadDirectory(stream, list);
    } catch (const Exception& e) {
        if (!Documented(e)) std::abort();
    }
    for (const auto& entry : list) {
        const TMemberInfo& m = *entry.Info;
        if (m.CompressedSize < 0 || m.ExpandedSize < 0) std::abort();
        // The name as stored: the listed one is UTF-8, longer than an unmarked name in its code page.
        if (m.Position < 0 || m.Position + MemberHeaderSize > stream.Size()) std::abort();
        uint8_t header[MemberHeaderSize];
        std::copy_n(bytes.begin() + m.Position, MemberHeaderSize, header);
        const int64_t storedName = DecodeMemberHeader(header).NameLength;
        if (m.Position + MemberHeaderSize + storedName + m.CompressedSize > stream.Size()) std::abort();
    }
}

void ExpandIntoFiles(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TLimitedArchiver archiver;
    archiver.Key = FuzzKey;
    archiver.CheckSpaceBeforeExpand = true;
    archiver.SetTargetPath("target");
    int k = 0;
    archiver.OnCheckFile = [&](std::string& path, TProcessMode) {
        // A handler that refuses the ends of an archive and redirects everything else.
        if (k == 7)
            path = "*";
        else if (k % 5 == 3)
            path.clear();
        else
            path = (ScratchFolder() / ("m" + std::to_string(k % 3))).string();
        ++k;
    };
    try {
        archiver.ExpandArchive(stream, nullptr);
    } catch (const Exception& e) {
        if (!Documented(e)) std::abort();
    }
    if (std::filesystem::exists("target")) std::abort();
    for (const auto& entry : std::filesystem::directory_iterator(ScratchFolder()))
        if (entry.path().filename().string().size() != 2) std::abort();
}

void WalkIntoMemory(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TArchiver archiver;
    archiver.Key = FuzzKey;
    try {
        std::string methodID;
        archiver.ReadArchiveHeader(stream, methodID);
        TMemberHeader m;
        std::string name;
        while (archiver.ReadMemberHeader(stream, m, name)) {
            const int64_t dataEnd = stream.Position() + m.CompressedSize;
            if (m.ExpandedSize > FreeSpace) {
                stream.Seek(dataEnd, TSeekOrigin::Begin);
                continue;
            }
            TCountingStream sink;
            try {
                archiver.ExpandMember(sink, stream, m.CompressedSize, m.ExpandedSize, m.Checksum, m.Method,
                                      methodID, m.Lock);
            } catch (...) {
                if (stream.Position() > dataEnd) std::abort();
                throw;
            }
            if (stream.Position() != dataEnd) std::abort();
            if (m.Method == miLZH && sink.Size() > m.ExpandedSize) std::abort();
            if (m.Method == miLH5 && sink.Size() > static_cast<int64_t>(m.ExpandedSize) + 255) std::abort();
            if ((m.Method == miCustom || m.Method > miLH5) && sink.Size() != 0) std::abort();
        }
    } catch (const Exception& e) {
        if (!Documented(e)) std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> bytes(data, data + size);
    List(bytes);
    ExpandIntoFiles(bytes);
    WalkIntoMemory(bytes);
    return 0;
}
