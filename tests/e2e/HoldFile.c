/* Holds a file the way a virus scanner or a running program does: opened without any sharing, so
 * that no other program may open, replace or delete it, for the given time.
 * Usage: holdfile.exe FILE MILLISECONDS READY [AFTER]
 * READY is created once FILE is held, so that the test starts what it runs against it only then.
 * With AFTER, the time counts from when that file appears (the log of the program held off), so
 * that however long that program takes to start, it meets the hold for the whole time. */
#include <stdlib.h>
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4 && argc != 5) return 2;
    HANDLE held = CreateFileW(argv[1], GENERIC_READ, 0, NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (held == INVALID_HANDLE_VALUE) return 1;
    HANDLE ready = CreateFileW(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    /* At most a minute for AFTER to appear. */
    for (int i = 0; argc == 5 && i < 6000 && GetFileAttributesW(argv[4]) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(10);
    Sleep((DWORD)_wtoi(argv[2]));
    CloseHandle(held);
    return 0;
}
