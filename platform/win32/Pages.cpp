#include "platform/process/Pages.h"

#include <windows.h>

void MakePagesPresent(void* start, size_t size) {
    // Locking a range maps its pages; it is let go at once. A lock beyond the working set's
    // minimum is refused: the minimum is raised by the range for the time of the lock (a right
    // every user holds) and put back after.
    if (size == 0) return;
    if (VirtualLock(start, size)) {
        VirtualUnlock(start, size);
        return;
    }
    const HANDLE process = GetCurrentProcess();
    SIZE_T low = 0, high = 0;
    DWORD flags = 0;
    if (GetLastError() != ERROR_WORKING_SET_QUOTA ||
        !GetProcessWorkingSetSizeEx(process, &low, &high, &flags) ||
        !SetProcessWorkingSetSizeEx(process, low + size, high + size, flags))
        return;
    if (VirtualLock(start, size)) VirtualUnlock(start, size);
    SetProcessWorkingSetSizeEx(process, low, high, flags);
}
