// The uninstaller's decisions against the fake desktop: what goes, what stays (user files, changed
// files, Vellumor while another dictionary uses it), the registry keys it empties and the folders
// and files it hands on to the dictionaries that remain; and the lines of a record that the
// registry does not confirm, which it skips.
#include "setup/unattended/CommandLine.h"
#include "setup/uninstall/Uninstaller.h"
#include "tests/setup/FakeDesktop.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const std::string UninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string Group = "C:\\Users\\pat\\Start Menu\\Programs\\Parlavox";

// Two dictionaries installed over one Vellumor, as the installation leaves them.
class Uninstalling : public ::testing::Test {
protected:
    Uninstalling() {
        A = MakeRecord("A", "C:\\Apps\\DictA", {"a.vlm", "a.vlp"});
        B = MakeRecord("B", "C:\\Apps\\DictB", {"b.vlm"});
        A.Folders.insert(A.Folders.begin(), {{TRecordPart::Dictionary, "C:\\Apps"}});
        A.Folders.push_back({TRecordPart::Vellumor, "C:\\Apps\\VL"});
        A.Folders.push_back({TRecordPart::Vellumor, "C:\\Apps\\VL\\lang"});
        Desktop.Registry[UninstallKey + "Parlavox A\\CreatedAboveDictionary"] = "C:\\Apps";
        Desktop.Files["C:\\Apps\\DictA\\uninstall.dat"] = {A.Text()};
        Desktop.Registry["Software\\Parlavox\\Vellumor\\4.0\\RootDir"] = "C:\\Apps\\VL";
        Desktop.Files[Group + "\\Vellumor.lnk"] = {"lnk"};
        for (const std::string& folder :
             {Group, std::string("C:\\Apps"), std::string("C:\\Apps\\VL"), std::string("C:\\Apps\\VL\\lang"),
              std::string("C:\\Apps\\DictA"), std::string("C:\\Apps\\DictB")})
            Desktop.Directories.insert(folder);
    }

