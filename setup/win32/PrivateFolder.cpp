// The private folder in which an elevated program puts a file that it is about to run. The
// temporary folder is writable by others (by every user when the program runs as SYSTEM and
// GetTempPath2 is missing, by the unelevated user under UAC), so: the folder is new (CreateDirectory
// fails on any existing name, however it came there), its name has 64 random bits so that it cannot
// be claimed in advance, an elevated program gives it a protected DACL that lets only Administrators
// and SYSTEM write, and a folder that turns out to be a reparse point is refused.
#include "setup/win32/OwnProcess.h"

#include "platform/win32/Owned.h"
#include "platform/win32/WideText.h"
#include "setup/win32/desktop/Win32Files.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <vector>

namespace {

constexpr int FolderNameAttempts = 8;
constexpr int RandomBytes = 8;

using TGetTempPath2W = DWORD(WINAPI*)(DWORD, LPWSTR);

// The temporary folder, with its trailing backslash. GetTempPath2W (Windows 11, and Windows 10 with
// its 2022 updates) gives SYSTEM the protected C:\Windows\SystemTemp instead of C:\Windows\Temp.
std::wstring TemporaryFolder() {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto getTempPath2 = kernel ? reinterpret_cast<TGetTempPath2W>(
                                           reinterpret_cast<void*>(GetProcAddress(kernel, "GetTempPath2W")))
                                     : nullptr;
    wchar_t buffer[MAX_PATH + 1] = {};
    const DWORD length =
        getTempPath2 ? getTempPath2(MAX_PATH + 1, buffer) : GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH) return {};
    // Its long form: a handle's final path has no short (8.3) names, and the folders made here are
    // checked against it.
    wchar_t longForm[MAX_PATH + 1] = {};
    const DWORD longLength = GetLongPathNameW(buffer, longForm, MAX_PATH + 1);
    if (longLength == 0 || longLength > MAX_PATH) return std::wstring(buffer, length);
    return std::wstring(longForm, longLength);
}

std::wstring RandomHex() {
    unsigned char bytes[RandomBytes] = {};
    if (!RtlGenRandom(bytes, sizeof bytes)) return {};
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (unsigned char byte : bytes) {
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

// The account of this process's token as an SDDL SID string.
std::wstring TokenUserSid() {
    THandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Out())) return {};
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    TLocalMemory<wchar_t> sid;
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, sid.Out()))
        return {};
    return sid.get();
}

} // namespace

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring CreatePrivateTemporaryFolder(const std::wstring& prefix, bool restricted) {
    const std::wstring temporary = TemporaryFolder();
    if (temporary.empty()) return {};
    TLocalMemory<void> descriptor;
    if (restricted) {
        const std::wstring user = TokenUserSid();
        if (user.empty()) return {};
        // Protected (no inherited entries); Administrators and SYSTEM full control, the user read
        // and execute; each for the folder and everything created in it.
        const std::wstring sddl = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;GRGX;;;" + user + L")";
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                  descriptor.Out(), nullptr))
            return {};
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.get(), FALSE};
    for (int attempt = 0; attempt < FolderNameAttempts; ++attempt) {
        const std::wstring random = RandomHex();
        if (random.empty()) return {};
        const std::wstring folder = temporary + prefix + random;
        if (!CreateDirectoryW(folder.c_str(), restricted ? &attributes : nullptr)) continue;
        if (IsReparsePoint(folder)) return {};
        return folder;
    }
    return {};
}

void RemoveEarlierPrivateFolders(const std::wstring& prefix, const std::string& fileName) {
    const std::wstring temporary = TemporaryFolder();
    if (temporary.empty()) return;
    WIN32_FIND_DATAW found{};
    const TFindHandle search(FindFirstFileExW((temporary + prefix + L"*").c_str(), FindExInfoBasic, &found,
                                              FindExSearchNameMatch, nullptr, 0));
    if (!search) return;
    TWin32UninstallFiles files;
    do {
        const std::wstring name = found.cFileName;
        const bool ours = name.size() == prefix.size() + 2 * RandomBytes &&
                          name.find_first_not_of(L"0123456789abcdef", prefix.size()) == std::wstring::npos;
        if (!ours || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::string folder = WideToUtf8(temporary + name);
        const TRemoveResult removed = files.RemoveFile(folder + "\\" + fileName);
        if (removed == TRemoveResult::Removed || removed == TRemoveResult::Missing)
            files.RemoveEmptyDirectory(folder);
    } while (FindNextFileW(search.get(), &found));
}
