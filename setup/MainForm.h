// TMainForm, the three-page setup wizard: Welcome, the Vellumor destination and the dictionary
// destination, then one Install press that runs the installation and shows it. The form is the
// pages' presenter: it reads and writes its controls, asks the user and shows the progress; it
// reaches its controls and the desktop only through TFormControls and TDesktop. The start-up it
// shares with the unattended run is TSetupSession (SetupSession.h), the installation the engine
// TInstallation (install/Installation.h), which puts its questions to the form and reports its
// progress to it.
//
// MainForm.cpp holds start-up and navigation, MainInstall.cpp the Install step and what the form
// shows of the installation.
#pragma once

#include "setup/FormPorts.h"
#include "setup/SetupSession.h"
#include "setup/install/Installation.h"
#include "setup/unattended/CommandLine.h"
#include "setup/unattended/InstallLog.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class TMainForm {
public:
    TMainForm(TFormControls& controls, const TDesktop& desktop);
    TMainForm(const TMainForm&) = delete;
    TMainForm& operator=(const TMainForm&) = delete;

    // Form creation: runs FormCreate and shows any error that leaves it through the
    // application's general error display, leaving the form in its stored state.
    void AfterConstruction();
    // Runs an event handler the way the message loop does: an exception that leaves the handler
    // goes to the application's general error display.
    void HandleEvent(const std::function<void()>& handler);
    // Puts the directories and the launch choice of the command line into the pages, after
    // start-up and before the first page is used.
    void ApplySetupOptions(const TSetupOptions& options);

    // Event handlers.
    void FormCreate();
    void NotebookPageChanged();
    void BackButtonClick();
    void NextButtonClick();
    void CancelButtonClick();
    void PVDirectoryButtonClick();
    void DictionaryDirectoryButtonClick();

    // Form operations.
    std::string GetFallbackFileName(int number) const { return Session.GetFallbackFileName(number); }
    std::string GetVellumorDirectory() const;
    void UpdateDictionaryDirectory();
    void SetPageCaption(const std::string& pageName);
    std::string BrowseDirectory(const std::string& start);
    static std::string ExtractFileBaseName(const std::string& path) {
        return TSetupSession::ExtractFileBaseName(path);
    }
    // The Install step: the request from the pages, the installation with its progress shown, the
    // outcome's message, the form closed, and then the installation's finish.
    void RunInstallation();

    // The notebook's page index setter: an index outside 0 to 2 or equal to the current one is
    // ignored; a real change raises NotebookPageChanged.
    void SetNotebookPageIndex(int index);

    const std::string& SetupDirectory() const { return Session.SetupDirectory(); }
    const std::string& SetupBaseName() const { return Session.SetupBaseName(); }
    const std::string& ProjectFile() const { return Installation.ProjectFile(); }
    const std::string& DictionaryName() const { return Session.Support().DictionaryName; }
    // The installation engine that Install runs (its archive component, its handlers).
    TInstallation& Engine() { return Installation; }

    // Where the wizard and the installation note what they do (/LOG=); nothing is noted without one.
    void SetLog(TInstallLog* log) { Note.SetLog(log); }

private:
    // A message box of the desktop, with its text and answer noted in the log.
    TModalResult ShowMessage(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons);
    // The installation's request, from the pages.
    TInstallRequest RequestFromPages() const;

    // What the form shows of the installation: the progress label and bar. (Parts, not bases: a
    // class of several polymorphic bases would bring the run-time type support for multiple
    // inheritance into the setup.)
    class TFormProgress : public TInstallProgress {
    public:
        explicit TFormProgress(TMainForm& form) : Form(form) {}
        void ShowInstalling() override;
        void ShowProgress(int32_t percentDone) override;

    private:
        TMainForm& Form;
        // The position last given to the progress bar; -1 before the first.
        int32_t Position = -1;
    };
    // The installation's questions, put to the user in a box.
    class TFormQuestions : public TQuestionPolicy {
    public:
        explicit TFormQuestions(TMainForm& form) : Form(form) {}
        TAnswer Ask(TQuestion question, const std::string& text) override;

    private:
        TMainForm& Form;
    };

    TFormControls& Controls;
    TDesktop Desktop;
    TRunNotes Note;
    TFormProgress Progress{*this};
    TFormQuestions Questions{*this};
    TSetupSession Session{Desktop.Module, Desktop.Files, Note};
    TInstallation Installation{Desktop, Progress, Questions, Note};
};
