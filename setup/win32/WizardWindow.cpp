// The wizard's window. It is a modeless dialog so that the dialog manager provides tab order,
// mnemonics, Enter for the default button and Escape for Cancel. Controls are created in tab
// order, computed from the layout's tab numbers along each control's parent chain; group boxes
// and pages are not windows of their own, their children are placed at absolute positions.
#include "setup/win32/WizardWindow.h"

#include "platform/win32/WideText.h"
#include "setup/MainForm.h"
#include "setup/win32/PackedPicture.h"
#include "setup/win32/ProgressBar.h"

#include <algorithm>
#include <commctrl.h>
#include <vector>

namespace {

constexpr int FirstControlId = 100;
constexpr DWORD FormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | WS_CLIPCHILDREN;
constexpr DWORD FormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT | WS_EX_APPWINDOW;

int ControlId(TControlName name) {
    return FirstControlId + static_cast<int>(name);
}

// Offset of a parent's client area within the form, at 96 pixels per inch.
POINT ParentOrigin(TControlParent parent) {
    const TFormLayout& form = FormLayout();
    POINT origin{form.NotebookLeft, form.NotebookTop};
    if (parent == TControlParent::Form) return POINT{0, 0};
    if (parent == TControlParent::DictionaryGroup || parent == TControlParent::VellumorGroup) {
        const TControlLayout& box =
            ControlLayout(parent == TControlParent::DictionaryGroup ? TControlName::DictionaryGroup
                                                                    : TControlName::VellumorGroup);
        origin.x += box.Left;
        origin.y += box.Top;
    }
    return origin;
}

// Tab position of a control: the tab numbers from the form down to the control itself.
std::vector<int> TabPath(const TControlLayout& control) {
    std::vector<int> path;
    switch (control.Parent) {
    case TControlParent::Form:
        break;
    case TControlParent::Page0:
    case TControlParent::Page1:
    case TControlParent::Page2:
        path = {FormLayout().NotebookTabOrder};
        break;
    case TControlParent::DictionaryGroup:
        path = {FormLayout().NotebookTabOrder, ControlLayout(TControlName::DictionaryGroup).TabOrder};
        break;
    case TControlParent::VellumorGroup:
        path = {FormLayout().NotebookTabOrder, ControlLayout(TControlName::VellumorGroup).TabOrder};
        break;
    }
    path.push_back(control.TabOrder);
    return path;
}

// A DLGTEMPLATE with no controls, no menu, the default class and an empty title.
struct alignas(4) TEmptyDialog {
    DLGTEMPLATE Header;
    WORD Menu = 0, Class = 0, Title = 0;
};

} // namespace

