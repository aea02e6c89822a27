// TMainForm, the three-page setup wizard: Welcome, the Vellumor destination and the dictionary
// destination, then one Install press that expands both archives, records the installation and
// starts Vellumor. The form holds navigation and the event handlers, and owns the archive component
// Compressor; it reaches its controls and the desktop only through TFormControls and TDesktop.
// The roles it connects are units of their own: the support record (record/SupportRecord.h), what
// the installation wrote (install/InstallJournal.h), the existing-file decision
// (install/ExistingFilePolicy.h) and the registration (install/Registration.h).
//
// MainForm.cpp holds start-up and navigation, MainInstall.cpp the installation's handlers.
#pragma once

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "setup/FormPorts.h"
#include "setup/install/InstallJournal.h"
#include "setup/install/Registration.h"
#include "setup/record/SupportRecord.h"
#include "setup/unattended/InstallLog.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class TMainForm {
public:
    TMainForm(TFormControls& controls, const TDesktop& desktop);
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
    const std::string& ProjectFile() const { return Journal.ProjectFile(); }
    const std::string& DictionaryName() const { return Support.DictionaryName; }

    // Where the installation notes what it does (/LOG=); nothing is noted without one.
    void SetLog(TInstallLog* log) { Note.SetLog(log); }

    TArchiver Compressor;
    // Expands the members of dense archives through Compressor's OnRecognize and OnExpand.
    TDenseExpander DenseMembers{Compressor};

private:
    // Starts Vellumor on the project by the routes that StartRoutes allows, logging the outcome.
    void LaunchVellumor(const std::string& exePath);
    void ReportFailure(const std::string& reason);
    // A message box of the desktop, with its text and answer noted in the log.
    TModalResult ShowMessage(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);

    TFormControls& Controls;
    TDesktop Desktop;
    TRunNotes Note;

    std::string FSetupDirectory;
    std::string FSetupBaseName;
    TSupportRecord Support;
    // The directory of the archive being expanded; set only inside InstallArchive.
    TDirectoryList* MemberList = nullptr;
    // Archives opened and checked ahead of the installation, until InstallArchive takes them.
    struct TOpenedArchive {
        std::string Name;
        std::string FallbackFile; // empty for the embedded archive
        std::unique_ptr<TStream> Stream;
        TDirectoryList Directory;
    };
    std::vector<TOpenedArchive> OpenedArchives;
    TInstallJournal Journal{Desktop.Files, Note};
    TRegistration Registration{Desktop, Journal, Note};
    // The position last given to the progress bar; -1 before the first.
    int32_t FProgressPosition = -1;
};
