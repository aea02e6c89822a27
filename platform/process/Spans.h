// Where a run's time goes, for the install benchmark: named spans timed with a steady clock and
// summed per name. Off unless the environment has PARLAVOX_SPANS=1 (then the setup programs write
// the sums to their log at the end); while off, a span costs the test of one flag.
#pragma once

#include "platform/process/Yield.h"

#include <string>
#include <vector>

namespace Spans {

// Turns recording on when the environment asks for it. processAgeMs: how long the process had
// already run at this call (its loading and start-up), the origin of every time reported.
void StartIfAsked(double processAgeMs);
bool On();
// start and end: SteadyMilliseconds().
void Add(const char* name, double start, double end);
// "Span: NAME\tCOUNT\tTOTAL_MS\tFIRST_START_MS\tLAST_END_MS" for each name in order of first use,
// after "start-up" (process creation to StartIfAsked) and "process" (creation to this call).
// Empty while off.
std::vector<std::string> Lines();
} // namespace Spans

// Times the scope it lives in under a name (a string literal) while recording is on.
class TSpan {
public:
    explicit TSpan(const char* name) : Name(Spans::On() ? name : nullptr) {
        if (Name) Start = SteadyMilliseconds();
    }
    ~TSpan() {
        if (Name) Spans::Add(Name, Start, SteadyMilliseconds());
    }
    TSpan(const TSpan&) = delete;
    TSpan& operator=(const TSpan&) = delete;

private:
    const char* Name;
    double Start = 0;
};
