// The lh5 expander on damaged streams: code-length lists that would lead a decoder outside its
// tables or onto unset entries, and input that ends early. Each case either raises
// ELh5BadDecodeTable or decodes to the documented bytes, and the fast and the symbol-by-symbol
// expanders agree on every observable result, including what was written before the error.
#include "compress/Archiver.h"
#include "tests/compress/codecs/lh5/Lh5ExpandHarness.h"
#include "tests/compress/codecs/lh5/Lh5StreamBuilder.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const std::string BadTable = "Bad decode table in archive!";

TExpandOutcome ExpandBothWays(const TBytes& stream, int32_t destSize) {
    TExpandOutcome fast = RunExpander(Lh5Expand, stream, destSize);
    TExpandOutcome byteWise = RunExpander(Lh5ExpandByteWise, stream, destSize);
    EXPECT_TRUE(fast == byteWise) << "fast and byte-wise expansion differ";
    return fast;
}

// A sound two-literal block ('x' = 0, 'y' = 1) whose pieces a case may replace.
struct TDamagedHead {
    uint16_t Size = 4;
    std::function<void(TBitWriter&)> LengthCode = [](TBitWriter& w) {
        PutAuxCode(w, DefaultLengthCode(), 5, 3);
    };
    std::function<void(TBitWriter&)> Symbols = [](TBitWriter& w) {
        std::vector<uint8_t> l(510, 0);
        l['x'] = l['y'] = 1;
        PutSymbolCode(w, TLh5Code::FromLengths(l), DefaultLengthCode());
    };
    std::function<void(TBitWriter&)> Distances = [](TBitWriter& w) {
        PutAuxCode(w, TLh5Code::One(0), 4, -1);
    };
    uint32_t Data = 0b0110; // x y y x
    int DataBits = 4;

    TBytes Stream() const {
        TBitWriter w;
        w.Put(Size, 16);
        LengthCode(w);
        Symbols(w);
        Distances(w);
        w.Put(Data, DataBits);
        return w.Bytes();
    }
};

TBytes Text(const std::string& s) {
    return TBytes(s.begin(), s.end());
}

// Raw symbol-length list: count, then length-code symbols of the default length code.
std::function<void(TBitWriter&)> SymbolList(uint32_t count, std::function<void(TBitWriter&)> body) {
    return [=](TBitWriter& w) {
        w.Put(count, 9);
        body(w);
    };
}

void PutLengthSymbol(TBitWriter& w, uint32_t code) {
    DefaultLengthCode().Encode(w, code);
}

struct TBadCase {
    std::string Name;
    TDamagedHead Head;
};

class Lh5BadTable : public ::testing::TestWithParam<TBadCase> {};

TEST_P(Lh5BadTable, RaisesBadDecodeTable) {
    auto r = ExpandBothWays(GetParam().Head.Stream(), 4);
    EXPECT_EQ(r.Error, BadTable);
    EXPECT_TRUE(r.Output.empty());
}

