// The direct start names the program apart from its command line and quotes it there, so that an
// unquoted program path with blanks cannot be taken for a shorter program path.
//
// The start through the desktop's shell runs the program as the user who owns the desktop, not as
// the elevated setup: the desktop's own shell window (Explorer) is asked to run it, so the program
// inherits Explorer's token and profile, as installers do for "launch after install". The way there
// is the documented one: ShellWindows finds the desktop's browser, its view's background object
// leads to the Shell automation object, and IShellDispatch2::ShellExecute runs the program inside
// Explorer. Every interface is released on every way out.
#include <initguid.h>

#include "setup/win32/desktop/Win32ProgramStarter.h"

#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

namespace {

// A BSTR, freed with SysFreeString.
struct TBstrPolicy {
    using TValue = BSTR;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { SysFreeString(value); }
};
using TBstr = TOwned<TBstrPolicy>;

TBstr MakeBstr(const std::string& text) {
    const std::wstring wide = Utf8ToWide(text);
    return TBstr(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
}

VARIANT TextVariant(const TBstr& text) {
    VARIANT variant{};
    variant.vt = VT_BSTR;
    variant.bstrVal = text.get();
    return variant;
}

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
    if (FAILED(found->QueryInterface(__uuidof(IServiceProvider), provider.OutVoid()))) return false;
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

bool StartThroughDesktopShell(const std::string& file, const std::string& parameters,
                              const std::string& directory) {
    TComPtr<IShellDispatch2> shell;
    if (!DesktopShell(shell)) return false;
    const TBstr fileText = MakeBstr(file), argumentText = MakeBstr(parameters),
                folderText = MakeBstr(directory), operationText = MakeBstr("open");
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    return SUCCEEDED(shell->ShellExecute(fileText.get(), TextVariant(argumentText), TextVariant(folderText),
                                         TextVariant(operationText), show));
}

// Starts program with commandLine and a normally shown window in workingDirectory (the current one
// when empty); does not wait.
bool StartDirectly(const std::string& program, const std::string& commandLine,
                   const std::string& workingDirectory) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    std::wstring line = Utf8ToWide(commandLine);
    const std::wstring directory = Utf8ToWide(workingDirectory);
    if (!CreateProcessW(WidePath(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

bool TWin32ProgramStarter::StartProcess(TStartRoute route, const std::string& program,
                                        const std::string& parameters, const std::string& workingDirectory) {
    // The shell quotes the program itself; the direct start gets it quoted.
    if (route == TStartRoute::DesktopShell)
        return StartThroughDesktopShell(program, parameters, workingDirectory);
    return StartDirectly(program, "\"" + program + "\" " + parameters, workingDirectory);
}
