// The start-up safety of the elevated programs (see StartupSafety.h): the process-wide DLL search
// settings and the delay-load hook through which every system DLL beyond KERNEL32 is loaded.
//
// The hook does not rely on SecureProcessStartup having run: each delay-loaded DLL is loaded with
// the System32-only search of its own, so no order of calls at start-up can load one from the
// program's folder. The process-wide default matters for the DLLs that system code loads by name
// on its own (COM servers, the shell's helpers).
#include "setup/win32/StartupSafety.h"

#include <delayimp.h>

namespace {

// The flags of the System32-only search, and of the mitigation policies, named as in the newer
// SDKs (this build targets Windows 7, whose headers lack some of them).
constexpr DWORD SearchSystem32 = 0x00000800;          // LOAD_LIBRARY_SEARCH_SYSTEM32
constexpr DWORD SafeSearchMode = 0x00000001;          // BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE
constexpr DWORD SearchModePermanent = 0x00008000;     // BASE_SEARCH_PATH_PERMANENT
constexpr DWORD PreferSystem32Images = 0x00000004;    // PROCESS_MITIGATION_IMAGE_LOAD_POLICY
constexpr DWORD EnforceRedirectionTrust = 0x00000001; // PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY

using TSetDefaultDllDirectories = BOOL(WINAPI*)(DWORD);
using TSetSearchPathMode = BOOL(WINAPI*)(DWORD);
using TSetProcessMitigationPolicy = BOOL(WINAPI*)(PROCESS_MITIGATION_POLICY, PVOID, SIZE_T);

template <typename TFunction>
TFunction KernelFunction(const char* name) {
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(kernel, name)))
                  : nullptr;
}

void SetMitigationFlags(TSetProcessMitigationPolicy setPolicy, PROCESS_MITIGATION_POLICY policy,
                        DWORD flags) {
    // Both policies are a single DWORD of flags; a system that does not know one refuses it.
    setPolicy(policy, &flags, sizeof flags);
}

// Every delay-loaded DLL comes from System32; the other notifications keep their default handling.
// The helper would try a plain LoadLibrary after a null answer, which on a system without the
// System32-only default could find a planted copy; a system DLL that System32 lacks ends the
// program instead, with the exit code of a failure.
FARPROC WINAPI DelayLoadNotification(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll) return nullptr;
    if (const HMODULE module = LoadSystemLibrary(info->szDll)) return reinterpret_cast<FARPROC>(module);
    ExitProcess(1);
}

} // namespace

// Found by the delay-load helper of the C runtime library (declared in delayimp.h); this
// definition replaces the library's empty one.
PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotification;

HMODULE LoadSystemLibrary(const std::string& name) {
    // Only a bare file name: a path would bypass the search that this function is about.
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return nullptr;
    // The System32 path and the name in one buffer: the name alone first, the full path for systems
    // without the System32-only search. System DLLs have ASCII names.
    wchar_t path[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length + 1 + name.size() >= MAX_PATH) return nullptr;
    path[length] = L'\\';
    wchar_t* const bare = path + length + 1;
    for (size_t i = 0; i < name.size(); ++i) {
        if (static_cast<unsigned char>(name[i]) >= 0x80) return nullptr;
        bare[i] = static_cast<wchar_t>(name[i]);
    }
    if (const HMODULE module = LoadLibraryExW(bare, nullptr, SearchSystem32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    // The flag is unknown to this system: the full path, with the DLL's own folder searched first.
    return LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

void SecureProcessStartup() {
    if (const auto setDefault = KernelFunction<TSetDefaultDllDirectories>("SetDefaultDllDirectories"))
        setDefault(SearchSystem32);
    // Where the above is missing, at least the current folder leaves the search.
    SetDllDirectoryW(L"");
    if (const auto setMode = KernelFunction<TSetSearchPathMode>("SetSearchPathMode"))
        setMode(SafeSearchMode | SearchModePermanent);
    if (const auto setPolicy = KernelFunction<TSetProcessMitigationPolicy>("SetProcessMitigationPolicy")) {
        SetMitigationFlags(setPolicy, ProcessImageLoadPolicy, PreferSystem32Images);
        // Junctions and symbolic links that a non-administrator made are not followed.
        SetMitigationFlags(setPolicy, ProcessRedirectionTrustPolicy, EnforceRedirectionTrust);
    }
}
