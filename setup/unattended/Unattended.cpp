// The unattended setup: the windowless form keeps the controls' texts and ticks in memory,
// starting from the stored layout as the window does; the desktop answers and logs the boxes.
#include "setup/unattended/Unattended.h"

#include "setup/MainForm.h"
#include "setup/layout/FormLayout.h"

TWindowlessControls::TWindowlessControls() : Page(FormLayout().StoredPageIndex) {
    for (const TControlLayout& control : ControlLayouts()) {
        Texts[control.Name] = control.Text;
        if (control.Kind == TControlKind::ckCheckBox) Ticked[control.Name] = (control.Flags & cfChecked) != 0;
    }
}

std::string TWindowlessControls::Text(TControlName control) const {
    return Texts[control];
}

bool TWindowlessControls::Checked(TControlName control) const {
    return Ticked[control];
}

TModalResult TUnattendedDialogs::MessageDlg(const std::string&, TMsgDlgType kind, TMsgDlgButtons buttons) {
    if (kind == TMsgDlgType::mtError) HasFailed = true;
    // The only question is whether to replace a newer installed file: keeping it is the safe answer.
    return buttons == TMsgDlgButtons::mbYesNo ? TModalResult::mrNo : TModalResult::mrOk;
}

void TUnattendedDialogs::ShowException(const std::string&) {
    HasFailed = true;
}

void ApplySetupOptions(TMainForm& form, TFormControls& controls, const TSetupOptions& options) {
    form.ApplySetupOptions(options);
    if (options.Silent) controls.SetChecked(TControlName::OpenDictionary, false);
}

int RunUnattendedSetup(TMainForm& form, TWindowlessControls& controls, TUnattendedDesktop& desktop,
                       const TSetupOptions& options) {
    form.AfterConstruction();
    if (controls.Ending() || desktop.Failed()) return ExitFailure;
    ApplySetupOptions(form, controls, options);
    // Welcome, Vellumor, Dictionary: Next twice, then Install, each as the message loop runs it.
    for (int press = 0; press < 3; ++press) form.HandleEvent([&form] { form.NextButtonClick(); });
    return desktop.Failed() ? ExitFailure : ExitSuccess;
}
