// Gives other threads of the process a chance to run (a zero-length sleep; on Windows at most
// once a millisecond, however often it is called), and waits.
#pragma once

void YieldToOtherThreads();
// Sleeps the calling thread for the given time.
void SleepMilliseconds(int milliseconds);
// A steady clock, in milliseconds from an arbitrary start, for timing what the programs do.
double SteadyMilliseconds();
