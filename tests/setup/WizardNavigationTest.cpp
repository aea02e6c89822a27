// Start-up, page navigation, captions, directory defaults and the Browse buttons of the wizard.
#include "tests/setup/WizardFixture.h"

namespace {

using N = TControlName;

TEST_F(WizardTest, StartsOnWelcomeWithoutBackButton) {
    Start();
    EXPECT_EQ(Controls.Page, 0);
    EXPECT_EQ(Controls.Caption, "Parlavox Dictionary Setup - Welcome");
    EXPECT_FALSE(Controls.Visible.at(N::BackButton));
    EXPECT_EQ(Text(N::NextButton), "&Next >");
    EXPECT_FALSE(Controls.Terminated);
    EXPECT_TRUE(Desktop.Exceptions.empty());
}

TEST_F(WizardTest, StartupFillsWelcomePageFromRecord) {
    Start();
    EXPECT_EQ(Form->DictionaryName(), "EnglishGerman");
    EXPECT_EQ(Text(N::Description), "General English-German");
    EXPECT_EQ(Text(N::Author), "Parlavox Team");
    EXPECT_EQ(Text(N::Created), "20.02.1999 11:11:29");
}

TEST_F(WizardTest, DictionaryDirectoryDefaultsBelowVellumorBase) {
    Start();
    EXPECT_EQ(Text(N::PVDirectory), "C:\\Program Files\\Parlavox");
    EXPECT_EQ(Text(N::DictionaryDirectory), "C:\\Program Files\\Parlavox\\EnglishGerman");
}

TEST_F(WizardTest, SetupDirectoryAndBaseNameComeFromModulePath) {
    Desktop.ExePath = "D:\\x\\inst.exe";
    TMainForm& form = Start();
    EXPECT_EQ(form.SetupDirectory(), "D:\\x");
    EXPECT_EQ(form.SetupBaseName(), "inst");
    EXPECT_EQ(form.GetFallbackFileName(1), "D:\\x\\inst.vl1");
    EXPECT_EQ(form.GetFallbackFileName(2), "D:\\x\\inst.vl2");
    EXPECT_EQ(form.GetFallbackFileName(3), "D:\\x\\inst.vl3");
}

TEST_F(WizardTest, SetupAtDriveRootKeepsTheRootBackslash) {
    Desktop.ExePath = "C:\\setup.exe";
    TMainForm& form = Start();
    EXPECT_EQ(form.SetupDirectory(), "C:\\");
    EXPECT_EQ(form.GetFallbackFileName(1), "C:\\\\setup.vl1");
}

struct TPageCase {
    int Page;
    const char* Caption;
    bool BackVisible;
    const char* NextText;
};

// Test names show the case, not its bytes.
void PrintTo(const TPageCase& c, std::ostream* os) {
    *os << "page " << c.Page;
}

class WizardPages : public WizardTest, public ::testing::WithParamInterface<TPageCase> {};

TEST_P(WizardPages, CaptionAndButtonsFollowThePage) {
    TMainForm& form = Start();
    // Reach the page from the other end as well, so that every page is entered by both buttons.
    for (int i = 0; i < 2; ++i) form.NextButtonClick();
    while (Controls.Page > GetParam().Page) form.BackButtonClick();
    EXPECT_EQ(Controls.Page, GetParam().Page);
    EXPECT_EQ(Controls.Caption, GetParam().Caption);
    EXPECT_EQ(Controls.Visible.at(N::BackButton), GetParam().BackVisible);
    EXPECT_EQ(Text(N::NextButton), GetParam().NextText);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WizardPages,
    ::testing::Values(TPageCase{0, "Parlavox Dictionary Setup - Welcome", false, "&Next >"},
                      TPageCase{1, "Parlavox Dictionary Setup - Vellumor", true, "&Next >"},
                      TPageCase{2, "Parlavox Dictionary Setup - Dictionary", true, "&Install"}));

TEST_F(WizardTest, NextNextReachesInstallPage) {
    TMainForm& form = Start();
    form.NextButtonClick();
    EXPECT_EQ(Controls.Caption, "Parlavox Dictionary Setup - Vellumor");
    form.NextButtonClick();
    EXPECT_EQ(Controls.Page, 2);
    EXPECT_EQ(Text(N::NextButton), "&Install");
    form.BackButtonClick();
    EXPECT_EQ(Controls.Page, 1);
    EXPECT_EQ(Text(N::NextButton), "&Next >");
    EXPECT_EQ(Controls.Caption, "Parlavox Dictionary Setup - Vellumor");
}

TEST_F(WizardTest, NotebookIgnoresIndexOutsideItsPagesAndUnchangedIndex) {
    TMainForm& form = Start();
    Log.Entries.clear();
    form.SetNotebookPageIndex(-1);
    form.SetNotebookPageIndex(3);
    form.SetNotebookPageIndex(0);
    EXPECT_TRUE(Log.Entries.empty());
    EXPECT_EQ(Controls.Page, 0);
}

TEST_F(WizardTest, PageChangeOutsideThePagesChangesNothing) {
    TMainForm& form = Start();
    Controls.Page = 5;
    Controls.Caption = "unchanged";
    form.NotebookPageChanged();
    EXPECT_EQ(Controls.Caption, "unchanged");
    EXPECT_EQ(Text(N::NextButton), "&Next >");
}

TEST_F(WizardTest, BackOnFirstPageStaysThere) {
    TMainForm& form = Start();
    form.BackButtonClick();
    EXPECT_EQ(Controls.Page, 0);
}

TEST_F(WizardTest, CancelClosesOnAnyPageWithoutQuestion) {
    for (int page = 0; page < 3; ++page) {
        TCallLog log;
        TFakeControls controls(log);
        TFakeDesktop desktop(log);
        desktop.Resources["PARLAVOX/SUPPORT"] = SampleRecord;
        TMainForm form(controls, desktop);
        form.AfterConstruction();
        for (int i = 0; i < page; ++i) form.NextButtonClick();
        form.CancelButtonClick();
        EXPECT_TRUE(controls.Closed) << "page " << page;
        EXPECT_TRUE(desktop.Messages.empty()) << "page " << page;
    }
}

TEST_F(WizardTest, VellumorDirectoryIsOneLevelBelowTheBase) {
    TMainForm& form = Start();
    Controls.Texts[N::PVDirectory] = "C:\\Apps";
    EXPECT_EQ(form.GetVellumorDirectory(), "C:\\Apps\\VL");
}

TEST_F(WizardTest, BrowseOnVellumorPageResetsDictionaryDirectory) {
    TMainForm& form = Start();
    form.NextButtonClick();
    Controls.Texts[N::DictionaryDirectory] = "E:\\Typed";
    Desktop.ChosenDirectory = "D:\\Apps";
    form.PVDirectoryButtonClick();
    EXPECT_EQ(Desktop.ChooserStarts, std::vector<std::string>{"C:\\Program Files\\Parlavox"});
    EXPECT_EQ(Text(N::PVDirectory), "D:\\Apps");
    EXPECT_EQ(Text(N::DictionaryDirectory), "D:\\Apps\\EnglishGerman");
}

TEST_F(WizardTest, CancelledBrowseOnVellumorPageStillResetsDictionaryDirectory) {
    TMainForm& form = Start();
    Controls.Texts[N::PVDirectory] = "F:\\Typed";
    Controls.Texts[N::DictionaryDirectory] = "E:\\Typed";
    Desktop.ChosenDirectory.reset();
    form.PVDirectoryButtonClick();
    EXPECT_EQ(Text(N::PVDirectory), "F:\\Typed");
    EXPECT_EQ(Text(N::DictionaryDirectory), "F:\\Typed\\EnglishGerman");
}

TEST_F(WizardTest, BrowseOnDictionaryPageChangesOnlyTheDictionaryDirectory) {
    TMainForm& form = Start();
    Desktop.ChosenDirectory = "G:\\Dict";
    form.DictionaryDirectoryButtonClick();
    EXPECT_EQ(Desktop.ChooserStarts, std::vector<std::string>{"C:\\Program Files\\Parlavox\\EnglishGerman"});
    EXPECT_EQ(Text(N::DictionaryDirectory), "G:\\Dict");
    EXPECT_EQ(Text(N::PVDirectory), "C:\\Program Files\\Parlavox");
}

TEST_F(WizardTest, CancelledBrowseOnDictionaryPageKeepsTheText) {
    TMainForm& form = Start();
    Controls.Texts[N::DictionaryDirectory] = "E:\\Typed";
    form.DictionaryDirectoryButtonClick();
    EXPECT_EQ(Text(N::DictionaryDirectory), "E:\\Typed");
}

TEST_F(WizardTest, EmptyDictionaryNameEndsDirectoryInBackslash) {
    Desktop.Resources["PARLAVOX/SUPPORT"] = "r\t\tdesc\tauthor\t36211";
    Start();
    EXPECT_EQ(Text(N::DictionaryDirectory), "C:\\Program Files\\Parlavox\\");
}

TEST_F(WizardTest, HandlerErrorGoesToGeneralErrorDisplay) {
    TMainForm& form = Start();
    form.HandleEvent([] { throw EInOutError("Disk not ready"); });
    EXPECT_EQ(Desktop.Exceptions, std::vector<std::string>{"Disk not ready"});
}

// A folder that the installation would refuse is refused before anything is written, with a box
// that names it; the wizard stays on its page.
TEST_F(WizardTest, VellumorFolderEndingInAPointIsRefusedOnItsPage) {
    TMainForm& form = Start();
    form.NextButtonClick();
    Controls.Texts[N::PVDirectory] = "C:\\Apps5.";
    form.NextButtonClick();
    EXPECT_EQ(Controls.Page, 1);
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text,
              "The Vellumor folder \"C:\\Apps5.\" cannot be used: its part \"Apps5.\" "
              "ends in a point, which Windows drops. Choose another folder.");
    EXPECT_EQ(Desktop.Messages[0].Kind, TMsgDlgType::mtError);
    Controls.Texts[N::PVDirectory] = "C:\\Apps5";
    form.NextButtonClick();
    EXPECT_EQ(Controls.Page, 2);
}

