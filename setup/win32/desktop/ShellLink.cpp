// Shell links and the Start-menu Programs folder, through the shell's COM objects. Both
// interfaces of a link are held by owners that release them on every way out.
#include "setup/win32/desktop/ComPtr.h"
#include "setup/win32/desktop/Desktop.h"

#include <objbase.h>
#include <shlobj.h>

namespace desktop {

std::string ProgramsFolder(HWND owner) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(owner, CSIDL_PROGRAMS, &list)) || !list) return {};
    char buffer[MAX_PATH] = {};
    const BOOL found = SHGetPathFromIDListA(list, buffer);
    CoTaskMemFree(list);
    return found ? std::string(buffer) : std::string();
}

HRESULT CreateShellLink(const std::string& target, const std::string& workingDirectory,
                        const std::string& description, const std::string& linkPath) {
    TComPtr<IShellLinkA> link;
    HRESULT result =
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.OutVoid());
    if (FAILED(result)) return result;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workingDirectory.c_str());
    link->SetDescription(description.c_str());

    TComPtr<IPersistFile> file;
    result = link->QueryInterface(IID_IPersistFile, file.OutVoid());
    if (FAILED(result)) return result;
    WCHAR widePath[MAX_PATH] = {};
    if (MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, widePath, MAX_PATH) == 0) return E_INVALIDARG;
    return file->Save(widePath, TRUE);
}

} // namespace desktop
