// Starting a program as the user who owns the desktop, not as the elevated setup: the desktop's
// own shell window (Explorer) is asked to run it, so the program inherits Explorer's token and
// profile, as installers do for "launch after install". The way there is the documented one:
// ShellWindows finds the desktop's browser, its view's background object leads to the Shell
// automation object, and IShellDispatch2::ShellExecute runs the program inside Explorer. Every
// interface is released on every way out.
#include <initguid.h>

#include "setup/win32/desktop/ComPtr.h"
#include "setup/win32/desktop/Desktop.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

namespace desktop {

namespace {

// A BSTR owned for one call.
class TBstr {
public:
    explicit TBstr(const std::string& text) {
        const int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
        Text = SysAllocStringLen(nullptr, static_cast<UINT>(length > 0 ? length - 1 : 0));
        if (Text && length > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, Text, length);
    }
    ~TBstr() { SysFreeString(Text); }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;

    BSTR Text = nullptr;
};

// The Shell automation object of the desktop's own Explorer window.
bool DesktopShell(TComPtr<IShellDispatch2>& shell) {
    TComPtr<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows,
                                windows.OutVoid())))
        return false;
    VARIANT location{}, root{};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VariantInit(&root);
    long window = 0;
    TComPtr<IDispatch> found;
    if (windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.Out()) !=
            S_OK ||
        !found)
        return false;
    TComPtr<IServiceProvider> provider;
    if (FAILED(found->QueryInterface(IID_IServiceProvider, provider.OutVoid()))) return false;
    TComPtr<IShellBrowser> browser;
    if (FAILED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())))
        return false;
    TComPtr<IShellView> view;
    if (FAILED(browser->QueryActiveShellView(view.Out())) || !view) return false;
    TComPtr<IDispatch> background;
    if (FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid()))) return false;
    TComPtr<IShellFolderViewDual> folderView;
    if (FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid()))) return false;
    TComPtr<IDispatch> application;
    if (FAILED(folderView->get_Application(application.Out())) || !application) return false;
    return SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid()));
}

} // namespace

bool StartThroughDesktopShell(const std::string& file, const std::string& parameters,
                              const std::string& directory) {
    TComPtr<IShellDispatch2> shell;
    if (!DesktopShell(shell)) return false;
    TBstr fileText(file);
    VARIANT arguments{}, folder{}, operation{}, show{};
    TBstr argumentText(parameters), folderText(directory), operationText("open");
    arguments.vt = VT_BSTR;
    arguments.bstrVal = argumentText.Text;
    folder.vt = VT_BSTR;
    folder.bstrVal = folderText.Text;
    operation.vt = VT_BSTR;
    operation.bstrVal = operationText.Text;
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(fileText.Text, arguments, folder, operation, show));
}

} // namespace desktop
