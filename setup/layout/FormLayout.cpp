// The wizard form's stored layout, one row per control in the form's declaration order.
#include "setup/layout/FormLayout.h"

#include "platform/Exception.h"

namespace {

using enum TControlName;
using enum TControlKind;
using P = TControlParent;

constexpr TControlLayout Controls[] = {
    {BackButton, ckButton, P::Form, 136, 240, 75, 25, "< &Back", 1, cfNone},
    {NextButton, ckButton, P::Form, 216, 240, 75, 25, "&Next >", 2, cfDefault},
    {CancelButton, ckButton, P::Form, 304, 240, 75, 25, "Cancel", 3, cfCancel},
    {Welcome, ckLabel, P::Page0, 8, 168, 369, 30,
     "Welcome to the Parlavox Dictionary setup program. This program will install dictionary files and "
     "Vellumor on your computer.",
     -1, cfWordWrap},
    {DictionaryPrompt, ckLabel, P::Page2, 8, 8, 0, 0,
     "Setup will install the dictionary into following directory.", -1, cfAutoSize},
    {DictionaryGroup, ckGroupBox, P::Page2, 8, 32, 369, 49, "&Destination Directory", 0, cfNone},
    {DictionaryDirectoryButton, ckButton, P::DictionaryGroup, 280, 14, 75, 25, "&Browse...", 1, cfNone},
    {Picture, ckImage, P::Page0, 128, 40, 120, 120, "", -1, cfNone},
    {PackageTitle, ckLabel, P::Page0, 8, 8, 369, 24, "Parlavox Package", -1, cfCentered | cfTitleFont},
    {ProgressBar, ckProgressBar, P::Page2, 8, 184, 369, 16, "", 2, cfHidden},
    {ProgressBarLabel, ckLabel, P::Page2, 8, 168, 0, 0, "Installing files...", -1, cfAutoSize | cfHidden},
    {VellumorPrompt, ckLabel, P::Page1, 8, 8, 0, 0, "Setup will install Vellumor into following directory.",
     -1, cfAutoSize},
    {VellumorGroup, ckGroupBox, P::Page1, 8, 32, 369, 49, "&Destination Directory", 0, cfNone},
    {PVDirectoryButton, ckButton, P::VellumorGroup, 280, 14, 75, 25, "&Browse...", 1, cfNone},
    {PVDirectory, ckEdit, P::VellumorGroup, 8, 16, 265, 21, "C:\\Program Files\\Parlavox", 0, cfNone},
    {DictionaryDirectory, ckEdit, P::DictionaryGroup, 8, 16, 265, 21, "C:\\Program Files\\Parlavox\\Diction",
     0, cfNone},
    {AuthorCaption, ckLabel, P::Page0, 8, 216, 0, 0, "Author:", -1, cfAutoSize},
    {CreatedCaption, ckLabel, P::Page0, 216, 216, 0, 0, "Created:", -1, cfAutoSize},
    {Author, ckLabel, P::Page0, 48, 216, 161, 13, "Author", -1, cfNone},
    {Created, ckLabel, P::Page0, 264, 216, 113, 13, "Created", -1, cfNone},
    {DescriptionCaption, ckLabel, P::Page0, 8, 200, 0, 0, "Description:", -1, cfAutoSize},
    {Description, ckLabel, P::Page0, 72, 200, 0, 0, "Description", -1, cfAutoSize},
    {OpenDictionary, ckCheckBox, P::Page2, 16, 88, 353, 17, "&Open dictionary after installation", 1,
     cfChecked},
};

} // namespace

const TFormLayout& FormLayout() {
    static const TFormLayout layout;
    return layout;
}

std::span<const TControlLayout> ControlLayouts() {
    return Controls;
}

const TControlLayout& ControlLayout(TControlName name) {
    for (const TControlLayout& control : Controls)
        if (control.Name == name) return control;
    throw Exception(std::string("No layout for control ") + ControlNameText(name));
}

int PageOf(const TControlLayout& control) {
    switch (control.Parent) {
    case P::Form:
        return -1;
    case P::Page0:
        return 0;
    case P::Page1:
    case P::VellumorGroup:
        return 1;
    case P::Page2:
    case P::DictionaryGroup:
        return 2;
    }
    return -1;
}

int ScalePixels(int pixels, int dpi) {
    const long long scaled = static_cast<long long>(pixels) * dpi;
    const int perInch = FormLayout().PixelsPerInch;
    return static_cast<int>(scaled >= 0 ? (scaled + perInch / 2) / perInch
                                        : (scaled - perInch / 2) / perInch);
}
