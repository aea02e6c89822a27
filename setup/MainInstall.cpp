// TMainForm's installation procedure, run by the Install button: both archives are expanded, the
// Vellumor directory goes into the registry, the Start-menu shortcuts are made, the outcome is
// reported and the wizard closes; then the installed project is marked as deployed and Vellumor
// is started on it when the user asked for that. Nothing is rolled back after a failure.
#include "setup/MainForm.h"

#include "compress/MemberNameRules.h"
#include "platform/Exception.h"
#include "platform/FileStream.h"
#include "setup/unattended/InstallLog.h"

#include <algorithm>

namespace {
const char* const VellumorExe = "velmor.exe";

// An installation folder that already exists as a junction or symbolic link: what the setup
// would write there lands wherever the link leads, which whoever made the link chose.
class ELinkedFolder : public Exception {
    using Exception::Exception;
};

void RefuseLinkedFolder(TDesktop& desktop, const std::string& folder) {
    if (desktop.IsReparsePoint(folder))
        throw ELinkedFolder(
            "The folder " + folder +
            " is a link (a junction or symbolic link) to another place. Choose another folder.");
}

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

        // Both folders and both archives' member names are checked before anything is written.
        RefuseLinkedFolder(Desktop, Controls.Text(TControlName::DictionaryDirectory));
        RefuseLinkedFolder(Desktop, GetVellumorDirectory());
        OpenInstallArchive("DICTIONARY");
        OpenInstallArchive("VELLUMOR");
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
        Desktop.FileExists(FProjectFile))
        LaunchVellumor(exePath);
}

void TMainForm::LaunchVellumor(const std::string& exePath) {
    const std::string parameters = "\"" + FProjectFile + "\"";
    const std::string commandLine = "\"" + exePath + "\" " + parameters;
    const bool elevated = Desktop.Elevated();
    for (const TStartRoute route : StartRoutes(elevated)) {
        if (!Desktop.StartProcess(route, exePath, parameters, GetVellumorDirectory())) continue;
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
    if (!FPendingFile.empty()) Note("Failed: " + FPendingFile);
    FPendingFile.clear();
    Note("Error: " + reason);
    ShowMessage("Parlavox Dictionary setup failed!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
}

void TMainForm::OpenInstallArchive(const std::string& archiveName) {
    TOpenedArchive opened{archiveName, "", nullptr};
    try {
        opened.Stream = Desktop.OpenArchiveResource(Compressor, archiveName);
        opened.Origin = "embedded";
    } catch (...) {
        // A missing or unreadable resource is not an error: the fallback file may stand in.
    }
    if (!opened.Stream) {
        int number = 0;
        if (archiveName == "DICTIONARY") number = 2;
        if (archiveName == "VELLUMOR") number = 3;
        if (number == 0) return;
        const std::string path = GetFallbackFileName(number);
        if (!Desktop.FileExists(path)) return;
        // Read whole, so that what was checked is what gets expanded: the file lies in a folder
        // that others may write to while the setup runs.
        std::unique_ptr<TStream> file = Desktop.OpenFileRead(path);
        opened.Stream = std::make_unique<TMemoryStream>(ReadAll(*file));
        opened.Origin = path;
    }
    CheckMemberNames(*opened.Stream, opened.Origin == "embedded" ? "archive " + archiveName : opened.Origin);
    for (TOpenedArchive& earlier : OpenedArchives)
        if (earlier.Name == archiveName) {
            earlier = std::move(opened);
            return;
        }
    OpenedArchives.push_back(std::move(opened));
}

void TMainForm::CheckMemberNames(TStream& source, const std::string& where) {
    TDirectoryList list;
    const int64_t start = source.Position();
    Compressor.ReadDirectory(source, list);
    source.Seek(start, TSeekOrigin::Begin);
    for (const TDirectoryEntry& entry : list)
        if (IsEscapingMemberName(entry.Name, TNameRules::Windows))
            throw EDamagedArchive("unsafe member name \"" + entry.Name + "\" in " + where);
}

void TMainForm::InstallArchive(const std::string& archiveName, const std::string& destination) {
    CurrentPart = archiveName == "VELLUMOR" ? TRecordPart::Vellumor : TRecordPart::Dictionary;
    Compressor.SetTargetPath(destination);
    auto opened = std::find_if(OpenedArchives.begin(), OpenedArchives.end(),
                               [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    if (opened == OpenedArchives.end()) {
        OpenInstallArchive(archiveName);
        opened = std::find_if(OpenedArchives.begin(), OpenedArchives.end(),
                              [&](const TOpenedArchive& a) { return a.Name == archiveName; });
    }
    if (opened == OpenedArchives.end()) {
        Note("Archive " + archiveName + ": not found, skipped");
        return;
    }
    std::unique_ptr<TStream> stream = std::move(opened->Stream);
    const std::string origin = opened->Origin;
    OpenedArchives.erase(opened);
    if (origin == "embedded")
        Note("Archive " + archiveName + ": embedded, into " + destination);
    else
        Note("Archive " + archiveName + ": " + origin + " into " + destination);

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
