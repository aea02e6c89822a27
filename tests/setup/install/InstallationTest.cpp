// The installation procedure run by the Install button, with the real archive component
// expanding small stored archives into a scratch folder on disk.
#include "setup/install/Installation.h"
#include "platform/digest/Sha256.h"
#include "platform/files/FileSystem.h"
#include "setup/InstalledPaths.h"
#include "setup/ProtectedAccess.h"
#include "setup/UninstallRecord.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/unattended/InstallLog.h"
#include "setup/unattended/Unattended.h"
#include "tests/setup/TestArchive.h"
#include "tests/setup/WizardFixture.h"
#include "tests/support/TestStreams.h"
#include "tests/support/ToolRunner.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <numeric>
#include <optional>

namespace {

using N = TControlName;

const std::string ProjectText = "[Project]\r\nName=English-German\r\n";

// A log that keeps its lines in memory.
struct TLinesLog : TInstallLog {
    void Write(const std::string& line) override { Lines.push_back(line); }
    bool Has(const std::string& line) const {
        return std::find(Lines.begin(), Lines.end(), line) != Lines.end();
    }
    std::vector<std::string> Lines;
};

class WizardInstallation : public WizardTest {
protected:
    // ctest runs the cases as separate processes at the same time: each gets its own folder.
    // Without the form, the scratch folder and the archives alone (the unattended run has none).
    explicit WizardInstallation(bool withForm = true)
        : Scratch(std::string("wizard-") +
                  ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()) {
        Desktop.UseDisk = true;
        Desktop.ArchiveResources["DICTIONARY"] = BuildArchive(
            {{"words.vlm", "apple\tApfel\n"}, {"words.vlp", ProjectText}, {"words.pvd", "phrases"}});
        Desktop.ArchiveResources["VELLUMOR"] = BuildArchive(
            {{"velmor.exe", "MZ stand-in"}, {"velmor.pvl", "user list"}, {"lang\\en.lng", "en"}});
        // Windows-style paths below the scratch folder; the platform layer maps "\" to "/".
        Root = Scratch.Path.string();
        if (!withForm) return;
        Start();
        Controls.Texts[N::PVDirectory] = Root + "\\apps";
        Controls.Texts[N::DictionaryDirectory] = Root + "\\dict";
    }

    // Next, Next and Install, each run as the message loop runs a click handler.
    void Install() {
        for (int i = 0; i < 2; ++i) Form->HandleEvent([&] { Form->NextButtonClick(); });
        Log.Entries.clear();
        Form->HandleEvent([&] { Form->NextButtonClick(); });
    }
    std::string Disk(const std::string& relative) const {
        // A UTF-8 path: MinGW's streams would take a plain string in the ANSI code page.
        const std::string path = Root + "/" + relative;
        std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
        if (!in) return "<missing>";
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string VellumorDir() const { return Root + "\\apps\\VL"; }
    std::string ProjectPath() const { return Root + "\\dict\\words.vlp"; }

    TScratchFolder Scratch;
    std::string Root;
};

TEST_F(WizardInstallation, HappyPathRunsEveryStepInOrder) {
    Install();
    const std::string group = Desktop.Programs + "\\Parlavox";
    const std::vector<std::string> expected = {
        "Cursor busy",
        "Show ProgressBarLabel",
        "Repaint ProgressBarLabel",
        "Show ProgressBar",
        "Disable BackButton",
        "Disable CancelButton",
        "CreateDirectory " + Root + "\\dict",
        "CreateDirectory " + Root + "\\apps",
        "CreateDirectory " + Root + "\\apps\\VL",
        "Registry Software\\Parlavox\\Vellumor\\4.0 RootDir=" + VellumorDir(),
        "CreateDirectory " + group,
        "ShellLink " + group + "\\Vellumor.lnk",
        "Information: Parlavox Dictionary setup complete.",
        "Cursor default",
        "Close",
        "Profile " + ProjectPath() + " [Project] Deployed=1",
        "Start \"" + VellumorDir() + "\\velmor.exe\" \"" + ProjectPath() + "\"",
    };
    EXPECT_EQ(Log.Entries, expected);
    EXPECT_TRUE(Controls.Enabled.at(N::NextButton));
    EXPECT_TRUE(Desktop.Exceptions.empty());
}

TEST_F(WizardInstallation, HappyPathWritesBothArchivesFilesAndShortcut) {
    Install();
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
    EXPECT_EQ(Disk("dict/words.vlp"), ProjectText);
    EXPECT_EQ(Disk("dict/words.pvd"), "phrases");
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
    EXPECT_EQ(Disk("apps/VL/lang/en.lng"), "en");
    EXPECT_EQ(Form->ProjectFile(), ProjectPath());
    ASSERT_EQ(Desktop.ShellLinks.size(), 1u);
    EXPECT_EQ(Desktop.ShellLinks[0].Target, VellumorDir() + "\\velmor.exe");
    EXPECT_EQ(Desktop.ShellLinks[0].WorkingDirectory, VellumorDir());
    EXPECT_EQ(Desktop.ShellLinks[0].Description, "");
    EXPECT_EQ(Desktop.StartedApplications, std::vector<std::string>{VellumorDir() + "\\velmor.exe"});
}

TEST_F(WizardInstallation, ProgressRunsFromZeroToHundredPerMember) {
    Install();
    const std::vector<int>& p = Controls.ProgressPositions;
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.front(), 0);
    EXPECT_EQ(p.back(), 100);
    // The bar starts again for every member: three members in each archive.
    int restarts = 0;
    for (size_t i = 1; i < p.size(); ++i) {
        EXPECT_TRUE(p[i] >= 0 && p[i] <= 100) << p[i];
        if (p[i] < p[i - 1]) ++restarts;
    }
    EXPECT_EQ(restarts, 5);
}

TEST_F(WizardInstallation, ProgressShowsEveryStepOfEachMemberOnce) {
    // 20000 bytes come in chunks of 8192, 8192 and 3616 bytes: 40 and 81 percent, then 100 twice
    // (the last chunk and the member's end), which the bar takes only once.
    Desktop.ArchiveResources["DICTIONARY"] = BuildArchive({{"big.vlm", std::string(20000, 'w')}});
    Install();
    EXPECT_EQ(Controls.ProgressPositions, (std::vector<int>{0, 40, 81, 100, 0, 100, 0, 100, 0, 100}));
}

TEST_F(WizardInstallation, ResourcesPresentMeansFallbackFilesAreNeverOpened) {
    Desktop.Files["C:\\Setup\\setup.vl2"] = {BuildArchive({{"other.vlm", "x"}})};
    Desktop.Files["C:\\Setup\\setup.vl3"] = {BuildArchive({{"other.exe", "x"}})};
    Install();
    EXPECT_TRUE(Desktop.OpenedFiles.empty());
    EXPECT_EQ(Disk("dict/other.vlm"), "<missing>");
}

TEST_F(WizardInstallation, MissingVellumorResourceComesFromFallbackFile) {
    Desktop.ArchiveResources.erase("VELLUMOR");
    Desktop.Files["C:\\Setup\\setup.vl3"] = {BuildArchive({{"velmor.exe", "from vl3"}})};
    Install();
    EXPECT_EQ(Desktop.OpenedFiles, std::vector<std::string>{"C:\\Setup\\setup.vl3"});
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "from vl3");
    EXPECT_TRUE(Log.Contains("Information: Parlavox Dictionary setup complete."));
}

// A name that would leave its folder, in either archive (here the second, read from beside the
// setup as a made setup without Vellumor reads it): the installation is refused before its first
// file, and the log names the member.
class WizardUnsafeMember : public WizardInstallation, public ::testing::WithParamInterface<const char*> {};

TEST_P(WizardUnsafeMember, RefusesTheInstallationBeforeAnyFileIsWritten) {
    Desktop.ArchiveResources.erase("VELLUMOR");
    Desktop.Files["C:\\Setup\\setup.vl3"] = {
        BuildArchive({{"velmor.exe", "from vl3"}, {GetParam(), "planted"}, {"readme.txt", "after"}})};
    TLinesLog lines;
    Form->SetLog(&lines);
    Install();
    EXPECT_TRUE(Log.Contains("Error: Parlavox Dictionary setup failed!"));
    EXPECT_TRUE(lines.Has(std::string("Error: Damaged archive: unsafe member name \"") + GetParam() +
                          "\" in C:\\Setup\\setup.vl3"));
    EXPECT_EQ(Disk("dict/words.vlm"), "<missing>");
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "<missing>");
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
    EXPECT_TRUE(Desktop.Registry.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, WizardUnsafeMember,
                         ::testing::Values("..\\evil.txt", "\\evil.txt", "/evil.txt", "C:\\evil.txt",
                                           "c:evil.txt", "sub\\..\\..\\evil.txt", "sub/../../evil.txt",
                                           "\\\\server\\share\\evil.txt", "CON", "lang\\aux.txt",
                                           "readme.txt:stream"));

