// The wizard form's Win32 window: a modeless dialog built from the stored layout table, scaled for
// the screen's DPI, whose notebook pages are groups of child controls shown one group at a time.
// The Welcome page's labels are placed from their measured text (see WelcomeLayout.h).
// It implements TFormControls for TMainForm and hands button clicks, Enter, Escape and the close
// box to the form's handlers.
#pragma once

#include "setup/layout/FormLayout.h"
#include "setup/layout/WelcomeLayout.h"

#include <string>

#include <windows.h>

class TMainForm;

class TWizardWindow : public TFormControls {
public:
    // dpi: the pixels per inch the window is laid out for; 0 takes the screen's.
    explicit TWizardWindow(HINSTANCE instance, int dpi = 0);
    ~TWizardWindow() override;
    TWizardWindow(const TWizardWindow&) = delete;
    TWizardWindow& operator=(const TWizardWindow&) = delete;

    // The form whose handlers the window's events run.
    void Bind(TMainForm& form) { Form = &form; }
    HWND Handle() const { return Window; }
    // True once the form was closed or the application told to end.
    bool Ending() const { return Quit; }
    void Show();
    // Runs the message loop until the handler that closed the form (or ended the application) has
    // returned; returns the exit code. Closing posts no quit message, so message boxes that the
    // handler shows after closing wait for their answer.
    int RunMessageLoop();
    HWND ControlHandle(TControlName control) const;

    int PageIndex() const override { return Page; }
    void ShowPage(int index) override;
    void SetCaption(const std::string& caption) override;
    std::string Text(TControlName control) const override;
    void SetText(TControlName control, const std::string& text) override;
    void SetVisible(TControlName control, bool visible) override;
    void SetEnabled(TControlName control, bool enabled) override;
    bool Checked(TControlName control) const override;
    void SetChecked(TControlName control, bool checked) override;
    void SetProgress(int position) override;
    void SetBusyCursor(bool busy) override;
    void Repaint(TControlName control) override;
    void Close() override;
    void Terminate() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCommand(int id);
    void CreateControls();
    void CreateControl(const TControlLayout& layout);
    void PlaceWindow();
    void FitToText(TControlName control);
    // Places the Welcome page's text labels from their measured text; the form grows when the
    // text needs more height than the notebook has.
    void ArrangeWelcomePage();
    // Size of a text in the form's font (or the given one), as a label draws it.
    TTextSize MeasureText(const std::string& text, int wrapWidth, HFONT font = nullptr) const;
    void ApplyVisibility(const TControlLayout& layout);
    int Scale(int pixels) const;

    HINSTANCE Instance;
    HWND Window = nullptr;
    TMainForm* Form = nullptr;
    int Dpi = 96;
    int ExtraHeight = 0;
    int Page = 0;
    bool Busy = false;
    bool Quit = false;
    // When SetProgress last painted the whole window (GetTickCount64), and how often it does.
    ULONGLONG LastFullPaint = 0;
    static constexpr ULONGLONG FullPaintInterval = 100;
    HFONT Font = nullptr;
    HFONT TitleFont = nullptr;
    HBITMAP Picture = nullptr;
    TPerControl<HWND> Controls;
    TPerControl<bool> OwnVisible;
};
