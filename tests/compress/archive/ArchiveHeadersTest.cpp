#include "compress/Archiver.h"
#include "tests/support/TestStreams.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> HeaderBytes(const std::string& method = "LH5", uint8_t type = 1,
                                 int32_t total = 185393) {
    TArchiveHeader h;
    for (int i = 0; i < 5; ++i) h.Signature[i] = static_cast<uint8_t>(ArchiveSignature[i]);
    for (int i = 0; i < 3; ++i) h.MethodID[i] = method[i];
    h.TotalSize = total;
    h.ArchiveType = type;
    uint8_t raw[ArchiveHeaderSize];
    EncodeArchiveHeader(h, raw);
    return {raw, raw + ArchiveHeaderSize};
}

TEST(ArchiveFormat, HeaderFieldsAreLittleEndianAtTheirOffsets) {
    auto raw = HeaderBytes("LH5", 1, 185393);
    std::vector<uint8_t> expected = {'Q',  'D',  'M', 'X', 0x1A, 'L', 'H', '5', 0x31, 0xD4, 0x02,
                                     0x00, 0x01, 0,   0,   0,    0,   0,   0,   0,    0};
    EXPECT_EQ(raw, expected);
}

TEST(ArchiveFormat, MemberHeaderRoundTripsSignedAndUnsignedFields) {
    TMemberHeader h;
    h.NameLength = -2;
    h.DateTime = static_cast<int32_t>(0x8421A5C3);
    h.Attributes = 0x20;
    h.ExpandedSize = 89380;
    h.CompressedSize = -1;
    h.Method = 4;
    h.Checksum = 0xFEDCBA98;
    h.Lock = 2;
    uint8_t raw[MemberHeaderSize];
    EncodeMemberHeader(h, raw);
    EXPECT_EQ(raw[0], 0xFE);
    EXPECT_EQ(raw[1], 0xFF);
    EXPECT_EQ(raw[2], 0xC3);
    EXPECT_EQ(raw[16], 4);
    EXPECT_EQ(raw[17], 0x98);
    TMemberHeader back = DecodeMemberHeader(raw);
    EXPECT_EQ(back.NameLength, -2);
    EXPECT_EQ(back.DateTime, h.DateTime);
    EXPECT_EQ(back.ExpandedSize, 89380);
    EXPECT_EQ(back.CompressedSize, -1);
    EXPECT_EQ(back.Checksum, 0xFEDCBA98u);
    EXPECT_EQ(back.Lock, 2);
}

TEST(ArchiveHeader, ValidHeaderGivesItsIdentifierAndFields) {
    TArchiver a;
    TMemoryStream s(HeaderBytes("LH5"));
    std::string id;
    TArchiveHeader h = a.ReadArchiveHeader(s, id);
    EXPECT_EQ(id, "LH5");
    EXPECT_EQ(h.TotalSize, 185393);
    EXPECT_EQ(s.Position(), 21);
}

TEST(ArchiveHeader, FewerThan21BytesReadNothingAndGiveTheDefault) {
    TArchiver a;
    a.Key = 7;
    auto raw = HeaderBytes();
    raw.resize(20);
    TMemoryStream s(raw);
    std::string id = "ab";
    TArchiveHeader h = a.ReadArchiveHeader(s, id);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(h.TotalSize, 0);
    EXPECT_EQ(h.ArchiveType, 1);
    EXPECT_EQ(h.LockMark, 2);
    EXPECT_EQ(id.size(), 3u);
    a.Key = 0;
    EXPECT_EQ(a.ReadArchiveHeader(s, id).LockMark, 0);
}

TEST(ArchiveHeader, SignatureMismatchesRaiseInvalidHeader) {
    TArchiver a;
    std::string id;
    using TMutation = std::function<void(std::vector<uint8_t>&)>;
    const TMutation mutations[] = {[](auto& r) { r[0] = 0; }, [](auto& r) { r[1] = 'd'; },
                                   [](auto& r) { r[4] = 0x1B; },
                                   // Cut at a zero byte before the 0x1A: "QDMX" alone is not the signature.
                                   [](auto& r) { r[4] = 0; }};
    for (const auto& mutate : mutations) {
        auto raw = HeaderBytes();
        mutate(raw);
        TMemoryStream s(raw);
        try {
            a.ReadArchiveHeader(s, id);
            ADD_FAILURE() << "no exception";
        } catch (const EInvalidHeader& e) {
            EXPECT_STREQ(e.what(), "Can't recognize compressed file header");
            EXPECT_EQ(s.Position(), 21);
        }
    }
}

