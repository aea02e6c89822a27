// The support record: where it is read from, how it is split and what an invalid or missing
// record does to start-up.
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

TEST_F(WizardTest, RecordWithoutFractionShowsDateAlone) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\tName\tdesc\tauthor\t36211";
    Start();
    EXPECT_EQ(Text(N::Created), "20.02.1999");
}

} // namespace
