// The existing-file check run before each member is written (the journal's note of the member and
// the existing-file policy), and the progress display.
#include "platform/files/FileTime.h"
#include "setup/install/ExistingFilePolicy.h"
#include "setup/install/KoStamp.h"
#include "tests/setup/WizardFixture.h"

namespace {

int32_t Stamp(int year, int month, int day, int hour, int minute, int second) {
    TDateTimeFields fields;
    fields.Year = year;
    fields.Month = month;
    fields.Day = day;
    fields.Hour = hour;
    fields.Minute = minute;
    fields.Second = second;
    return PackDateTime(fields);
}

const int32_t MemberTime = Stamp(2001, 6, 15, 10, 30, 20);

class WizardExistingFile : public WizardTest {
protected:
    WizardExistingFile() {
        Start();
        AddMember("words.vlm", MemberTime);
        AddMember("velmor.pvl", MemberTime);
        AddMember("velmor.pvm", MemberTime);
        AddMember("dict\\nested.pvd", MemberTime);
        AddMember("Project.VLP", MemberTime);
    }
    void AddMember(const std::string& name, int32_t time) {
        auto info = std::make_unique<TMemberInfo>();
        info->DateTime = time;
        Members.push_back({name, std::move(info)});
    }
    // Checks a target as the installation does while Compressor expands the members, with errors
    // shown.
    std::string Check(const std::string& target) {
        std::string path = target;
        Form->HandleEvent([&] { CheckWithList(path); });
        return path;
    }
    void CheckWithList(std::string& path) {
        if (!Journal.BeginFile(path)) return;
        const TExistingFileChoice choice =
            DecideExistingFile(Desktop, path, &Members, [&](const std::string& question) {
                return Desktop.MessageDlg(question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) !=
                       TModalResult::mrNo;
            });
        if (choice == TExistingFileChoice::Write) return;
        Journal.KeepPendingFile("kept");
        path.clear();
    }