TEST_F(WizardInstallation, DictionaryFoundNowhereStillInstallsVellumor) {
    Desktop.ArchiveResources.erase("DICTIONARY");
    Install();
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
    EXPECT_EQ(Disk("dict/words.vlm"), "<missing>");
    EXPECT_TRUE(Log.Contains("Information: Parlavox Dictionary setup complete."));
    // No project member was met: nothing to mark and nothing to start.
    EXPECT_TRUE(Desktop.ProfileWrites.empty());
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
}

TEST_F(WizardInstallation, TrailingBackslashGivesTheSameFiles) {
    Controls.Texts[N::DictionaryDirectory] = Root + "\\dict\\";
    Install();
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
    EXPECT_EQ(Form->ProjectFile(), ProjectPath());
}

TEST_F(WizardInstallation, DamagedDictionaryFailsAfterProjectMemberAndSkipsTheRest) {
    Desktop.ArchiveResources["DICTIONARY"] = BuildArchive(
        {{"words.vlp", ProjectText}, {"words.vlm", "broken", 0x2A54598E, true}, {"words.pvd", "p"}});
    Install();
    EXPECT_TRUE(Log.Contains("Error: Parlavox Dictionary setup failed!"));
    EXPECT_FALSE(Log.Contains("Information: Parlavox Dictionary setup complete."));
    EXPECT_TRUE(Desktop.Registry.empty());
    EXPECT_TRUE(Desktop.ShellLinks.empty());
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "<missing>");
    EXPECT_EQ(Disk("dict/words.pvd"), "<missing>");
    EXPECT_TRUE(Controls.Closed);
    EXPECT_FALSE(Controls.Busy);
    // The project member was written before the failure, so it is still marked and opened
    // only if Vellumor is there (it is not).
    EXPECT_EQ(Desktop.ProfileWrites, std::vector<std::string>{ProjectPath() + " [Project] Deployed=1"});
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
    EXPECT_LT(Log.IndexOf("Error: Parlavox Dictionary setup failed!"), Log.IndexOf("Cursor default"));
}

TEST_F(WizardInstallation, DamagedBeforeProjectMemberLeavesNothingToMark) {
    Desktop.ArchiveResources["DICTIONARY"] =
        BuildArchive({{"words.vlm", "broken", 0x2A54598E, true}, {"words.vlp", ProjectText}});
    Install();
    EXPECT_TRUE(Log.Contains("Error: Parlavox Dictionary setup failed!"));
    EXPECT_EQ(Form->ProjectFile(), "");
    EXPECT_TRUE(Desktop.ProfileWrites.empty());
}

TEST_F(WizardInstallation, RegistryFailureFailsWithoutShortcuts) {
    Desktop.RegistryFails = true;
    Install();
    EXPECT_TRUE(Log.Contains("Error: Parlavox Dictionary setup failed!"));
    EXPECT_FALSE(Log.Contains("CreateDirectory " + Desktop.Programs + "\\Parlavox"));
    EXPECT_TRUE(Desktop.ShellLinks.empty());
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
    // The project mark and the launch still follow.
    EXPECT_EQ(Desktop.StartedCommandLines.size(), 1u);
}

TEST_F(WizardInstallation, ShortcutFailureIsIgnored) {
    Desktop.ShellLinkThrows = true;
    Install();
    EXPECT_TRUE(Log.Contains("ShellLink " + Desktop.Programs + "\\Parlavox\\Vellumor.lnk"));
    EXPECT_TRUE(Log.Contains("Information: Parlavox Dictionary setup complete."));
}

TEST_F(WizardInstallation, ManualShortcutOnlyWhenManualAlreadyInstalled) {
    std::filesystem::create_directories(Scratch.Path / "apps" / "VL");
    Scratch.Write("apps/VL/velmor.pdf", {'%', 'P', 'D', 'F'});
    Install();
    ASSERT_EQ(Desktop.ShellLinks.size(), 2u);
    EXPECT_EQ(Desktop.ShellLinks[1].Target, VellumorDir() + "\\velmor.pdf");
    EXPECT_EQ(Desktop.ShellLinks[1].LinkPath, Desktop.Programs + "\\Parlavox\\Vellumor Manual.lnk");
}

TEST_F(WizardInstallation, NoProgramsFolderSkipsGroupAndShortcuts) {
    Desktop.Programs.clear();
    Install();
    // Only the installation's own folders.
    for (const std::string& made : Desktop.CreatedDirectories)
        EXPECT_EQ(made.rfind(Root + "\\", 0), 0u) << made;
    EXPECT_TRUE(Desktop.ShellLinks.empty());
    EXPECT_TRUE(Log.Contains("Information: Parlavox Dictionary setup complete."));
}

TEST_F(WizardInstallation, UntickedOpenDictionaryStartsNothing) {
    Controls.Ticked[N::OpenDictionary] = false;
    Install();
    EXPECT_EQ(Desktop.ProfileWrites.size(), 1u);
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
}

TEST_F(WizardInstallation, MissingVellumorExeStartsNothing) {
    Desktop.ArchiveResources["VELLUMOR"] = BuildArchive({{"readme.txt", "no program"}});
    Install();
    EXPECT_TRUE(Desktop.ShellLinks.empty());
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
}

TEST_F(WizardInstallation, ProjectMarkFailureShowsErrorAndStartsNothing) {
    Desktop.ProfileFails = true;
    Install();
    EXPECT_EQ(Desktop.Exceptions, std::vector<std::string>{"Unable to write to " + ProjectPath()});
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
    EXPECT_TRUE(Controls.Closed);
}

// An existing installation folder that is a junction or symbolic link would send every file
// wherever the link leads: it is refused with its name before anything is written.
TEST_F(WizardInstallation, LinkedInstallationFolderIsRefusedBeforeAnythingIsWritten) {
    for (const std::string& linked : {Root + "\\dict", Root + "\\apps\\VL"}) {
        SCOPED_TRACE(linked);
        Desktop.ReparsePoints = {linked};
        Desktop.Messages.clear();
        Desktop.ProfileWrites.clear();
        Install();
        EXPECT_EQ(Disk("dict/words.vlm"), "<missing>");
        EXPECT_EQ(Disk("apps/VL/velmor.exe"), "<missing>");
        EXPECT_TRUE(Desktop.Registry.empty());
        EXPECT_TRUE(Desktop.StartedCommandLines.empty());
        ASSERT_EQ(Desktop.Messages.size(), 2u);
        EXPECT_NE(Desktop.Messages[0].Text.find("The folder " + linked + " is a link"), std::string::npos);
        EXPECT_EQ(Desktop.Messages[1].Text, "Parlavox Dictionary setup failed!");
        Start();
        Controls.Texts[N::PVDirectory] = Root + "\\apps";
        Controls.Texts[N::DictionaryDirectory] = Root + "\\dict";
    }
}

TEST_F(WizardInstallation, InstallingTwiceAsksNothing) {
    Install();
    Desktop.Messages.clear();
    // The form stays on the Install page; a second press installs over the first.
    Form->HandleEvent([&] { Form->NextButtonClick(); });
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "Parlavox Dictionary setup complete.");
}

TEST_F(WizardInstallation, InstalledUserListIsKept) {
    std::filesystem::create_directories(Scratch.Path / "apps" / "VL");
    Scratch.Write("apps/VL/velmor.pvl", {'m', 'i', 'n', 'e'});
    Install();
    EXPECT_EQ(Disk("apps/VL/velmor.pvl"), "mine");
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
}

// A dense Vellumor archive whose program refers back to the user list before it: the installed
// list is kept (the member is skipped), and the program after it still expands byte for byte.
TEST_F(WizardInstallation, DenseArchiveInstallsPastAKeptMemberItBuildsOn) {
    std::string list;
    for (uint32_t x = 1; list.size() < 30000;) list += static_cast<char>((x = x * 69069u + 1u) >> 24);
    Desktop.ArchiveResources["VELLUMOR"] =
        BuildDenseArchive({{"velmor.pvl", list}, {"velmor.exe", "MZ" + list}, {"lang\\en.lng", "en"}});
    ASSERT_LT(Desktop.ArchiveResources["VELLUMOR"].size(), 40000u);
    std::filesystem::create_directories(Scratch.Path / "apps" / "VL");
    Scratch.Write("apps/VL/velmor.pvl", {'m', 'i', 'n', 'e'});
    Install();
    EXPECT_EQ(Disk("apps/VL/velmor.pvl"), "mine");
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ" + list);
    EXPECT_EQ(Disk("apps/VL/lang/en.lng"), "en");
    ASSERT_FALSE(Desktop.Messages.empty());
    EXPECT_EQ(Desktop.Messages.back().Text, "Parlavox Dictionary setup complete.");
}

