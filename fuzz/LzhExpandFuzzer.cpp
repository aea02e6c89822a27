// libFuzzer target of the LZH expander. Input: three bytes of expanded size (little-endian,
// capped at 4 MiB and at 16 bytes per stream byte plus 4 KiB, so that the time goes into decoding
// the stream rather than the zero bits that follow its end), then the member's stream. The stream goes
// through RunCodec (method 2, expand direction) with a source stream that holds more bytes than the member,
// as an archive does. Every stream, however damaged, must give exactly the requested number of bytes, sum
// them, and leave the source exactly at the member's end; any exception is a finding.
#include "compress/Archiver.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {
constexpr int32_t MaxExpandedSize = 4 << 20;
constexpr size_t HeadBytes = 3;

// Counts and sums what it is given instead of keeping it, so that large sizes stay cheap.
class TSummingStream : public TStream {
public:
    int64_t Size() const override { return Count; }
    int64_t Position() const override { return Count; }
    int32_t Read(void*, int32_t) override { return 0; }
    void Write(const void* buffer, int32_t count) override {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        for (int32_t i = 0; i < count; ++i) Sum += bytes[i];
        Count += count;
    }
    int64_t Seek(int64_t, TSeekOrigin) override { return Count; }

    int64_t Count = 0;
    uint32_t Sum = 0;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < HeadBytes) return 0;
    const auto requested = static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16);
    std::vector<uint8_t> archive(data + HeadBytes, data + size);
    const auto memberSize = static_cast<int32_t>(archive.size());
    const int32_t cap = std::min<int32_t>(MaxExpandedSize, 16 * memberSize + 4096);
    const int32_t destSize = requested % (cap + 1);
    archive.insert(archive.end(), 16, 0xA5); // the next member's bytes, never to be read

    TArchiver archiver;
    TMemoryStream source(std::move(archive));
    TSummingStream dest;
    uint32_t checksum = 0;
    const int64_t written =
        archiver.RunCodec(dest, source, memberSize, destSize, miLZH, checksum, pmExpand, false) - 1;
    if (written != destSize || dest.Count != destSize) std::abort();
    if (checksum != dest.Sum) std::abort();
    if (source.Position() > memberSize) std::abort();
    return 0;
}
