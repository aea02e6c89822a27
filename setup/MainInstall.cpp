// TMainForm's installation procedure, run by the Install button: both archives are expanded, the
// Vellumor directory goes into the registry, the Start-menu shortcuts are made, the outcome is
// reported and the wizard closes; then the installed project is marked as deployed and Vellumor
// is started on it when the user asked for that. Nothing is rolled back after a failure. While an
// archive is expanded, Compressor asks about each member's target (CompressorCheckFile) and reports
// its progress (CompressorShowProgress).
#include "setup/MainForm.h"

#include "compress/archive/MemberNameRules.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "setup/install/ExistingFilePolicy.h"

#include <algorithm>

namespace {
const char* const VellumorExe = "velmor.exe";

// An installation folder that already exists as a junction or symbolic link: what the setup
// would write there lands wherever the link leads, which whoever made the link chose.
class ELinkedFolder : public Exception {
    using Exception::Exception;
};

void RefuseLinkedFolder(TFiles& files, const std::string& folder) {
    if (files.IsReparsePoint(folder))
        throw ELinkedFolder(
            "The folder " + folder +
            " is a link (a junction or symbolic link) to another place. Choose another folder.");
}

// Ends one archive's expansion on every way out: the stream first, then the member directory.
class TArchiveRun {
public:
    TArchiveRun(TArchiver& archiver, TDirectoryList*& memberList, std::unique_ptr<TStream> stream,
                TDirectoryList list)
        : Archiver(archiver), MemberList(memberList), Stream(std::move(stream)), List(std::move(list)) {
        MemberList = &List;
    }
    ~TArchiveRun() {
        Stream.reset();
        Archiver.FreeDirectory(&List);
        MemberList = nullptr;
    }
    TArchiveRun(const TArchiveRun&) = delete;
    TArchiveRun& operator=(const TArchiveRun&) = delete;

    TStream& Source() { return *Stream; }

private:
    TArchiver& Archiver;
    TDirectoryList*& MemberList;
    std::unique_ptr<TStream> Stream;
    TDirectoryList List;
};
} // namespace