// Registration as an installed program: the uninstaller beside the dictionary, the Uninstall key,
// the dictionary as a user of Vellumor and the record of what was written.
class Registration : public WizardInstallation {
protected:
    Registration() {
        Desktop.ArchiveResources["UNINSTALL"] = BuildArchive({{"uninstall.exe", "MZ uninstaller"}});
    }
    TUninstallRecord Record() { return TUninstallRecord::Parse(Disk("dict/uninstall.dat")); }
    std::string Key() {
        for (const auto& [entry, value] : Desktop.Registry)
            if (entry.find("\\Uninstall\\") != std::string::npos) return entry.substr(0, entry.rfind('\\'));
        return "";
    }
};

TEST_F(Registration, WritesUninstallerKeyUserAndRecordAfterTheProjectMark) {
    Install();
    EXPECT_EQ(Disk("dict/uninstall.exe"), "MZ uninstaller");
    const std::string key = Key();
    const std::string exe = Root + "\\dict\\uninstall.exe";
    EXPECT_EQ(Desktop.Registry.at(key + "\\DisplayName"), "Parlavox Dictionary: General English-German");
    EXPECT_EQ(Desktop.Registry.at(key + "\\DisplayVersion"), "1999.02.20");
    EXPECT_EQ(Desktop.Registry.at(key + "\\Publisher"), "Parlavox Team");
    EXPECT_EQ(Desktop.Registry.at(key + "\\InstallLocation"), Root + "\\dict");
    EXPECT_EQ(Desktop.Registry.at(key + "\\InstallDate"), "20261208");
    EXPECT_EQ(Desktop.Registry.at(key + "\\DisplayIcon"), VellumorDir() + "\\velmor.exe");
    EXPECT_EQ(Desktop.Registry.at(key + "\\UninstallString"), "\"" + exe + "\"");
    EXPECT_EQ(Desktop.Registry.at(key + "\\QuietUninstallString"), "\"" + exe + "\" /S");
    EXPECT_EQ(Desktop.Registry.at(key + "\\NoModify"), "dword:1");
    EXPECT_EQ(Desktop.Registry.at(key + "\\EstimatedSize"), "dword:1"); // 99 bytes, rounded up
    const TUninstallRecord record = Record();
    EXPECT_EQ(Desktop.Registry.at(std::string(VellumorUsersKey) + "\\" + record.KeyName), VellumorDir());
    ASSERT_EQ(record.Files.size(), 6u);
    // The project file is recorded as marked, so the mark is no change on uninstall.
    const TRecordedFile& project = record.Files[1];
    EXPECT_EQ(project.Path, ProjectPath());
    EXPECT_LT(Log.IndexOf("Profile " + ProjectPath() + " [Project] Deployed=1"),
              Log.IndexOf("WriteFile " + Root + "\\dict\\uninstall.dat"));
    EXPECT_EQ(project.Checksum,
              UpdateCrc32(0, reinterpret_cast<const uint8_t*>(ProjectText.data()), ProjectText.size()));
    EXPECT_EQ(record.Files[3].Part, TRecordPart::Vellumor);
    std::vector<std::string> folders;
    for (const TRecordedFolder& f : record.Folders) folders.push_back(f.Path);
    EXPECT_EQ(folders, (std::vector<std::string>{Root + "\\dict", Root + "\\apps", Root + "\\apps\\VL",
                                                 Root + "\\apps\\VL\\lang"}));
    EXPECT_EQ(record.Shortcuts, std::vector<std::string>{Desktop.Programs + "\\Parlavox\\Vellumor.lnk"});
}

TEST_F(Registration, InstallingAgainCountsOnceAndKeepsTheFilesItKept) {
    Install();
    const std::string key = Key();
    EXPECT_EQ(Desktop.Registry.at(key + "\\CreatedAboveVellumor"), NormalisedFullPath(Root + "\\apps"));
    EXPECT_FALSE(Desktop.Registry.count(key + "\\CreatedAboveDictionary")); // the scratch folder was there
    // A line added to the record for a file outside the installation, with its true digest.
    TUninstallRecord edited = Record();
    Scratch.Write("victim.txt", {'v'});
    edited.Files.push_back(
        {TRecordPart::Dictionary, Root + "\\victim.txt", 1, UpdateCrc32(0, Bytes("v").data(), 1)});
    Scratch.Write("dict/uninstall.dat", Bytes(edited.Text()));
    Scratch.Write("dict/words.pvd", {'n', 'e', 'w', 'e', 'r'});
    Desktop.Answers = {TModalResult::mrNo, TModalResult::mrNo}; // keep words.pvd and the marked project
    Form->HandleEvent([&] { Form->NextButtonClick(); });
    EXPECT_EQ(Key(), key);
    int users = 0;
    for (const auto& [entry, value] : Desktop.Registry)
        users += entry.find("\\Dictionaries\\") != std::string::npos;
    EXPECT_EQ(users, 1);
    const TUninstallRecord record = Record();
    // The kept project file still holds what was installed; words.pvd does not, and victim.txt
    // lies outside: only the first comes over from the earlier record.
    std::vector<std::string> files;
    for (const TRecordedFile& file : record.Files) files.push_back(ExtractFileName(file.Path));
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{"en.lng", "velmor.exe", "velmor.pvl", "words.vlm", "words.vlp"}));
    EXPECT_EQ(record.Folders.size(), 4u);
}

TEST_F(Registration, RecordFoundWithoutAnEarlierInstallationIsNotMerged) {
    Install();
    TUninstallRecord planted = Record();
    planted.Files.push_back(
        {TRecordPart::Dictionary, Root + "\\dict\\mine.txt", 1, UpdateCrc32(0, Bytes("m").data(), 1)});
    Scratch.Write("dict/mine.txt", {'m'});
    Scratch.Write("dict/uninstall.dat", Bytes(planted.Text()));
    Desktop.Registry.clear(); // a machine that never had this installation
    TLinesLog lines;
    Form->SetLog(&lines);
    Form->HandleEvent([&] { Form->NextButtonClick(); });
    EXPECT_TRUE(
        lines.Has("Earlier uninstall record not used: the registry shows no earlier installation here"));
    for (const TRecordedFile& file : Record().Files) EXPECT_NE(ExtractFileName(file.Path), "mine.txt");
}

TEST_F(Registration, SetupWithoutUninstallerRegistersNothing) {
    Desktop.ArchiveResources.erase("UNINSTALL");
    Install();
    EXPECT_EQ(Key(), "");
    EXPECT_EQ(Disk("dict/uninstall.dat"), "<missing>");
}

TEST_F(Registration, DamagedUninstallerFailsAndKeepsTheOneInstalledBefore) {
    Install();
    Desktop.ArchiveResources["UNINSTALL"] = BuildArchive({{"uninstall.exe", "MZ other", 0x2A54598E, true}});
    Desktop.Messages.clear();
    Form->HandleEvent([&] { Form->NextButtonClick(); });
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "Parlavox Dictionary setup failed!");
    EXPECT_EQ(Disk("dict/uninstall.exe"), "MZ uninstaller");
}

TEST_F(Registration, OnlyTheUninstallerIsTakenFromItsResource) {
    Desktop.ArchiveResources["UNINSTALL"] = BuildArchive({{"other.exe", "MZ other"}});
    Install();
    EXPECT_EQ(Disk("dict/other.exe"), "<missing>");
    EXPECT_EQ(Key(), "");
}

// The engine alone, as both presenters drive it: its questions go to the policy by name, its
// progress to the sink, its outcome says why it failed, and it never shows a box itself.
struct TRecordingProgress : TInstallProgress {
    void ShowInstalling() override { Events.push_back("installing"); }
    void ShowProgress(int32_t percentDone) override { Events.push_back(std::to_string(percentDone)); }
    std::vector<std::string> Events;
};

struct TRecordingQuestions : TQuestionPolicy {
    TAnswer Ask(TQuestion question, const std::string& text) override {
        Asked.emplace_back(question, text);
        return Answer;
    }
    TAnswer Answer = TAnswer::No;
    std::vector<std::pair<TQuestion, std::string>> Asked;
};

