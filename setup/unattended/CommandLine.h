// The command line of the setup and uninstall programs, in the conventions administrators know
// from other Windows installers: options start with "/" or "-" and are case-insensitive; "/D="
// comes last and takes the rest of the line as it is, blanks included; other values may be
// quoted. Anything not understood is a usage error, never ignored.
#pragma once

#include "platform/Exception.h"

#include <optional>
#include <string>

// The command line asks for something the program does not offer.
class EUsageError : public Exception {
    using Exception::Exception;
};

struct TSetupOptions {
    bool Silent = false;                            // /S
    bool Help = false;                              // /?
    bool NoLaunch = false;                          // /NOLAUNCH
    std::optional<std::string> BaseDirectory;       // /D=DIR, the Vellumor base directory
    std::optional<std::string> DictionaryDirectory; // /DICT=DIR
    std::optional<std::string> LogFile;             // /LOG=FILE
    // /CLOSEAPPLICATIONS (true), /NOCLOSEAPPLICATIONS (false): whether a silent run closes the
    // programs that hold files it must replace; neither: it does not.
    std::optional<bool> CloseApplications;
    // The uninstaller's own: the directory of the uninstaller that started this copy of it.
    std::optional<std::string> OriginDirectory; // _?=DIR
    // And how that uninstaller waits for it: its process and the pipe for the exit code.
    std::optional<std::string> Handoff; // /_HANDOFF=PROCESS,PIPE
};

// Which program reads the line: the uninstaller knows only /S, /LOG=, the close-applications
// options and /? (and its own _?=).
enum class TOptionSet { Setup, Uninstall };

// The options of a command line without the program's name. Raises EUsageError naming the
// offending argument; Partial then holds what was read before it (so that a silent run can
// still find its log).
TSetupOptions ParseCommandLine(const std::string& arguments, TOptionSet set,
                               TSetupOptions* partial = nullptr);

// The text of the usage message for the given program.
std::string UsageText(TOptionSet set);

// Exit codes of both programs.
constexpr int ExitSuccess = 0;
constexpr int ExitFailure = 1;
constexpr int ExitUsage = 2;
// Done, but a restart finishes it (ERROR_SUCCESS_REBOOT_REQUIRED, as deployment tools expect).
constexpr int ExitRestartNeeded = 3010;
