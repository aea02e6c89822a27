// Final paths and the reparse attribute, asked of an open handle.
#include "platform/win32/FinalPath.h"

namespace {

// A folder's path without its closing separator, so that C:\A\ and C:\A compare equal; a drive's
// root keeps it.
std::wstring_view WithoutClosingSeparator(std::wstring_view path) {
    while (path.size() > 7 && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

} // namespace

std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(length + 1);
    }
}

bool FinalPathIs(HANDLE handle, const std::wstring& extendedPath) {
    const std::wstring final = FinalPath(handle);
    if (final.empty() || extendedPath.empty()) return false;
    const std::wstring_view a = WithoutClosingSeparator(final), b = WithoutClosingSeparator(extendedPath);
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

bool IsReparseHandle(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO information{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information))
        return true; // what cannot be asked is not trusted
    return (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