class InstallationEngine : public ::testing::Test {
protected:
    InstallationEngine()
        : Scratch(std::string("engine-") + ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          Root(Scratch.Path.string()) {
        Desktop.UseDisk = true;
        Desktop.ArchiveResources["DICTIONARY"] = BuildArchive(
            {{"words.vlm", "apple\tApfel\n"}, {"words.vlp", ProjectText}, {"words.pvd", "phrases"}});
        Desktop.ArchiveResources["VELLUMOR"] = BuildArchive({{"velmor.exe", "MZ stand-in"}});
        Notes.SetLog(&Lines);
        Package.SetupDirectory = "C:\\Setup";
        Package.SetupBaseName = "setup";
        Package.DictionaryName = "EnglishGerman";
        Request.BaseDirectory = Root + "\\apps";
        Request.DictionaryDirectory = Root + "\\dict";
    }
    std::string Disk(const std::string& relative) const {
        const std::string path = Root + "/" + relative;
        std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())), std::ios::binary);
        if (!in) return "<missing>";
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // An installed words.pvd written now, so newer than its member of 1999.
    void InstallNewerProjectPhrases() {
        std::filesystem::create_directories(Scratch.Path / "dict");
        Scratch.Write("dict/words.pvd", {'m', 'i', 'n', 'e'});
    }

    TCallLog Log;
    TFakeDesktop Desktop{Log};
    TScratchFolder Scratch;
    std::string Root;
    TLinesLog Lines;
    TRunNotes Notes;
    TRecordingProgress Progress;
    TRecordingQuestions Questions;
    TSetupPackage Package;
    TInstallRequest Request;
    TInstallation Engine{Desktop, Progress, Questions, Notes};
};

// A made setup's engine checks the file beside it again through the handle it expands from: a file
// changed after the start's check is refused before anything is written, whatever the start saw.
TEST_F(InstallationEngine, MadeSetupRefusesALooseArchiveThatIsNotTheRecordedOne) {
    Desktop.ArchiveResources.erase("VELLUMOR");
    const std::string recorded = BuildArchive({{"velmor.exe", "publisher's"}});
    std::string planted = recorded;
    planted[planted.size() - 1] ^= 1;
    Desktop.Files["C:\\Setup\\setup.vl3"] = {planted};
    Package.MadeSetup = true;
    Package.LooseFiles = {{LooseFileType, "VELLUMOR", recorded.size(), 0,
                           Sha256Hex(reinterpret_cast<const uint8_t*>(recorded.data()), recorded.size())}};
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_NE(outcome.Reason.find("C:\\Setup\\setup.vl3 is not the file this setup's publisher shipped"),
              std::string::npos)
        << outcome.Reason;
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));

    Desktop.Files["C:\\Setup\\setup.vl3"] = {recorded};
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "publisher's");
}

TEST_F(InstallationEngine, PutsTheNewerFileQuestionByNameAndNoKeepsTheFile) {
    InstallNewerProjectPhrases();
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Installed);
    const std::string question = "The current " + Root +
                                 "\\dict\\words.pvd is newer than the file to be "
                                 "installed!\nOverwrite the current file?";
    ASSERT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Questions.Asked[0].first, TQuestion::ReplaceNewerFile);
    EXPECT_EQ(Questions.Asked[0].second, question);
    EXPECT_EQ(Disk("dict/words.pvd"), "mine");
    EXPECT_TRUE(Lines.Has("Question: " + question));
    EXPECT_TRUE(Lines.Has("Answer: No"));
    EXPECT_TRUE(Lines.Has("Kept (newer than the file to be installed): " + Root + "\\dict\\words.pvd"));
    // The engine has no boxes to show: the presenter shows the outcome.
    EXPECT_TRUE(Desktop.Messages.empty());
}

TEST_F(InstallationEngine, YesReplacesTheNewerFile) {
    InstallNewerProjectPhrases();
    Questions.Answer = TAnswer::Yes;
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(Disk("dict/words.pvd"), "phrases");
    EXPECT_TRUE(Lines.Has("Answer: Yes"));
}

TEST_F(InstallationEngine, UnattendedAnswersKeepTheNewerFile) {
    InstallNewerProjectPhrases();
    TUnattendedAnswers unattended;
    TInstallation engine(Desktop, Progress, unattended, Notes);
    EXPECT_EQ(engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(Disk("dict/words.pvd"), "mine");
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
}

TEST_F(InstallationEngine, FailureOutcomeCarriesTheReasonForTheLog) {
    Desktop.ArchiveResources["DICTIONARY"] = BuildArchive({{"words.vlm", "broken", 0x2A54598E, true}});
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_EQ(outcome.Reason, "Bad checksum during expansion -- data may be invalid");
    EXPECT_FALSE(outcome.ReasonForUser);
    EXPECT_TRUE(Lines.Has("Failed: " + Root + "\\dict\\words.vlm"));
    EXPECT_TRUE(Lines.Has("Error: " + outcome.Reason));
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "<missing>");
    EXPECT_TRUE(Desktop.Messages.empty());
}

TEST_F(InstallationEngine, LinkedFolderIsAReasonForTheUser) {
    Desktop.ReparsePoints = {Root + "\\apps\\VL"};
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_TRUE(outcome.ReasonForUser);
    EXPECT_EQ(outcome.Reason.rfind("The folder " + Root + "\\apps\\VL is a link", 0), 0u) << outcome.Reason;
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
}

// A link planted below an existing installation folder: the member that would go through it is
// not written (its bytes never reach the place the link leads to) and the installation fails,
// naming the link.
TEST_F(InstallationEngine, LinkBelowAnInstallationFolderWritesNothingThroughIt) {
    Desktop.ArchiveResources["VELLUMOR"] =
        BuildArchive({{"velmor.exe", "MZ stand-in"}, {"lang\\en.lng", "en"}});
    std::filesystem::create_directories(Scratch.Path / "apps" / "VL" / "lang");
    Desktop.ReparsePoints = {Root + "\\apps\\VL\\lang"};
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_TRUE(outcome.ReasonForUser);
    EXPECT_EQ(outcome.Reason,
              "The folder " + Root +
                  "\\apps\\VL\\lang is a link (a junction or symbolic link) to another place: " + Root +
                  "\\apps\\VL\\lang\\en.lng was not written.");
    EXPECT_EQ(Disk("apps/VL/lang/en.lng"), "<missing>");
    EXPECT_TRUE(Lines.Has("Error: " + outcome.Reason));
}

// Folders below an installation folder are checked once and then held, not once per member.
TEST_F(InstallationEngine, FolderBelowIsCheckedForLinksOnceForAllItsMembers) {
    Desktop.ArchiveResources["VELLUMOR"] = BuildArchive({{"velmor.exe", "MZ stand-in"},
                                                         {"lang\\en.lng", "en"},
                                                         {"lang\\de.lng", "de"},
                                                         {"lang\\fr.lng", "fr"}});
    std::filesystem::create_directories(Scratch.Path / "apps" / "VL" / "lang");
    ASSERT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(Disk("apps/VL/lang/fr.lng"), "fr");
    const std::string lang = Root + "\\apps\\VL\\lang";
    EXPECT_EQ(std::count(Desktop.ReparseQueries.begin(), Desktop.ReparseQueries.end(), lang), 1);
}

// An existing folder that users who are no administrators can change: refused before anything is
// shown or written, whether it is above the installation's folders or one of them; one whose
// entries alone others can add to counts only when it is an installation folder.
TEST_F(InstallationEngine, FolderOthersCanChangeIsRefusedBeforeAnythingIsWritten) {
    std::filesystem::create_directories(Scratch.Path / "dict");
    // Root as a drive's root: others may add folders to it, but change nothing of its own.
    const std::pair<std::string, bool> cases[] = {{Root, false}, {Root + "\\dict", true}};
    for (const auto& [changeable, entriesOnly] : cases) {
        SCOPED_TRACE(changeable);
        Desktop.ChangeableFolders.clear();
        Desktop.ChangeableEntries = {Root};
        (entriesOnly ? Desktop.ChangeableEntries : Desktop.ChangeableFolders).insert(changeable);
        Progress.Events.clear();
        const TInstallOutcome outcome = Engine.Install(Package, Request);
        EXPECT_EQ(outcome.Status, TInstallStatus::Unprotected);
        EXPECT_TRUE(outcome.ReasonForUser);
        EXPECT_EQ(outcome.Reason.rfind("The folder \"" + changeable +
                                           "\" can be changed by users who are not "
                                           "administrators",
                                       0),
                  0u)
            << outcome.Reason;
        EXPECT_TRUE(Progress.Events.empty());
        EXPECT_TRUE(Desktop.CreatedDirectories.empty());
        EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path / "dict"));
    }
    Desktop.ChangeableFolders.clear();
    Desktop.ChangeableEntries = {Root};
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_TRUE(Desktop.ProtectedFolders.empty());
}

// Folders made where they would inherit access that others can change (below a drive's root) are
// protected, outermost first; where they inherit a protected access (Program Files), they are not.
TEST_F(InstallationEngine, FoldersItMakesAreProtectedWhereTheyWouldInheritChangeableAccess) {
    Desktop.NewFoldersChangeable = true;
    ASSERT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    const std::vector<std::string> expected = {Root + "\\dict", Root + "\\apps", Root + "\\apps\\VL"};
    EXPECT_EQ(Desktop.ProtectedFolders, expected);
    EXPECT_TRUE(Lines.Has("Protected: " + Root + "\\apps (only administrators may change it)"));
}

