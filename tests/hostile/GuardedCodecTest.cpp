// The codecs with guard pages around everything they touch: the input chunk and output buffers
// and the source bytes (TGuardedCodecRun), and, through the test program's allocation hook, the
// LH5 and LZH tables, the fast decoder's tables and the dispatcher's own buffers. Any read or
// write one byte outside a block faults at once, in the plain build as in the sanitizer build.
// Every case runs with the blocks against their end guards and again against their start guards.
#include "tests/hostile/ComponentErrors.h"
#include "tests/hostile/HostileManifest.h"
#include "tests/support/GuardedAllocator.h"
#include "tests/support/GuardedBuffer.h"
#include "tests/support/TestStreams.h"

#include "compress/CodecTable.h"
#include "compress/codecs/StoredRle.h"
#include "compress/codecs/lh5/compress/Lh5Compress.h"
#include "compress/codecs/lzh/LzhCodec.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace {

struct TCodec {
    const char* Name;
    uint8_t Method;
    void (*Compress)(TCodecState&);
    void (*Expand)(TCodecState&, int32_t);
    bool HasTables;
};

void ExpandStoredEntry(TCodecState& s, int32_t) {
    StoredCopy(s);
}
void ExpandRleEntry(TCodecState& s, int32_t) {
    RleExpand(s);
}

const TCodec Codecs[] = {{"Stored", miStored, StoredCopy, ExpandStoredEntry, false},
                         {"Rle", miRLE, RleCompress, ExpandRleEntry, false},
                         {"Lzh", miLZH, LzhCompress, LzhExpand, true},
                         {"Lh5", miLH5, Lh5Compress, Lh5Expand, true}};

std::vector<uint8_t> Sample(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    while (out.size() < n) {
        switch (random() % 4) {
        case 0:
            out.insert(out.end(), 1 + random() % 400, static_cast<uint8_t>(random()));
            break;
        case 1: {
            auto copyFrom = out.size() > 300 ? out.size() - 1 - random() % 300 : 0;
            for (size_t k = 0, len = 3 + random() % 250; k < len && copyFrom + k < out.size(); ++k)
                out.push_back(out[copyFrom + k]);
            break;
        }
        case 2:
            out.push_back(0x94);
            break;
        default:
            for (size_t k = 0, len = random() % 40; k < len; ++k)
                out.push_back(static_cast<uint8_t>('a' + random() % 26));
        }
    }
    out.resize(n);
    return out;
}

// Runs one codec entry on guarded buffers (and guarded tables); the component's exceptions pass.
struct TGuardedResult {
    std::vector<uint8_t> Output;
    size_t GuardedBlocks = 0;
};

TGuardedResult RunGuarded(const std::vector<uint8_t>& input, TGuardSide side, int32_t budget,
                          const std::function<void(TCodecState&)>& codec) {
    TGuardedCodecRun run(input, side, budget);
    TGuardedResult result;
    {
        TGuardedAllocations hook(side);
        codec(run.S);
        result.GuardedBlocks = hook.Count();
    }
    result.Output = run.Finish();
    return result;
}

class GuardedCodecs : public ::testing::TestWithParam<TGuardSide> {};

TEST(GuardPages, ATouchJustOutsideABlockFaults) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (TGuardSide side : {TGuardSide::End, TGuardSide::Start}) {
        TGuardedBlock block(100, side);
        volatile uint8_t* bytes = block.Data();
        bytes[0] = 1;
        bytes[99] = 2;
        // The index comes from a volatile, so that the compiler sees no constant out-of-bounds access.
        volatile ptrdiff_t outside = side == TGuardSide::End ? 100 : -1;
        EXPECT_DEATH(bytes[outside] = 3, "");
    }
    EXPECT_DEATH(
        {
            TGuardedAllocations hook(TGuardSide::End);
            volatile size_t size = 2040;
            volatile uint8_t* p = static_cast<uint8_t*>(std::calloc(size, 1));
            p[size] = 1;
        },
        "");
}

TEST_P(GuardedCodecs, EveryMethodRoundTripsWithinItsBlocks) {
    const TGuardSide side = GetParam();
    for (const TCodec& codec : Codecs) {
        for (size_t n : {size_t(0), size_t(1), size_t(8192), size_t(8193), size_t(3 * 8192), size_t(50000)}) {
            const std::vector<uint8_t> plain = Sample(n, static_cast<uint32_t>(n + codec.Method));
            TGuardedResult coded = RunGuarded(plain, side, INT32_MAX, codec.Compress);
            TGuardedResult back = RunGuarded(coded.Output, side, INT32_MAX, [&](TCodecState& s) {
                codec.Expand(s, static_cast<int32_t>(n));
            });
            EXPECT_EQ(back.Output, plain) << codec.Name << " " << n;
            if (codec.HasTables && n > 0) {
                EXPECT_GT(coded.GuardedBlocks, 0u) << codec.Name << ": the tables came from guarded memory";
                EXPECT_GT(back.GuardedBlocks, 0u) << codec.Name;
            }
        }
    }
}

