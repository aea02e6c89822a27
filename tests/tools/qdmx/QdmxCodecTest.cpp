// The raw-stream subcommands of qdmx, run as a user would run them.
#include "tests/support/TestStreams.h"
#include "tests/support/ToolRunner.h"

#include <gtest/gtest.h>

namespace {

class QdmxCodec : public ::testing::Test {
protected:
    TScratchFolder Scratch{"qdmx-codec-" +
                           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name())};
    TToolResult Qdmx(const std::string& arguments) { return RunTool(QDMX_PATH, arguments, Scratch); }
    std::string F(const std::string& name) { return Quote(Scratch.File(name)); }
};

TEST_F(QdmxCodec, EncodeRleGivesTheTokensAndDecodeRestores) {
    Scratch.Write("in", {0x41, 0x41, 0x41, 0x42, 0x00, 0x00, 0x00});
    ASSERT_EQ(Qdmx("encode -m rle " + F("in") + " " + F("coded")).Status, 0);
    EXPECT_EQ(Scratch.Read("coded"), (std::vector<uint8_t>{0x41, 0x94, 0x03, 0x42, 0x00, 0x94, 0x03}));
    ASSERT_EQ(Qdmx("decode -m rle -s 7 " + F("coded") + " " + F("out")).Status, 0);
    EXPECT_EQ(Scratch.Read("out"), Scratch.Read("in"));
}

TEST_F(QdmxCodec, StandardInputAndOutputAreTheDefaults) {
    auto data = RandomBytes(100000, 11);
    for (size_t i = 0; i < data.size(); i += 50) data[i] = data[i + 1] = data[i + 2] = data[i + 3] = 'z';
    Scratch.Write("in", data);
    ASSERT_EQ(Qdmx("encode -m none < " + F("in") + " > " + F("coded")).Status, 0);
    EXPECT_EQ(Scratch.Read("coded"), data);
    ASSERT_EQ(Qdmx("decode -m none - - < " + F("coded") + " > " + F("out")).Status, 0);
    EXPECT_EQ(Scratch.Read("out"), data);
}

TEST_F(QdmxCodec, DataThatCannotShrinkExitsThreeAndWritesNothing) {
    Scratch.Write("in", {0x94});
    TToolResult r = Qdmx("encode -m rle " + F("in") + " " + F("coded"));
    EXPECT_EQ(r.Status, 3);
    EXPECT_NE(r.Stderr.find("Could not compress data, will store instead"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(Scratch.File("coded")));
    Scratch.Write("four", {0x41, 0x41, 0x41, 0x41});
    EXPECT_EQ(Qdmx("encode -m rle " + F("four") + " " + F("coded")).Status, 0);
}

TEST_F(QdmxCodec, UsageErrorsExitTwoWithAHint) {
    Scratch.Write("in", {1, 2, 3});
    for (const std::string& args : std::vector<std::string>{"", "encode", "encode -m zip " + F("in"),
                                                            "frobnicate", "decode -m rle -s x"}) {
        TToolResult r = Qdmx(args);
        EXPECT_EQ(r.Status, 2) << args;
        EXPECT_NE(r.Stderr.find("Usage: qdmx"), std::string::npos) << args;
    }
}

TEST_F(QdmxCodec, MissingInputAndWrongSizeAreErrors) {
    TToolResult missing = Qdmx("encode -m rle " + F("nope"));
    EXPECT_EQ(missing.Status, 1);
    EXPECT_NE(missing.Stderr.find("nope"), std::string::npos);
    Scratch.Write("coded", {0x41, 0x94, 0x03});
    TToolResult wrongSize = Qdmx("decode -m rle -s 4 " + F("coded") + " " + F("out"));
    EXPECT_EQ(wrongSize.Status, 1);
    EXPECT_NE(wrongSize.Stderr.find("expected 4"), std::string::npos);
}

} // namespace