std::vector<TBadCase> BadCases() {
    std::vector<TBadCase> cases;
    auto add = [&](std::string name, auto change) {
        TDamagedHead h;
        change(h);
        cases.push_back({std::move(name), h});
    };
    // Unary code lengths above 16: 17 (ten extra one bits and the closing zero) and 20 (all 13
    // bits below the first three set, no closing zero at all).
    for (int len : {17, 20}) {
        auto putLength = [len](TBitWriter& w) {
            if (len == 20)
                w.Put(0xFFFF, 16);
            else
                w.Put((1u << (len - 3)) - 2, len - 3);
        };
        add("LengthCodeLength" + std::to_string(len), [=](TDamagedHead& h) {
            h.LengthCode = [=](TBitWriter& w) {
                w.Put(1, 5);
                putLength(w);
            };
        });
        add("DistanceLength" + std::to_string(len), [=](TDamagedHead& h) {
            h.Distances = [=](TBitWriter& w) {
                w.Put(1, 4);
                putLength(w);
            };
        });
    }
    // Symbol lists reaching past entry 509.
    add("SymbolCount511", [](TDamagedHead& h) {
        h.Symbols = SymbolList(511, [](TBitWriter& w) {
            for (int i = 0; i < 511; ++i) PutLengthSymbol(w, 3);
        });
    });
    add("ZeroRunOf531", [](TDamagedHead& h) {
        h.Symbols = SymbolList(510, [](TBitWriter& w) {
            PutLengthSymbol(w, 2);
            w.Put(511, 9);
        });
    });
    add("ZeroRunPastTheEnd", [](TDamagedHead& h) {
        h.Symbols = SymbolList(510, [](TBitWriter& w) {
            PutLengthSymbol(w, 3); // symbol 0: length 1
            PutLengthSymbol(w, 2);
            w.Put(490, 9); // 510 zeros from symbol 1 on
        });
    });
    // Length lists whose 16-bit Kraft sum wraps to 0: four codes of one bit, and a list with
    // long codes that would need tree nodes through overlapping codes.
    auto fourOneBitCodes = [](size_t n) {
        std::vector<uint8_t> l(n, 0);
        for (size_t i = 0; i < 4; ++i) l[i] = 1;
        return TLh5Code::FromLengths(l);
    };
    add("SymbolSumWraps", [&](TDamagedHead& h) {
        auto code = fourOneBitCodes(510);
        h.Symbols = [code](TBitWriter& w) { PutSymbolCode(w, code, DefaultLengthCode()); };
    });
    add("SymbolSumWrapsWithLongCodes", [](TDamagedHead& h) {
        std::vector<uint8_t> l(510, 0);
        l[0] = l[1] = l[2] = 1;
        for (int len = 2; len <= 16; ++len) l[static_cast<size_t>(len + 1)] = static_cast<uint8_t>(len);
        l[18] = 16;
        auto code = TLh5Code::FromLengths(l);
        h.Symbols = [code](TBitWriter& w) { PutSymbolCode(w, code, DefaultLengthCode()); };
    });
    add("LengthCodeSumWraps", [&](TDamagedHead& h) {
        auto code = fourOneBitCodes(19);
        h.LengthCode = [code](TBitWriter& w) { PutAuxCode(w, code, 5, 3); };
    });
    add("DistanceSumWraps", [&](TDamagedHead& h) {
        auto code = fourOneBitCodes(14);
        h.Distances = [code](TBitWriter& w) { PutAuxCode(w, code, 4, -1); };
    });
    // Not a prefix code at all: three codes of two bits.
    add("SymbolCodeIncomplete", [](TDamagedHead& h) {
        std::vector<uint8_t> l(510, 0);
        l[1] = l[2] = l[3] = 2;
        auto code = TLh5Code::FromLengths(l);
        h.Symbols = [code](TBitWriter& w) { PutSymbolCode(w, code, DefaultLengthCode()); };
    });
    // Lists that define no code, used by the block's first symbol.
    add("SymbolListAllZero", [](TDamagedHead& h) {
        h.Symbols = SymbolList(3, [](TBitWriter& w) {
            for (int i = 0; i < 3; ++i) PutLengthSymbol(w, 0);
        });
    });
    add("LengthCodeAllZero", [](TDamagedHead& h) {
        h.LengthCode = [](TBitWriter& w) {
            w.Put(2, 5);
            w.Put(0, 3);
            w.Put(0, 3);
        };
    });
    for (uint32_t value : {19u, 31u}) {
        add("LengthCodeOneCode" + std::to_string(value), [=](TDamagedHead& h) {
            h.LengthCode = [=](TBitWriter& w) {
                w.Put(0, 5);
                w.Put(value, 5);
            };
        });
    }
    for (uint32_t value : {510u, 511u}) {
        add("SymbolOneCode" + std::to_string(value), [=](TDamagedHead& h) {
            h.Symbols = [=](TBitWriter& w) {
                w.Put(0, 9);
                w.Put(value, 9);
            };
        });
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Lists, Lh5BadTable, ::testing::ValuesIn(BadCases()),
                         [](const auto& info) { return info.param.Name; });

TEST(Lh5BadTableDispatch, ReachesTheCallerWithItsMessage) {
    TDamagedHead h;
    h.Symbols = [](TBitWriter& w) {
        w.Put(0, 9);
        w.Put(511, 9);
    };
    TBytes stream = h.Stream();
    TArchiver archiver;
    TMemoryStream in(stream), out;
    uint32_t checksum = 0;
    try {
        archiver.RunCodec(out, in, static_cast<int32_t>(stream.size()), 4, miLH5, checksum, pmExpand, false);
        FAIL() << "no exception";
    } catch (const ELh5BadDecodeTable& e) {
        EXPECT_EQ(e.Message, BadTable);
    }
}

// Codes that define nothing are harmless while the block never decodes with them.
struct TUnusedCase {
    std::string Name;
    TDamagedHead Head;
    TBytes Expected;
};

class Lh5UnusedEmptyCode : public ::testing::TestWithParam<TUnusedCase> {};

TEST_P(Lh5UnusedEmptyCode, DecodesTheBlock) {
    auto r = ExpandBothWays(GetParam().Head.Stream(), static_cast<int32_t>(GetParam().Expected.size()));
    EXPECT_EQ(r.Error, "");
    EXPECT_EQ(r.Output, GetParam().Expected);
}

std::vector<TUnusedCase> UnusedCases() {
    std::vector<TUnusedCase> cases;
    TDamagedHead h;
    h.Distances = [](TBitWriter& w) {
        w.Put(2, 4);
        w.Put(0, 3);
        w.Put(0, 3);
    };
    cases.push_back({"DistancesAllZero", h, Text("xyyx")});
    for (uint32_t value : {14u, 15u}) {
        TDamagedHead d;
        d.Distances = [=](TBitWriter& w) {
            w.Put(0, 4);
            w.Put(value, 4);
        };
        cases.push_back({"DistanceOneCode" + std::to_string(value), d, Text("xyyx")});
    }
    // A length code that defines nothing, while the symbols come as a one-code list.
    for (bool allZero : {true, false}) {
        TDamagedHead l;
        l.LengthCode = [=](TBitWriter& w) {
            if (allZero) {
                w.Put(1, 5);
                w.Put(0, 3);
            } else {
                w.Put(0, 5);
                w.Put(25, 5);
            }
        };
        l.Symbols = [](TBitWriter& w) {
            w.Put(0, 9);
            w.Put('k', 9);
        };
        cases.push_back({allZero ? "LengthCodeAllZeroUnused" : "LengthCodeOneCode25Unused", l, Text("kkkk")});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Lists, Lh5UnusedEmptyCode, ::testing::ValuesIn(UnusedCases()),
                         [](const auto& info) { return info.param.Name; });

// A long block whose distance list defines nothing: the first match, deep in the block where
// the fast loop runs, raises the error; the output written before it is the same whole 8192-byte
// pieces as with the symbol-by-symbol expander.
TEST(Lh5EmptyDistanceCode, FirstMatchRaisesAfterTheOutputBeforeIt) {
    for (uint32_t emptyValue : {0u, 14u}) {
        const TBytes text = RandomBytes(20000, 11);
        TLh5Block b;
        b.Size = 20001;
        std::vector<uint8_t> l(510, 0);
        for (int i = 0; i < 256; ++i) l[static_cast<size_t>(i)] = 9;
        l[256] = 1;
        b.Symbols = TLh5Code::FromLengths(l);
        TBitWriter w;
        w.Put(b.Size, 16);
        PutAuxCode(w, b.LengthCode, 5, 3);
        PutSymbolCode(w, b.Symbols, b.LengthCode);
        if (emptyValue == 0) {
            w.Put(1, 4);
            w.Put(0, 3);
        } else {
            w.Put(0, 4);
            w.Put(emptyValue, 4);
        }
        for (uint8_t c : text) b.PutLiteral(w, c);
        b.Symbols.Encode(w, 256);
        w.Put(0xFFFF, 16);
        auto r = ExpandBothWays(w.Bytes(), 30000);
        EXPECT_EQ(r.Error, BadTable);
        EXPECT_TRUE(r.Output == TBytes(text.begin(), text.begin() + 16384));
    }
}

// Input that ends early continues as zero bits until the expected size is reached.
TEST(Lh5ShortInput, ContinuesWithZeroBits) {
    // Inside a block: x is the code 0.
    TDamagedHead inside;
    inside.Size = 10;
    inside.Data = 0b1111;
    EXPECT_EQ(ExpandBothWays(inside.Stream(), 10).Output, Text("yyyyxxxxxx"));
    // After the last block: an all-zero block head defines a 65536-symbol block of the literal 0.
    TDamagedHead after;
    after.Size = 1;
    after.Data = 0b1;
    after.DataBits = 1;
    TBytes expected = Text("y");
    expected.resize(70000, 0);
    auto r = ExpandBothWays(after.Stream(), 70000);
    EXPECT_EQ(r.Error, "");
    EXPECT_TRUE(r.Output == expected);
    // No input at all: the whole output comes from zero bits.
    EXPECT_TRUE(ExpandBothWays({}, 5).Output == TBytes(5, 0));
}

// The boundary cases next to the damaged ones stay valid.
TEST(Lh5DamagedBoundaries, ZeroRunEndingAtTheLastSymbolAndCount510) {
    TDamagedHead h;
    h.Symbols = SymbolList(510, [](TBitWriter& w) {
        PutLengthSymbol(w, 3);
        PutLengthSymbol(w, 3);
        PutLengthSymbol(w, 2);
        w.Put(488, 9); // zeros for symbols 2..509
    });
    h.Data = 0b0110;
    EXPECT_EQ(ExpandBothWays(h.Stream(), 4).Output, (TBytes{0, 1, 1, 0}));

    TDamagedHead full;
    full.Symbols = SymbolList(510, [](TBitWriter& w) {
        for (int i = 0; i < 2; ++i) PutLengthSymbol(w, 2 + 1); // symbols 0, 1: length 1
        for (int i = 2; i < 510; ++i) PutLengthSymbol(w, 0);   // single zeros
    });
    EXPECT_EQ(ExpandBothWays(full.Stream(), 4).Output, (TBytes{0, 1, 1, 0}));
}

// Auxiliary counts above the alphabet (up to 31 length-code and 15 distance entries) stay inside
// the auxiliary length list: the extra lengths are read and take no part in the code.
TEST(Lh5DamagedBoundaries, AuxiliaryEntriesBeyondTheAlphabetAreReadAndIgnored) {
    TDamagedHead h;
    h.LengthCode = [](TBitWriter& w) {
        const TLh5Code code = DefaultLengthCode();
        w.Put(31, 5);
        for (int i = 0; i < 31; ++i) {
            PutAuxLength(w, i < 19 ? code.Lengths[static_cast<size_t>(i)] : 16 - i % 3);
            if (i == 2) w.Put(0, 2);
        }
    };
    h.Distances = [](TBitWriter& w) {
        w.Put(15, 4);
        for (int i = 0; i < 15; ++i) PutAuxLength(w, i == 0 || i == 1 || i == 14 ? 1 : 0);
    };
    EXPECT_EQ(ExpandBothWays(h.Stream(), 4).Output, Text("xyyx"));
}

} // namespace
