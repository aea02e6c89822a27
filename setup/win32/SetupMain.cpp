// The program's entry: COM for the main thread, the common controls, the wizard form in its
// window, and the message loop until the form closes. A start-up that ends the application
// (missing or invalid support record) never shows the window.
#include "setup/MainForm.h"
#include "setup/win32/Win32Desktop.h"
#include "setup/win32/WizardWindow.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

const char* const ApplicationTitle = "Parlavox Dictionary Setup";

// COM stays initialised for the main thread until the program ends.
class TComInitialization {
public:
    TComInitialization() : Initialized(SUCCEEDED(CoInitialize(nullptr))) {}
    ~TComInitialization() {
        if (Initialized) CoUninitialize();
    }
    TComInitialization(const TComInitialization&) = delete;
    TComInitialization& operator=(const TComInitialization&) = delete;

private:
    bool Initialized;
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    TComInitialization com;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    TWizardWindow window(instance);
    if (!window.Handle()) return 1;
    TWin32Desktop desktop(window.Handle(), ApplicationTitle);
    TMainForm form(window, desktop);
    window.Bind(form);
    form.AfterConstruction();
    if (window.Ending()) return 0;
    window.Show();
    return window.RunMessageLoop();
}
