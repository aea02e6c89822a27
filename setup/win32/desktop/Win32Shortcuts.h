// The Start menu's Programs folder and shell links, through the shell's known-folder API and its
// COM objects (COM is initialised by the program's entry).
#pragma once

#include "setup/FormPorts.h"

// The Programs folder for either port: the uninstaller's is TWin32ShortcutFolder<TUninstallShortcuts>.
template <class TPort>
class TWin32ShortcutFolder : public TPort {
public:
    // The current user's Programs folder (FOLDERID_Programs).
    std::string ProgramsFolder() override;
};

using TWin32UninstallShortcuts = TWin32ShortcutFolder<TUninstallShortcuts>;

class TWin32Shortcuts final : public TWin32ShortcutFolder<TShortcuts> {
public:
    // Creates a shell link at linkPath to target with the working directory and description;
    // returns the COM result of the first call that failed, or of saving the link. A path of
    // MAX_PATH characters or more makes no link (ERROR_FILENAME_EXCED_RANGE).
    int32_t CreateShellLink(const std::string& target, const std::string& workingDirectory,
                            const std::string& description, const std::string& linkPath) override;
    // Loads COM's and the shell's libraries on a thread of its own.
    void Prepare() override;
};

extern template class TWin32ShortcutFolder<TUninstallShortcuts>;
extern template class TWin32ShortcutFolder<TShortcuts>;
