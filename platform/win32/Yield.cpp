// The codecs offer a yield at every 8 KB of input or output, tens of thousands of times a second
// at their speed. A zero-length sleep is passed on at most once a millisecond: other threads still
// get their chance many times within one time slice, without a system call per chunk (each cost
// microseconds, under Wine a fifth of an installation's expansion time).
#include "platform/process/Yield.h"

#include <windows.h>

#include <atomic>

namespace {
// When the last sleep was passed on, in performance-counter ticks. Threads share it: at worst
// two of them sleep in the same millisecond.
std::atomic<int64_t> LastYield{0};

int64_t TicksPerMillisecond() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart / 1000 > 0 ? frequency.QuadPart / 1000 : 1;
}
const int64_t Interval = TicksPerMillisecond();
} // namespace

void YieldToOtherThreads() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    if (now.QuadPart - LastYield.load(std::memory_order_relaxed) < Interval) return;
    LastYield.store(now.QuadPart, std::memory_order_relaxed);
    Sleep(0);
}

void SleepMilliseconds(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

double SteadyMilliseconds() {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / static_cast<double>(Interval);
}