    TUninstallRecord MakeRecord(const std::string& id, const std::string& dir,
                                std::vector<std::string> names) {
        TUninstallRecord r;
        r.KeyName = "Parlavox " + id;
        r.DisplayName = "Parlavox Dictionary: " + id;
        r.DictionaryDirectory = dir;
        r.VellumorDirectory = "C:\\Apps\\VL";
        r.ProgramGroup = Group;
        r.Shortcuts = {Group + "\\Vellumor.lnk"};
        r.Values = {{"Software\\Parlavox\\Vellumor\\4.0", "RootDir", "C:\\Apps\\VL"}};
        r.Folders = {{TRecordPart::Dictionary, dir}};
        for (const std::string& name : names) Put(r, TRecordPart::Dictionary, dir + "\\" + name);
        for (const char* name : {"velmor.exe", "velmor.pvl", "lang\\en.lng"})
            Put(r, TRecordPart::Vellumor, "C:\\Apps\\VL\\" + std::string(name));
        Desktop.Files[dir + "\\uninstall.exe"] = {"MZ"};
        Desktop.Files[dir + "\\uninstall.dat"] = {r.Text()};
        for (const char* value : {"DisplayName", "QuietUninstallString"})
            Desktop.Registry[UninstallKey + r.KeyName + "\\" + value] = "x";
        Desktop.Registry[UninstallKey + r.KeyName + "\\InstallLocation"] = dir;
        Desktop.Registry["Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\" + r.KeyName] = "C:\\Apps\\VL";
        return r;
    }
    // A file with bytes on the disk, recorded as written by r.
    void Put(TUninstallRecord& r, TRecordPart part, const std::string& path, const std::string& bytes = "") {
        Desktop.Files[path] = {bytes.empty() ? "bytes of " + path : bytes};
        const std::string& now = Desktop.Files[path].Bytes;
        r.Files.push_back({part, path, static_cast<int64_t>(now.size()),
                           UpdateCrc32(0, reinterpret_cast<const uint8_t*>(now.data()), now.size())});
    }
    void Save(const TUninstallRecord& r, const std::string& dir) {
        Desktop.Files[dir + "\\uninstall.dat"] = {r.Text()};
    }
    bool Has(const std::string& path) { return Desktop.Files.count(path) > 0; }
    bool HasKey(const std::string& entry) { return Desktop.Registry.count(entry) > 0; }

    TCallLog Log;
    TFakeDesktop Desktop{Log};
    TUninstallRecord A, B;
};

TEST_F(Uninstalling, FirstOfTwoLeavesVellumorAndHandsOnItsFolders) {
    const TUninstallOutcome outcome = TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", true);
    EXPECT_EQ(outcome.ExitCode, ExitSuccess);
    EXPECT_TRUE(outcome.Removed);
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\a.vlm") || Has("C:\\Apps\\DictA\\uninstall.dat"));
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\uninstall.exe")); // goes once it has ended
    EXPECT_TRUE(Has("C:\\Apps\\VL\\velmor.exe") && Has(Group + "\\Vellumor.lnk") &&
                Has("C:\\Apps\\DictB\\b.vlm"));
    EXPECT_TRUE(HasKey("Software\\Parlavox\\Vellumor\\4.0\\RootDir"));
    EXPECT_FALSE(HasKey(UninstallKey + "Parlavox A\\DisplayName"));
    EXPECT_TRUE(HasKey(UninstallKey + "Parlavox B\\DisplayName"));
    EXPECT_FALSE(HasKey("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox A"));
    // Its own folder holds the uninstaller; C:\Apps and Vellumor's are still in use by B.
    EXPECT_EQ(outcome.FoldersAfterSelf, (std::vector<std::string>{"C:\\Apps\\DictA", "C:\\Apps"}));
    for (const char* folder : {"C:\\Apps", "C:\\Apps\\VL", "C:\\Apps\\VL\\lang"})
        EXPECT_TRUE(HasKey(std::string(LeftFoldersKey) + "\\" + folder)) << folder;
    EXPECT_FALSE(HasKey(std::string(LeftFoldersKey) + "\\C:\\Apps\\DictA"));
}

// The log names the folders in the order they go: deepest first, those as deep as recorded.
TEST_F(Uninstalling, FoldersGoDeepestFirstThoseAsDeepInTheRecordsOrder) {
    for (const char* folder : {"C:\\Apps\\DictA\\zz", "C:\\Apps\\DictA\\aa\\deep", "C:\\Apps\\DictA\\aa"}) {
        A.Folders.push_back({TRecordPart::Dictionary, folder});
        Desktop.Directories.insert(folder);
    }
    Save(A, "C:\\Apps\\DictA");
    TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", true);
    const int deep = Log.IndexOf("RemoveDirectory C:\\Apps\\DictA\\aa\\deep");
    const int zz = Log.IndexOf("RemoveDirectory C:\\Apps\\DictA\\zz");
    const int aa = Log.IndexOf("RemoveDirectory C:\\Apps\\DictA\\aa");
    ASSERT_GE(deep, 0);
    EXPECT_LT(deep, zz);
    EXPECT_LT(zz, aa);
}

TEST_F(Uninstalling, LastRemovesVellumorButKeepsUserAndChangedFiles) {
    TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", true);
    Desktop.Files["C:\\Apps\\DictA\\uninstall.exe"].Bytes.clear();
    Desktop.Files.erase("C:\\Apps\\DictA\\uninstall.exe");
    Desktop.Files["C:\\Apps\\DictB\\b.vlm"].Bytes += "hand-made change";
    Desktop.Messages.clear();
    const TUninstallOutcome outcome = TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictB", false);
    EXPECT_EQ(outcome.ExitCode, ExitSuccess);
    EXPECT_FALSE(Has("C:\\Apps\\VL\\velmor.exe") || Has("C:\\Apps\\VL\\lang\\en.lng"));
    EXPECT_FALSE(Has(Group + "\\Vellumor.lnk") || Desktop.Directories.count(Group));
    EXPECT_TRUE(Has("C:\\Apps\\VL\\velmor.pvl"));
    EXPECT_TRUE(Has("C:\\Apps\\DictB\\b.vlm"));
    // Only B's uninstaller is left in the registry's view of the world: nothing at all.
    for (const auto& [entry, value] : Desktop.Registry) ADD_FAILURE() << "left in the registry: " << entry;
    // VL\lang was handed on by A and is empty now; VL keeps the user's list.
    EXPECT_TRUE(Log.Contains("RemoveDirectory C:\\Apps\\VL\\lang"));
    EXPECT_EQ(outcome.FoldersAfterSelf, (std::vector<std::string>{"C:\\Apps\\DictB", "C:\\Apps"}));
    ASSERT_EQ(Desktop.Messages.size(), 2u);
    EXPECT_EQ(Desktop.Messages[1].Text, "Parlavox Dictionary: B was removed.\n\nThese files were kept:\n"
                                        "C:\\Apps\\DictB\\b.vlm (changed since it was installed)\n"
                                        "C:\\Apps\\VL\\velmor.pvl (your file)");
}

TEST_F(Uninstalling, RootDirOfALaterInstallationElsewhereStays) {
    Desktop.Registry.erase("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox B");
    Desktop.Registry["Software\\Parlavox\\Vellumor\\4.0\\RootDir"] = "D:\\Other\\VL";
    TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", true);
    EXPECT_FALSE(Has("C:\\Apps\\VL\\velmor.exe"));
    EXPECT_EQ(Desktop.Registry.at("Software\\Parlavox\\Vellumor\\4.0\\RootDir"), "D:\\Other\\VL");
}

TEST_F(Uninstalling, LinesTheRegistryDoesNotConfirmAreSkippedAndNamed) {
    Desktop.Registry.erase("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox B"); // A is the last
    // Victims with their true digests, as anyone can compute them.
    Put(A, TRecordPart::Dictionary, "C:\\Windows\\system.ini");
    Put(A, TRecordPart::Vellumor, "C:\\Apps2\\VL\\a.dll");
    Put(A, TRecordPart::Dictionary, "C:\\Apps\\DictA\\..\\DictB\\b.vlm");
    // A junction that the user made in the installation's folder, to C:\Windows\System32.
    Put(A, TRecordPart::Dictionary, "C:\\Apps\\DictA\\sys\\drivers\\kernel32.dll");
    Desktop.ReparsePoints.insert("C:\\Apps\\DictA\\sys");
    Desktop.Files["C:\\Users\\pat\\Desktop\\Mail.lnk"] = {"lnk"};
    A.Shortcuts.push_back("C:\\Users\\pat\\Desktop\\Mail.lnk");
    A.Folders.push_back({TRecordPart::Dictionary, "C:\\"});
    A.Folders.push_back({TRecordPart::Dictionary, "C:\\Apps\\Empty"});
    Desktop.Directories.insert("C:\\Apps\\Empty");
    A.Values.push_back({"Software\\Victim", "Setting", "on"});
    Desktop.Registry["Software\\Victim\\Setting"] = "on";
    A.DictionaryDirectory = A.VellumorDirectory = "C:\\";
    Save(A, "C:\\Apps\\DictA");
    TLinesLog lines;
    EXPECT_EQ(TUninstaller(Desktop, &lines).Run("C:\\Apps\\DictA", true).ExitCode, ExitSuccess);
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\sys\\drivers\\kernel32.dll"));
    EXPECT_TRUE(Has("C:\\Windows\\system.ini") && Has("C:\\Apps2\\VL\\a.dll") &&
                Has("C:\\Apps\\DictB\\b.vlm"));
    EXPECT_TRUE(Has("C:\\Users\\pat\\Desktop\\Mail.lnk") && Desktop.Directories.count("C:\\Apps\\Empty"));
    EXPECT_EQ(Desktop.Registry.at("Software\\Victim\\Setting"), "on");
    // What the registry confirms still goes.
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\a.vlm") || Has("C:\\Apps\\VL\\velmor.exe") ||
                 Has(Group + "\\Vellumor.lnk"));
    for (const char* line :
         {"Skipped file behind a link: C:\\Apps\\DictA\\sys\\drivers\\kernel32.dll",
          "Skipped dictionary line: C:\\ (the registry records C:\\Apps\\DictA)",
          "Skipped vellumor line: C:\\ (the registry records C:\\Apps\\VL)",
          "Skipped file line: C:\\Windows\\system.ini (outside the installation's folders)",
          "Skipped file line: C:\\Apps2\\VL\\a.dll (outside the installation's folders)",
          "Skipped file line: C:\\Apps\\DictA\\..\\DictB\\b.vlm (outside the installation's folders)",
          "Skipped shortcut line: C:\\Users\\pat\\Desktop\\Mail.lnk (not in the Start-menu group)",
          "Skipped folder line: C:\\ (not one of the installation's folders)",
          "Skipped folder line: C:\\Apps\\Empty (not one of the installation's folders)",
          "Skipped value line: HKLM\\Software\\Victim Setting (not a value this setup writes)"})
        EXPECT_TRUE(lines.Has(line)) << line;
}

