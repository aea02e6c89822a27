// Gives other threads of the process a chance to run (a zero-length sleep).
#pragma once

void YieldToOtherThreads();
