// The uninstall record's text: what it writes, what it reads back and what it refuses, and the
// checksum it keeps of each file.
#include "setup/UninstallRecord.h"

#include <gtest/gtest.h>

namespace {

const std::string Group = "C:\\Users\\pat\\Start Menu\\Programs\\Parlavox";

TEST(UninstallRecord, TextReadsBackAndRejectsDamage) {
    TUninstallRecord record;
    record.KeyName = "Parlavox EnglishGerman 0A1B2C3D";
    record.DisplayName = "Parlavox Dictionary: General";
    record.DictionaryDirectory = "C:\\Some Folder\\Dict";
    record.VellumorDirectory = "C:\\Some Folder\\VL";
    record.ProgramGroup = Group;
    record.Files = {{TRecordPart::Dictionary, "C:\\Some Folder\\Dict\\a.vlm", 12, 0xCAFE0001u},
                    {TRecordPart::Vellumor, "C:\\Some Folder\\VL\\velmor.exe", 4096, 7}};
    record.Folders = {{TRecordPart::Vellumor, "C:\\Some Folder"}};
    record.Shortcuts = {Group + "\\Vellumor.lnk"};
    record.Values = {{"Software\\Parlavox\\Vellumor\\4.0", "RootDir", "C:\\Some Folder\\VL"}};
    const TUninstallRecord back = TUninstallRecord::Parse(record.Text());
    EXPECT_EQ(back.Text(), record.Text());
    ASSERT_EQ(back.Files.size(), 2u);
    EXPECT_EQ(back.Files[0].Checksum, 0xCAFE0001u);
    EXPECT_EQ(back.Files[1].Part, TRecordPart::Vellumor);
    EXPECT_EQ(back.Files[1].Size, 4096);
    // Checksums are written as eight upper-case hexadecimal digits, as earlier records have them.
    EXPECT_NE(record.Text().find("\t12\tCAFE0001\t"), std::string::npos);
    EXPECT_NE(record.Text().find("\t4096\t00000007\t"), std::string::npos);

    std::string text = record.Text();
    EXPECT_THROW(TUninstallRecord::Parse(text.substr(1)), ERecordError);
    EXPECT_THROW(TUninstallRecord::Parse(text + "file\tdictionary\t12\tZZ\tC:\\x\r\n"), ERecordError);
    EXPECT_THROW(TUninstallRecord::Parse(text + "bogus\r\n"), ERecordError);
}

TEST(UninstallRecord, ChecksumIsTheCrc32ZipUses) {
    const std::string check = "123456789";
    EXPECT_EQ(UpdateCrc32(0, reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0xCBF43926u);
    // Eight bytes at a time, and any way of cutting the data: zlib.crc32 of the same 1000 bytes.
    std::vector<uint8_t> bytes(1000);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 256);
    EXPECT_EQ(UpdateCrc32(0, bytes.data(), bytes.size()), 0x668F073Du);
    uint32_t pieces = 0;
    for (size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece % 13 + 1)
        pieces = UpdateCrc32(pieces, bytes.data() + at, std::min(piece, bytes.size() - at));
    EXPECT_EQ(pieces, 0x668F073Du);
}

} // namespace