// A folder of the installation's own that a user turned into a link, and a record line for a folder
// behind it: the folder the link leads to is never removed, nor a file that a link above the
// installation folder leads to; the log names each.
TEST_F(Uninstalling, NothingIsRemovedThroughALinkAtAnyLevel) {
    Desktop.Registry.erase("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox B"); // A is the last
    Desktop.ReparsePoints.insert("C:\\Apps\\DictA\\inner");
    Desktop.Directories.insert("C:\\Apps\\DictA\\inner\\Empty");
    A.Folders.push_back({TRecordPart::Dictionary, "C:\\Apps\\DictA\\inner"});
    A.Folders.push_back({TRecordPart::Dictionary, "C:\\Apps\\DictA\\inner\\Empty"});
    Save(A, "C:\\Apps\\DictA");
    TLinesLog lines;
    EXPECT_EQ(TUninstaller(Desktop, &lines).Run("C:\\Apps\\DictA", true).ExitCode, ExitSuccess);
    EXPECT_TRUE(Desktop.Directories.count("C:\\Apps\\DictA\\inner\\Empty"));
    EXPECT_TRUE(Desktop.DirectoryExists("C:\\Apps\\DictA\\inner"));
    EXPECT_FALSE(Log.Contains("RemoveDirectory C:\\Apps\\DictA\\inner"));
    EXPECT_TRUE(lines.Has("Skipped folder behind a link: C:\\Apps\\DictA\\inner\\Empty"));
    EXPECT_TRUE(lines.Has("Skipped folder behind a link: C:\\Apps\\DictA\\inner"));
    // The rest goes as ever.
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\a.vlm") || Has("C:\\Apps\\VL\\velmor.exe"));
}

