#include "platform/process/Spans.h"

#include "platform/process/Thread.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {
struct TSpanSum {
    const char* Name;
    long Count;
    double TotalMs, FirstStartMs, LastEndMs;
};

// Recording is switched on once at the start, before any other thread runs; the sums are shared
// by the thread that installs and the expansion's writer.
bool Recording = false;
double OriginAgeMs = 0;
double Origin = 0;
std::vector<TSpanSum>& Sums() {
    static std::vector<TSpanSum> sums;
    return sums;
}
TLockedCondition& Guard() {
    static TLockedCondition guard;
    return guard;
}

double SinceCreation(double at) {
    return OriginAgeMs + (at - Origin);
}

// Milliseconds with one decimal, without the C library's floating-point formatting (which would
// add more to every setup program than all of this).
std::string Milliseconds(double ms) {
    const auto tenths = static_cast<int64_t>(ms < 0 ? 0 : ms * 10 + 0.5);
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string Line(const TSpanSum& sum) {
    return std::string("Span: ") + sum.Name + "\t" + std::to_string(sum.Count) + "\t" +
           Milliseconds(sum.TotalMs) + "\t" + Milliseconds(sum.FirstStartMs) + "\t" +
           Milliseconds(sum.LastEndMs);
}
} // namespace

void Spans::StartIfAsked(double processAgeMs) {
    const char* asked = std::getenv("PARLAVOX_SPANS");
    if (!asked || std::strcmp(asked, "1") != 0) return;
    Origin = SteadyMilliseconds();
    OriginAgeMs = processAgeMs;
    Recording = true;
}

bool Spans::On() {
    return Recording;
}

void Spans::Add(const char* name, double start, double end) {
    const double startMs = SinceCreation(start), endMs = SinceCreation(end);
    const TLockHeld held(Guard());
    for (TSpanSum& sum : Sums()) {
        if (std::strcmp(sum.Name, name) != 0) continue;
        ++sum.Count;
        sum.TotalMs += endMs - startMs;
        if (endMs > sum.LastEndMs) sum.LastEndMs = endMs;
        return;
    }
    Sums().push_back({name, 1, endMs - startMs, startMs, endMs});
}

std::vector<std::string> Spans::Lines() {
    std::vector<std::string> lines;
    if (!Recording) return lines;
    const double now = SinceCreation(SteadyMilliseconds());
    lines.push_back(Line({"start-up", 1, OriginAgeMs, 0, OriginAgeMs}));
    const TLockHeld held(Guard());
    for (const TSpanSum& sum : Sums()) lines.push_back(Line(sum));
    lines.push_back(Line({"process", 1, now, 0, now}));
    return lines;
}
