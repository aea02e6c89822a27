// The Restart Manager's calls, each in its wide form. A failure of any of them means "cannot tell"
// or "could not": the installation then meets the files in use one by one.
#include "setup/win32/desktop/Win32RunningPrograms.h"

#include "platform/win32/WideText.h"

#include <restartmanager.h>

void TRestartSessionPolicy::Free(DWORD value) {
    RmEndSession(value);
}

std::vector<std::string> TWin32RunningPrograms::ProgramsUsing(const std::vector<std::string>& paths) {
    Session.reset();
    DWORD handle = 0;
    WCHAR key[CCH_RM_SESSION_KEY + 1] = {};
    if (paths.empty() || RmStartSession(&handle, 0, key) != ERROR_SUCCESS) return {};
    Session.reset(handle);
    // Plain paths, not the extended form: the Restart Manager matches them against the paths
    // of the files that programs have open.
    std::vector<std::wstring> wide;
    for (const std::string& path : paths) wide.push_back(Utf8ToWide(path));
    std::vector<LPCWSTR> names;
    for (const std::wstring& path : wide) names.push_back(path.c_str());
    if (RmRegisterResources(handle, static_cast<UINT>(names.size()), names.data(), 0, nullptr, 0, nullptr) !=
        ERROR_SUCCESS)
        return {};
    std::vector<RM_PROCESS_INFO> found;
    DWORD result = ERROR_MORE_DATA;
    // The list may grow between the two calls.
    for (int attempt = 0; attempt < 3 && result == ERROR_MORE_DATA; ++attempt) {
        UINT needed = 0, count = static_cast<UINT>(found.size());
        DWORD reasons = 0;
        result = RmGetList(handle, &needed, &count, found.empty() ? nullptr : found.data(), &reasons);
        if (result == ERROR_MORE_DATA)
            found.resize(needed);
        else if (result == ERROR_SUCCESS)
            found.resize(count);
    }
    if (result != ERROR_SUCCESS) return {};
    std::vector<std::string> programs;
    for (const RM_PROCESS_INFO& info : found) {
        std::string name = WideToUtf8(info.strAppName);
        if (name.empty()) continue;
        bool known = false;
        for (const std::string& program : programs) known = known || program == name;
        if (!known) programs.push_back(name);
    }
    return programs;
}

bool TWin32RunningPrograms::ClosePrograms() {
    return Session && RmShutdown(Session.get(), 0, nullptr) == ERROR_SUCCESS;
}

bool TWin32RunningPrograms::RestartPrograms() {
    return Session && RmRestart(Session.get(), 0, nullptr) == ERROR_SUCCESS;
}
