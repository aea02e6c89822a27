#include "compress/Archiver.h"
#include "compress/codecs/StoredRle.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

namespace {

struct TRun {
    TArchiver Archiver;
    TRecordingStream Source, Dest;
    std::vector<int32_t> Progress;
    uint32_t Checksum = 0xDEADBEEF;

    explicit TRun(std::vector<uint8_t> source) {
        Source.Bytes = std::move(source);
        Archiver.OnShowProgress = [this](int32_t& p) { Progress.push_back(p); };
    }
    int64_t Run(uint8_t method, TProcessMode mode, int32_t size = -1, bool scramble = false) {
        if (size < 0) size = static_cast<int32_t>(Source.Bytes.size());
        return Archiver.RunCodec(Dest, Source, size, 0, method, Checksum, mode, scramble);
    }
};

TEST(RunCodecProgress, ReportsZeroThenEachChunkThenHundred) {
    TRun run(RandomBytes(12630, 1));
    run.Run(miStored, pmExpand);
    EXPECT_EQ(run.Progress, (std::vector<int32_t>{0, 64, 100, 100}));
}

TEST(RunCodecProgress, LargeSourcesUseHundredthsForTheFirstChunk) {
    TRun run(std::vector<uint8_t>(707643, 'x'));
    run.Run(miStored, pmExpand);
    ASSERT_GE(run.Progress.size(), 3u);
    EXPECT_EQ(run.Progress[1], 1);
    EXPECT_EQ(run.Progress.back(), 100);
}

TEST(RunCodecProgress, CancelAtZeroDoesNothingAtAll) {
    TRun run(Bytes("abc"));
    run.Archiver.OnShowProgress = [&](int32_t& p) {
        run.Progress.push_back(p);
        p = -1;
    };
    EXPECT_EQ(run.Run(miStored, pmExpand), 0);
    EXPECT_EQ(run.Checksum, 0xDEADBEEFu);
    EXPECT_TRUE(run.Source.ReadRequests.empty());
    EXPECT_TRUE(run.Dest.WriteSizes.empty());
    EXPECT_EQ(run.Progress, (std::vector<int32_t>{0}));
}

TEST(RunCodecProgress, CancelAtTheFirstChunkLeavesTheChecksumZero) {
    TRun run(Bytes("abc"));
    run.Archiver.OnShowProgress = [&](int32_t& p) {
        run.Progress.push_back(p);
        if (p == 100 && run.Progress.size() == 2) p = -1;
    };
    run.Run(miStored, pmExpand);
    EXPECT_EQ(run.Checksum, 0u);
    EXPECT_TRUE(run.Dest.Bytes.empty());
    EXPECT_EQ(run.Progress, (std::vector<int32_t>{0, 100, 100}));
}

TEST(RunCodecChecksum, IsTheByteSumOfTheUncompressedDataInBothDirections) {
    TRun compress(Bytes("abc"));
    EXPECT_EQ(compress.Run(miStored, pmCompress), 3);
    EXPECT_EQ(compress.Checksum, 294u);
    TRun expand(Bytes("abc"));
    expand.Run(miStored, pmExpand);
    EXPECT_EQ(expand.Checksum, 294u);
}

TEST(RunCodecChecksum, KeyedRunsScrambleAndUnscrambleWithThePlainSum) {
    auto data = RandomBytes(20000, 5);
    TRun compress(data);
    compress.Archiver.Key = 0x0A0B0C0D;
    compress.Run(miStored, pmCompress);
    ASSERT_EQ(compress.Dest.Bytes.size(), data.size());
    EXPECT_EQ(compress.Dest.Bytes[0], data[0] ^ 0x0D);
    EXPECT_EQ(compress.Dest.Bytes[8193], data[8193] ^ 0x0C);
    uint32_t plainSum = 0;
    for (uint8_t b : data) plainSum += b;
    EXPECT_EQ(compress.Checksum, plainSum);

    TRun expand(compress.Dest.Bytes);
    expand.Archiver.Key = 0x0A0B0C0D;
    expand.Run(miStored, pmExpand, -1, true);
    EXPECT_EQ(expand.Dest.Bytes, data);
    EXPECT_EQ(expand.Checksum, plainSum);

    // Without the scramble flag, or with Key 0, nothing is unscrambled.
    TRun unflagged(compress.Dest.Bytes);
    unflagged.Archiver.Key = 0x0A0B0C0D;
    unflagged.Run(miStored, pmExpand, -1, false);
    EXPECT_EQ(unflagged.Dest.Bytes, compress.Dest.Bytes);
    TRun noKey(compress.Dest.Bytes);
    noKey.Run(miStored, pmExpand, -1, true);
    EXPECT_EQ(noKey.Dest.Bytes, compress.Dest.Bytes);
}

TEST(RunCodecDispatch, CustomAndUnknownMethodsRunNothing) {
    for (uint8_t method : {3, 5, 200, 255}) {
        TRun run(Bytes("abc"));
        run.Run(method, pmExpand);
        EXPECT_EQ(run.Checksum, 0u) << int(method);
        EXPECT_TRUE(run.Dest.Bytes.empty());
        EXPECT_TRUE(run.Source.ReadRequests.empty());
        EXPECT_EQ(run.Progress, (std::vector<int32_t>{0, 100}));
    }
}

TEST(RunCodecDispatch, ReadsExactlyTheSourceSizeAndLeavesTheStreamAfterIt) {
    TRun run(Bytes("0123456789"));
    run.Run(miStored, pmExpand, 4);
    EXPECT_EQ(run.Source.Position(), 4);
    EXPECT_EQ(std::string(run.Dest.Bytes.begin(), run.Dest.Bytes.end()), "0123");
}

TEST(RunCodecFailure, UnableToCompressKeepsFlushedChunksAndReleasesBuffers) {
    // 9000 marker bytes need 18000 output bytes: the run fails at output byte 9001, after one
    // full chunk went out.
    TRun run(std::vector<uint8_t>(9000, RleMarker));
    EXPECT_THROW(run.Run(miRLE, pmCompress), EUnableToCompress);
    EXPECT_EQ(run.Dest.Bytes.size(), 8192u);
    EXPECT_EQ(run.Archiver.CodecState().InBuffer, nullptr);
    EXPECT_EQ(run.Archiver.CodecState().OutBuffer, nullptr);
    EXPECT_EQ(run.Progress, (std::vector<int32_t>{0, 91}));
}

TEST(RunCodecFailure, DestinationWriteErrorsPropagate) {
    TArchiver archiver;
    TMemoryStream source(RandomBytes(10000, 2));
    TReadOnlyMemoryStream dest(nullptr, 0);
    uint32_t checksum = 0;
    EXPECT_THROW(archiver.RunCodec(dest, source, 10000, 0, miStored, checksum, pmExpand, false),
                 EStreamError);
    EXPECT_EQ(archiver.CodecState().OutBuffer, nullptr);
}

} // namespace
