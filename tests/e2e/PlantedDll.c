/* A DLL planted beside an elevated program under the name of a system DLL: when loaded, it
   appends its own path to the file named by PARLAVOX_PLANTED_MARKER, so that the test sees which
   planted copy a program picked up. It exports nothing; Wine binds a missing import to a stub,
   so the load itself is what the marker records. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    WCHAR marker[MAX_PATH], self[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"PARLAVOX_PLANTED_MARKER", marker, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return TRUE;
    DWORD selfLength = GetModuleFileNameW(instance, self, MAX_PATH);
    HANDLE file = CreateFileW(marker, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file != INVALID_HANDLE_VALUE) {
        char line[2 * MAX_PATH + 2];
        int bytes = WideCharToMultiByte(CP_UTF8, 0, self, (int)selfLength, line, 2 * MAX_PATH, NULL, NULL);
        line[bytes++] = '\n';
        DWORD written = 0;
        WriteFile(file, line, (DWORD)bytes, &written, NULL);
        CloseHandle(file);
    }
    return TRUE;
}
