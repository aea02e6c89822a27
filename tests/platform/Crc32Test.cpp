// The CRC-32 against its bit-by-bit definition: every length up to 300 bytes at every alignment
// (the folding path's 64- and 16-byte steps and the tables' tail in every combination), and cut
// into calls of any length. Its value for known data: tests/setup/UninstallRecordTest.cpp.
#include "platform/digest/Crc32.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

uint32_t BitwiseCrc32(uint32_t crc, const uint8_t* bytes, size_t count) {
    crc = ~crc;
    for (size_t i = 0; i < count; ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

TEST(Crc32, MatchesTheDefinitionAtEveryLengthAlignmentAndCut) {
    constexpr size_t Longest = 300, Alignments = 16;
    const std::vector<uint8_t> noise = RandomBytes(Longest + Alignments, 2463534242u);
    for (size_t at = 0; at < Alignments; ++at)
        for (size_t length = 0; length <= Longest; ++length)
            ASSERT_EQ(UpdateCrc32(0x5EED1234u, noise.data() + at, length),
                      BitwiseCrc32(0x5EED1234u, noise.data() + at, length))
                << "length " << length << " at " << at;
    // Three calls: the first cut anywhere, the second piece short or long enough to fold.
    const uint32_t whole = BitwiseCrc32(0, noise.data(), Longest);
    for (size_t cut = 0; cut <= Longest; ++cut)
        for (size_t middle : {1, 15, 63, 64, 80, 200}) {
            const size_t second = std::min(cut + middle, Longest);
            uint32_t crc = UpdateCrc32(0, noise.data(), cut);
            crc = UpdateCrc32(crc, noise.data() + cut, second - cut);
            ASSERT_EQ(UpdateCrc32(crc, noise.data() + second, Longest - second), whole)
                << "cut at " << cut << " and " << second;
        }
}

#if defined(__x86_64__)
TEST(Crc32, FoldsWhereTheProcessorCan) {
    __builtin_cpu_init();
    EXPECT_EQ(Crc32Folds(), __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1"));
}
#endif

} // namespace
