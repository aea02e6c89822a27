// The uninstaller's entry. Started from the dictionary folder (by Apps & Features or a script) it
// runs its temporary copy and ends with the copy's exit code; the copy (started with _?=DIR) does
// the work through TUninstaller and then removes the original. Exit codes: 0 removed, 1 not
// removed (the answer was No) or something could not be removed, 2 usage error, 3010 removed but
// files in use go at the next restart.
#include "platform/Exception.h"
#include "platform/win32/WideText.h"
#include "setup/unattended/CommandLine.h"
#include "setup/unattended/InstallLog.h"
#include "setup/uninstall/Uninstaller.h"
#include "setup/win32/ProgramArguments.h"
#include "setup/win32/SelfRemoval.h"
#include "setup/win32/StartupSafety.h"
#include "setup/win32/desktop/Win32Dialogs.h"
#include "setup/win32/desktop/Win32Files.h"
#include "setup/win32/desktop/Win32Registry.h"
#include "setup/win32/desktop/Win32RunningPrograms.h"
#include "setup/win32/desktop/Win32Shortcuts.h"

namespace {

const char* const ApplicationTitle = "Parlavox Dictionary Uninstall";

int ReportUsage(const TSetupOptions& options, const std::string& error) {
    if (!options.Silent) {
        const std::string text = (error.empty() ? "" : error + "\n\n") + UsageText(TOptionSet::Uninstall);
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(ApplicationTitle).c_str(),
                    MB_OK | MB_SETFOREGROUND | (error.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return ExitUsage;
}

} // namespace

// The wide command line, as the setup reads it: the dictionary's folder may be named outside the
// ANSI code page.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SecureProcessStartup();
    const std::string arguments = ProgramArguments();
    TSetupOptions options;
    try {
        options = ParseCommandLine(arguments, TOptionSet::Uninstall, &options);
    } catch (const EUsageError& e) {
        return ReportUsage(options, e.Message);
    }
    if (options.Help) return ReportUsage(options, "");
    if (!options.OriginDirectory) return RunFromTemporaryCopy(arguments);

    std::unique_ptr<TFileInstallLog> log;
    if (options.LogFile) {
        try {
            log = std::make_unique<TFileInstallLog>(*options.LogFile);
        } catch (const Exception&) {
            // Without its log the uninstall still runs; the exit code tells the outcome.
        }
    }
    // Only the ports that an uninstallation works through: the others' code stays out of this program.
    TWin32UninstallDialogs dialogs(nullptr);
    TWin32Registry registry;
    TWin32UninstallShortcuts shortcuts;
    TWin32UninstallFiles files;
    TWin32RunningPrograms programs;
    TUninstaller uninstaller({dialogs, registry, shortcuts, files, programs}, log.get());
    const TUninstallOutcome outcome =
        uninstaller.Run(*options.OriginDirectory, options.Silent, options.CloseApplications.value_or(false));
    log.reset();
    if (options.Handoff)
        FinishSelfRemoval(*options.Handoff, *options.OriginDirectory, outcome.Removed,
                          outcome.FoldersAfterSelf, outcome.ExitCode);
    return outcome.ExitCode;
}