TEST_F(WizardTest, InstallRefusesADictionaryFolderEndingInABlankAndCanBePressedAgain) {
    TMainForm& form = Start();
    form.NextButtonClick();
    form.NextButtonClick();
    Controls.Texts[N::DictionaryDirectory] = "C:\\Dict5 ";
    Log.Entries.clear();
    const size_t lookups = Desktop.ResourceLookups.size();
    form.HandleEvent([&] { form.NextButtonClick(); });
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text,
              "The dictionary folder \"C:\\Dict5 \" cannot be used: its part \"Dict5 \" "
              "ends in a blank, which Windows drops. Choose another folder.");
    // Nothing was written nor shown of an installation: the page is as it was.
    EXPECT_EQ(Log.Entries, std::vector<std::string>{"Error: " + Desktop.Messages[0].Text});
    EXPECT_TRUE(Desktop.Registry.empty());
    EXPECT_EQ(Desktop.ResourceLookups.size(), lookups) << "no archive was opened";
    EXPECT_EQ(Controls.Page, 2);
    EXPECT_FALSE(Controls.Closed);
    EXPECT_TRUE(Controls.Enabled.at(N::BackButton));
    EXPECT_TRUE(Controls.Enabled.at(N::CancelButton));
    EXPECT_FALSE(Controls.Visible.at(N::ProgressBar));
    // Corrected, Install runs.
    Controls.Texts[N::DictionaryDirectory] = "C:\\Dict5";
    form.HandleEvent([&] { form.NextButtonClick(); });
    ASSERT_EQ(Desktop.Messages.size(), 2u);
    EXPECT_EQ(Desktop.Messages[1].Text, "Parlavox Dictionary setup complete.");
    EXPECT_EQ(Desktop.Registry.at("Software\\Parlavox\\Vellumor\\4.0\\RootDir"),
              "C:\\Program Files\\Parlavox\\VL");
    EXPECT_TRUE(Controls.Closed);
}

} // namespace
