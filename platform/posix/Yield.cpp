#include "platform/Yield.h"

#include <sched.h>

#include <chrono>
#include <thread>

void YieldToOtherThreads() {
    sched_yield();
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
