// The wizard's Install step: the request from the pages, the installation run by the engine while
// the form shows its progress and asks its questions in boxes, the outcome's message, the closed
// form, and then the engine's finish (the project mark and Vellumor's start), in that order.
#include "setup/MainForm.h"

TInstallRequest TMainForm::RequestFromPages() const {
    TInstallRequest request;
    request.BaseDirectory = Controls.Text(TControlName::PVDirectory);
    request.DictionaryDirectory = Controls.Text(TControlName::DictionaryDirectory);
    request.LaunchVellumor = Controls.Checked(TControlName::OpenDictionary);
    return request;
}

void TMainForm::RunInstallation() {
    const TInstallOutcome outcome = Installation.Install(Session.Package(), RequestFromPages());
    // Nothing was written: the form stays on its page, and Install can be pressed again.
    if (outcome.Status == TInstallStatus::Refused || outcome.Status == TInstallStatus::Unprotected) {
        ShowMessage(outcome.Reason, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        return;
    }
    if (outcome.Status == TInstallStatus::Failed) {
        // The box says why only when the reason is about the user's choice; the log always does.
        if (outcome.ReasonForUser) ShowMessage(outcome.Reason, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
        ShowMessage(SetupFailedMessage, TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    } else {
        ShowMessage(outcome.Status == TInstallStatus::NeedsRestart ? SetupRestartMessage
                                                                   : SetupCompleteMessage,
                    TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    }
    Controls.SetBusyCursor(false);
    Controls.Close();
    Installation.Finish();
}

void TMainForm::TFormProgress::ShowInstalling() {
    TFormControls& controls = Form.Controls;
    controls.SetBusyCursor(true);
    controls.SetVisible(TControlName::ProgressBarLabel, true);
    controls.Repaint(TControlName::ProgressBarLabel);
    controls.SetVisible(TControlName::ProgressBar, true);
    controls.SetEnabled(TControlName::BackButton, false);
    controls.SetEnabled(TControlName::CancelButton, false);
}

void TMainForm::TFormProgress::ShowProgress(int32_t percentDone) {
    // Reports often repeat a position (a member's last chunk reports 100, then its end does);
    // the bar is moved, and so repainted, only when the position changes.
    if (percentDone == Position) return;
    Position = percentDone;
    Form.Controls.SetProgress(percentDone);
}

TAnswer TMainForm::TFormQuestions::Ask(TQuestion question, const std::string& text) {
    if (question == TQuestion::FileInUse) {
        // Try Again, Continue (replace at restart); Cancel, or a box closed another way, ends the
        // installation and leaves the file as it was.
        switch (Form.Desktop.Dialogs.MessageDlg(text, TMsgDlgType::mtError,
                                                TMsgDlgButtons::mbCancelTryContinue)) {
        case TModalResult::mrTryAgain:
            return TAnswer::Retry;
        case TModalResult::mrContinue:
            return TAnswer::AtRestart;
        default:
            return TAnswer::Cancel;
        }
    }
    const TModalResult answer =
        Form.Desktop.Dialogs.MessageDlg(text, TMsgDlgType::mtConfirmation, TMsgDlgButtons::mbYesNo);
    // Programs are closed only on Yes: a box closed another way leaves them running.
    if (question == TQuestion::ClosePrograms)
        return answer == TModalResult::mrYes ? TAnswer::Yes : TAnswer::No;
    // The installation notes the question and its answer; only No keeps what is there (a box
    // closed another way leaves the installation's course as Yes would).
    return answer == TModalResult::mrNo ? TAnswer::No : TAnswer::Yes;
}
