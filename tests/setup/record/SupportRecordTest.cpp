// The support record: where it is read from, how it is split and what an invalid or missing
// record does to start-up.
#include "setup/record/SupportRecord.h"
#include "platform/Exception.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/record/TextLine.h"
#include "tests/setup/WizardFixture.h"

namespace {

using N = TControlName;
using namespace std::string_literals;

TEST_F(WizardTest, ResourceRecordMeansFallbackFileIsNeverRead) {
    Desktop.Files["C:\\Setup\\setup.vl1"] = {"r\tOther\td\ta\t1"};
    Start();
    EXPECT_EQ(Form->DictionaryName(), "EnglishGerman");
    EXPECT_TRUE(Desktop.OpenedFiles.empty());
}

TEST_F(WizardTest, ResourceTextEndsBeforeNulByte) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\tName\tdesc\tauth\t36211\0garbage\tmore"s;
    Start();
    EXPECT_EQ(Text(N::Created), "20.02.1999");
    EXPECT_FALSE(Controls.Terminated);
}

TEST_F(WizardTest, FallbackFileGivesItsFirstLine) {
    Desktop.Resources.clear();
    Desktop.Files["C:\\Setup\\setup.vl1"] = {"r\tFromFile\tdesc\tauthor\t36211.5\r\nsecond\tline\n"};
    Start();
    EXPECT_EQ(Desktop.OpenedFiles, std::vector<std::string>{"C:\\Setup\\setup.vl1"});
    EXPECT_EQ(Form->DictionaryName(), "FromFile");
    EXPECT_EQ(Text(N::Created), "20.02.1999 12:00:00");
    EXPECT_EQ(Controls.Page, 0);
}

// The digests a made setup carries are checked before anything else: damage anywhere in the
// embedded data ends the setup with one box, before the first page.
class WizardSetupDigests : public WizardTest {
protected:
    WizardSetupDigests() {
        Desktop.ArchiveResources["DICTIONARY"] = "QDMX dictionary archive";
        Desktop.ArchiveResources["UNINSTALL"] = "QDMX uninstaller archive";
    }
    void CarryDigests() {
        std::vector<TResourceDigest> digests;
        auto digest = [&](const char* type, const char* name, const std::string& bytes) {
            digests.push_back(
                DigestOf(type, name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
        };
        digest("PARLAVOX", "SUPPORT", Desktop.Resources.at("PARLAVOX/SUPPORT"));
        for (const auto& [name, bytes] : Desktop.ArchiveResources) digest("ARCHIVE", name.c_str(), bytes);
        Desktop.Resources["PARLAVOX/DIGESTS"] = DigestsText(digests);
    }
    void ExpectRefusedAsDamaged() {
        ASSERT_EQ(Desktop.Messages.size(), 1u);
        EXPECT_EQ(Desktop.Messages[0].Text.rfind("The setup file is damaged", 0), 0u)
            << Desktop.Messages[0].Text;
        EXPECT_EQ(Desktop.Messages[0].Kind, TMsgDlgType::mtError);
        EXPECT_TRUE(Controls.Terminated);
        EXPECT_FALSE(Log.Contains("ShowPage 0"));
    }
};

TEST_F(WizardSetupDigests, IntactDataOpensTheWelcomePage) {
    CarryDigests();
    Start();
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_FALSE(Controls.Terminated);
    EXPECT_EQ(Controls.Page, 0);
}

TEST_F(WizardSetupDigests, OneChangedByteInAnArchiveIsRefused) {
    CarryDigests();
    Desktop.ArchiveResources["DICTIONARY"][7] ^= 0x01;
    Start();
    ExpectRefusedAsDamaged();
}

TEST_F(WizardSetupDigests, ShortenedRecordIsRefused) {
    CarryDigests();
    Desktop.Resources["PARLAVOX/SUPPORT"].pop_back();
    Start();
    ExpectRefusedAsDamaged();
}

TEST_F(WizardSetupDigests, ArchiveWithoutItsDigestIsRefused) {
    CarryDigests();
    Desktop.ArchiveResources["VELLUMOR"] = "QDMX added later";
    Start();
    ExpectRefusedAsDamaged();
}

TEST_F(WizardSetupDigests, UnreadableDigestsAreRefused) {
    CarryDigests();
    Desktop.Resources["PARLAVOX/DIGESTS"].replace(0, 8, "Garbled!");
    Start();
    ExpectRefusedAsDamaged();
}

// A file beside the setup has its SHA-256 as a fifth field; the lines of embedded resources keep
// their four, as older setups wrote them.
TEST(SetupDigestsText, LooseFileLinesCarryTheirSha256AndOlderTextsStillRead) {
    const std::string sha = std::string(63, 'a') + "f";
    const std::vector<TResourceDigest> written = {{"ARCHIVE", "DICTIONARY", 10, 0x1234, ""},
                                                  {LooseFileType, "VELLUMOR", 77, 0xABCDEF01, sha}};
    const std::string text = DigestsText(written);
    EXPECT_NE(text.find("ARCHIVE\tDICTIONARY\t10\t00001234\r\n"), std::string::npos) << text;
    const std::vector<TResourceDigest> read = ParseDigests(text);
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[1].Sha256, sha);
    EXPECT_EQ(read[1].Size, 77u);
    EXPECT_EQ(read[0].Sha256, "");
    // A file's line without its SHA-256, or with a malformed one, is no digest of it.
    for (const std::string& line :
         {std::string("FILE\tVELLUMOR\t77\tabcdef01"), "FILE\tVELLUMOR\t77\tabcdef01\t" + sha.substr(1),
          "FILE\tVELLUMOR\t77\tabcdef01\t" + std::string(64, 'G'),
          "ARCHIVE\tVELLUMOR\t77\tabcdef01\t" + sha}) {
        SCOPED_TRACE(line);
        EXPECT_THROW(ParseDigests("Parlavox setup digests 1\r\n" + line + "\r\n"), EDigestsFormat);
    }
}

// A support record is one line: a large file beside the setup is not read whole for it.
TEST(SupportRecordFile, FirstLineLongerThanARecordIsRefused) {
    TMemoryStream exact(std::vector<uint8_t>(MaxFirstLineLength, 'x'));
    EXPECT_EQ(ReadFirstLine(exact).size(), MaxFirstLineLength);
    std::vector<uint8_t> longer(MaxFirstLineLength + 1, 'x');
    longer.push_back('\n');
    TMemoryStream tooLong(longer);
    EXPECT_THROW(ReadFirstLine(tooLong), EInOutError);
}

TEST_F(WizardTest, MissingRecordNamesTheFallbackFileAndEnds) {
    Desktop.Resources.clear();
    Desktop.ExePath = "C:\\Setup\\setup.exe";
    Start();
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "C:\\Setup\\setup.vl1 file is missing!");
    EXPECT_EQ(Desktop.Messages[0].Kind, TMsgDlgType::mtError);
    EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbOK);
    EXPECT_TRUE(Controls.Terminated);
    // The remaining start-up steps are skipped: the form keeps its stored state.
    EXPECT_EQ(Controls.Page, 2);
    EXPECT_EQ(Text(N::DictionaryDirectory), "C:\\Program Files\\Parlavox\\Diction");
}