TEST_P(GuardedCodecs, TheDispatcherBuffersAreGuardedToo) {
    const std::vector<uint8_t> plain = Sample(30000, 5);
    for (const TCodec& codec : Codecs) {
        TArchiver archiver;
        TMemoryStream source(plain), coded, back;
        uint32_t sum = 0;
        size_t blocks = 0;
        {
            TGuardedAllocations hook(GetParam());
            archiver.RunCodec(coded, source, static_cast<int32_t>(plain.size()), 0, codec.Method, sum,
                              pmCompress, false);
            coded.Seek(0, TSeekOrigin::Begin);
            archiver.RunCodec(back, coded, static_cast<int32_t>(coded.Size()),
                              static_cast<int32_t>(plain.size()), codec.Method, sum, pmExpand, false);
            blocks = hook.Count();
        }
        EXPECT_EQ(back.Bytes, plain) << codec.Name;
        EXPECT_GE(blocks, 4u) << codec.Name << ": two buffers per run";
    }
}

// Random and corrupted streams whose length is a whole number of input chunks, so that every
// chunk ends right at a guard; they are expanded to far more bytes than they hold, so that the
// decoders read them to the end.
TEST_P(GuardedCodecs, DamagedStreamsStayWithinTheBlocks) {
    const TGuardSide side = GetParam();
    std::map<std::string, int> endings;
    for (const TCodec& codec : Codecs) {
        const std::vector<uint8_t> plain = Sample(40000, 17);
        const std::vector<uint8_t> good = RunGuarded(plain, side, INT32_MAX, codec.Compress).Output;
        for (uint32_t seed = 0; seed < 60; ++seed) {
            std::mt19937 random(seed);
            std::vector<uint8_t> stream;
            if (seed % 2 == 0) {
                stream = RandomBytes(CodecChunkSize * (1 + seed % 3), seed + 1);
            } else {
                stream = good;
                for (size_t i = 0; i < 1 + stream.size() / 100; ++i)
                    stream[random() % stream.size()] = static_cast<uint8_t>(random());
                stream.resize((stream.size() + CodecChunkSize - 1) / CodecChunkSize * CodecChunkSize, 0x5A);
            }
            try {
                TGuardedResult r =
                    RunGuarded(stream, side, INT32_MAX, [&](TCodecState& s) { codec.Expand(s, 200000); });
                const size_t most = codec.Method == miLZH   ? 200000u
                                    : codec.Method == miLH5 ? 200000u + 255
                                                            : SIZE_MAX;
                EXPECT_LE(r.Output.size(), most) << codec.Name << " seed " << seed;
                ++endings[std::string(codec.Name) + " expanded"];
            } catch (const std::exception& e) {
                EXPECT_EQ(ComponentClassOf(e), "ELh5BadDecodeTable")
                    << codec.Name << " seed " << seed << ": " << e.what();
                ++endings[std::string(codec.Name) + " " + ComponentClassOf(e)];
            }
        }
    }
    EXPECT_GT(endings["Lh5 expanded"], 0);
    EXPECT_GT(endings["Lh5 ELh5BadDecodeTable"], 0);
}

// The lh5 members of the hostile archives, expanded on guarded memory.
TEST_P(GuardedCodecs, HostileLh5MembersStayWithinTheBlocks) {
    int expanded = 0, rejected = 0;
    for (const auto& c : LoadHostileCases()) {
        std::ifstream in(HostileDataFolder() / c.File, std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        if (bytes.size() < 46 || bytes[21 + 16] != miLH5) continue;
        auto le32 = [&](size_t at) {
            return static_cast<int32_t>(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
                                        uint32_t(bytes[at + 3]) << 24);
        };
        const size_t nameLength = bytes[21] | bytes[22] << 8;
        const int32_t expandedSize = le32(21 + 8);
        const int32_t compressedSize = le32(21 + 12);
        if (compressedSize < 0 || 46 + nameLength + static_cast<size_t>(compressedSize) > bytes.size())
            continue;
        const size_t compressed = static_cast<size_t>(compressedSize);
        std::vector<uint8_t> stream(bytes.begin() + 46 + nameLength,
                                    bytes.begin() + 46 + nameLength + compressed);
        try {
            RunGuarded(stream, GetParam(), INT32_MAX, [&](TCodecState& s) { Lh5Expand(s, expandedSize); });
            ++expanded;
        } catch (const ELh5BadDecodeTable&) {
            ++rejected;
        }
    }
    EXPECT_GE(expanded, 8);
    EXPECT_GE(rejected, 10);
}

// Compressors on inputs that push their tables: long runs, the marker byte, incompressible bytes
// (which stop at the output budget), and many short matches.
TEST_P(GuardedCodecs, CompressorsStayWithinTheBlocksUpToTheBudget) {
    const std::vector<std::vector<uint8_t>> inputs = {std::vector<uint8_t>(70000, 0),
                                                      std::vector<uint8_t>(20000, 0x94),
                                                      RandomBytes(3 * CodecChunkSize, 9), Sample(65536, 23)};
    for (const TCodec& codec : Codecs) {
        for (const auto& input : inputs) {
            try {
                TGuardedResult coded =
                    RunGuarded(input, GetParam(), static_cast<int32_t>(input.size()), codec.Compress);
                TGuardedResult back = RunGuarded(coded.Output, GetParam(), INT32_MAX, [&](TCodecState& s) {
                    codec.Expand(s, static_cast<int32_t>(input.size()));
                });
                EXPECT_EQ(back.Output, input) << codec.Name;
            } catch (const EUnableToCompress&) {
                EXPECT_NE(codec.Method, miStored);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sides, GuardedCodecs, ::testing::Values(TGuardSide::End, TGuardSide::Start),
                         [](const ::testing::TestParamInfo<TGuardSide>& info) {
                             return info.param == TGuardSide::End ? std::string("AgainstEnd")
                                                                  : std::string("AgainstStart");
                         });

} // namespace
