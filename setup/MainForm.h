// TMainForm, the three-page setup wizard: Welcome, the Vellumor destination and the dictionary
// destination, then one Install press that expands both archives, records the installation and
// starts Vellumor. The form holds the wizard's state and handlers and owns the archive component
// Compressor; it reaches its controls and the desktop only through TFormControls and TDesktop.
//
// The implementation is split by role: MainForm.cpp (start-up and navigation),
// record/SupportRecord.cpp (support record), MainInstall.cpp (installation),
// install/ExistingFilePolicy.cpp (existing-file check) and install/Registration.cpp (registration
// as an installed program, with its uninstaller and record).
#pragma once

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "setup/FormPorts.h"
#include "setup/uninstall/InstallationFolders.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// The project mark cannot be written to the installed project file.
class EIniFileException : public Exception {
    using Exception::Exception;
};

// The registry value cannot be written.
class ERegistryException : public Exception {
    using Exception::Exception;
};

class TInstallLog;

class TMainForm {
public:
    TMainForm(TFormControls& controls, TDesktop& desktop);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Form creation: runs FormCreate and shows any error that leaves it through the
    // application's general error display, leaving the form in its stored state.
    void AfterConstruction();
    // Runs an event handler the way the message loop does: an exception that leaves the handler
    // goes to the application's general error display.
    void HandleEvent(const std::function<void()>& handler);

    // Event handlers.
    void FormCreate();
    void NotebookPageChanged();
    void BackButtonClick();
    void NextButtonClick();
    void CancelButtonClick();
    void PVDirectoryButtonClick();
    void DictionaryDirectoryButtonClick();
    void CompressorCheckFile(std::string& filepath, TProcessMode mode);
    void CompressorShowProgress(int32_t& PercentageDone);

    // Form operations.
    std::string GetFallbackFileName(int number) const;
    std::string GetVellumorDirectory() const;
    void UpdateDictionaryDirectory();
    void SetPageCaption(const std::string& pageName);
    std::string BrowseDirectory(const std::string& start);
    static std::string ExtractFileBaseName(const std::string& path);
    std::optional<std::string> LoadSupportRecord();
    void ParseSupportRecord(const std::string& record);
    void RunInstallation();
    void InstallArchive(const std::string& archiveName, const std::string& destination);
    // Opens the archive InstallArchive will expand (the resource, else its fallback file) and
    // checks its member names; raises EDamagedArchive naming a member that would not stay below
    // its destination. Nothing when neither exists.
    void OpenInstallArchive(const std::string& archiveName);
    void CreateShortcutIfPresent(const std::string& directory, const std::string& fileName,
                                 const std::string& shortcutName);
    int32_t CreateShellLink(const std::string& directory, const std::string& fileName,
                            const std::string& shortcutPath, const std::string& description);

    // The notebook's page index setter: an index outside 0 to 2 or equal to the current one is
    // ignored; a real change raises NotebookPageChanged.
    void SetNotebookPageIndex(int index);

    const std::string& SetupDirectory() const { return FSetupDirectory; }
    const std::string& SetupBaseName() const { return FSetupBaseName; }
    const std::string& ProjectFile() const { return FProjectFile; }
    const std::string& DictionaryName() const { return FDictionaryName; }

    // Where the installation notes what it does (/LOG=); nothing is noted without one.
    void SetLog(TInstallLog* log) { Log = log; }

    TArchiver Compressor;
    // Expands the members of dense archives through Compressor's OnRecognize and OnExpand.
    TDenseExpander DenseMembers{Compressor};

private:
    friend struct TMainFormProbe; // the native tests' view of the member list

    // Starts Vellumor on the project by the routes that StartRoutes allows, logging the outcome.
    void LaunchVellumor(const std::string& exePath);

    TFormControls& Controls;
    TDesktop& Desktop;

    std::string FSetupDirectory;
    std::string FSetupBaseName;
    std::string FProjectFile;
    std::string FDictionaryName;
    double FCreated = 0; // the support record's creation date
    std::string FProgramGroup;
    // The target of the member being expanded; empty when it is skipped.
    std::string FPendingFile;
    // The directory of the archive being expanded; set only inside InstallArchive.
    TDirectoryList* MemberList = nullptr;
    TInstallLog* Log = nullptr;
    // Archives opened and checked ahead of the installation, until InstallArchive takes them.
    struct TOpenedArchive {
        std::string Name;
        std::string FallbackFile; // empty for the embedded archive
        std::unique_ptr<TStream> Stream;
        TDirectoryList Directory;
    };
    std::vector<TOpenedArchive> OpenedArchives;

    void Note(const std::string& line);
    // Notes the member that the archive component was last allowed to write, once it is done.
    void FinishPendingFile();
    void ReportFailure(const std::string& reason);
    // Notes the folders of path that do not exist yet, which writing the file will create.
    void NoteMissingFolders(const std::string& path);
    // Places the uninstaller beside the dictionary and registers the installation with Windows
    // and as a user of Vellumor; does nothing for a setup without an uninstaller.
    void RegisterInstallation();
    // Writes the record of what this installation wrote (merged with an earlier one in the same
    // place), once the project mark is in, and the installation's size.
    void SaveUninstallRecord();
    // Takes into record the entries of the record found at path that this installation can
    // confirm (see MainRegister.cpp).
    void MergeEarlierRecord(TUninstallRecord& record, const std::string& path);
    // Records below the installation's Uninstall key the outermost folders it (or an earlier
    // installation here) created above the dictionary's and Vellumor's folder.
    void WriteCreatedAbove(const std::string& key);
    std::string DictionaryDirectoryText() const;
    std::string UninstallKeyName() const;

    // What this installation wrote, for its uninstaller.
    TRecordPart CurrentPart = TRecordPart::Dictionary;
    std::vector<std::pair<TRecordPart, std::string>> WrittenFiles;
    std::vector<TRecordedFolder> CreatedFolders;
    std::vector<std::string> CreatedShortcuts;
    bool Registered = false;
    // What the registry said of an earlier installation of the same key, before this one
    // registered; nothing when there was none.
    std::optional<TInstallationFolders> EarlierInstallation;
    // A message box of the desktop, with its text and answer noted in the log.
    TModalResult ShowMessage(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);
    // The position last given to the progress bar; -1 before the first.
    int32_t FProgressPosition = -1;
};