TEST_F(WizardTest, UnreadableFallbackFileShowsErrorAndKeepsStoredState) {
    Desktop.Resources.clear();
    Desktop.Files["C:\\Setup\\setup.vl1"] = {"r\tName\td\ta\t36211"};
    Desktop.ReadFails = true;
    Start();
    ASSERT_EQ(Desktop.Exceptions.size(), 1u);
    EXPECT_NE(Desktop.Exceptions[0].find("setup.vl1"), std::string::npos);
    EXPECT_FALSE(Controls.Terminated);
    EXPECT_EQ(Controls.Page, 2);
    EXPECT_EQ(Controls.Caption, "Parlavox Dictionary Setup");
    EXPECT_EQ(Text(N::NextButton), "&Next >");
    EXPECT_EQ(Text(N::Description), "Description");
    EXPECT_EQ(Form->DictionaryName(), "");
}

struct TInvalidRecord {
    const char* Name;
    std::string Record;
};

// Test names show the case, not its bytes.
void PrintTo(const TInvalidRecord& c, std::ostream* os) {
    *os << c.Name;
}

class WizardInvalidRecord : public WizardTest, public ::testing::WithParamInterface<TInvalidRecord> {};

TEST_P(WizardInvalidRecord, ShowsInvalidSupportDataAndEnds) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = GetParam().Record;
    Start();
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "Invalid support data!");
    EXPECT_EQ(Desktop.Messages[0].Kind, TMsgDlgType::mtError);
    EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbOK);
    EXPECT_TRUE(Controls.Terminated);
    EXPECT_EQ(Controls.Page, 2);
}

