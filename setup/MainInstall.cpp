// TMainForm's installation procedure, run by the Install button: both archives are expanded, the
// Vellumor directory goes into the registry, the Start-menu shortcuts are made, the outcome is
// reported and the wizard closes; then the installed project is marked as deployed and Vellumor
// is started on it when the user asked for that. Nothing is rolled back after a failure.
#include "setup/MainForm.h"

#include "setup/unattended/InstallLog.h"

namespace {
const char* const VellumorExe = "velmor.exe";

// Ends one archive's expansion on every way out: the stream first, then the member directory.
class TArchiveRun {
public:
    TArchiveRun(TArchiver& archiver, TDirectoryList*& memberList, std::unique_ptr<TStream> stream)
        : Archiver(archiver), MemberList(memberList), Stream(std::move(stream)) {
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
    TDirectoryList& Directory() { return List; }

private:
    TArchiver& Archiver;
    TDirectoryList*& MemberList;
    std::unique_ptr<TStream> Stream;
    TDirectoryList List;
};
} // namespace

void TMainForm::RunInstallation() {
    WrittenFiles.clear();
    CreatedFolders.clear();
    CreatedShortcuts.clear();
    Registered = false;
    EarlierInstallation.reset();
    Controls.SetBusyCursor(true);
    try {
        Controls.SetVisible(TControlName::ProgressBarLabel, true);
        Controls.Repaint(TControlName::ProgressBarLabel);
        Controls.SetVisible(TControlName::ProgressBar, true);
        Controls.SetEnabled(TControlName::BackButton, false);
        Controls.SetEnabled(TControlName::CancelButton, false);

        InstallArchive("DICTIONARY", Controls.Text(TControlName::DictionaryDirectory));
        InstallArchive("VELLUMOR", GetVellumorDirectory());
        Desktop.WriteMachineRegistryString(VellumorRegistryKey, VellumorRegistryValue,
                                           GetVellumorDirectory());
        Note(std::string("Registry: HKLM\\") + VellumorRegistryKey + " " + VellumorRegistryValue + " = " +
             GetVellumorDirectory());

        // Without a Programs folder there is no place for the program group.
        const std::string programs = Desktop.ProgramsFolder();
        if (!programs.empty()) {
            FProgramGroup = programs + "\\Parlavox";
            Desktop.MakeDirectory(FProgramGroup);
            CreateShortcutIfPresent(GetVellumorDirectory(), VellumorExe, "Vellumor.lnk");
            CreateShortcutIfPresent(GetVellumorDirectory(), "velmor.pdf", "Vellumor Manual.lnk");
        }
        RegisterInstallation();
        ShowMessage("Parlavox Dictionary setup complete.", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    } catch (const std::exception& e) {
        ReportFailure(e.what());
    } catch (...) {
        ReportFailure("unknown error");
    }
    Controls.SetBusyCursor(false);
    Controls.Close();

    // No project file was met: there is nothing to mark and nothing to open.
    if (FProjectFile.empty()) {
        SaveUninstallRecord();
        return;
    }
    const bool marked = Desktop.WritePrivateProfile("Project", "Deployed", "1", FProjectFile);
    // Recorded after the mark, so that the mark does not count as a change on uninstall.
    SaveUninstallRecord();
    if (!marked) throw EIniFileException("Unable to write to " + FProjectFile);
    Note("Project marked: " + FProjectFile + " [Project] Deployed=1");
    const std::string exePath = GetVellumorDirectory() + "\\" + VellumorExe;
    if (Controls.Checked(TControlName::OpenDictionary) && Desktop.FileExists(exePath) &&
        Desktop.FileExists(FProjectFile)) {
        const std::string commandLine = exePath + " \"" + FProjectFile + "\"";
        switch (Desktop.StartProcess(exePath, commandLine)) {
        case TStartRoute::DesktopShell:
            Note("Started through the desktop's shell: " + commandLine);
            break;
        case TStartRoute::Direct:
            Note("Started: " + commandLine);
            break;
        case TStartRoute::Failed:
            Note("Not started: " + commandLine);
            break;
        }
    }
}

void TMainForm::ReportFailure(const std::string& reason) {
    // The box does not say why; the log does.
    if (!FPendingFile.empty()) Note("Failed: " + FPendingFile);
    FPendingFile.clear();
    Note("Error: " + reason);
    ShowMessage("Parlavox Dictionary setup failed!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
}

void TMainForm::InstallArchive(const std::string& archiveName, const std::string& destination) {
    CurrentPart = archiveName == "VELLUMOR" ? TRecordPart::Vellumor : TRecordPart::Dictionary;
    Compressor.SetTargetPath(destination);
    std::unique_ptr<TStream> stream;
    try {
        stream = Desktop.OpenArchiveResource(Compressor, archiveName);
    } catch (...) {
        // A missing or unreadable resource is not an error: the fallback file may stand in.
    }
    if (!stream) {
        int number = 0;
        if (archiveName == "DICTIONARY") number = 2;
        if (archiveName == "VELLUMOR") number = 3;
        if (number == 0) return;
        const std::string path = GetFallbackFileName(number);
        if (!Desktop.FileExists(path)) {
            Note("Archive " + archiveName + ": not found, skipped");
            return;
        }
        stream = Desktop.OpenFileRead(path);
        Note("Archive " + archiveName + ": " + path + " into " + destination);
    } else {
        Note("Archive " + archiveName + ": embedded, into " + destination);
    }

    TArchiveRun run(Compressor, MemberList, std::move(stream));
    Compressor.ReadDirectory(run.Source(), run.Directory());
    run.Source().Seek(0, TSeekOrigin::Begin);
    Compressor.ExpandArchive(run.Source(), nullptr);
    FinishPendingFile();
}

void TMainForm::CreateShortcutIfPresent(const std::string& directory, const std::string& fileName,
                                        const std::string& shortcutName) {
    if (!Desktop.FileExists(directory + "\\" + fileName)) return;
    const std::string linkPath = FProgramGroup + "\\" + shortcutName;
    try {
        if (CreateShellLink(directory, fileName, linkPath, "") >= 0) {
            Note("Shortcut: " + linkPath + " -> " + directory + "\\" + fileName);
            CreatedShortcuts.push_back(linkPath);
        } else
            Note("Shortcut not created: " + linkPath);
    } catch (...) {
        // A shortcut that cannot be made is not worth failing the installation for.
    }
}

int32_t TMainForm::CreateShellLink(const std::string& directory, const std::string& fileName,
                                   const std::string& shortcutPath, const std::string& description) {
    return Desktop.CreateShellLink(directory + "\\" + fileName, directory, description, shortcutPath);
}