TWizardWindow::TWizardWindow(HINSTANCE instance, int dpi) : Instance(instance), Dpi(dpi) {
    RegisterProgressBarClass(instance);
    if (Dpi <= 0) {
        HDC screen = GetDC(nullptr);
        Dpi = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }

    TEmptyDialog dialog{};
    dialog.Header.style = FormStyle;
    dialog.Header.dwExtendedStyle = FormExStyle;
    Window = CreateDialogIndirectParamW(instance, &dialog.Header, nullptr, DialogProc,
                                        reinterpret_cast<LPARAM>(this));
    if (!Window) return;
    SetWindowTextW(Window, Utf8ToWide(FormLayout().Caption).c_str());

    const TFormLayout& form = FormLayout();
    Font = CreateFontW(-Scale(form.FontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS,
                       Utf8ToWide(form.FontName).c_str());
    TitleFont = CreateFontW(-Scale(form.TitleFontHeight), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_SWISS, Utf8ToWide(form.TitleFontName).c_str());
    SendMessageW(Window, WM_SETFONT, reinterpret_cast<WPARAM>(Font), FALSE);
    Page = form.StoredPageIndex;
    PlaceWindow();
    CreateControls();
    SendMessageW(Window, DM_SETDEFID, ControlId(TControlName::NextButton), 0);
}

TWizardWindow::~TWizardWindow() {
    if (Window) DestroyWindow(Window);
    if (Font) DeleteObject(Font);
    if (TitleFont) DeleteObject(TitleFont);
    if (Picture) DeleteObject(Picture);
}

int TWizardWindow::Scale(int pixels) const {
    return ScalePixels(pixels, Dpi);
}

void TWizardWindow::PlaceWindow() {
    RECT frame{0, 0, Scale(FormLayout().ClientWidth), Scale(FormLayout().ClientHeight) + ExtraHeight};
    AdjustWindowRectEx(&frame, FormStyle, FALSE, FormExStyle);
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int left = work.left + std::max(0L, (work.right - work.left - width) / 2);
    const int top = work.top + std::max(0L, (work.bottom - work.top - height) / 2);
    SetWindowPos(Window, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TWizardWindow::CreateControls() {
    std::vector<const TControlLayout*> order;
    for (const TControlLayout& control : ControlLayouts()) order.push_back(&control);
    // Equal paths keep the table's order (the pointers run in it): a plain sort is smaller than a
    // stable one.
    std::sort(order.begin(), order.end(), [](const TControlLayout* a, const TControlLayout* b) {
        const std::vector<int> pa = TabPath(*a), pb = TabPath(*b);
        return pa < pb || (pa == pb && a < b);
    });
    for (const TControlLayout* control : order) CreateControl(*control);
    ArrangeWelcomePage();
}

void TWizardWindow::CreateControl(const TControlLayout& layout) {
    const wchar_t* windowClass = L"STATIC";
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    switch (layout.Kind) {
    case TControlKind::ckLabel:
        style |= SS_NOPREFIX;
        if (layout.Flags & cfCentered)
            style |= SS_CENTER;
        else if (!(layout.Flags & cfWordWrap))
            style |= SS_LEFTNOWORDWRAP;
        break;
    case TControlKind::ckEdit:
        windowClass = L"EDIT";
        style |= WS_TABSTOP | WS_GROUP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
    case TControlKind::ckButton:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | WS_GROUP | ((layout.Flags & cfDefault) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
        break;
    case TControlKind::ckCheckBox:
        windowClass = L"BUTTON";
        style |= WS_TABSTOP | WS_GROUP | BS_AUTOCHECKBOX;
        break;
    case TControlKind::ckGroupBox:
        windowClass = L"BUTTON";
        style |= BS_GROUPBOX;
        break;
    case TControlKind::ckImage:
        style |= SS_BITMAP | SS_REALSIZECONTROL;
        break;
    case TControlKind::ckProgressBar:
        windowClass = ProgressBarClassName;
        break;
    }

    const POINT origin = ParentOrigin(layout.Parent);
    HWND control = CreateWindowExW(
        exStyle, windowClass, Utf8ToWide(layout.Text).c_str(), style, Scale(origin.x + layout.Left),
        Scale(origin.y + layout.Top), Scale(layout.Width), Scale(layout.Height), Window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlId(layout.Name))), Instance, nullptr);
    Controls[layout.Name] = control;
    OwnVisible[layout.Name] = (layout.Flags & cfHidden) == 0;
    SendMessageW(control, WM_SETFONT,
                 reinterpret_cast<WPARAM>((layout.Flags & cfTitleFont) ? TitleFont : Font), FALSE);

    if (layout.Kind == TControlKind::ckCheckBox && (layout.Flags & cfChecked))
        SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
    if (layout.Kind == TControlKind::ckImage) {
        Picture = LoadPackedPicture(Instance, L"PICTURE", Scale(layout.Width), Scale(layout.Height));
        if (Picture) SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(Picture));
    }
    if (layout.Flags & cfAutoSize) FitToText(layout.Name);
    if (layout.Kind == TControlKind::ckLabel && !(layout.Flags & cfAutoSize)) {
        // A fixed-size label keeps its width and grows to its text's height (the Welcome page's
        // texts are placed again once they are all there).
        HFONT font = (layout.Flags & cfTitleFont) ? TitleFont : Font;
        const int height = MeasureText(layout.Text, Scale(layout.Width), font).Height;
        if (height > Scale(layout.Height))
            SetWindowPos(control, nullptr, 0, 0, Scale(layout.Width), height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ApplyVisibility(layout);
}

void TWizardWindow::FitToText(TControlName name) {
    HWND control = ControlHandle(name);
    const std::string text = Text(name);
    HDC dc = GetDC(control);
    HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    RECT bounds{0, 0, 0, 0};
    DrawTextW(dc, text.empty() ? L" " : Utf8ToWide(text).c_str(), -1, &bounds,
              DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    // A little room beyond the measured text, so that the last character is never clipped.
    SetWindowPos(control, nullptr, 0, 0, text.empty() ? 0 : bounds.right + Scale(6), bounds.bottom,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TTextSize TWizardWindow::MeasureText(const std::string& text, int wrapWidth, HFONT font) const {
    HDC dc = GetDC(Window);
    HGDIOBJ previous = SelectObject(dc, font ? font : Font);
    // The flags the static control draws a label with.
    RECT bounds{0, 0, wrapWidth, 0};
    DrawTextW(dc, text.empty() ? L" " : Utf8ToWide(text).c_str(), -1, &bounds,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wrapWidth > 0 ? DT_WORDBREAK : DT_SINGLELINE));
    SelectObject(dc, previous);
    ReleaseDC(Window, dc);
    return {static_cast<int>(bounds.right - bounds.left), static_cast<int>(bounds.bottom - bounds.top)};
}

void TWizardWindow::ArrangeWelcomePage() {
    const TWelcomeLayout fit = FitWelcomePage(
        Dpi, [this](TControlName name) { return Text(name); },
        [this](const std::string& text, int wrapWidth) { return MeasureText(text, wrapWidth); });
    const POINT page = ParentOrigin(TControlParent::Page0);
    for (const auto& [name, place] : fit.Places)
        SetWindowPos(ControlHandle(name), nullptr, Scale(page.x) + place.Left, Scale(page.y) + place.Top,
                     place.Width, place.Height, SWP_NOZORDER | SWP_NOACTIVATE);
    if (fit.ExtraHeight == ExtraHeight) return;
    ExtraHeight = fit.ExtraHeight;
    for (const TControlLayout& layout : ControlLayouts()) {
        if (layout.Parent != TControlParent::Form) continue;
        SetWindowPos(ControlHandle(layout.Name), nullptr, Scale(layout.Left), Scale(layout.Top) + ExtraHeight,
                     0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    PlaceWindow();
}

void TWizardWindow::ApplyVisibility(const TControlLayout& layout) {
    const int page = PageOf(layout);
    const bool shown = OwnVisible[layout.Name] && (page < 0 || page == Page);
    ShowWindow(ControlHandle(layout.Name), shown ? SW_SHOWNA : SW_HIDE);
}

HWND TWizardWindow::ControlHandle(TControlName control) const {
    return Controls[control];
}

void TWizardWindow::Show() {
    ShowWindow(Window, SW_SHOWNORMAL);
    SetForegroundWindow(Window);
    SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ControlHandle(TControlName::NextButton)),
                 TRUE);
}

// The loop ends once the handler that closed the form has returned: a quit message posted at
// Close would end every message box that the rest of the handler shows (the project mark's error
// among them) the moment it appeared.
int TWizardWindow::RunMessageLoop() {
    MSG message{};
    while (!Quit && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(Window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

void TWizardWindow::ShowPage(int index) {
    HWND focus = GetFocus();
    Page = index;
    for (const TControlLayout& layout : ControlLayouts()) ApplyVisibility(layout);
    // A page change that started on a page's own control moves the focus to Next, so that the
    // focus neither stays on a hidden control nor lands on a control of the new page by accident.
    bool onFormButton = false;
    for (TControlName button :
         {TControlName::BackButton, TControlName::NextButton, TControlName::CancelButton})
        onFormButton = onFormButton || (focus == ControlHandle(button) && IsWindowVisible(focus));
    if (!onFormButton)
        SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ControlHandle(TControlName::NextButton)),
                     TRUE);
}

void TWizardWindow::SetCaption(const std::string& caption) {
    SetWindowTextW(Window, Utf8ToWide(caption).c_str());
}

std::string TWizardWindow::Text(TControlName control) const {
    HWND handle = ControlHandle(control);
    const int length = GetWindowTextLengthW(handle);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(handle, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return WideToUtf8(text);
}

void TWizardWindow::SetText(TControlName control, const std::string& text) {
    SetWindowTextW(ControlHandle(control), Utf8ToWide(text).c_str());
    if (PageOf(ControlLayout(control)) == 0 && ControlLayout(control).Kind == TControlKind::ckLabel)
        ArrangeWelcomePage();
    else if (ControlLayout(control).Flags & cfAutoSize)
        FitToText(control);
}

void TWizardWindow::SetVisible(TControlName control, bool visible) {
    const bool hadFocus = GetFocus() == ControlHandle(control);
    OwnVisible[control] = visible;
    ApplyVisibility(ControlLayout(control));
    if (hadFocus && !visible)
        SendMessageW(Window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ControlHandle(TControlName::NextButton)),
                     TRUE);
}

void TWizardWindow::SetEnabled(TControlName control, bool enabled) {
    EnableWindow(ControlHandle(control), enabled);
}

bool TWizardWindow::Checked(TControlName control) const {
    return SendMessageW(ControlHandle(control), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TWizardWindow::SetChecked(TControlName control, bool checked) {
    SendMessageW(ControlHandle(control), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TWizardWindow::SetProgress(int position) {
    SetProgressBarPosition(ControlHandle(TControlName::ProgressBar), position);
    // No message loop runs during the installation. A few times a second the rest of the window
    // is painted where it needs it (uncovered parts, the buttons that were disabled), which also
    // tells the system that the program still takes its messages.
    const ULONGLONG now = GetTickCount64();
    if (now - LastFullPaint < FullPaintInterval) return;
    LastFullPaint = now;
    MSG pending;
    PeekMessageW(&pending, nullptr, 0, 0, PM_NOREMOVE);
    RedrawWindow(Window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void TWizardWindow::SetBusyCursor(bool busy) {
    Busy = busy;
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(busy ? IDC_WAIT : IDC_ARROW)));
}

void TWizardWindow::Repaint(TControlName control) {
    RedrawWindow(ControlHandle(control), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void TWizardWindow::Close() {
    ShowWindow(Window, SW_HIDE);
    Terminate();
}

void TWizardWindow::Terminate() {
    Quit = true;
}

INT_PTR CALLBACK TWizardWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<TWizardWindow*>(lParam)->Window = window;
        return FALSE;
    }
    auto* self = reinterpret_cast<TWizardWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    return self ? self->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR TWizardWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED || lParam == 0) OnCommand(LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        Close();
        return TRUE;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    case WM_SETCURSOR:
        if (Busy) {
            SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
            SetWindowLongPtrW(Window, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

void TWizardWindow::OnCommand(int id) {
    if (!Form) return;
    auto enabledAndShown = [this](TControlName name) {
        HWND control = ControlHandle(name);
        return IsWindowEnabled(control) && IsWindowVisible(control);
    };
    TMainForm& form = *Form;
    if (id == IDCANCEL) {
        // Escape presses Cancel only while Cancel can be pressed.
        if (enabledAndShown(TControlName::CancelButton)) form.HandleEvent([&] { form.CancelButtonClick(); });
        return;
    }
    if (id == IDOK) id = ControlId(TControlName::NextButton);
    if (id == ControlId(TControlName::NextButton)) {
        if (enabledAndShown(TControlName::NextButton)) form.HandleEvent([&] { form.NextButtonClick(); });
    } else if (id == ControlId(TControlName::BackButton)) {
        form.HandleEvent([&] { form.BackButtonClick(); });
    } else if (id == ControlId(TControlName::CancelButton)) {
        form.HandleEvent([&] { form.CancelButtonClick(); });
    } else if (id == ControlId(TControlName::PVDirectoryButton)) {
        form.HandleEvent([&] { form.PVDirectoryButtonClick(); });
    } else if (id == ControlId(TControlName::DictionaryDirectoryButton)) {
        form.HandleEvent([&] { form.DictionaryDirectoryButtonClick(); });
    }
}