// A file changed after the uninstaller's first look: the removal reads it again through the
// handle it would remove it with, and keeps it.
TEST_F(Uninstalling, FileChangedBeforeItsRemovalIsKept) {
    Desktop.Registry.erase("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox B");
    Desktop.ChangeBeforeRemoval["C:\\Apps\\DictA\\a.vlm"] = "the user's words";
    TLinesLog lines;
    TUninstaller(Desktop, &lines).Run("C:\\Apps\\DictA", true);
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\a.vlm"));
    EXPECT_TRUE(lines.Has("Kept: C:\\Apps\\DictA\\a.vlm (changed since it was installed)"))
        << ::testing::PrintToString(lines.Lines);
    EXPECT_FALSE(Has("C:\\Apps\\VL\\velmor.exe"));
}

// A link above the installation's folders, which the checks on names see only once: every file
// below it is skipped and named, and none is removed through it.
TEST_F(Uninstalling, ALinkAboveTheInstallationFoldersRemovesNothingBelowIt) {
    Desktop.Registry.erase("Software\\Parlavox\\Vellumor\\4.0\\Dictionaries\\Parlavox B");
    Desktop.ReparsePoints.insert("C:\\Apps");
    TLinesLog lines;
    TUninstaller(Desktop, &lines).Run("C:\\Apps\\DictA", true);
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\a.vlm") && Has("C:\\Apps\\VL\\velmor.exe"));
    EXPECT_TRUE(lines.Has("Skipped file behind a link: C:\\Apps\\DictA\\a.vlm"));
    EXPECT_TRUE(lines.Has("Skipped file behind a link: C:\\Apps\\VL\\lang\\en.lng"));
    EXPECT_TRUE(Desktop.Directories.count("C:\\Apps\\VL"));
    // Asked once for each folder, however many files lie below it.
    EXPECT_EQ(std::count(Desktop.ReparseQueries.begin(), Desktop.ReparseQueries.end(), "C:\\Apps"), 1);
}

