// Modal boxes owned by the wizard's window, and the shell's folder chooser.
#pragma once

#include "setup/FormPorts.h"

#include <windows.h>

// The message boxes for either port: the uninstaller's are TWin32MessageBoxes<TUninstallDialogs>.
template <class TPort>
class TWin32MessageBoxes : public TPort {
public:
    explicit TWin32MessageBoxes(HWND owner) : Owner(owner) {}

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;

protected:
    // The owner of a box: the wizard's window while it is on show, else none (a box of its own).
    HWND BoxOwner() const { return IsWindowVisible(Owner) ? Owner : nullptr; }

    HWND Owner;
};

using TWin32UninstallDialogs = TWin32MessageBoxes<TUninstallDialogs>;

class TWin32Dialogs final : public TWin32MessageBoxes<TDialogs> {
public:
    TWin32Dialogs(HWND owner, std::string applicationTitle)
        : TWin32MessageBoxes(owner), Title(std::move(applicationTitle)) {}

    void ShowException(const std::string& message) override;
    // The shell's browse-for-folder dialog with an edit box, starting at start (or at the current
    // directory when start is not an existing directory). A typed name of a directory that does
    // not exist yet is accepted as it is, relative names below the folder selected.
    std::optional<std::string> ChooseDirectory(const std::string& start) override;

    // What the chooser's edit box names when its OK is pressed: nothing when it still shows the
    // selected folder's display name (or is empty), else the typed directory, relative names below
    // the selected folder.
    static std::optional<std::string>
    TypedDirectory(const std::string& selected, const std::string& selectedName, const std::string& text);

private:
    std::string Title;
};

extern template class TWin32MessageBoxes<TUninstallDialogs>;
extern template class TWin32MessageBoxes<TDialogs>;