// An installation that an earlier one made, whose folder others can change (made before folders
// were protected): given the protected access, not refused, so that the update goes on.
TEST_F(InstallationEngine, FolderAnEarlierInstallationMadeIsProtectedNotRefused) {
    std::filesystem::create_directories(Scratch.Path / "dict");
    const std::string key = std::string(UninstallKeyRoot) + "Parlavox EnglishGerman 1";
    Desktop.Registry[key + "\\InstallLocation"] = Root + "\\dict";
    Desktop.Registry[std::string(VellumorUsersKey) + "\\Parlavox EnglishGerman 1"] = Root + "\\apps\\VL";
    Desktop.ChangeableFolders = {Root + "\\dict"};
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(Desktop.ProtectedFolders, std::vector<std::string>{Root + "\\dict"});
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
    // Not the folder above it, which the earlier installation did not make.
    Desktop.ChangeableFolders = {Root};
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Unprotected);
}

TEST_F(InstallationEngine, SinkHearsOfTheStartFirstAndThenOfEveryChunk) {
    Desktop.ArchiveResources["DICTIONARY"] = BuildArchive({{"big.vlm", std::string(20000, 'w')}});
    Engine.Install(Package, Request);
    // Repeated positions too: the sink decides what is worth showing.
    const std::vector<std::string> expected = {"installing", "0", "40",  "81", "100",
                                               "100",        "0", "100", "100"};
    EXPECT_EQ(Progress.Events, expected);
}

TEST_F(InstallationEngine, FinishMarksTheProjectAndStartsVellumorOnlyWhenAsked) {
    for (const bool launch : {false, true}) {
        SCOPED_TRACE(launch ? "launch" : "no launch");
        Desktop.ProfileWrites.clear();
        Desktop.StartedCommandLines.clear();
        Request.LaunchVellumor = launch;
        ASSERT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
        Engine.Finish();
        EXPECT_EQ(Desktop.ProfileWrites,
                  std::vector<std::string>{Root + "\\dict\\words.vlp [Project] Deployed=1"});
        EXPECT_EQ(Desktop.StartedCommandLines.size(), launch ? 1u : 0u);
    }
}

TEST_F(InstallationEngine, FinishRaisesWhenTheProjectCannotBeMarked) {
    Desktop.ProfileFails = true;
    Engine.Install(Package, Request);
    EXPECT_THROW(Engine.Finish(), EIniFileException);
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
}

TEST_F(InstallationEngine, RefusedFolderEndsTheInstallationBeforeAnythingIsShownOrWritten) {
    Request.DictionaryDirectory = Root + "\\dict.";
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Refused);
    EXPECT_TRUE(outcome.ReasonForUser);
    EXPECT_EQ(outcome.Reason.rfind("The dictionary folder \"" + Root + "\\dict.\" cannot be used", 0), 0u)
        << outcome.Reason;
    EXPECT_TRUE(Progress.Events.empty());
    EXPECT_TRUE(Desktop.ResourceLookups.empty());
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
    EXPECT_TRUE(Lines.Lines.empty());
}

// UTF-8 names from the folders to the log and the record: nothing splits or compares them
// inside a character.
TEST_F(InstallationEngine, Utf8FoldersInstallWithTheirExactNames) {
    const std::string lodz = "\xC5\x81\xC3\xB3\x64\xC5\xBA"; // Łódź
    const std::string japanese =
        "\xE8\xA1\xA8\xE7\xA4\xBA\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88"; // 表示\ソフト
    Request.BaseDirectory = Root + "\\" + lodz;
    Request.DictionaryDirectory = Root + "\\" + japanese;
    ASSERT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    Engine.Finish();
    EXPECT_EQ(Disk(lodz + "/VL/velmor.exe"), "MZ stand-in");
    EXPECT_EQ(Disk("\xE8\xA1\xA8\xE7\xA4\xBA/\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/words.vlm"),
              "apple\tApfel\n");
    EXPECT_EQ(Engine.ProjectFile(), Root + "\\" + japanese + "\\words.vlp");
    EXPECT_EQ(Desktop.Registry.at("Software\\Parlavox\\Vellumor\\4.0\\RootDir"), Root + "\\" + lodz + "\\VL");
    EXPECT_TRUE(Lines.Has("Written: " + Root + "\\" + japanese + "\\words.vlm"));
}

// The access text as the system reads it: "D:" and its flags, then entries "(type;flags;rights;;;who)".
// Protected from what is above, every entry an allowance handed down to folders and files, full
// control only for Administrators and SYSTEM, Users reading and running, nobody else.
TEST(ProtectedAccess, OnlyAdministratorsAndSystemMayChangeWhatIsBelow) {
    const std::string sddl = ProtectedFolderSddl;
    ASSERT_EQ(sddl.rfind("D:", 0), 0u);
    const size_t first = sddl.find('(');
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(sddl.substr(2, first - 2).find('P'), std::string::npos) << "not protected";
    std::map<std::string, std::string> rightsOf;
    for (size_t at = first; at < sddl.size();) {
        ASSERT_EQ(sddl[at], '(') << sddl.substr(at);
        const size_t end = sddl.find(')', at);
        ASSERT_NE(end, std::string::npos);
        std::vector<std::string> fields;
        std::string field;
        for (char c : sddl.substr(at + 1, end - at - 1)) {
            if (c != ';') {
                field += c;
                continue;
            }
            fields.push_back(field);
            field.clear();
        }
        fields.push_back(field);
        ASSERT_EQ(fields.size(), 6u);
        EXPECT_EQ(fields[0], "A");
        EXPECT_EQ(fields[1], "OICI");
        EXPECT_TRUE(rightsOf.emplace(fields[5], fields[2]).second) << "twice: " << fields[5];
        at = end + 1;
    }
    const std::map<std::string, std::string> expected = {{"BA", "FA"}, {"SY", "FA"}, {"BU", "FRFX"}};
    EXPECT_EQ(rightsOf, expected);
}

// A member's file that another program holds: the real archive component expands, and a folder
// takes the target's place while the member is being expanded, so that its replacement fails as
// a held file's does; the engine is told the file is held (InUse) while Held says so.
class HeldTarget {
public:
    HeldTarget(TInstallation& engine, const std::filesystem::path& folder, std::string name,
               std::string after = "")
        : Engine(engine), Folder(folder), Name(std::move(name)), After(std::move(after)) {
        Engine.Sleep = [this](int milliseconds) {
            Waits.push_back(milliseconds);
            if (OnWait) OnWait();
        };
        const TShowProgressEvent show = Engine.Compressor.OnShowProgress;
        Engine.Compressor.OnShowProgress = [this, show](int32_t& percent) {
            if (!Blocked && (After.empty() || std::filesystem::exists(Folder / After))) {
                std::filesystem::create_directories(Folder / Name / "held");
                Blocked = true;
            }
            show(percent);
        };
        Engine.Compressor.OnFileError = [this](const TFileError& error) {
            Errors.push_back(error);
            TFileError seen = error;
            seen.InUse = Held;
            return Engine.CompressorFileError(seen);
        };
    }
    void LetGo() { std::filesystem::remove_all(Folder / Name); }
    int Waited() const { return std::accumulate(Waits.begin(), Waits.end(), 0); }

    TInstallation& Engine;
    std::filesystem::path Folder;
    std::string Name, After;
    bool Blocked = false;
    bool Held = true;
    std::vector<int> Waits;
    std::function<void()> OnWait;
    std::vector<TFileError> Errors;
};

class HeldFiles : public InstallationEngine {
protected:
    HeldFiles() {
        Desktop.ArchiveResources["UNINSTALL"] = BuildArchive({{"uninstall.exe", "MZ uninstaller"}});
    }
    std::string Target() const { return Root + "\\dict\\words.vlm"; }
    bool Temporaries() const {
        for (const auto& entry : std::filesystem::directory_iterator(Scratch.Path / "dict"))
            if (entry.path().filename().string().rfind("~qdmx", 0) == 0) return true;
        return false;
    }
};

TEST_F(HeldFiles, ScannersHoldIsOutlastedWithoutAQuestion) {
    HeldTarget hold(Engine, Scratch.Path / "dict", "words.vlm");
    hold.OnWait = [&hold] {
        if (hold.Waits.size() == 3) hold.LetGo();
    };
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    EXPECT_EQ(hold.Waits, (std::vector<int>{50, 100, 200}));
    EXPECT_TRUE(Questions.Asked.empty());
    EXPECT_TRUE(Lines.Has("Waited 350 ms for " + Target() + " (held by another program)"));
    // Only the held member waited.
    EXPECT_FALSE(Lines.Has("Waited 350 ms for " + Root + "\\dict\\words.vlp (held by another program)"));
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
    EXPECT_TRUE(Lines.Has("Written: " + Target()));
    EXPECT_FALSE(Temporaries());
}

