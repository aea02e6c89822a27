// TMainForm: start-up through the setup session (the support record fills the Welcome page), page
// navigation, captions, the directory defaults and the Browse buttons.
#include "setup/MainForm.h"

#include "setup/install/InstallFolders.h"
#include "setup/record/DateTimeText.h"

namespace {
const char* const FormTitle = "Parlavox Dictionary Setup";
constexpr int VellumorPage = 1;
constexpr int LastPage = 2;
} // namespace

TMainForm::TMainForm(TFormControls& controls, const TDesktop& desktop)
    : Controls(controls), Desktop(desktop) {}

void TMainForm::AfterConstruction() {
    HandleEvent([this] { FormCreate(); });
}

void TMainForm::HandleEvent(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        Note(std::string("Error: ") + e.what());
        Desktop.Dialogs.ShowException(e.what());
    }
}

TModalResult TMainForm::ShowMessage(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    static const char* const Kinds[] = {"Error: ", "Information: ", "Question: "};
    Note(Kinds[static_cast<int>(kind)] + text);
    const TModalResult answer = Desktop.Dialogs.MessageDlg(text, kind, buttons);
    if (buttons == TMsgDlgButtons::mbYesNo) Note(answer == TModalResult::mrNo ? "Answer: No" : "Answer: Yes");
    return answer;
}

void TMainForm::FormCreate() {
    const TStartOutcome start = Session.Start(Installation.Compressor);
    // The texts read before an invalid date stay on show.
    if (start.Status == TStartStatus::Ready || start.Status == TStartStatus::RecordInvalid) {
        Controls.SetText(TControlName::Description, Session.Support().Description);
        Controls.SetText(TControlName::Author, Session.Support().Author);
    }
    if (start.Status != TStartStatus::Ready) {
        ShowMessage(start.Message, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return;
    }
    Controls.SetText(TControlName::Created,
                     DateTimeToDisplayText(Desktop.Locale, *Session.Support().Created));
    UpdateDictionaryDirectory();
    SetNotebookPageIndex(0);
    NotebookPageChanged();
}

void TMainForm::ApplySetupOptions(const TSetupOptions& options) {
    if (options.BaseDirectory) {
        Controls.SetText(TControlName::PVDirectory, *options.BaseDirectory);
        UpdateDictionaryDirectory();
    }
    if (options.DictionaryDirectory)
        Controls.SetText(TControlName::DictionaryDirectory, *options.DictionaryDirectory);
    if (options.NoLaunch) Controls.SetChecked(TControlName::OpenDictionary, false);
}

void TMainForm::SetNotebookPageIndex(int index) {
    if (index < 0 || index > LastPage || index == Controls.PageIndex()) return;
    Controls.ShowPage(index);
    NotebookPageChanged();
}

void TMainForm::NotebookPageChanged() {
    struct TPageLook {
        const char* Caption;
        bool BackVisible;
        const char* NextText;
    };
    static constexpr TPageLook Pages[] = {
        {"Welcome", false, "&Next >"},
        {"Vellumor", true, "&Next >"},
        {"Dictionary", true, "&Install"},
    };
    const int page = Controls.PageIndex();
    if (page < 0 || page > LastPage) return;
    SetPageCaption(Pages[page].Caption);
    Controls.SetVisible(TControlName::BackButton, Pages[page].BackVisible);
    Controls.SetText(TControlName::NextButton, Pages[page].NextText);
}

void TMainForm::BackButtonClick() {
    SetNotebookPageIndex(Controls.PageIndex() - 1);
}

void TMainForm::NextButtonClick() {
    const int page = Controls.PageIndex();
    if (page == LastPage) {
        RunInstallation();
        return;
    }
    // A Vellumor folder that the installation would refuse is refused on its own page.
    if (page == VellumorPage) {
        if (const std::optional<std::string> refusal =
                RefuseBaseFolder(Controls.Text(TControlName::PVDirectory))) {
            ShowMessage(*refusal, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
            return;
        }
    }
    SetNotebookPageIndex(page + 1);
}

void TMainForm::CancelButtonClick() {
    Controls.Close();
}

void TMainForm::PVDirectoryButtonClick() {
    Controls.SetText(TControlName::PVDirectory, BrowseDirectory(Controls.Text(TControlName::PVDirectory)));
    UpdateDictionaryDirectory();
}

void TMainForm::DictionaryDirectoryButtonClick() {
    Controls.SetText(TControlName::DictionaryDirectory,
                     BrowseDirectory(Controls.Text(TControlName::DictionaryDirectory)));
}

std::string TMainForm::GetVellumorDirectory() const {
    return VellumorDirectoryBelow(Controls.Text(TControlName::PVDirectory));
}

void TMainForm::UpdateDictionaryDirectory() {
    Controls.SetText(TControlName::DictionaryDirectory,
                     DictionaryDirectoryBelow(Controls.Text(TControlName::PVDirectory), DictionaryName()));
}

void TMainForm::SetPageCaption(const std::string& pageName) {
    Controls.SetCaption(std::string(FormTitle) + " - " + pageName);
}

std::string TMainForm::BrowseDirectory(const std::string& start) {
    const std::optional<std::string> chosen = Desktop.Dialogs.ChooseDirectory(start);
    return chosen ? *chosen : start;
}
