// The Start menu's Programs folder and shell links, through the shell's known-folder API and its
// COM objects (COM is initialised by the program's entry).
#pragma once

#include "setup/FormPorts.h"

class TWin32Shortcuts : public TShortcuts {
public:
    // The current user's Programs folder (FOLDERID_Programs).
    std::string ProgramsFolder() override;
    // Creates a shell link at linkPath to target with the working directory and description;
    // returns the COM result of the first call that failed, or of saving the link. A path of
    // MAX_PATH characters or more makes no link (ERROR_FILENAME_EXCED_RANGE).
    int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                            const std::string& description, const std::string& linkPath) override;
};
