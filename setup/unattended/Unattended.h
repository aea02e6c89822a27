// The setup without a person at the keyboard (/S): the setup's start (TSetupSession), then the
// installation engine called directly with the folders of the command line, or the pages' defaults
// where it names none. It has no form and no boxes: every question gets its documented unattended
// answer (TUnattendedAnswers: an installed file newer than its member is kept, programs are closed
// only with /CLOSEAPPLICATIONS, a file in use is replaced at restart), Vellumor is not
// started, and what the wizard would show goes into the log (/LOG=) with everything the
// installation notes. Failure is the engine's outcome, not something shown.
#pragma once

#include "setup/FormPorts.h"
#include "setup/install/Installation.h"
#include "setup/unattended/CommandLine.h"

#include <string>

class TInstallLog;

// The installation the command line asks for: /D= (else the Vellumor page's default), /DICT=
// (else the dictionary's default folder below the base), and no launch.
TInstallRequest UnattendedRequest(const TSetupOptions& options, const std::string& dictionaryName);

// Start-up and the installation: ExitSuccess when it completed, ExitRestartNeeded when a file in
// use is replaced at the next restart, ExitFailure when start-up or the installation failed,
// ExitUsage when a folder cannot be used (the log says which and why; nothing was written).
int RunUnattendedSetup(const TInstallPorts& ports, const TSetupOptions& options, TInstallLog* log);
