// TMainForm: construction with the archive component's settings, start-up with the support record
// (found as the resource "PARLAVOX"/"SUPPORT" or in the fallback file beside the executable), page
// navigation, captions, the directory defaults and the Browse buttons.
#include "setup/MainForm.h"

#include "setup/PathText.h"
#include "setup/integrity/SetupDigests.h"
#include "setup/record/DateTimeText.h"

namespace {
const char* const FormTitle = "Parlavox Dictionary Setup";
const char* const SetupDamagedMessage =
    "The setup file is damaged (an incomplete download or a faulty disk) and cannot install anything. "
    "Please obtain a new copy of it.";
constexpr int LastPage = 2;
} // namespace

TMainForm::TMainForm(TFormControls& controls, const TDesktop& desktop)
    : Controls(controls), Desktop(desktop) {
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
    const std::string modulePath = Desktop.Module.ModulePath();
    FSetupDirectory = ExtractFileDir(modulePath);
    FSetupBaseName = ExtractFileBaseName(modulePath);
    // Before the first page, and so before anything is written: a damaged download is refused
    // whole instead of failing halfway through the installation.
    if (const std::optional<std::string> damage = FindSetupDamage(Desktop.Module, Compressor)) {
        Note("Setup damaged: " + *damage);
        ShowMessage(SetupDamagedMessage, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return;
    }

    const std::optional<std::string> record = LoadSupportRecord();
    if (!record) return;
    Support = ParseSupportRecord(*record);
    Controls.SetText(TControlName::Description, Support.Description);
    Controls.SetText(TControlName::Author, Support.Author);
    // The texts read before an invalid date stay on show.
    if (!Support.Created) {
        ShowMessage("Invalid support data!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return;
    }
    Controls.SetText(TControlName::Created, DateTimeToDisplayText(Desktop.Locale, *Support.Created));
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

std::optional<std::string> TMainForm::LoadSupportRecord() {
    if (std::optional<std::string> resource = Desktop.Module.LoadResource("PARLAVOX", "SUPPORT")) {
        const size_t nul = resource->find('\0');
        if (nul != std::string::npos) resource->resize(nul);
        return resource;
    }
    const std::string path = GetFallbackFileName(1);
    if (!Desktop.Files.FileExists(path)) {
        ShowMessage(path + " file is missing!", TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        Controls.Terminate();
        return std::nullopt;
    }
    return Desktop.Files.ReadFirstLine(path);
}

std::string TMainForm::GetFallbackFileName(int number) const {
    return FSetupDirectory + "\\" + FSetupBaseName + ".vl" + std::to_string(number);
}

std::string TMainForm::GetVellumorDirectory() const {
    return Controls.Text(TControlName::PVDirectory) + "\\VL";
}

void TMainForm::UpdateDictionaryDirectory() {
    Controls.SetText(TControlName::DictionaryDirectory,
                     Controls.Text(TControlName::PVDirectory) + "\\" + Support.DictionaryName);
}

void TMainForm::SetPageCaption(const std::string& pageName) {
    Controls.SetCaption(std::string(FormTitle) + " - " + pageName);
}

std::string TMainForm::BrowseDirectory(const std::string& start) {
    const std::optional<std::string> chosen = Desktop.Dialogs.ChooseDirectory(start);
    return chosen ? *chosen : start;
}

std::string TMainForm::ExtractFileBaseName(const std::string& path) {
    const std::string name = ExtractFileName(path);
    return name.substr(0, name.size() - ExtractFileExt(name).size());
}
