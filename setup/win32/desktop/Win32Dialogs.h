// Modal boxes owned by the wizard's window, and the shell's folder chooser.
#pragma once

#include "setup/FormPorts.h"

#include <windows.h>

class TWin32Dialogs : public TDialogs {
public:
    TWin32Dialogs(HWND owner, std::string applicationTitle)
        : Owner(owner), Title(std::move(applicationTitle)) {}

    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;
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
    // The owner of a box: the wizard's window while it is on show, else none (a box of its own).
    HWND BoxOwner() const { return IsWindowVisible(Owner) ? Owner : nullptr; }

    HWND Owner;
    std::string Title;
};