void TMainForm::RunInstallation() {
    Journal.Clear();
    Registration.Clear();
    Controls.SetBusyCursor(true);
    try {
        Controls.SetVisible(TControlName::ProgressBarLabel, true);
        Controls.Repaint(TControlName::ProgressBarLabel);
        Controls.SetVisible(TControlName::ProgressBar, true);
        Controls.SetEnabled(TControlName::BackButton, false);
        Controls.SetEnabled(TControlName::CancelButton, false);

        // Both folders and both archives' member names are checked before anything is written.
        RefuseLinkedFolder(Desktop.Files, Controls.Text(TControlName::DictionaryDirectory));
        RefuseLinkedFolder(Desktop.Files, GetVellumorDirectory());
        OpenInstallArchive("DICTIONARY");
        OpenInstallArchive("VELLUMOR");
        InstallArchive("DICTIONARY", Controls.Text(TControlName::DictionaryDirectory));
        InstallArchive("VELLUMOR", GetVellumorDirectory());
        Desktop.Registry.WriteMachineRegistryString(VellumorRegistryKey, VellumorRegistryValue,
                                                    GetVellumorDirectory());
        Journal.AddValue(VellumorRegistryKey, VellumorRegistryValue, GetVellumorDirectory());
        Note(std::string("Registry: HKLM\\") + VellumorRegistryKey + " " + VellumorRegistryValue + " = " +
             GetVellumorDirectory());

        // Without a Programs folder there is no place for the program group.
        const std::string programs = Desktop.Shortcuts.ProgramsFolder();
        if (!programs.empty()) {
            Journal.SetProgramGroup(programs + "\\Parlavox");
            Desktop.Files.MakeDirectory(Journal.ProgramGroupFolder());
            CreateShortcutIfPresent(GetVellumorDirectory(), VellumorExe, "Vellumor.lnk");
            CreateShortcutIfPresent(GetVellumorDirectory(), "velmor.pdf", "Vellumor Manual.lnk");
        }
        Registration.Register({Support.DictionaryName, Controls.Text(TControlName::Description),
                               Controls.Text(TControlName::Author), Support.Created.value_or(0),
                               Controls.Text(TControlName::DictionaryDirectory), GetVellumorDirectory()});
        ShowMessage("Parlavox Dictionary setup complete.", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    } catch (const ELinkedFolder& e) {
        ShowMessage(e.Message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        ReportFailure(e.Message);
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    } catch (...) {
        ReportFailure("unknown error");
    }
    OpenedArchives.clear();
    Controls.SetBusyCursor(false);
    Controls.Close();

    // No project file was met: there is nothing to mark and nothing to open.
    const std::string& projectFile = Journal.ProjectFile();
    if (projectFile.empty()) {
        Registration.SaveUninstallRecord();
        return;
    }
    const bool marked = Desktop.Files.WritePrivateProfile("Project", "Deployed", "1", projectFile);
    // Recorded after the mark, so that the mark does not count as a change on uninstall.
    Registration.SaveUninstallRecord();
    if (!marked) throw EIniFileException("Unable to write to " + projectFile);
    Note("Project marked: " + projectFile + " [Project] Deployed=1");
    const std::string exePath = GetVellumorDirectory() + "\\" + VellumorExe;
    if (Controls.Checked(TControlName::OpenDictionary) && Desktop.Files.FileExists(exePath) &&
        Desktop.Files.FileExists(projectFile))
        LaunchVellumor(exePath);
}

void TMainForm::LaunchVellumor(const std::string& exePath) {
    const std::string parameters = "\"" + Journal.ProjectFile() + "\"";
    const std::string commandLine = "\"" + exePath + "\" " + parameters;
    const bool elevated = Desktop.Module.Elevated();
    for (const TStartRoute route : StartRoutes(elevated)) {
        if (!Desktop.Starter.StartProcess(route, exePath, parameters, GetVellumorDirectory())) continue;
        Note((route == TStartRoute::DesktopShell ? "Started through the desktop's shell: " : "Started: ") +
             commandLine);
        return;
    }
    Note(elevated ? "Not started: the desktop's shell could not start " + commandLine +
                        ", and the elevated setup does not start it with its own rights"
                  : "Not started: " + commandLine);
}

void TMainForm::ReportFailure(const std::string& reason) {
    // The box does not say why; the log does.
    Journal.FailPendingFile();
    Note("Error: " + reason);
    ShowMessage("Parlavox Dictionary setup failed!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
}

void TMainForm::OpenInstallArchive(const std::string& archiveName) {
    TOpenedArchive opened;
    opened.Name = archiveName;
    try {
        opened.Stream = Desktop.Module.OpenArchiveResource(Compressor, archiveName);
    } catch (...) {
        // A missing or unreadable resource is not an error: the fallback file may stand in.
    }
    if (!opened.Stream) {
        int number = 0;
        if (archiveName == "DICTIONARY") number = 2;
        if (archiveName == "VELLUMOR") number = 3;
        if (number == 0) return;
        const std::string path = GetFallbackFileName(number);
        if (!Desktop.Files.FileExists(path)) return;
        // Read whole, so that what was checked is what gets expanded: the file lies in a folder
        // that others may write to while the setup runs.
        std::unique_ptr<TStream> file = Desktop.Files.OpenFileRead(path);
        opened.Stream = std::make_unique<TMemoryStream>(ReadAll(*file));
        opened.FallbackFile = path;
    }
    // The member directory read for the check serves the expansion too.
    Compressor.ReadDirectory(*opened.Stream, opened.Directory);
    opened.Stream->Seek(0, TSeekOrigin::Begin);
    for (const TDirectoryEntry& entry : opened.Directory)
        if (IsEscapingMemberName(entry.Name, TNameRules::Windows))
            throw EDamagedArchive(
                "unsafe member name \"" + entry.Name + "\" in " +
                (opened.FallbackFile.empty() ? "archive " + archiveName : opened.FallbackFile));
    std::erase_if(OpenedArchives, [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    OpenedArchives.push_back(std::move(opened));
}

void TMainForm::InstallArchive(const std::string& archiveName, const std::string& destination) {
    Journal.SetPart(archiveName == "VELLUMOR" ? TRecordPart::Vellumor : TRecordPart::Dictionary);
    Compressor.SetTargetPath(destination);
    auto opened = [&] {
        return std::find_if(OpenedArchives.begin(), OpenedArchives.end(),
                            [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    };
    if (opened() == OpenedArchives.end()) OpenInstallArchive(archiveName);
    const auto found = opened();
    if (found == OpenedArchives.end()) {
        Note("Archive " + archiveName + ": not found, skipped");
        return;
    }
    TOpenedArchive archive = std::move(*found);
    OpenedArchives.erase(found);
    Note("Archive " + archiveName + ": " +
         (archive.FallbackFile.empty() ? "embedded, into " : archive.FallbackFile + " into ") + destination);

    TArchiveRun run(Compressor, MemberList, std::move(archive.Stream), std::move(archive.Directory));
    Compressor.ExpandArchive(run.Source(), nullptr);
    Journal.FinishPendingFile();
}

void TMainForm::CreateShortcutIfPresent(const std::string& directory, const std::string& fileName,
                                        const std::string& shortcutName) {
    if (!Desktop.Files.FileExists(directory + "\\" + fileName)) return;
    const std::string linkPath = Journal.ProgramGroupFolder() + "\\" + shortcutName;
    try {
        if (CreateShellLink(directory, fileName, linkPath, "") >= 0) {
            Note("Shortcut: " + linkPath + " -> " + directory + "\\" + fileName);
            Journal.AddShortcut(linkPath);
        } else
            Note("Shortcut not created: " + linkPath);
    } catch (...) {
        // A shortcut that cannot be made is not worth failing the installation for.
    }
}

int32_t TMainForm::CreateShellLink(const std::string& directory, const std::string& fileName,
                                   const std::string& shortcutPath, const std::string& description) {
    return Desktop.Shortcuts.CreateShellLink(directory + "\\" + fileName, directory, description,
                                             shortcutPath);
}

void TMainForm::CompressorCheckFile(std::string& filepath, TProcessMode) {
    if (!Journal.BeginFile(filepath)) return;
    const TExistingFileChoice choice =
        DecideExistingFile(Desktop.Files, filepath, MemberList, [this](const std::string& question) {
            return ShowMessage(question, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo) !=
                   TModalResult::mrNo;
        });
    if (choice == TExistingFileChoice::Write) return;
    Journal.KeepPendingFile(
        choice == TExistingFileChoice::KeepUserFile ? "user file" : "newer than the file to be installed");
    filepath.clear();
}

void TMainForm::CompressorShowProgress(int32_t& PercentageDone) {
    // Reports often repeat a position (a member's last chunk reports 100, then its end does);
    // the bar is moved, and so repainted, only when the position changes.
    if (PercentageDone == FProgressPosition) return;
    FProgressPosition = PercentageDone;
    Controls.SetProgress(PercentageDone);
}
