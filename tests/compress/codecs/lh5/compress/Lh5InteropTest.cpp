// Our lh5 streams, wrapped as the single member of a level-0 LHA archive, handed to peer
// archivers as black boxes: each must extract the original bytes. Native only; a missing tool
// skips its cases (CI installs lhasa, p7zip-full and libarchive-tools).
#include "tests/compress/codecs/lh5/Lh5TestSupport.h"
#include "tests/support/LhaWrap.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

struct TPeer {
    const char* Tool;
    const char* Arguments; // %s stands for the archive
};

constexpr TPeer Lhasa{"lhasa", "-pq %s"};
constexpr TPeer SevenZip{"7z", "x -so %s"};
constexpr TPeer BsdTar{"bsdtar", "-xOf %s"};

bool ToolAvailable(const char* tool) {
    std::string command = std::string("command -v ") + tool + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

struct TInteropCase {
    std::string Name;
    std::vector<uint8_t> Input;
    // bsdtar refuses an lh5 stream whose first block holds a single distinct symbol (the
    // one-symbol form of the tables, which lhasa and 7-Zip read). Our output keeps that form.
    bool FirstBlockSingleSymbol = false;
};

// True when the first block uses the one-symbol form: after the 16-bit size, a length-code
// count of 0 with the value 0.
bool StartsWithSingleSymbolBlock(const std::vector<uint8_t>& stream) {
    if (stream.size() < 4) return false;
    uint32_t head = static_cast<uint32_t>(stream[2]) << 8 | stream[3];
    return (head >> 6) == 0;
}

void PrintTo(const TInteropCase& c, std::ostream* os) {
    *os << c.Name;
}
void PrintTo(const TPeer& p, std::ostream* os) {
    *os << p.Tool;
}

class Lh5Interop : public ::testing::TestWithParam<std::tuple<TInteropCase, TPeer>> {};

TEST_P(Lh5Interop, PeerExtractsTheOriginalBytes) {
#ifdef _WIN32
    GTEST_SKIP() << "peer archivers run in the native build";
#endif
    const auto& [c, peer] = GetParam();
    if (!ToolAvailable(peer.Tool)) GTEST_SKIP() << peer.Tool << " is not installed";
    auto stream = Lh5CompressBytes(c.Input);
    ASSERT_EQ(StartsWithSingleSymbolBlock(stream), c.FirstBlockSingleSymbol);
    if (c.FirstBlockSingleSymbol && std::string(peer.Tool) == "bsdtar")
        GTEST_SKIP() << "bsdtar refuses a first block with a single distinct symbol";

    TScratchFolder scratch(std::string("lh5-interop-") + peer.Tool + "-" + c.Name);
    scratch.Write("member.lzh", WrapLhaLevel0(stream, c.Input));
    char arguments[512];
    std::snprintf(arguments, sizeof arguments, peer.Arguments, Quote(scratch.File("member.lzh")).c_str());
    TToolResult result =
        RunTool(peer.Tool, std::string(arguments) + " >" + Quote(scratch.File("out.bin")), scratch);
    EXPECT_EQ(result.Status, 0) << result.Stderr;
    auto out = scratch.Read("out.bin");
    ASSERT_EQ(out.size(), c.Input.size()) << result.Stderr;
    EXPECT_TRUE(out == c.Input);
}

std::vector<TInteropCase> InteropCases() {
    std::vector<uint8_t> mixed;
    Append(mixed, WordSalad(30000, 1));
    Append(mixed, RandomBytes(12000, 2));
    Append(mixed, Repeated(400000, 0x55));
    Append(mixed, Periodic(20000, 257, 3));
    Append(mixed, LiteralOnly(20000));
    Append(mixed, WordSalad(50000, 4));
    auto spacesAtEnd = WordSalad(5000, 5);
    Append(spacesAtEnd, Repeated(600, 0x20));
    return {
        {"OneByte", {0x61}, true},
        {"ThreeLiterals", Bytes("abc")},
        {"TenA", Repeated(10, 0x61)},
        {"AllZero", Repeated(200000, 0)},
        {"Period2", Periodic(60000, 2, 6)},
        {"Period257", Periodic(60000, 257, 7)},
        {"Random", RandomBytes(60000, 8)},
        {"LiteralOnly", LiteralOnly(40000)},
        {"Text", WordSalad(300000, 9)},
        {"SpacesAtTheEnd", spacesAtEnd},
        {"Mixed", mixed},
    };
}

INSTANTIATE_TEST_SUITE_P(Peers, Lh5Interop,
                         ::testing::Combine(::testing::ValuesIn(InteropCases()),
                                            ::testing::Values(Lhasa, SevenZip, BsdTar)),
                         [](const auto& info) {
                             return std::get<0>(info.param).Name + "_" +
                                    (std::string(std::get<1>(info.param).Tool) == "7z"
                                         ? std::string("sevenzip")
                                         : std::string(std::get<1>(info.param).Tool));
                         });

} // namespace
