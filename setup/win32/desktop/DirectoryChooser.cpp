// The folder chooser: the shell's browse-for-folder dialog with an edit box. The dialog itself
// only returns folders that exist (and some shells ignore the edit box altogether), so its OK
// command is intercepted: text in the edit box other than the selected folder's display name is
// taken as typed, relative names below the selected folder. The display name itself, even one
// that looks like a path ("Local Disk (C:)", a network share's), means the selected folder.
// The dialog creates nothing and asks nothing.
#include "setup/win32/desktop/Desktop.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

namespace desktop {
namespace {

struct TChooserState {
    std::string Start;
    std::string Selected;             // path of the folder selected in the tree
    std::string SelectedName;         // its display name, as the edit box shows it
    std::optional<std::string> Typed; // the typed directory, when the user typed one
};

constexpr UINT_PTR SubclassId = 1;

bool IsDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

std::string CurrentDirectory() {
    char buffer[MAX_PATH] = {};
    const DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
    return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}

std::string PathOfIdList(LPCITEMIDLIST list) {
    char buffer[MAX_PATH] = {};
    return list && SHGetPathFromIDListA(list, buffer) ? std::string(buffer) : std::string();
}

std::string DisplayNameOf(LPCITEMIDLIST list) {
    SHFILEINFOA info{};
    if (!list || !SHGetFileInfoA(reinterpret_cast<LPCSTR>(list), 0, &info, sizeof info,
                                 SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return {};
    return info.szDisplayName;
}

BOOL CALLBACK FindEdit(HWND child, LPARAM found) {
    char className[16] = {};
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Edit") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

std::string EditText(HWND dialog) {
    HWND edit = nullptr;
    EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&edit));
    if (!edit) return {};
    std::string text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(edit, text.data(), static_cast<int>(text.size()))));
    return text;
}

LRESULT CALLBACK DialogSubclass(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
    auto* state = reinterpret_cast<TChooserState*>(data);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        if (std::optional<std::string> typed =
                TypedDirectory(state->Selected, state->SelectedName, EditText(dialog))) {
            state->Typed = typed;
            EndDialog(dialog, IDCANCEL);
            return 0;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(dialog, DialogSubclass, SubclassId);
    }
    return DefSubclassProc(dialog, message, wParam, lParam);
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM lParam, LPARAM data) {
    auto* state = reinterpret_cast<TChooserState*>(data);
    switch (message) {
    case BFFM_INITIALIZED: {
        SetWindowSubclass(dialog, DialogSubclass, SubclassId, reinterpret_cast<DWORD_PTR>(state));
        const std::string start = IsDirectory(state->Start) ? state->Start : CurrentDirectory();
        if (!start.empty())
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
        break;
    }
    case BFFM_SELCHANGED: {
        const auto list = reinterpret_cast<LPCITEMIDLIST>(lParam);
        state->Selected = PathOfIdList(list);
        state->SelectedName = DisplayNameOf(list);
        break;
    }
    default:
        break;
    }
    return 0;
}

} // namespace

std::optional<std::string> TypedDirectory(const std::string& selected, const std::string& selectedName,
                                          const std::string& text) {
    if (text.empty() || text == selectedName) return std::nullopt;
    if (IsAbsolute(text) || selected.empty()) return text;
    return selected + (selected.back() == '\\' ? "" : "\\") + text;
}

std::optional<std::string> ChooseDirectory(HWND owner, const std::string& start, const std::string& title) {
    TChooserState state;
    state.Start = start;
    BROWSEINFOA info{};
    info.hwndOwner = owner;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    LPITEMIDLIST chosen = SHBrowseForFolderA(&info);
    std::optional<std::string> result = state.Typed;
    if (!result && chosen) {
        const std::string path = PathOfIdList(chosen);
        if (!path.empty()) result = path;
    }
    if (chosen) CoTaskMemFree(chosen);
    return result;
}

} // namespace desktop