TEST_F(Uninstalling, RecordOfAnotherPlaceRemovesNothing) {
    // A's record copied beside an uninstaller in a folder the registry does not know.
    Desktop.Files["C:\\Users\\pat\\uninstall.dat"] = Desktop.Files["C:\\Apps\\DictA\\uninstall.dat"];
    const auto files = Desktop.Files.size();
    const TUninstallOutcome outcome = TUninstaller(Desktop, nullptr).Run("C:\\Users\\pat", false);
    EXPECT_EQ(outcome.ExitCode, ExitFailure);
    EXPECT_FALSE(outcome.Removed);
    EXPECT_EQ(Desktop.Files.size(), files);
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text,
              "The registry records no installation of Parlavox Dictionary: A in C:\\Users\\pat");
}

TEST_F(Uninstalling, LastOfAVellumorFolderRemovesWhatEveryDictionaryWroteThere) {
    // B's Vellumor archive brought a file A's did not, and a newer velmor.exe over A's.
    Put(B, TRecordPart::Vellumor, "C:\\Apps\\VL\\readme.txt");
    Put(B, TRecordPart::Vellumor, "C:\\Apps\\VL\\lang\\de.lng");
    B.Files.erase(B.Files.begin() + 1); // its velmor.exe, written again below
    Put(B, TRecordPart::Vellumor, "C:\\Apps\\VL\\velmor.exe", "newer velmor");
    Save(B, "C:\\Apps\\DictB");
    TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictB", true);
    EXPECT_TRUE(Has("C:\\Apps\\VL\\readme.txt") && Has("C:\\Apps\\VL\\velmor.exe"));
    Desktop.Files["C:\\Apps\\VL\\lang\\de.lng"].Bytes += "hand-made change";
    Desktop.Messages.clear();
    TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", false);
    EXPECT_FALSE(Has("C:\\Apps\\VL\\readme.txt") || Has("C:\\Apps\\VL\\velmor.exe"));
    ASSERT_EQ(Desktop.Messages.size(), 2u);
    EXPECT_EQ(Desktop.Messages[1].Text, "Parlavox Dictionary: A was removed.\n\nThese files were kept:\n"
                                        "C:\\Apps\\VL\\velmor.pvl (your file)\n"
                                        "C:\\Apps\\VL\\lang\\de.lng (changed since it was installed)");
    for (const auto& [entry, value] : Desktop.Registry)
        if (entry.rfind("Software\\Parlavox", 0) == 0) ADD_FAILURE() << "left in the registry: " << entry;
}

TEST_F(Uninstalling, AnswerNoRemovesNothing) {
    Desktop.Answers = {TModalResult::mrNo};
    const auto files = Desktop.Files.size();
    const TUninstallOutcome outcome = TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", false);
    ASSERT_EQ(Desktop.Messages.size(), 1u);
    EXPECT_EQ(Desktop.Messages[0].Text, "Remove Parlavox Dictionary: A and its files?");
    EXPECT_EQ(Desktop.Messages[0].Buttons, TMsgDlgButtons::mbYesNo);
    EXPECT_EQ(outcome.ExitCode, ExitFailure);
    EXPECT_FALSE(outcome.Removed);
    EXPECT_EQ(Desktop.Files.size(), files);
    EXPECT_TRUE(HasKey(UninstallKey + "Parlavox A\\DisplayName"));
}

TEST_F(Uninstalling, MissingRecordFailsWithoutTouchingAnything) {
    Desktop.Files.erase("C:\\Apps\\DictA\\uninstall.dat");
    const TUninstallOutcome outcome = TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictA", true);
    EXPECT_EQ(outcome.ExitCode, ExitFailure);
    EXPECT_FALSE(outcome.Removed);
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\a.vlm"));
    EXPECT_TRUE(Desktop.Messages.empty());
}

} // namespace

