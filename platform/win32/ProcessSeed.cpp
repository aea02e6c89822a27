// The seed from the performance counter, the system time and the process id: the system's own
// calls, as the runtime's clocks and random device would bring the thread library into the
// setup programs.
#include "platform/process/ProcessSeed.h"

#include <windows.h>

uint64_t ProcessSeed() {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    uint64_t seed = static_cast<uint64_t>(counter.QuadPart);
    seed ^= (static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) << 1;
    seed ^= static_cast<uint64_t>(GetCurrentProcessId()) << 40;
    return seed;
}
