// The program's entry: COM for the main thread, the command line, then either the wizard form in
// its window with the message loop until the form closes, or (/S) the installation engine without
// any window.
// A start-up that ends the application (missing or invalid support record) never shows the
// window. Exit codes: 0 installed (or the wizard closed), 1 failed, 2 usage error, 3010 (/S)
// installed but a restart finishes it.
#include "platform/Exception.h"
#include "platform/process/Spans.h"
#include "platform/win32/WideText.h"
#include "setup/MainForm.h"
#include "setup/unattended/CommandLine.h"
#include "setup/unattended/InstallLog.h"
#include "setup/unattended/Unattended.h"
#include "setup/win32/ProgramArguments.h"
#include "setup/win32/StartupSafety.h"
#include "setup/win32/Win32Desktop.h"
#include "setup/win32/WizardWindow.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

const char* const ApplicationTitle = "Parlavox Dictionary Setup";

// COM stays initialised for the main thread until the program ends.
class TComInitialization {
public:
    TComInitialization() {
        const TSpan span("COM");
        Initialized = SUCCEEDED(CoInitialize(nullptr));
    }
    ~TComInitialization() {
        if (Initialized) CoUninitialize();
    }
    TComInitialization(const TComInitialization&) = delete;
    TComInitialization& operator=(const TComInitialization&) = delete;

private:
    bool Initialized = false;
};

// The setup's log, its writes timed as the span "log"; the uninstaller's log has no spans to time.
class TTimedInstallLog final : public TFileInstallLog {
public:
    using TFileInstallLog::TFileInstallLog;
    void Write(const std::string& line) override {
        const TSpan span("log");
        TFileInstallLog::Write(line);
    }
};

// A usage error or /?: a box when a person is there, a line in the log when one was asked for.
int ReportUsage(const TSetupOptions& options, const std::string& error) {
    const std::string text = (error.empty() ? "" : error + "\n\n") + UsageText(TOptionSet::Setup);
    if (options.Silent) {
        if (options.LogFile) {
            try {
                TFileInstallLog(*options.LogFile)
                    .Write("Error: " + (error.empty() ? "/? asks for the usage" : error));
            } catch (const Exception&) {
            }
        }
    } else {
        MessageBoxW(nullptr, Utf8ToWide(text).c_str(), Utf8ToWide(ApplicationTitle).c_str(),
                    MB_OK | MB_SETFOREGROUND | (error.empty() ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return ExitUsage;
}

int RunWizard(HINSTANCE instance, const TSetupOptions& options, TInstallLog* log) {
    TComInitialization com;
    TWizardWindow window(instance);
    if (!window.Handle()) return ExitFailure;
    TWin32Desktop desktop(window.Handle(), ApplicationTitle);
    TMainForm form(window, desktop);
    form.SetLog(log);
    window.Bind(form);
    form.AfterConstruction();
    if (window.Ending()) return ExitSuccess;
    form.ApplySetupOptions(options);
    window.Show();
    return window.RunMessageLoop();
}

// How long the process has run: its creation, loading and the runtime's start up to now.
double ProcessAgeMilliseconds() {
    FILETIME creation, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exited, &kernel, &user)) return 0;
    GetSystemTimeAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(creation)) / 10000.0;
}

// With the benchmark's spans asked for, where the time went, at the end of the log.
int WithSpansLogged(int exitCode, TInstallLog* log) {
    if (log)
        for (const std::string& line : Spans::Lines()) log->Write(line);
    return exitCode;
}

int RunSilent(const TSetupOptions& options, TInstallLog* log) {
    TWin32Desktop desktop(nullptr, ApplicationTitle);
    return RunUnattendedSetup(TDesktop(desktop), options, log);
}

} // namespace

// The C runtime's ANSI command line would have lost what the code page lacks: the wide one is read.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    SecureProcessStartup();
    Spans::StartIfAsked(ProcessAgeMilliseconds());
    TSetupOptions options;
    try {
        options = ParseCommandLine(ProgramArguments(), TOptionSet::Setup, &options);
    } catch (const EUsageError& e) {
        return ReportUsage(options, e.Message);
    }
    if (options.Help) return ReportUsage(options, "");

    std::unique_ptr<TTimedInstallLog> log;
    if (options.LogFile) {
        try {
            log = std::make_unique<TTimedInstallLog>(*options.LogFile);
        } catch (const Exception& e) {
            if (!options.Silent)
                MessageBoxW(nullptr, Utf8ToWide(e.what()).c_str(), Utf8ToWide(ApplicationTitle).c_str(),
                            MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
            return ExitFailure;
        }
    }
    if (options.Silent) return WithSpansLogged(RunSilent(options, log.get()), log.get());

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    return WithSpansLogged(RunWizard(instance, options, log.get()), log.get());
}