    TDirectoryList Members;
    TRunNotes Notes;
    TInstallJournal Journal{Desktop, Notes};
};

TEST_F(WizardExistingFile, AbsentFileIsWrittenWithoutQuestion) {
    EXPECT_EQ(Check("C:\\Dict\\words.vlm"), "C:\\Dict\\words.vlm");
    EXPECT_TRUE(Desktop.Messages.empty());
}

// In a folder the installation made, and in the folders below it, only what it wrote there can be
// in the way: a member that goes where an earlier one was written (in any letter case) finds that
// file (and asks, as it is newer); one that goes elsewhere is not looked for (a file put there
// meanwhile by another program, as here, is replaced without a question).
TEST_F(WizardExistingFile, AFolderMadeHereHoldsOnlyWhatWasWrittenThere) {
    const std::string first = "C:\\New\\words.vlm";
    EXPECT_EQ(Check(first), first);
    Journal.FileWritten(first, 9, 0);
    Desktop.Files[first] = {"installed", Stamp(2020, 1, 1, 0, 0, 0)}; // newer than the member
    Desktop.Files["C:\\New\\Project.VLP"] = {"behind our back", Stamp(2020, 1, 1, 0, 0, 0)};
    Desktop.Files["C:\\New\\dict\\nested.pvd"] = {"behind our back", Stamp(2020, 1, 1, 0, 0, 0)};
    EXPECT_EQ(Check("C:\\New\\Project.VLP"), "C:\\New\\Project.VLP");
    EXPECT_EQ(Check("C:\\New\\dict\\nested.pvd"), "C:\\New\\dict\\nested.pvd");
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_FALSE(Journal.MayExist("C:\\New\\dict\\deeper\\other.pvd"));
    Check("C:\\NEW\\Words.VLM");
    EXPECT_EQ(Desktop.Messages.size(), 1u);
}

class WizardProtectedFile : public WizardExistingFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(WizardProtectedFile, InstalledUserFileIsNeverReplacedNorAskedAbout) {
    const std::string path = std::string("C:\\Apps\\VL\\") + GetParam();
    Desktop.Files[path] = {"user data", Stamp(1990, 1, 1, 0, 0, 0)}; // older than the member
    EXPECT_EQ(Check(path), "");
    EXPECT_TRUE(Desktop.Messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, WizardProtectedFile,
                         ::testing::Values("velmor.pvl", "velmor.pvm", "VELMOR.PVL", "Velmor.Pvm"));

TEST_F(WizardExistingFile, ProtectedNameNotYetInstalledIsWritten) {
    EXPECT_EQ(Check("C:\\Apps\\VL\\velmor.pvl"), "C:\\Apps\\VL\\velmor.pvl");
}

TEST_F(WizardExistingFile, ProtectedFileWinsOverTimeStampError) {
    Desktop.Files["C:\\Apps\\VL\\velmor.pvm"] = {"x", 0, true};
    EXPECT_EQ(Check("C:\\Apps\\VL\\velmor.pvm"), "");
    EXPECT_TRUE(Desktop.Exceptions.empty());
}

struct TStampCase {
    const char* Name;
    int32_t Installed;
    bool Asks;
};

// Test names show the case, not its bytes.
void PrintTo(const TStampCase& c, std::ostream* os) {
    *os << c.Name;
}

class WizardNewerFile : public WizardExistingFile, public ::testing::WithParamInterface<TStampCase> {};

TEST_P(WizardNewerFile, AsksOnlyWhenInstalledFileIsNewer) {
    Desktop.Files["C:\\Dict\\words.vlm"] = {"old", GetParam().Installed};
    EXPECT_EQ(Check("C:\\Dict\\words.vlm"), "C:\\Dict\\words.vlm");
    EXPECT_EQ(Desktop.Messages.size(), GetParam().Asks ? 1u : 0u);
}

// The member is dated 10:30:20; packed times have two-second resolution.
INSTANTIATE_TEST_SUITE_P(
    Stamps, WizardNewerFile,
    ::testing::Values(TStampCase{"SameTime", Stamp(2001, 6, 15, 10, 30, 20), false},
                      TStampCase{"OneSecondLaterPacksEqual", Stamp(2001, 6, 15, 10, 30, 21), false},
                      TStampCase{"TwoSecondsLater", Stamp(2001, 6, 15, 10, 30, 22), true},
                      TStampCase{"TwoSecondsEarlier", Stamp(2001, 6, 15, 10, 30, 18), false},
                      TStampCase{"NextDayEarlierHour", Stamp(2001, 6, 16, 1, 0, 0), true},
                      TStampCase{"YearsOlder", Stamp(1985, 1, 1, 0, 0, 0), false},
                      TStampCase{"After2043", Stamp(2100, 12, 31, 23, 59, 58), true}),
    [](const auto& info) { return info.param.Name; });

TEST_F(WizardExistingFile, MemberAfter2043IsNewerThanFileOf2001) {
    Members.clear();
    AddMember("words.vlm", Stamp(2050, 1, 1, 0, 0, 0));
    Desktop.Files["C:\\Dict\\words.vlm"] = {"old", MemberTime};
    EXPECT_EQ(Check("C:\\Dict\\words.vlm"), "C:\\Dict\\words.vlm");
    EXPECT_TRUE(Desktop.Messages.empty());
}

TEST_F(WizardExistingFile, NewerFileQuestionHasExactText) {
    Desktop.Files["C:\\Apps\\Dict\\words.vlm"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    Check("C:\\Apps\\Dict\\words.vlm");
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "The current C:\\Apps\\Dict\\words.vlm is newer than the file to be "
                                        "installed!\nOverwrite the current file?");
    EXPECT_EQ(Desktop.Messages[0].Kind, TMsgDlgType::mtConfirmation);
    EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbYesNo);
}

struct TAnswerCase {
    TModalResult Answer;
    bool Replaced;
};

// Test names show the case, not its bytes.
void PrintTo(const TAnswerCase& c, std::ostream* os) {
    *os << "answer " << static_cast<int>(c.Answer);
}

class WizardNewerFileAnswer : public WizardExistingFile, public ::testing::WithParamInterface<TAnswerCase> {};

TEST_P(WizardNewerFileAnswer, OnlyNoKeepsTheInstalledFile) {
    Desktop.Files["C:\\Dict\\words.vlm"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    Desktop.Answers.push_back(GetParam().Answer);
    EXPECT_EQ(Check("C:\\Dict\\words.vlm"), GetParam().Replaced ? "C:\\Dict\\words.vlm" : "");
}

INSTANTIATE_TEST_SUITE_P(Answers, WizardNewerFileAnswer,
                         ::testing::Values(TAnswerCase{TModalResult::mrYes, true},
                                           TAnswerCase{TModalResult::mrNo, false},
                                           TAnswerCase{TModalResult::mrNone, true}));

TEST_F(WizardExistingFile, MemberLookupIgnoresLetterCase) {
    Desktop.Files["C:\\Dict\\WORDS.VLM"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    Check("C:\\Dict\\WORDS.VLM");
    EXPECT_EQ(Desktop.Messages.size(), 1u);
}

TEST_F(WizardExistingFile, FirstMatchingMemberDecides) {
    AddMember("WORDS.vlm", Stamp(2030, 1, 1, 0, 0, 0)); // later in the list, newer than the file
    Desktop.Files["C:\\Dict\\words.vlm"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    Check("C:\\Dict\\words.vlm");
    EXPECT_EQ(Desktop.Messages.size(), 1u);
}

TEST_F(WizardExistingFile, FileWithoutMemberIsReplacedWithoutQuestion) {
    Desktop.Files["C:\\Dict\\unknown.txt"] = {"x", 0, true};
    EXPECT_EQ(Check("C:\\Dict\\unknown.txt"), "C:\\Dict\\unknown.txt");
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_TRUE(Desktop.Exceptions.empty());
}

TEST_F(WizardExistingFile, MemberStoredWithDirectoryPartNeverMatchesTheBareName) {
    Desktop.Files["C:\\Dict\\dict\\nested.pvd"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    EXPECT_EQ(Check("C:\\Dict\\dict\\nested.pvd"), "C:\\Dict\\dict\\nested.pvd");
    EXPECT_TRUE(Desktop.Messages.empty());
}

TEST_F(WizardExistingFile, HiddenInstalledFileRaisesTimeStampError) {
    Desktop.Files["C:\\Dict\\words.vlm"] = {"hidden", Stamp(1990, 1, 1, 0, 0, 0), true};
    std::string path = "C:\\Dict\\words.vlm";
    EXPECT_THROW(CheckWithList(path), ETimeStampError);
    try {
        CheckWithList(path);
    } catch (const ETimeStampError& e) {
        EXPECT_EQ(e.Message, "Could not get the time stamp of C:\\Dict\\words.vlm");
    }
}

class WizardProjectFile : public WizardExistingFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(WizardProjectFile, ProjectExtensionInAnyCaseIsRemembered) {
    const std::string path = std::string("C:\\Dict\\") + GetParam();
    Check(path);
    EXPECT_EQ(Journal.ProjectFile(), path);
}

INSTANTIATE_TEST_SUITE_P(Names, WizardProjectFile, ::testing::Values("x.vlp", "Project.VLP", "a.b.VlP"));

TEST_F(WizardExistingFile, ProjectFileIsRememberedAlsoWhenKept) {
    Desktop.Files["C:\\Dict\\Project.VLP"] = {"newer", Stamp(2002, 1, 1, 0, 0, 0)};
    Desktop.Answers.push_back(TModalResult::mrNo);
    EXPECT_EQ(Check("C:\\Dict\\Project.VLP"), "");
    EXPECT_EQ(Journal.ProjectFile(), "C:\\Dict\\Project.VLP");
}

TEST_F(WizardExistingFile, LastProjectMemberWinsAndOtherExtensionsDoNot) {
    Check("C:\\Dict\\first.vlp");
    Check("C:\\Dict\\second.vlp");
    Check("C:\\Dict\\third.vlpx");
    Check("C:\\Dict\\vlp");
    EXPECT_EQ(Journal.ProjectFile(), "C:\\Dict\\second.vlp");
}

TEST_F(WizardExistingFile, ProgressMovesTheBarAndKeepsTheValue) {
    for (int32_t value : {0, 37, 100}) {
        int32_t reported = value;
        Form->Engine().CompressorShowProgress(reported);
        EXPECT_EQ(reported, value);
    }
    EXPECT_EQ(Controls.ProgressPositions, (std::vector<int>{0, 37, 100}));
}

TEST_F(WizardExistingFile, ProgressMovesTheBarOnlyWhenThePositionChanges) {
    for (int32_t value : {0, 0, 37, 37, 100, 100, 0}) {
        int32_t reported = value;
        Form->Engine().CompressorShowProgress(reported);
        EXPECT_EQ(reported, value);
    }
    EXPECT_EQ(Controls.ProgressPositions, (std::vector<int>{0, 37, 100, 0}));
}

} // namespace
