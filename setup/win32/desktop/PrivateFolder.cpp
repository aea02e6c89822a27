// The private folder in which an elevated program puts a file that it is about to run (the
// uninstaller's temporary copy). The temporary folder is writable by others (by every user when
// the program runs as SYSTEM and GetTempPath2 is missing, by the unelevated user under UAC), so:
// the folder is new (CreateDirectory fails on any existing name, however it came there), its name
// has 64 random bits so that it cannot be claimed in advance, an elevated program gives it a
// protected DACL that lets only Administrators and SYSTEM write, and a folder that turns out to be
// a reparse point is refused.
#include "setup/win32/desktop/Desktop.h"

#include <ntsecapi.h>
#include <sddl.h>

#include <vector>

namespace desktop {

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
    return std::wstring(buffer, length);
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
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size ? size : 1);
    std::wstring text;
    wchar_t* sid = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
        text = sid;
        LocalFree(sid);
    }
    CloseHandle(token);
    return text;
}

// Owns the security descriptor made from SDDL.
class TSecurityDescriptor {
public:
    explicit TSecurityDescriptor(const std::wstring& sddl) {
        ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &Descriptor,
                                                             nullptr);
    }
    ~TSecurityDescriptor() {
        if (Descriptor) LocalFree(Descriptor);
    }
    TSecurityDescriptor(const TSecurityDescriptor&) = delete;
    TSecurityDescriptor& operator=(const TSecurityDescriptor&) = delete;

    PSECURITY_DESCRIPTOR Descriptor = nullptr;
};

} // namespace

bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring CreatePrivateTemporaryFolder(const std::wstring& prefix, bool restricted) {
    const std::wstring temporary = TemporaryFolder();
    if (temporary.empty()) return {};
    std::wstring sddl;
    if (restricted) {
        const std::wstring user = TokenUserSid();
        if (user.empty()) return {};
        // Protected (no inherited entries); Administrators and SYSTEM full control, the user read
        // and execute; each for the folder and everything created in it.
        sddl = L"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;GRGX;;;" + user + L")";
    }
    TSecurityDescriptor descriptor(sddl);
    if (restricted && !descriptor.Descriptor) return {};
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Descriptor, FALSE};
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

} // namespace desktop
