// Shell links and the Start-menu Programs folder. Every interface and the folder's path are held
// by owners that give them back on every way out.
#include "setup/win32/desktop/Win32Shortcuts.h"

#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"

#include <knownfolders.h>
#include <objbase.h>
#include <shlobj.h>

namespace {
// COM from the first link on: a run that makes none never starts COM. In the multithreaded
// apartment, where the shell link object lives as well as in a single-threaded one: that one
// needs a window, which under Wine starts the desktop's process (most of a second). A thread that
// already has COM (the wizard's, single-threaded) keeps it. Left initialised for the rest of the
// thread's life: the links are the installation's last steps.
bool ComStarted() {
    static const bool started = [] {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_DISABLE_OLE1DDE);
        return SUCCEEDED(result) || result == RPC_E_CHANGED_MODE;
    }();
    return started;
}
} // namespace

template <class TPort>
std::string TWin32ShortcutFolder<TPort>::ProgramsFolder() {
    // COM's library first, through the program's own loading from System32: the shell would
    // otherwise load it when the path's memory is allocated, by the plain search that starts in
    // the setup's own folder.
    if (!ComStarted()) return {};
    TCoTaskMem<wchar_t> path;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_Programs, 0, nullptr, path.Out())) || !path) return {};
    return WideToUtf8(path.get());
}

int32_t TWin32Shortcuts::CreateShellLink(const std::string& target, const std::string& workingDirectory,
                                         const std::string& description, const std::string& linkPath) {
    const std::wstring targetText = Utf8ToWide(target), directoryText = Utf8ToWide(workingDirectory),
                       linkText = Utf8ToWide(linkPath);
    // A link keeps its paths in fields of MAX_PATH characters: with a longer one the shell still
    // saves a link (Wine says it succeeded), but one that leads nowhere. None is made instead.
    if (targetText.size() >= MAX_PATH || directoryText.size() >= MAX_PATH || linkText.size() >= MAX_PATH)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    if (!ComStarted()) return CO_E_NOTINITIALIZED;
    TComPtr<IShellLinkW> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.OutVoid());
    if (FAILED(result)) return result;
    if (FAILED(result = link->SetPath(targetText.c_str()))) return result;
    if (FAILED(result = link->SetWorkingDirectory(directoryText.c_str()))) return result;
    if (FAILED(result = link->SetDescription(Utf8ToWide(description).c_str()))) return result;
    TComPtr<IPersistFile> file;
    if (FAILED(result = link->QueryInterface(IID_IPersistFile, file.OutVoid()))) return result;
    return file->Save(linkText.c_str(), TRUE);
}

namespace {
// The libraries a link needs (COM's, the shell's, and with them the window and drawing libraries
// with their fonts) take tens of milliseconds to load. A call of one harmless function of each
// loads it as its first real use would, through the program's delay-load hook from System32
// alone; they stay loaded until the program ends. While they load, the loader is busy for every
// other thread: hence not at the program's start, where the main thread still loads libraries of
// its own. The calls must do nothing more: CoGetCurrentProcess, once used here, asks COM's
// service for a number, and under Wine that starts the service's process (rpcss.exe, through the
// service manager) beside the expansion, which a link never needs.
DWORD WINAPI LoadShellLibraries(void*) {
    CoTaskMemFree(nullptr);
    IsUserAnAdmin();
    return 0;
}
} // namespace

void TWin32Shortcuts::Prepare() {
    if (const HANDLE loading = CreateThread(nullptr, 0, LoadShellLibraries, nullptr, 0, nullptr))
        CloseHandle(loading);
}

template class TWin32ShortcutFolder<TUninstallShortcuts>;
template class TWin32ShortcutFolder<TShortcuts>;
