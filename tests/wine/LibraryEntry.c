/* The resource library's entry: it marks the process when it runs, which loading the library as
   data must never let it do. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) SetEnvironmentVariableA("PARLAVOX_TEST_LIBRARY_RAN", "1");
    return TRUE;
}
