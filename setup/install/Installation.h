// The installation, one engine for the wizard and the unattended run (/S): it expands the
// dictionary and Vellumor archives into the requested folders, records Vellumor's folder in the
// registry, makes the Start-menu shortcuts and registers the installation (Install), and then marks
// the installed project as deployed and starts Vellumor on it when asked (Finish). It reaches the
// system only through the ports, reports its progress to a sink and puts its questions to a policy,
// so it never shows anything itself: the wizard (TMainForm) presents it with its pages, boxes and
// progress bar, the unattended run with its log alone. Nothing is rolled back after a failure.
#pragma once

#include "compress/Archiver.h"
#include "compress/dense/DenseMethod.h"
#include "platform/files/HeldRetry.h"
#include "platform/process/Yield.h"
#include "setup/FormPorts.h"
#include "setup/install/InstallJournal.h"
#include "setup/install/InstallQuestions.h"
#include "setup/install/InstallRequest.h"
#include "setup/install/Registration.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TRunNotes;
class TFoldersMadeEarlier;

enum class TInstallStatus {
    Installed,
    // A folder of the request cannot be used (InstallFolders.h); nothing was written or shown.
    Refused,
    // An existing folder of the request, or above it, can be changed by users who are not
    // administrators (FolderProtection.h); nothing was written or shown. Not a usage error: the
    // folder may be right, its access is not.
    Unprotected,
    // Something failed after the installation began; what was written before it stays.
    Failed,
    // Installed, but complete only after a restart (files in use that only a restart can replace).
    NeedsRestart,
};

struct TInstallOutcome {
    TInstallStatus Status = TInstallStatus::Installed;
    // Why it was refused or failed, for the log.
    std::string Reason;
    // The reason is a message for the person at the desktop too (a folder they chose cannot be
    // used), not only the failure's technical cause. Always so when refused.
    bool ReasonForUser = false;
};

// The closing messages of the installation, by outcome.
inline const char* const SetupCompleteMessage = "Parlavox Dictionary setup complete.";
inline const char* const SetupRestartMessage =
    "Parlavox Dictionary setup complete. Restart Windows to finish it: files that were in use are "
    "replaced then.";
inline const char* const SetupFailedMessage = "Parlavox Dictionary setup failed!";

// Where the installation shows how far it is.
class TInstallProgress {
public:
    // The installation begins: show at once that it runs (the wizard shows its progress label and
    // bar and paints them now, as no message loop runs until the installation ends).
    virtual void ShowInstalling() = 0;
    // The member being expanded is this far, 0 to 100; reported for every chunk of its input.
    virtual void ShowProgress(int32_t percentDone) = 0;

protected:
    ~TInstallProgress() = default;
};

class TInstallation {
public:
    TInstallation(const TInstallPorts& ports, TInstallProgress& progress, TQuestionPolicy& questions,
                  const TRunNotes& note);
    TInstallation(const TInstallation&) = delete;
    TInstallation& operator=(const TInstallation&) = delete;

    // Checks the request's folders first: one that the rules refuse ends the installation before
    // anything else (Refused, and no Finish). Then the programs that hold files it will replace
    // (a question to the policy whether to close them), both archives, the registry value
    // "RootDir", the shortcuts and the registration, in this order; a failure ends the rest.
    // NeedsRestart when a file in use waits beside its target for the next restart. The caller
    // shows the outcome, then calls Finish.
    TInstallOutcome Install(const TSetupPackage& package, const TInstallRequest& request);
    // After success and failure alike: marks the project file met among the members as deployed
    // (the file that replaces it at restart, when it waits for one), saves the uninstall record
    // and, when the request asked for it and no restart is needed, starts Vellumor on the project.
    // Raises EIniFileException when the mark cannot be written (nothing is started then).
    void Finish();

    void InstallArchive(const std::string& archiveName, const std::string& destination);
    // Opens the archive InstallArchive will expand (the resource, else its fallback file) and
    // checks its member names; raises EDamagedArchive naming a member that would not stay below
    // its destination. Nothing when neither exists.
    void OpenInstallArchive(const std::string& archiveName);
    void CreateShortcutIfPresent(const std::string& directory, const std::string& fileName,
                                 const std::string& shortcutName);
    int32_t CreateShellLink(const std::string& directory, const std::string& fileName,
                            const std::string& shortcutPath, const std::string& description);
    // Compressor's OnCheckFile and OnShowProgress.
    void CompressorCheckFile(std::string& filepath, TProcessMode mode);
    void CompressorShowProgress(int32_t& PercentageDone);
    // Compressor's OnFileError: a held file is tried again for a few seconds, then it is a
    // question (FileInUse) to the policy; any other file error ends the installation.
    TFileErrorAction CompressorFileError(const TFileError& error);

    // How the retries for a held file wait (a test counts the waits instead). A lambda: a function
    // pointer held in a std::function brings the pointer type information code along.
    THeldRetry::TSleep Sleep = [](int milliseconds) { SleepMilliseconds(milliseconds); };

    // The project file met among the members (the last one); empty when none was.
    const std::string& ProjectFile() const { return Journal.ProjectFile(); }
    // The request's Vellumor folder, below its base folder.
    std::string VellumorDirectory() const;

    TArchiver Compressor;
    // Expands the members of dense archives through Compressor's OnRecognize and OnExpand.
    TDenseExpander DenseMembers{Compressor};

private:
    // Makes an installation folder, protected, before its archive is expanded into it; nothing
    // when there is no such archive.
    void MakeInstallFolder(const std::string& archiveName, const std::string& folder,
                           const TFoldersMadeEarlier& madeEarlier);
    // Starts Vellumor on the project by the routes that StartRoutes allows, logging the outcome.
    void LaunchVellumor(const std::string& exePath);
    // Asks the policy whether to close the programs that hold files of the opened archives'
    // targets, and closes them when it says Yes.
    void CloseProgramsUsingTargets();
    // Restarts what CloseProgramsUsingTargets closed, and ends the session.
    void RestartClosedPrograms();
    TInstallOutcome Failure(const std::string& reason, bool forUser);
    // Refuses a target that a link in a folder between it and Destination would send elsewhere.
    // Each folder is checked once and then held, so that it stays the folder checked.
    void RefuseLinkBelow(const std::string& target);

    TInstallPorts Ports;
    TInstallProgress& Progress;
    TQuestionPolicy& Questions;
    const TRunNotes& Note;

    TSetupPackage Package;
    TInstallRequest Request;
    // The folder the archive being expanded goes into.
    std::string Destination;
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
    // The folders below the installation folders checked for links and held, for one Install, by
    // their path as the targets spell it (another spelling is only checked once more).
    std::vector<std::pair<std::string, TFolderHold>> HeldFolders;
    THeldRetry Held{[this](int milliseconds) { Sleep(milliseconds); }};
    bool ShortcutsPrepared = false; // the shortcuts port was told they are coming
    // The programs CloseProgramsUsingTargets closed, for the note of their restart.
    std::string ClosedPrograms;
    TInstallJournal Journal{Ports.Files, Note};
    TRegistration Registration{Ports, Journal, Note};
};
