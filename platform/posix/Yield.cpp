#include "platform/Yield.h"

#include <sched.h>

void YieldToOtherThreads() {
    sched_yield();
}
