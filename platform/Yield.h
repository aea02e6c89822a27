// Gives other threads of the process a chance to run (a zero-length sleep; on Windows at most
// once a millisecond, however often it is called).
#pragma once

void YieldToOtherThreads();
