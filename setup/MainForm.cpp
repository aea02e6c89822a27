// TMainForm: construction with the archive component's settings, start-up, page navigation,
// captions, the directory defaults and the Browse buttons.
#include "setup/MainForm.h"

#include "setup/PathText.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/unattended/InstallLog.h"

namespace {
const char* const FormTitle = "Parlavox Dictionary Setup";
const char* const SetupDamagedMessage =
    "The setup file is damaged (an incomplete download or a faulty disk) and cannot install anything. "
    "Please obtain a new copy of it.";
constexpr int LastPage = 2;
} // namespace

TMainForm::TMainForm(TFormControls& controls, TDesktop& desktop) : Controls(controls), Desktop(desktop) {
    Compressor.OnCheckFile = [this](std::string& filepath, TProcessMode mode) {
        CompressorCheckFile(filepath, mode);
    };
    Compressor.OnShowProgress = [this](int32_t& percentageDone) { CompressorShowProgress(percentageDone); };
    Compressor.MakeDirectories = true;
    Compressor.ExceptionOnFileError = false;
    Compressor.CheckSpaceBeforeExpand = false;
    Compressor.Key = 0;
}

void TMainForm::AfterConstruction() {
    HandleEvent([this] { FormCreate(); });
}

void TMainForm::HandleEvent(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        Note(std::string("Error: ") + e.what());
        Desktop.ShowException(e.what());
    }
}

void TMainForm::Note(const std::string& line) {
    if (Log) Log->Write(line);
}

TModalResult TMainForm::ShowMessage(const std::string& text, TMsgDlgType kind, TMsgDlgButtons buttons) {
    static const char* const Kinds[] = {"Error: ", "Information: ", "Question: "};
    Note(Kinds[static_cast<int>(kind)] + text);
    const TModalResult answer = Desktop.MessageDlg(text, kind, buttons);
    if (buttons == TMsgDlgButtons::mbYesNo) Note(answer == TModalResult::mrNo ? "Answer: No" : "Answer: Yes");
    return answer;
}

void TMainForm::FormCreate() {
    const std::string modulePath = Desktop.ModulePath();
    FSetupDirectory = ExtractFileDir(modulePath);
    FSetupBaseName = ExtractFileBaseName(modulePath);
    // Before the first page, and so before anything is written: a damaged download is refused
    // whole instead of failing halfway through the installation.
    if (const std::optional<std::string> damage = FindSetupDamage(Desktop, Compressor)) {
        Note("Setup damaged: " + *damage);
        ShowMessage(SetupDamagedMessage, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return;
    }

    const std::optional<std::string> record = LoadSupportRecord();
    if (!record) return;
    try {
        ParseSupportRecord(*record);
    } catch (...) {
        ShowMessage("Invalid support data!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return;
    }
    UpdateDictionaryDirectory();
    SetNotebookPageIndex(0);
    NotebookPageChanged();
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
    if (page == LastPage)
        RunInstallation();
    else
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

std::string TMainForm::GetFallbackFileName(int number) const {
    return FSetupDirectory + "\\" + FSetupBaseName + ".vl" + std::to_string(number);
}

std::string TMainForm::GetVellumorDirectory() const {
    return Controls.Text(TControlName::PVDirectory) + "\\VL";
}

void TMainForm::UpdateDictionaryDirectory() {
    Controls.SetText(TControlName::DictionaryDirectory,
                     Controls.Text(TControlName::PVDirectory) + "\\" + FDictionaryName);
}

void TMainForm::SetPageCaption(const std::string& pageName) {
    Controls.SetCaption(std::string(FormTitle) + " - " + pageName);
}

std::string TMainForm::BrowseDirectory(const std::string& start) {
    const std::optional<std::string> chosen = Desktop.ChooseDirectory(start);
    return chosen ? *chosen : start;
}

std::string TMainForm::ExtractFileBaseName(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}
