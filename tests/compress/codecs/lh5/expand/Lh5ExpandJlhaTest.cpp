// Interoperability: raw lh5 streams written by jlha (a black box; see tests/data/lh5/README.md)
// expand to the original bytes, with the checksum of those bytes, and leave the source right
// after the member's data when more bytes follow it.
#include "compress/Archiver.h"
#include "tests/compress/codecs/lh5/Lh5ExpandHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::vector<uint8_t> ReadFixture(const std::string& name) {
    const char* root = std::getenv("PARLAVOX_TEST_DATA");
    if (!root) return {};
    std::string path = std::string(root) + "/lh5/" + name;
    std::ifstream in(path, std::ios::binary);
#ifdef _WIN32
    // Under Wine a Unix path is reached through the drive that maps the root folder.
    if (!in) in.open("Z:" + path, std::ios::binary);
#endif
    if (!in) return {};
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Lh5JlhaStreams : public ::testing::TestWithParam<const char*> {};

TEST_P(Lh5JlhaStreams, ExpandToTheOriginal) {
    if (!std::getenv("PARLAVOX_TEST_DATA")) GTEST_SKIP() << "PARLAVOX_TEST_DATA is not set";
    const std::string name = GetParam();
    const auto stream = ReadFixture(name + ".lh5");
    const auto original = ReadFixture(name + ".bin");
    ASSERT_FALSE(stream.empty()) << name << ".lh5 not found";
    ASSERT_FALSE(original.empty()) << name << ".bin not found";

    std::vector<uint8_t> source = stream;
    source.insert(source.end(), {'Q', 'D', 'M', 'X'});
    TArchiver archiver;
    TMemoryStream in(source), out;
    uint32_t checksum = 0;
    const auto size = static_cast<int32_t>(original.size());
    int64_t count = archiver.RunCodec(out, in, static_cast<int32_t>(stream.size()), size, miLH5, checksum,
                                      pmExpand, false);
    EXPECT_TRUE(out.Bytes == original);
    EXPECT_EQ(count, size + 1);
    EXPECT_EQ(checksum, SumOf(original));
    EXPECT_EQ(in.Position(), static_cast<int64_t>(stream.size()));

    TExpandOptions member;
    member.SourceSize = static_cast<int32_t>(stream.size());
    EXPECT_TRUE(RunExpander(Lh5Expand, source, size, member) ==
                RunExpander(Lh5ExpandByteWise, source, size, member));
}

INSTANTIATE_TEST_SUITE_P(Fixtures, Lh5JlhaStreams,
                         ::testing::Values("text-small", "text-large", "binary", "runs"),
                         [](const auto& info) {
                             std::string n = info.param;
                             n.erase(std::remove(n.begin(), n.end(), '-'), n.end());
                             return n;
                         });

} // namespace
