#include "platform/Yield.h"

#include <windows.h>

void YieldToOtherThreads() {
    Sleep(0);
}
