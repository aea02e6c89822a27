// Interoperability of the LZH stream with LHA's "-lh1-" method: our raw streams, wrapped in a
// minimal level-0 LHA header, must be extracted by lhasa (used as a black box) to the original
// bytes, which lhasa also verifies against the header's CRC-16. Native builds only: lhasa is a
// Linux tool, and the test skips when it is not installed.
#include "LzhTestSupport.h"
#include "tests/support/LhaWrap.h"
#include "tests/support/TempDirectory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

#ifndef _WIN32
bool LhasaInstalled() {
    return std::system("command -v lhasa >/dev/null 2>&1") == 0;
}

// lhasa's extraction to standard output of a one-member archive made from the stream.
std::vector<uint8_t> LhasaExtract(const std::vector<uint8_t>& stream, const std::vector<uint8_t>& original) {
    TTempDirectory dir;
    std::vector<uint8_t> archive = WrapLhaLevel0(stream, original, "-lh1-");
    dir.Write("member.lzh", std::string(archive.begin(), archive.end()));
    std::string command =
        "lhasa -pq '" + dir.Sub("member.lzh") + "' >'" + dir.Sub("out.bin") + "' 2>/dev/null";
    if (std::system(command.c_str()) != 0) return {};
    std::string out = dir.Read("out.bin");
    return {out.begin(), out.end()};
}
#endif

class LzhInterop : public ::testing::Test {
protected:
    void SetUp() override {
#ifdef _WIN32
        GTEST_SKIP() << "lhasa runs only in the native build";
#else
        if (!LhasaInstalled()) GTEST_SKIP() << "lhasa is not installed";
#endif
    }
    void ExpectLhasaGives([[maybe_unused]] const std::vector<uint8_t>& stream,
                          [[maybe_unused]] const std::vector<uint8_t>& original) {
#ifndef _WIN32
        std::vector<uint8_t> out = LhasaExtract(stream, original);
        ASSERT_EQ(out.size(), original.size());
        EXPECT_TRUE(out == original) << "lhasa extracted other bytes";
#endif
    }
};

TEST_F(LzhInterop, ShortKnownStreams) {
    for (const char* text : {"a", "abc", "abcabcabc", "aaaaaaaaaa"})
        ExpectLhasaGives(LzhCompressBytes(Bytes(text)), Bytes(text));
}

TEST_F(LzhInterop, ProseLongEnoughToRebuildTheModelSeveralTimes) {
    std::vector<uint8_t> data = ProseBytes(700000, 31);
    ExpectLhasaGives(LzhCompressBytes(data), data);
}

TEST_F(LzhInterop, RandomBytesAcrossManyRebuilds) {
    std::vector<uint8_t> data = RandomBytes(250000, 32);
    ExpectLhasaGives(LzhCompressBytes(data), data);
}

TEST_F(LzhInterop, RunsRepeatsAndLeadingSpaces) {
    std::vector<uint8_t> data(3000, ' ');
    std::vector<uint8_t> a(70000, 'a'), block = RandomBytes(4036, 33);
    data.insert(data.end(), a.begin(), a.end());
    for (int i = 0; i < 5; ++i) data.insert(data.end(), block.begin(), block.end());
    ExpectLhasaGives(LzhCompressBytes(data), data);
}

// Streams the compressor would not make: codes longer than 16 bits, a first match into the
// initial spaces, and a match at distance 4095 that crosses the ring's end.
TEST_F(LzhInterop, HandMadeStreams) {
    std::vector<uint8_t> expected(20, ' ');
    TLzhStreamWriter w;
    w.Match(20, 0);
    for (uint8_t b : DeepModelLiterals(34)) {
        w.Literal(b);
        expected.push_back(b);
    }
    ASSERT_GT(w.CodeLength(0x01), 16);
    w.Literal(0x01);
    expected.push_back(0x01);
    w.Match(60, 4094);
    for (int k = 0; k < 60; ++k) expected.push_back(expected[expected.size() - 4095]);
    ExpectLhasaGives(w.Finish(), expected);
}

} // namespace
