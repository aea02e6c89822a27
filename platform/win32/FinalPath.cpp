// Final paths and the reparse attribute, asked of an open handle.
#include "platform/win32/FinalPath.h"

#include <vector>

namespace {

// A folder's path without its closing separator, so that C:\A\ and C:\A compare equal; a drive's
// root keeps it.
std::wstring_view WithoutClosingSeparator(std::wstring_view path) {
    while (path.size() > 7 && path.back() == L'\\') path.remove_suffix(1);
    return path;
}

using TNtQueryObject = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
constexpr int ObjectNameInformation = 1;
constexpr ULONG NameBufferBytes = 65536; // a UNICODE_STRING holds at most 32,767 characters

struct TObjectName {
    USHORT Length, MaximumLength;
    const wchar_t* Buffer;
};

// The object's own name as the system keeps it (\Device\HarddiskVolume3\dir\name, or \??\C:\dir\name
// under Wine), turned into the extended DOS form through the drives' device names. For a path
// longer than MAX_PATH, which Wine's GetFinalPathNameByHandleW cannot give.
std::wstring FinalPathFromObjectName(HANDLE handle) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll ? reinterpret_cast<TNtQueryObject>(
                                   reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryObject")))
                             : nullptr;
    if (!query) return {};
    std::vector<unsigned char> buffer(NameBufferBytes);
    ULONG written = 0;
    if (query(handle, ObjectNameInformation, buffer.data(), NameBufferBytes, &written) < 0) return {};
    const auto* name = reinterpret_cast<const TObjectName*>(buffer.data());
    if (!name->Buffer) return {};
    const std::wstring_view nt(name->Buffer, name->Length / sizeof(wchar_t));
    if (nt.substr(0, 4) == L"\\??\\") return L"\\\\?\\" + std::wstring(nt.substr(4));
    if (nt.substr(0, 12) == L"\\Device\\Mup\\") return L"\\\\?\\UNC\\" + std::wstring(nt.substr(12));
    wchar_t drive[] = L"A:";
    wchar_t device[MAX_PATH + 1];
    for (; drive[0] <= L'Z'; ++drive[0]) {
        if (!QueryDosDeviceW(drive, device, MAX_PATH + 1)) continue;
        const std::wstring_view prefix(device);
        if (nt.size() > prefix.size() && nt.substr(0, prefix.size()) == prefix && nt[prefix.size()] == L'\\')
            return L"\\\\?\\" + std::wstring(drive) + std::wstring(nt.substr(prefix.size()));
    }
    return {};
}

} // namespace

std::wstring FinalPath(HANDLE handle) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0) return FinalPathFromObjectName(handle);
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
    const auto same = [&](std::wstring_view path) {
        const std::wstring_view a = WithoutClosingSeparator(final), b = WithoutClosingSeparator(path);
        return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                    static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
    };
    if (same(extendedPath)) return true;
    // A path given with short (8.3) names is the same path in its long form; the long form is
    // looked up by name, which never follows a link.
    std::wstring longForm(extendedPath.size() + MAX_PATH, L'\0');
    const DWORD length =
        GetLongPathNameW(extendedPath.c_str(), longForm.data(), static_cast<DWORD>(longForm.size()));
    return length > 0 && length < longForm.size() && same(std::wstring_view(longForm.data(), length));
}

bool IsReparseHandle(HANDLE handle) {
    FILE_ATTRIBUTE_TAG_INFO information{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information))
        return true; // what cannot be asked is not trusted
    return (information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}