// Files in use: removed at the next restart, or, when even that cannot be arranged, everything
// that lets a later uninstall find them stays.
class UninstallingInUse : public Uninstalling {
protected:
    UninstallingInUse() {
        // B goes first, so that A is the last of Vellumor and takes velmor.exe with it.
        TUninstaller(Desktop, nullptr).Run("C:\\Apps\\DictB", true);
        Desktop.Files.erase("C:\\Apps\\DictB\\uninstall.exe");
        Desktop.Scheduled.clear();
        Desktop.ProgramCalls.clear();
        Desktop.InUse.insert(Exe);
    }
    TUninstallOutcome Run(bool closePrograms = false) {
        TLinesLog lines;
        TUninstallOutcome outcome = TUninstaller(Desktop, &lines).Run("C:\\Apps\\DictA", true, closePrograms);
        Lines = lines.Lines;
        return outcome;
    }
    bool Noted(const std::string& line) const {
        return std::find(Lines.begin(), Lines.end(), line) != Lines.end();
    }

    const std::string Exe = "C:\\Apps\\VL\\velmor.exe";
    std::vector<std::string> Lines;
};

TEST_F(UninstallingInUse, RunningProgramIsRemovedAtRestartWithItsFolderAfterIt) {
    const TUninstallOutcome outcome = Run();
    EXPECT_EQ(outcome.ExitCode, ExitRestartNeeded);
    EXPECT_TRUE(outcome.Removed);
    // The file first, then its folder, which the restart finds empty.
    EXPECT_EQ(Desktop.Scheduled, (std::vector<std::string>{Exe + " -> ", "C:\\Apps\\VL -> "}));
    EXPECT_TRUE(Noted("Removed at restart: " + Exe));
    EXPECT_FALSE(Noted("Removed: " + Exe));
    // Everything is removed or scheduled: the registration and the record may go.
    EXPECT_FALSE(HasKey(UninstallKey + "Parlavox A\\DisplayName"));
    EXPECT_FALSE(HasKey("Software\\Parlavox\\Vellumor\\4.0\\RootDir"));
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\uninstall.dat"));
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\a.vlm"));
}

TEST_F(UninstallingInUse, FileThatCannotBeScheduledKeepsRecordAndRegistration) {
    Desktop.ScheduleFails = true;
    const TUninstallOutcome outcome = Run();
    EXPECT_EQ(outcome.ExitCode, ExitFailure);
    // The uninstaller and its record stay, and the registry still leads to them.
    EXPECT_FALSE(outcome.Removed);
    EXPECT_TRUE(Has("C:\\Apps\\DictA\\uninstall.dat"));
    EXPECT_TRUE(HasKey(UninstallKey + "Parlavox A\\DisplayName"));
    EXPECT_TRUE(HasKey("Software\\Parlavox\\Vellumor\\4.0\\RootDir"));
    EXPECT_TRUE(Has(Exe));
    EXPECT_TRUE(Noted("Kept: " + Exe + " (in use)"));
    // The files that could go, went.
    EXPECT_FALSE(Has("C:\\Apps\\DictA\\a.vlm"));
}

TEST_F(UninstallingInUse, ProgramIsNamedAndClosedOnlyWhenAsked) {
    Desktop.Holders[Exe] = "Vellumor";
    EXPECT_EQ(Run().ExitCode, ExitRestartNeeded);
    EXPECT_TRUE(
        Noted("Question: Vellumor is running and uses files to be removed. Close it and continue? (No: "
              "files still in use are removed when Windows restarts next.)"));
    EXPECT_TRUE(Noted("Answer: No"));
    EXPECT_EQ(std::count(Desktop.ProgramCalls.begin(), Desktop.ProgramCalls.end(), "ClosePrograms"), 0);
}

TEST_F(UninstallingInUse, ClosedProgramLetsTheFileGoNow) {
    Desktop.Holders[Exe] = "Vellumor";
    EXPECT_EQ(Run(true).ExitCode, ExitSuccess);
    EXPECT_FALSE(Has(Exe));
    EXPECT_TRUE(Desktop.Scheduled.empty());
    EXPECT_EQ(Desktop.ProgramCalls,
              (std::vector<std::string>{"ProgramsUsing", "ClosePrograms", "RestartPrograms", "EndSession"}));
    // Only files that are to go are asked about: not the user's list nor the changed files.
    EXPECT_EQ(std::count(Desktop.AskedAbout.begin(), Desktop.AskedAbout.end(), "C:\\Apps\\VL\\velmor.pvl"),
              0);
}
