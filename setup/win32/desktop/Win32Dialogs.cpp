// The message boxes and the folder chooser. The chooser itself only returns folders that exist
// (and some shells ignore the edit box altogether), so its OK command is intercepted: text in the
// edit box other than the selected folder's display name is taken as typed, relative names below
// the selected folder. The display name itself, even one that looks like a path ("Local Disk
// (C:)", a network share's), means the selected folder. The dialog creates nothing and asks
// nothing. Paths come from the item ID lists through SHGetNameFromIDList, which has no MAX_PATH
// limit, so a deep folder is never cut short; a typed one is read whole. (The shell itself cannot
// select a folder deeper than MAX_PATH: started at one, the chooser shows the desktop.)
#include "setup/win32/desktop/Win32Dialogs.h"

#include "platform/files/FileSystem.h"
#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

namespace {

struct TChooserState {
    std::string Start;
    std::string Selected;             // path of the folder selected in the tree
    std::string SelectedName;         // its display name, as the edit box shows it
    std::optional<std::string> Typed; // the typed directory, when the user typed one
};

constexpr UINT_PTR SubclassId = 1;

bool IsAbsolute(const std::string& path) {
    return (path.size() >= 2 && path[1] == ':') || (path.size() >= 2 && path[0] == '\\' && path[1] == '\\');
}

std::string CurrentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    std::wstring buffer(needed, L'\0');
    const DWORD length = needed ? GetCurrentDirectoryW(needed, buffer.data()) : 0;
    return length > 0 && length < needed ? WideToUtf8(std::wstring_view(buffer.data(), length))
                                         : std::string();
}

// The file-system path of an item; empty when it has none.
std::string PathOf(LPCITEMIDLIST list) {
    TCoTaskMem<wchar_t> path;
    if (!list || FAILED(SHGetNameFromIDList(list, SIGDN_FILESYSPATH, path.Out())) || !path) return {};
    return WideToUtf8(path.get());
}

// The item's display name, as the edit box shows it.
std::string DisplayNameOf(LPCITEMIDLIST list) {
    SHFILEINFOW info{};
    if (!list || !SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info,
                                 SHGFI_PIDL | SHGFI_DISPLAYNAME))
        return {};
    return WideToUtf8(info.szDisplayName);
}

BOOL CALLBACK FindEdit(HWND child, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(child, className, sizeof className / sizeof className[0]);
    if (lstrcmpiW(className, L"Edit") != 0) return TRUE;
    *reinterpret_cast<HWND*>(found) = child;
    return FALSE;
}

std::string EditText(HWND dialog) {
    HWND edit = nullptr;
    EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&edit));
    if (!edit) return {};
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return WideToUtf8(text);
}

LRESULT CALLBACK DialogSubclass(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR data) {
    auto* state = reinterpret_cast<TChooserState*>(data);
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        if (std::optional<std::string> typed =
                TWin32Dialogs::TypedDirectory(state->Selected, state->SelectedName, EditText(dialog))) {
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
        const std::wstring start =
            Utf8ToWide(DirectoryExists(state->Start) ? state->Start : CurrentDirectory());
        if (!start.empty())
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start.c_str()));
        break;
    }
    case BFFM_SELCHANGED: {
        const auto list = reinterpret_cast<LPCITEMIDLIST>(lParam);
        state->Selected = PathOf(list);
        state->SelectedName = DisplayNameOf(list);
        break;
    }
    default:
        break;
    }
    return 0;
}

} // namespace

template <class TPort>
TModalResult TWin32MessageBoxes<TPort>::MessageDlg(const std::string& text, TMsgDlgType kind,
                                                   TMsgDlgButtons buttons) {
    UINT flags = buttons == TMsgDlgButtons::mbYesNo               ? MB_YESNO
                 : buttons == TMsgDlgButtons::mbCancelTryContinue ? MB_CANCELTRYCONTINUE
                                                                  : MB_OK;
    const wchar_t* caption = L"Error";
    switch (kind) {
    case TMsgDlgType::mtError:
        flags |= MB_ICONERROR;
        break;
    case TMsgDlgType::mtInformation:
        flags |= MB_ICONINFORMATION;
        caption = L"Information";
        break;
    case TMsgDlgType::mtConfirmation:
        flags |= MB_ICONQUESTION;
        caption = L"Confirm";
        break;
    }
    switch (MessageBoxW(BoxOwner(), Utf8ToWide(text).c_str(), caption, flags | MB_SETFOREGROUND)) {
    case IDOK:
        return TModalResult::mrOk;
    case IDYES:
        return TModalResult::mrYes;
    case IDNO:
        return TModalResult::mrNo;
    case IDCANCEL:
        return TModalResult::mrCancel;
    case IDTRYAGAIN:
        return TModalResult::mrTryAgain;
    case IDCONTINUE:
        return TModalResult::mrContinue;
    default:
        return TModalResult::mrNone;
    }
}

void TWin32Dialogs::ShowException(const std::string& message) {
    MessageBoxW(BoxOwner(), Utf8ToWide(message).c_str(), Utf8ToWide(Title).c_str(),
                MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::optional<std::string> TWin32Dialogs::TypedDirectory(const std::string& selected,
                                                         const std::string& selectedName,
                                                         const std::string& text) {
    if (text.empty() || text == selectedName) return std::nullopt;
    if (IsAbsolute(text) || selected.empty()) return text;
    return selected + (selected.back() == '\\' ? "" : "\\") + text;
}

std::optional<std::string> TWin32Dialogs::ChooseDirectory(const std::string& start) {
    TChooserState state;
    state.Start = start;
    BROWSEINFOW info{};
    info.hwndOwner = Owner;
    info.lpszTitle = L"Select Directory";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_NONEWFOLDERBUTTON;
    info.lpfn = BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(&state);
    const TCoTaskMem<ITEMIDLIST> chosen(SHBrowseForFolderW(&info));
    if (state.Typed) return state.Typed;
    // Wine names the desktop itself "Desktop", which is no folder's path: nothing was chosen then.
    const std::string path = PathOf(chosen.get());
    if (!IsAbsolute(path)) return std::nullopt;
    return path;
}

template class TWin32MessageBoxes<TUninstallDialogs>;
template class TWin32MessageBoxes<TDialogs>;