TEST(ArchiveHeader, ArchiveTypeOtherThanOneIsRejected) {
    TArchiver a;
    std::string id;
    for (uint8_t type : {0, 2, 255}) {
        TMemoryStream s(HeaderBytes("LH5", type));
        try {
            a.ReadArchiveHeader(s, id);
            ADD_FAILURE() << "type " << int(type) << " accepted";
        } catch (const EInvalidHeaderArchiveType& e) {
            EXPECT_STREQ(e.what(), "Archive type must be atMulti");
        }
    }
}

TEST(MethodRecognition, TableIdentifiersGiveTheirIndexes) {
    TArchiver a;
    EXPECT_EQ(a.RecognizeMethod("NON"), 0);
    EXPECT_EQ(a.RecognizeMethod("RLE"), 1);
    EXPECT_EQ(a.RecognizeMethod("LZH"), 2);
    EXPECT_EQ(a.RecognizeMethod("CUS"), 3);
    EXPECT_EQ(a.RecognizeMethod("LH5"), 4);
}

TEST(MethodRecognition, UnknownAndLowerCaseIdentifiersNeedTheApplication) {
    TArchiver a;
    try {
        a.RecognizeMethod("lh5");
        ADD_FAILURE() << "lower case accepted without a handler";
    } catch (const EUnrecognizedCompressionMethod& e) {
        EXPECT_STREQ(e.what(), "Unrecognized compression method: \"lh5\" in header");
    }
    std::vector<std::string> asked;
    a.OnRecognize = [&](const std::string& id, bool& recognized) {
        asked.push_back(id);
        recognized = id == "lh5";
    };
    EXPECT_EQ(a.RecognizeMethod("lh5"), 3);
    EXPECT_THROW(a.RecognizeMethod("ZIP"), EUnrecognizedCompressionMethod);
    EXPECT_EQ(asked, (std::vector<std::string>{"lh5", "ZIP"}));
}

TEST(MethodRecognition, HeaderWithUnrecognisedIdentifierStopsTheReading) {
    TArchiver a;
    TMemoryStream s(HeaderBytes("XYZ"));
    std::string id;
    EXPECT_THROW(a.ReadArchiveHeader(s, id), EUnrecognizedCompressionMethod);
    a.OnRecognize = [](const std::string&, bool& recognized) { recognized = true; };
    s.Seek(0, TSeekOrigin::Begin);
    a.ReadArchiveHeader(s, id);
    EXPECT_EQ(id, "XYZ");
}

std::vector<uint8_t> MemberBytes(const std::string& name, int16_t nameLength) {
    TMemberHeader h;
    h.NameLength = nameLength;
    h.ExpandedSize = 3;
    uint8_t raw[MemberHeaderSize];
    EncodeMemberHeader(h, raw);
    std::vector<uint8_t> out(MemberHeaderSize + name.size());
    std::copy(raw, raw + MemberHeaderSize, out.begin());
    std::copy(name.begin(), name.end(), out.begin() + MemberHeaderSize);
    return out;
}

TEST(MemberHeader, ReadsHeaderAndName) {
    TArchiver a;
    TMemoryStream s(MemberBytes("dict\\a.vlm", 10));
    TMemberHeader h;
    std::string name;
    ASSERT_TRUE(a.ReadMemberHeader(s, h, name));
    EXPECT_EQ(name, "dict\\a.vlm");
    EXPECT_EQ(h.ExpandedSize, 3);
}

TEST(MemberHeader, EmptyNameIsAValidMember) {
    TArchiver a;
    TMemoryStream s(MemberBytes("", 0));
    TMemberHeader h;
    std::string name = "old";
    EXPECT_TRUE(a.ReadMemberHeader(s, h, name));
    EXPECT_EQ(name, "");
}

TEST(MemberHeader, ShortHeaderOrNameEndsTheArchive) {
    TArchiver a;
    TMemberHeader h;
    std::string name;
    auto raw = MemberBytes("abc", 3);
    TMemoryStream cutHeader(std::vector<uint8_t>(raw.begin(), raw.begin() + 24));
    EXPECT_FALSE(a.ReadMemberHeader(cutHeader, h, name));
    TMemoryStream cutName(std::vector<uint8_t>(raw.begin(), raw.end() - 1));
    EXPECT_FALSE(a.ReadMemberHeader(cutName, h, name));
}

} // namespace
