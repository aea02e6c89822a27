#include "platform/process/Yield.h"

#include <sched.h>
#include <time.h>

#include <chrono>
#include <thread>

void YieldToOtherThreads() {
    sched_yield();
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

double SteadyMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}