TEST_F(HeldFiles, FileStillInUseIsAskedAboutByNameAndReplacedAtRestart) {
    HeldTarget hold(Engine, Scratch.Path / "dict", "words.vlm");
    Questions.Answer = TAnswer::AtRestart;
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::NeedsRestart);
    EXPECT_EQ(hold.Waited(), THeldRetry::TotalWait);
    ASSERT_EQ(Questions.Asked.size(), 1u);
    EXPECT_EQ(Questions.Asked[0].first, TQuestion::FileInUse);
    EXPECT_EQ(Questions.Asked[0].second.rfind(Target() + " is in use by another program.", 0), 0u);
    // The new file waits beside the target, complete, for the restart to move it over.
    ASSERT_FALSE(hold.Errors.empty());
    const std::string pending = hold.Errors.back().Pending;
    EXPECT_EQ(Desktop.Scheduled, std::vector<std::string>{pending + " -> " + Target()});
    EXPECT_EQ(ExtractFileDir(pending), ExtractFileDir(Target()));
    std::ifstream waiting(NativePath(pending), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(waiting), {}), "apple\tApfel\n");
    EXPECT_TRUE(Lines.Has("Replaced at restart: " + Target()));
    EXPECT_FALSE(Lines.Has("Written: " + Target()));
    // The rest of the installation goes on.
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
    // The record lists the file with the bytes that the restart puts there.
    Engine.Finish();
    const TUninstallRecord record = TUninstallRecord::Parse(Disk("dict/uninstall.dat"));
    const std::string bytes = "apple\tApfel\n";
    const auto recorded = std::find_if(record.Files.begin(), record.Files.end(),
                                       [&](const TRecordedFile& f) { return f.Path == Target(); });
    ASSERT_NE(recorded, record.Files.end());
    EXPECT_EQ(recorded->Size, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(recorded->Checksum,
              UpdateCrc32(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST_F(HeldFiles, CancelEndsTheInstallationAndLeavesTheFileAsItWas) {
    HeldTarget hold(Engine, Scratch.Path / "dict", "words.vlm");
    Questions.Answer = TAnswer::Cancel;
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_TRUE(Lines.Has("Failed: " + Target()));
    EXPECT_FALSE(Lines.Has("Written: " + Target()));
    EXPECT_TRUE(Desktop.Scheduled.empty());
    EXPECT_FALSE(Temporaries());
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "<missing>");
}

TEST_F(HeldFiles, ErrorThatNoWaitingMendsFailsAtOnceAndIsNeverCalledWritten) {
    HeldTarget hold(Engine, Scratch.Path / "dict", "words.vlm");
    hold.Held = false;
    const TInstallOutcome outcome = Engine.Install(Package, Request);
    EXPECT_EQ(outcome.Status, TInstallStatus::Failed);
    EXPECT_NE(outcome.Reason.find(Target()), std::string::npos);
    EXPECT_TRUE(hold.Waits.empty());
    EXPECT_TRUE(Questions.Asked.empty());
    EXPECT_TRUE(Lines.Has("Failed: " + Target()));
    EXPECT_FALSE(Lines.Has("Written: " + Target()));
}

TEST_F(HeldFiles, WaitingProjectIsMarkedInItsReplacementAndVellumorIsNotStarted) {
    HeldTarget project(Engine, Scratch.Path / "dict", "words.vlp", "words.vlm");
    Questions.Answer = TAnswer::AtRestart;
    Request.LaunchVellumor = true;
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::NeedsRestart);
    ASSERT_FALSE(project.Errors.empty());
    const std::string pending = project.Errors.back().Pending;
    Engine.Finish();
    EXPECT_EQ(Desktop.ProfileWrites, std::vector<std::string>{pending + " [Project] Deployed=1"});
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
    EXPECT_TRUE(Lines.Has("Not started: the installation is finished by the next restart"));
}

TEST_F(InstallationEngine, RecordTakesTheDigestOfTheBytesAsWrittenNotAsReadBack) {
    Desktop.ArchiveResources["UNINSTALL"] = BuildArchive({{"uninstall.exe", "MZ uninstaller"}});
    // A scanner holds the file from the moment it is written: it cannot be read back.
    Desktop.Unreadable.insert(Root + "\\dict\\words.vlm");
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    Engine.Finish();
    const TUninstallRecord record = TUninstallRecord::Parse(Disk("dict/uninstall.dat"));
    const std::string bytes = "apple\tApfel\n";
    ASSERT_FALSE(record.Files.empty());
    EXPECT_EQ(record.Files[0].Path, Root + "\\dict\\words.vlm");
    EXPECT_EQ(record.Files[0].Size, static_cast<int64_t>(bytes.size()));
    EXPECT_EQ(record.Files[0].Checksum,
              UpdateCrc32(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

TEST_F(InstallationEngine, RunningProgramIsNamedClosedOnYesAndRestartedAfterwards) {
    std::filesystem::create_directories(Scratch.Path / "apps/VL");
    Scratch.Write("apps/VL/velmor.exe", {'o', 'l', 'd'});
    const std::string exe = Root + "\\apps\\VL\\velmor.exe";
    Desktop.Holders[exe] = "Vellumor";
    Questions.Answer = TAnswer::Yes;
    EXPECT_EQ(Engine.Install(Package, Request).Status, TInstallStatus::Installed);
    // Only the files that exist are asked about; the dictionary's folder does not yet.
    EXPECT_EQ(Desktop.AskedAbout, std::vector<std::string>{exe});
    // The first question; the old file, written now, is newer than its member: the second.
    ASSERT_FALSE(Questions.Asked.empty());
    EXPECT_EQ(Questions.Asked[0].first, TQuestion::ClosePrograms);
    EXPECT_EQ(Questions.Asked[0].second,
              "Vellumor is running and uses files that setup must replace. Close it and continue? (No: setup "
              "continues, and a file still in use is replaced when Windows restarts next.)");
    EXPECT_EQ(Desktop.ProgramCalls,
              (std::vector<std::string>{"ProgramsUsing", "ClosePrograms", "RestartPrograms", "EndSession"}));
    EXPECT_TRUE(Lines.Has("Closed: Vellumor"));
    EXPECT_TRUE(Lines.Has("Restarted: Vellumor"));
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "MZ stand-in");
}

TEST_F(InstallationEngine, UnattendedRunClosesProgramsOnlyWhenTheCommandLineSaysSo) {
    std::filesystem::create_directories(Scratch.Path / "apps/VL");
    Scratch.Write("apps/VL/velmor.exe", {'o', 'l', 'd'});
    Desktop.Holders[Root + "\\apps\\VL\\velmor.exe"] = "Vellumor";
    for (const bool close : {false, true}) {
        Desktop.ProgramCalls.clear();
        TUnattendedAnswers answers(close);
        TInstallation engine(Desktop, Progress, answers, Notes);
        engine.Install(Package, Request);
        EXPECT_EQ(std::count(Desktop.ProgramCalls.begin(), Desktop.ProgramCalls.end(), "ClosePrograms"),
                  close ? 1 : 0);
    }
}

TEST(InstallQuestions, EachHasANameAndAnUnattendedAnswer) {
    EXPECT_STREQ(QuestionName(TQuestion::ReplaceNewerFile), "ReplaceNewerFile");
    EXPECT_EQ(UnattendedAnswer(TQuestion::ReplaceNewerFile), TAnswer::No);
    TUnattendedAnswers unattended;
    EXPECT_EQ(unattended.Ask(TQuestion::ReplaceNewerFile, "Overwrite?"), TAnswer::No);
    // Nobody is there to close a program or press Retry: the restart finishes the installation.
    EXPECT_EQ(unattended.Ask(TQuestion::ClosePrograms, "Close?"), TAnswer::No);
    EXPECT_EQ(unattended.Ask(TQuestion::FileInUse, "In use"), TAnswer::AtRestart);
    EXPECT_EQ(TUnattendedAnswers(true).Ask(TQuestion::ClosePrograms, "Close?"), TAnswer::Yes);
}

// The unattended run (/S): no form, the engine called with the command line's folders, the
// boxes' lines and everything else in the log.
class UnattendedSetup : public WizardInstallation {
protected:
    UnattendedSetup() : WizardInstallation(false) {}
    int RunSilent(TSetupOptions options) {
        options.Silent = true;
        if (!options.BaseDirectory) options.BaseDirectory = Root + "\\apps";
        if (!options.DictionaryDirectory) options.DictionaryDirectory = Root + "\\dict";
        Log.Entries.clear();
        return RunUnattendedSetup(Desktop, options, &Lines);
    }
    TLinesLog Lines;
    std::string Project;
};

TEST_F(UnattendedSetup, InstallsIntoTheGivenDirectoriesWithoutBoxOrLaunch) {
    std::filesystem::create_directories(Scratch.Path / "dict2");
    Scratch.Write("dict2/words.pvd", {'m', 'i', 'n', 'e'}); // newer than its member: kept
    TSetupOptions options;
    options.BaseDirectory = Root + "\\base";
    options.DictionaryDirectory = Root + "\\dict2";
    EXPECT_EQ(RunSilent(options), ExitSuccess);
    Project = Root + "\\dict2\\words.vlp";
    EXPECT_EQ(Disk("base/VL/velmor.exe"), "MZ stand-in");
    EXPECT_EQ(Disk("dict2/words.vlm"), "apple\tApfel\n");
    EXPECT_EQ(Disk("dict2/words.pvd"), "mine");
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
    EXPECT_EQ(Desktop.Registry.at("Software\\Parlavox\\Vellumor\\4.0\\RootDir"), Root + "\\base\\VL");
    EXPECT_EQ(Desktop.ProfileWrites, std::vector<std::string>{Project + " [Project] Deployed=1"});
    EXPECT_TRUE(Lines.Has("Written: " + Root + "\\dict2\\words.vlm"));
    EXPECT_TRUE(Lines.Has("Kept (newer than the file to be installed): " + Root + "\\dict2\\words.pvd"));
    EXPECT_TRUE(Lines.Has("Answer: No"));
    EXPECT_TRUE(
        Lines.Has("Registry: HKLM\\Software\\Parlavox\\Vellumor\\4.0 RootDir = " + Root + "\\base\\VL"));
    EXPECT_TRUE(Lines.Has("Information: Parlavox Dictionary setup complete."));
}

TEST_F(UnattendedSetup, DamagedArchiveFailsWithTheReasonInTheLog) {
    Desktop.ArchiveResources["DICTIONARY"] = BuildArchive({{"words.vlm", "broken", 0x2A54598E, true}});
    EXPECT_EQ(RunSilent({}), ExitFailure);
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_TRUE(Lines.Has("Failed: " + Root + "\\dict\\words.vlm")) << ::testing::PrintToString(Lines.Lines);
    EXPECT_TRUE(Lines.Has("Error: Bad checksum during expansion -- data may be invalid"))
        << ::testing::PrintToString(Lines.Lines);
    EXPECT_TRUE(Lines.Has("Error: Parlavox Dictionary setup failed!"));
}

TEST_F(UnattendedSetup, FolderRefusedByTheEngineIsLoggedAsTheWizardWouldShowIt) {
    Desktop.ReparsePoints = {Root + "\\dict"};
    EXPECT_EQ(RunSilent({}), ExitFailure);
    EXPECT_TRUE(Desktop.Messages.empty());
    const std::string link = "Error: The folder " + Root + "\\dict is a link";
    std::vector<size_t> at;
    for (size_t i = 0; i < Lines.Lines.size(); ++i)
        if (Lines.Lines[i].rfind(link, 0) == 0 ||
            Lines.Lines[i] == "Error: Parlavox Dictionary setup failed!")
            at.push_back(i);
    // The reason (once for the log, once as the wizard's box), then the failure.
    ASSERT_EQ(at.size(), 3u) << ::testing::PrintToString(Lines.Lines);
    EXPECT_EQ(Lines.Lines[at[2]], "Error: Parlavox Dictionary setup failed!");
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
}

// The two folders that used to install halfway: refused up front, a usage error, nothing written.
TEST_F(UnattendedSetup, FolderThatTheRulesRefuseExitsTwoWithNothingWritten) {
    struct TCase {
        std::string Base, Dictionary, Line;
    };
    const TCase cases[] = {
        {Root + "\\Apps5.", "",
         "Error: The Vellumor folder \"" + Root +
             "\\Apps5.\" cannot be used: its part \"Apps5.\" ends in a "
             "point, which Windows drops. Choose another folder."},
        {Root + "\\Apps6", Root + "\\Dict5 ",
         "Error: The dictionary folder \"" + Root +
             "\\Dict5 \" cannot be used: its part \"Dict5 \" ends in a "
             "blank, which Windows drops. Choose another folder."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Line);
        Lines.Lines.clear();
        TSetupOptions options;
        options.BaseDirectory = c.Base;
        if (!c.Dictionary.empty()) options.DictionaryDirectory = c.Dictionary;
        EXPECT_EQ(RunSilent(options), ExitUsage);
        EXPECT_TRUE(Lines.Has(c.Line)) << ::testing::PrintToString(Lines.Lines);
        EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
        EXPECT_TRUE(Desktop.Registry.empty());
        EXPECT_TRUE(Desktop.ProfileWrites.empty());
        EXPECT_TRUE(Desktop.CreatedDirectories.empty());
        EXPECT_TRUE(Desktop.Messages.empty());
    }
}

// A folder others can change: the wizard says so and stays on its page; the silent run logs it and
// fails (exit 1, not a usage error: the folder's access is wrong, not the command line).
TEST_F(UnattendedSetup, FolderOthersCanChangeFailsWithItsNameInTheLog) {
    Desktop.ChangeableFolders = {Root};
    EXPECT_EQ(RunSilent({}), ExitFailure);
    EXPECT_TRUE(
        Lines.Has("Error: The folder \"" + Root +
                  "\" can be changed by users who are not administrators, so what the setup installs "
                  "there could be replaced. Choose another folder, or let only administrators change it."))
        << ::testing::PrintToString(Lines.Lines);
    EXPECT_TRUE(Lines.Has("Error: Parlavox Dictionary setup failed!"));
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
    EXPECT_TRUE(Desktop.Registry.empty());
}

TEST_F(WizardInstallation, FolderOthersCanChangeKeepsTheWizardOnItsPage) {
    Desktop.ChangeableFolders = {Root};
    Install();
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text.rfind("The folder \"" + Root + "\" can be changed", 0), 0u);
    EXPECT_EQ(Controls.Page, 2);
    EXPECT_FALSE(Controls.Closed);
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
}

// The template takes a file beside it as it is; one that is no archive fails, naming it.
TEST_F(UnattendedSetup, FallbackFileThatIsNoArchiveFailsNamingIt) {
    Desktop.ArchiveResources.erase("VELLUMOR");
    Desktop.Files["C:\\Setup\\setup.vl3"] = {std::string(100000, '\0')};
    EXPECT_EQ(RunSilent({}), ExitFailure);
    EXPECT_TRUE(Lines.Has("Error: C:\\Setup\\setup.vl3 is not an archive the setup can expand: Can't "
                          "recognize compressed file header"))
        << ::testing::PrintToString(Lines.Lines);
    EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
}

// A setup made with its Vellumor archive beside it: the digests record that file's SHA-256.
class MadeSetup : public UnattendedSetup {
protected:
    const std::string Loose = BuildArchive({{"velmor.exe", "from vl3"}, {"lang\\en.lng", "en"}});
    const std::string LoosePath = "C:\\Setup\\setup.vl3";
    void Make(bool recordLoose) {
        Desktop.ArchiveResources.erase("VELLUMOR");
        auto digest = [](const char* type, const std::string& name, const std::string& bytes) {
            return DigestOf(type, name, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        };
        std::vector<TResourceDigest> digests{
            digest("PARLAVOX", "SUPPORT", Desktop.Resources.at("PARLAVOX/SUPPORT"))};
        for (const auto& [name, bytes] : Desktop.ArchiveResources)
            digests.push_back(digest("ARCHIVE", name, bytes));
        if (recordLoose) {
            TResourceDigest loose = digest(LooseFileType, "VELLUMOR", Loose);
            loose.Sha256 = Sha256Hex(reinterpret_cast<const uint8_t*>(Loose.data()), Loose.size());
            digests.push_back(loose);
        }
        Desktop.Resources["PARLAVOX/DIGESTS"] = DigestsText(digests);
    }
};

TEST_F(MadeSetup, InstallsTheLooseArchiveItsPublisherRecorded) {
    Make(true);
    Desktop.Files[LoosePath] = {Loose};
    EXPECT_EQ(RunSilent({}), ExitSuccess) << ::testing::PrintToString(Lines.Lines);
    EXPECT_EQ(Disk("apps/VL/velmor.exe"), "from vl3");
    EXPECT_TRUE(Lines.Has("Archive VELLUMOR: " + LoosePath + " into " + Root + "\\apps\\VL"));
}

// Whatever else lies beside a made setup ends it at the start, with the reason in the log and
// nothing written: a changed byte, another size, a file it recorded nothing of, a recorded file
// that is missing.
TEST_F(MadeSetup, RefusesAnyOtherLooseArchiveBeforeWritingAnything) {
    std::string changed = Loose;
    changed[changed.size() / 2] ^= 0x20;
    struct TCase {
        bool Recorded;
        std::optional<std::string> File;
        std::string Reason;
    };
    const TCase cases[] = {
        {true, changed, LoosePath + " is not the file this setup's publisher shipped: its SHA-256 is "},
        {true, Loose + "x",
         LoosePath + " is not the file this setup's publisher shipped: " + std::to_string(Loose.size() + 1) +
             " bytes, the setup recorded " + std::to_string(Loose.size())},
        {false, Loose, LoosePath + " is not from this setup's publisher: the setup recorded no such file"},
        {true, std::nullopt, LoosePath + " is missing"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Reason);
        Make(c.Recorded);
        Desktop.Files.erase(LoosePath);
        if (c.File) Desktop.Files[LoosePath] = {*c.File};
        Lines.Lines.clear();
        EXPECT_EQ(RunSilent({}), ExitFailure);
        EXPECT_TRUE(std::any_of(Lines.Lines.begin(), Lines.Lines.end(), [&](const std::string& line) {
            return line.rfind("Setup damaged: " + c.Reason, 0) == 0;
        })) << ::testing::PrintToString(Lines.Lines);
        EXPECT_TRUE(Lines.Has("Error: A file beside the setup is not the one its publisher shipped with it "
                              "(it is missing, damaged or was put there by someone else), so the setup "
                              "installs nothing. Please obtain the setup and its files again from the "
                              "publisher."))
            << ::testing::PrintToString(Lines.Lines);
        EXPECT_TRUE(std::filesystem::is_empty(Scratch.Path));
    }
}

TEST_F(UnattendedSetup, StartupFailureEndsBeforeAnyPage) {
    Desktop.Resources.clear();
    EXPECT_EQ(RunSilent({}), ExitFailure);
    EXPECT_TRUE(Lines.Has("Error: C:\\Setup\\setup.vl1 file is missing!"));
    EXPECT_TRUE(Desktop.Messages.empty());
    EXPECT_EQ(Disk("dict/words.vlm"), "<missing>");
}

TEST_F(WizardTest, CommandLineDirectoriesAndNoLaunchPrefillTheWizard) {
    TMainForm& form = Start();
    TSetupOptions options;
    options.BaseDirectory = "C:\\Some Folder\\Apps";
    options.NoLaunch = true;
    form.ApplySetupOptions(options);
    EXPECT_EQ(Text(N::PVDirectory), "C:\\Some Folder\\Apps");
    EXPECT_EQ(Text(N::DictionaryDirectory), "C:\\Some Folder\\Apps\\EnglishGerman");
    EXPECT_FALSE(Controls.Ticked.at(N::OpenDictionary));
    options.DictionaryDirectory = "D:\\Dict";
    form.ApplySetupOptions(options);
    EXPECT_EQ(Text(N::DictionaryDirectory), "D:\\Dict");
}

// The exact command line, the registry value and where Vellumor goes for a chosen base directory;
// no archive is expanded here, the installed files are given.
TEST_F(WizardTest, LaunchCommandQuotesOnlyTheProjectFile) {
    TMainForm& form = Start();
    Controls.Texts[N::PVDirectory] = "C:\\Apps";
    Desktop.Files["C:\\Apps\\VL\\velmor.exe"] = {"MZ"};
    Desktop.Files["D:\\Dict\\x.vlp"] = {"[Project]"};
    std::string project = "D:\\Dict\\x.vlp";
    form.Engine().CompressorCheckFile(project, pmExpand);
    form.RunInstallation();
    EXPECT_EQ(Desktop.Registry.at("Software\\Parlavox\\Vellumor\\4.0\\RootDir"), "C:\\Apps\\VL");
    EXPECT_EQ(Desktop.StartedCommandLines,
              std::vector<std::string>{"\"C:\\Apps\\VL\\velmor.exe\" \"D:\\Dict\\x.vlp\""});
    EXPECT_EQ(Desktop.StartedApplications, std::vector<std::string>{"C:\\Apps\\VL\\velmor.exe"});
    EXPECT_EQ(Desktop.StartedRoutes, std::vector<TStartRoute>{TStartRoute::Direct});
    EXPECT_EQ(Desktop.StartedDirectories, std::vector<std::string>{"C:\\Apps\\VL"});
}

// An elevated setup hands Vellumor to the desktop's shell, so that it runs with the user's own
// token; when the shell cannot start it, nothing is started and the log says so.
TEST_F(WizardTest, ElevatedSetupStartsVellumorOnlyThroughTheDesktopShell) {
    for (const bool shellFails : {false, true}) {
        SCOPED_TRACE(shellFails ? "the shell fails" : "the shell starts it");
        Desktop.IsElevated = true;
        Desktop.FailingRoutes.clear();
        if (shellFails) Desktop.FailingRoutes = {TStartRoute::DesktopShell};
        Desktop.StartedRoutes.clear();
        Log.Entries.clear();
        TLinesLog lines;
        TMainForm& form = Start();
        form.SetLog(&lines);
        Controls.Texts[N::PVDirectory] = "C:\\Apps";
        Desktop.Files["C:\\Apps\\VL\\velmor.exe"] = {"MZ"};
        Desktop.Files["D:\\Dict\\x.vlp"] = {"[Project]"};
        std::string project = "D:\\Dict\\x.vlp";
        form.Engine().CompressorCheckFile(project, pmExpand);
        form.RunInstallation();
        const std::string commandLine = "\"C:\\Apps\\VL\\velmor.exe\" \"D:\\Dict\\x.vlp\"";
        // Never the direct start, which would hand the administrator's token on.
        EXPECT_FALSE(Log.Contains("Start " + commandLine));
        EXPECT_TRUE(Log.Contains("ShellStart " + commandLine));
        EXPECT_EQ(Desktop.StartedRoutes, shellFails ? std::vector<TStartRoute>{}
                                                    : std::vector<TStartRoute>{TStartRoute::DesktopShell});
        EXPECT_TRUE(lines.Has(shellFails
                                  ? "Not started: the desktop's shell could not start " + commandLine +
                                        ", and the elevated setup does not start it with its own rights"
                                  : "Started through the desktop's shell: " + commandLine));
    }
}

TEST_F(WizardTest, LaunchNeedsTheProjectFileToExist) {
    TMainForm& form = Start();
    Controls.Texts[N::PVDirectory] = "C:\\Apps";
    Desktop.Files["C:\\Apps\\VL\\velmor.exe"] = {"MZ"};
    std::string project = "D:\\Dict\\x.vlp";
    form.Engine().CompressorCheckFile(project, pmExpand);
    form.RunInstallation();
    EXPECT_EQ(Desktop.ProfileWrites.size(), 1u);
    EXPECT_TRUE(Desktop.StartedCommandLines.empty());
}

TEST_F(WizardInstallation, FileInUseBoxNamesItAndContinueFinishesAtRestart) {
    HeldTarget hold(Form->Engine(), Scratch.Path / "dict", "words.vlm");
    Desktop.Answers = {TModalResult::mrContinue};
    Install();
    ASSERT_EQ(Desktop.Messages.size(), 2u);
    EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbCancelTryContinue);
    EXPECT_EQ(Desktop.Messages[0].Text.rfind(Root + "\\dict\\words.vlm is in use by another program.", 0),
              0u);
    EXPECT_EQ(Desktop.Messages[1].Text, SetupRestartMessage);
    EXPECT_EQ(Desktop.Scheduled.size(), 1u);
}

TEST_F(WizardInstallation, TryAgainAfterTheHoldEndsReplacesTheFile) {
    HeldTarget hold(Form->Engine(), Scratch.Path / "dict", "words.vlm");
    // The program lets go once the box has been answered.
    hold.OnWait = [&] {
        if (!Desktop.Messages.empty()) hold.LetGo();
    };
    Desktop.Answers = {TModalResult::mrTryAgain};
    Install();
    ASSERT_EQ(Desktop.Messages.size(), 2u);
    EXPECT_EQ(Desktop.Messages[1].Text, SetupCompleteMessage);
    EXPECT_EQ(Disk("dict/words.vlm"), "apple\tApfel\n");
    EXPECT_TRUE(Desktop.Scheduled.empty());
}

TEST_F(WizardInstallation, RunningVellumorIsClosedOnlyWhenYesIsPressed) {
    for (const TModalResult pressed : {TModalResult::mrNone, TModalResult::mrYes}) {
        std::filesystem::create_directories(Scratch.Path / "apps/VL");
        Scratch.Write("apps/VL/velmor.exe", {'o', 'l', 'd'});
        Desktop.Holders[VellumorDir() + "\\velmor.exe"] = "Vellumor";
        Desktop.ProgramCalls.clear();
        Desktop.Messages.clear();
        Desktop.Answers = {pressed};
        Start();
        Controls.Texts[N::PVDirectory] = Root + "\\apps";
        Controls.Texts[N::DictionaryDirectory] = Root + "\\dict";
        Install();
        ASSERT_FALSE(Desktop.Messages.empty());
        EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbYesNo);
        EXPECT_EQ(
            Desktop.Messages[0].Text.rfind("Vellumor is running and uses files that setup must replace.", 0),
            0u);
        EXPECT_EQ(std::count(Desktop.ProgramCalls.begin(), Desktop.ProgramCalls.end(), "ClosePrograms"),
                  pressed == TModalResult::mrYes ? 1 : 0);
    }
}

} // namespace