INSTANTIATE_TEST_SUITE_P(Records, WizardInvalidRecord,
                         ::testing::Values(TInvalidRecord{"FourFields", "r\tName\tdesc\tauthor"},
                                           TInvalidRecord{"EmptyFifth", "r\tName\tdesc\tauthor\t"},
                                           TInvalidRecord{"CommaDecimal",
                                                          "r\tName\tdesc\tauthor\t36211,466317"},
                                           TInvalidRecord{"NotANumber", "r\tName\tdesc\tauthor\tyesterday"},
                                           TInvalidRecord{"OutOfCalendar", "r\tName\tdesc\tauthor\t1e9"},
                                           TInvalidRecord{"Empty", ""}, TInvalidRecord{"OneField", "r"}),
                         [](const auto& info) { return info.param.Name; });

TEST_F(WizardTest, InvalidRecordKeepsLabelsAlreadyFilled) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\tName\tNew description\tNew author\tnope";
    Start();
    EXPECT_EQ(Text(N::Description), "New description");
    EXPECT_EQ(Text(N::Author), "New author");
    EXPECT_EQ(Text(N::Created), "Created");
}

TEST_F(WizardTest, SixthFieldIsIgnored) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\tName\tdesc\tauthor\t36211.466317\tnot a number";
    Start();
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_EQ(Text(N::Created), "20.02.1999 11:11:29");
}

TEST(SupportRecordParse, TextsAreKeptWhenTheDateMakesTheRecordInvalid) {
    const TSupportRecord valid = ParseSupportRecord(SampleRecord + "\tignored");
    EXPECT_EQ(valid.DictionaryName, "EnglishGerman");
    EXPECT_EQ(valid.Description, "General English-German");
    EXPECT_EQ(valid.Author, "Parlavox Team");
    EXPECT_EQ(valid.Created, 36211.466317);
    for (const char* date : {"", "36211,5", "1e9", "-700000"}) {
        const TSupportRecord invalid = ParseSupportRecord(std::string("r\tName\tdesc\tauthor\t") + date);
        EXPECT_FALSE(invalid.Created) << date;
        EXPECT_EQ(invalid.Author, "author") << date;
    }
    EXPECT_FALSE(ParseSupportRecord("r").Created);
}

// A record in UTF-8, with the byte-order mark or without, reaches the pages (and through their
// texts the registration) exactly; the resource and NAME.vl1 alike.
TEST_F(WizardTest, Utf8RecordsShowTheirExactText) {
    const std::string german = "r\tWörterbuch\tGrüße aus Köln\tJürgen Groß\t36211";
    for (const std::string& record : {"\xEF\xBB\xBF" + german, german}) {
        Desktop.Resources["PARLAVOX/SUPPORT"] = record;
        Start();
        EXPECT_EQ(Form->DictionaryName(), "Wörterbuch");
        EXPECT_EQ(Text(N::Description), "Grüße aus Köln");
        EXPECT_EQ(Text(N::Author), "Jürgen Groß");
        EXPECT_TRUE(Desktop.Messages.empty());
    }
    Desktop.Resources.clear();
    Desktop.Files["C:\\Setup\\setup.vl1"] = {"\xEF\xBB\xBF" + german + "\r\n"};
    Start();
    EXPECT_EQ(Text(N::Author), "Jürgen Groß");
    EXPECT_EQ(Text(N::Created), "20.02.1999");
}

TEST(SupportRecordParse, AnAnsiRecordIsReadInTheCodePageGiven) {
    const TSupportRecord western = ParseSupportRecord("r\tW\xF6rterbuch\tGr\xFC\xDF"
                                                      "e\tJ\xFCrgen Gro\xDF\t36211",
                                                      1252);
    EXPECT_EQ(western.DictionaryName, "Wörterbuch");
    EXPECT_EQ(western.Description, "Grüße");
    EXPECT_EQ(western.Author, "Jürgen Groß");
    EXPECT_EQ(western.Created, 36211);
    EXPECT_EQ(ParseSupportRecord("r\t\xD1\xEB\xEE\xE2\xE0\xF0\xFC\td\ta\t1", 1251).DictionaryName, "Словарь");
    // UTF-8 is UTF-8 whatever the machine's code page.
    EXPECT_EQ(ParseSupportRecord("r\tName\td\tJürgen\t1", 1251).Author, "Jürgen");
}

TEST_F(WizardTest, RecordWithoutFractionShowsDateAlone) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\tName\tdesc\tauthor\t36211";
    Start();
    EXPECT_EQ(Text(N::Created), "20.02.1999");
}

} // namespace
