// The setup without a person at the keyboard (/S): the same TMainForm, driven through its pages
// by pressing Next, over a form without a window (TWindowlessControls) and a desktop that answers
// every box the way an unattended installation must (TUnattendedDesktop): the newer-file question
// keeps the newer installed file, nothing is started, and an error message or an error that no
// handler caught marks the run as failed. The form itself writes every message to the log.
#pragma once

#include "setup/FormPorts.h"
#include "setup/unattended/CommandLine.h"

class TMainForm;

class TWindowlessControls : public TFormControls {
public:
    TWindowlessControls();

    int PageIndex() const override { return Page; }
    void ShowPage(int index) override { Page = index; }
    void SetCaption(const std::string&) override {}
    std::string Text(TControlName control) const override;
    void SetText(TControlName control, const std::string& text) override { Texts[control] = text; }
    void SetVisible(TControlName, bool) override {}
    void SetEnabled(TControlName, bool) override {}
    bool Checked(TControlName control) const override;
    void SetChecked(TControlName control, bool checked) override { Ticked[control] = checked; }
    void SetProgress(int) override {}
    void SetBusyCursor(bool) override {}
    void Repaint(TControlName) override {}
    void Close() override { Ended = true; }
    void Terminate() override { Ended = true; }

    bool Ending() const { return Ended; }

private:
    int Page;
    bool Ended = false;
    TPerControl<std::string> Texts;
    TPerControl<bool> Ticked;
};

// The boxes of the unattended run: answered as it must, an error marking the run as failed.
class TUnattendedDialogs : public TDialogs {
public:
    TModalResult MessageDlg(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) override;
    void ShowException(const std::string& message) override;
    std::optional<std::string> ChooseDirectory(const std::string&) override { return std::nullopt; }

    // An error was shown or raised during the run.
    bool Failed() const { return HasFailed; }

private:
    bool HasFailed = false;
};

// Nothing is started without a person to use it.
class TNoProgramStarter : public TProgramStarter {
public:
    bool StartProcess(TStartRoute, const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};

// The desktop of the unattended run: inner's, with the boxes, the chooser and the start of
// programs replaced. (Parts, not bases: a class of several polymorphic bases would bring the
// run-time type support for multiple inheritance into the setup.)
class TUnattendedDesktop {
public:
    explicit TUnattendedDesktop(const TDesktop& inner)
        : Parts{Dialogs, inner.Registry, inner.Shortcuts, Starter, inner.Files, inner.Module, inner.Locale} {}
    TUnattendedDesktop(const TUnattendedDesktop&) = delete;
    TUnattendedDesktop& operator=(const TUnattendedDesktop&) = delete;

    const TDesktop& Desktop() const { return Parts; }
    // An error was shown or raised during the run.
    bool Failed() const { return Dialogs.Failed(); }

private:
    TUnattendedDialogs Dialogs;
    TNoProgramStarter Starter;
    TDesktop Parts;
};

// Puts the directories and the launch choice of the command line into the form, after start-up
// and before the first page is used.
void ApplySetupOptions(TMainForm& form, TFormControls& controls, const TSetupOptions& options);

// Start-up, the options, Next through the pages and Install: ExitSuccess when the installation
// completed, ExitFailure when start-up or the installation failed.
int RunUnattendedSetup(TMainForm& form, TWindowlessControls& controls, TUnattendedDesktop& desktop,
                       const TSetupOptions& options);
