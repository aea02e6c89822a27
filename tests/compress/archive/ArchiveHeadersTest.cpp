#include "compress/Archiver.h"
#include "compress/archive/FileNames.h"
#include "compress/archive/MemberNameRules.h"
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

// A member of the given name bytes, marked UTF-8 or not, with the archive attribute.
std::vector<uint8_t> NamedMember(const std::string& name, bool marked) {
    auto raw = MemberBytes(name, static_cast<int16_t>(name.size()));
    raw[MemberHeaderOffset::Attributes] = marked ? 0x28 : 0x20;
    return raw;
}

std::string ReadName(TArchiver& archiver, const std::vector<uint8_t>& member) {
    TMemoryStream s(member);
    TMemberHeader h;
    std::string name;
    EXPECT_TRUE(archiver.ReadMemberHeader(s, h, name));
    EXPECT_EQ(h.Attributes, 0x20);
    return name;
}

TEST(MemberHeader, AMarkedNameIsUtf8WhateverTheNamesCodePage) {
    TArchiver a;
    a.NamesCodePage = 932;
    for (const char* name : {"Ñandú\\über.dat", "Словарь.txt", "辞書\\日本語.txt"})
        EXPECT_EQ(ReadName(a, NamedMember(name, true)), name);
}

// Without the mark a name is text of the code page the first tools wrote it in. In code page 932
// the second byte of 表 and of ソ is 0x5C, the backslash: read as UTF-8 the name separates
// folders only at its own backslash.
TEST(MemberHeader, AnUnmarkedNameIsReadInTheNamesCodePage) {
    TArchiver a;
    a.NamesCodePage = 1252;
    EXPECT_EQ(ReadName(a, NamedMember("W\xF6rterbuch.txt", false)), "Wörterbuch.txt");
    a.NamesCodePage = 932;
    const std::string nested =
        ReadName(a, NamedMember("\x95\x5C\x8E\xA6\\\x83\x5C\x83\x74\x83\x67.txt", false));
    EXPECT_EQ(nested, "表示\\ソフト.txt");
    EXPECT_EQ(FolderOf(nested), "表示\\");
    const std::string flat = ReadName(a, NamedMember("\x95\x5C.txt", false));
    EXPECT_EQ(flat, "表.txt");
    EXPECT_EQ(FolderOf(flat), "");
    EXPECT_FALSE(IsEscapingMemberName(flat, TNameRules::Windows));
    EXPECT_EQ(ReadName(a, NamedMember("plain\\ascii.txt", false)), "plain\\ascii.txt");
}

TEST(MemberHeader, AMarkedNameThatIsNotUtf8IsDamaged) {
    TArchiver a;
    for (const std::string name : {"W\xF6rterbuch.txt", "\x95\x5C.txt", "cut\xE6\x97"}) {
        TMemoryStream s(NamedMember(name, true));
        TMemberHeader h;
        std::string read;
        try {
            a.ReadMemberHeader(s, h, read);
            ADD_FAILURE() << "accepted " << name;
        } catch (const EDamagedArchive& e) {
            EXPECT_NE(std::string(e.what()).find("name marked as UTF-8 that is not UTF-8"), std::string::npos)
                << e.what();
            EXPECT_TRUE(IsValidUtf8(e.what())) << e.what();
        }
    }
}

} // namespace
