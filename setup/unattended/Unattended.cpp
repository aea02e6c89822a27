// The unattended setup: the same start and the same engine as the wizard, with the log in place of
// the pages and the boxes.
#include "setup/unattended/Unattended.h"

#include "setup/SetupSession.h"
#include "setup/install/InstallFolders.h"
#include "setup/layout/FormLayout.h"
#include "setup/unattended/InstallLog.h"

namespace {

// Nothing shows the progress of a run without a window.
class TNoProgress : public TInstallProgress {
public:
    void ShowInstalling() override {}
    void ShowProgress(int32_t) override {}
};

} // namespace

TInstallRequest UnattendedRequest(const TSetupOptions& options, const std::string& dictionaryName) {
    TInstallRequest request;
    request.BaseDirectory = options.BaseDirectory.value_or(ControlLayout(TControlName::PVDirectory).Text);
    request.DictionaryDirectory =
        options.DictionaryDirectory.value_or(DictionaryDirectoryBelow(request.BaseDirectory, dictionaryName));
    request.LaunchVellumor = false;
    return request;
}

int RunUnattendedSetup(const TInstallPorts& ports, const TSetupOptions& options, TInstallLog* log) {
    TRunNotes note;
    note.SetLog(log);
    TNoProgress progress;
    TUnattendedAnswers answers(options.CloseApplications.value_or(false));
    TInstallation installation(ports, progress, answers, note);
    TSetupSession session(ports.Module, ports.Files, note);
    // The log takes the lines of the wizard's boxes, as the wizard notes them.
    try {
        const TStartOutcome start = session.Start(installation.Compressor);
        if (start.Status != TStartStatus::Ready) {
            note("Error: " + start.Message);
            return ExitFailure;
        }
    } catch (const std::exception& e) {
        note(std::string("Error: ") + e.what());
        return ExitFailure;
    }
    const TInstallOutcome outcome =
        installation.Install(session.Package(), UnattendedRequest(options, session.Support().DictionaryName));
    // A folder of the command line that cannot be used is a usage error; nothing was written.
    if (outcome.Status == TInstallStatus::Refused) {
        note("Error: " + outcome.Reason);
        return ExitUsage;
    }
    if (outcome.Status == TInstallStatus::Unprotected) {
        note("Error: " + outcome.Reason);
        note(std::string("Error: ") + SetupFailedMessage);
        return ExitFailure;
    }
    if (outcome.Status == TInstallStatus::Failed) {
        if (outcome.ReasonForUser) note("Error: " + outcome.Reason);
        note(std::string("Error: ") + SetupFailedMessage);
    } else {
        note(std::string("Information: ") +
             (outcome.Status == TInstallStatus::NeedsRestart ? SetupRestartMessage : SetupCompleteMessage));
    }
    try {
        installation.Finish();
    } catch (const std::exception& e) {
        note(std::string("Error: ") + e.what());
        return ExitFailure;
    }
    if (outcome.Status == TInstallStatus::NeedsRestart) return ExitRestartNeeded;
    return outcome.Status == TInstallStatus::Failed ? ExitFailure : ExitSuccess;
}
