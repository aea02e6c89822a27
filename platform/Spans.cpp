#include "platform/Spans.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {
struct TSpanSum {
    const char* Name;
    long Count;
    double TotalMs, FirstStartMs, LastEndMs;
};

// Recording is switched on once, before any other thread runs; the sums are shared by the
// threads that time spans.
bool Recording = false;
double OriginAgeMs = 0;
Spans::TClock::time_point Origin;
std::mutex Guard;
std::vector<TSpanSum>& Sums() {
    static std::vector<TSpanSum> sums;
    return sums;
}

double SinceCreation(Spans::TClock::time_point at) {
    return OriginAgeMs + std::chrono::duration<double, std::milli>(at - Origin).count();
}

std::string Line(const TSpanSum& sum) {
    char numbers[128];
    std::snprintf(numbers, sizeof numbers, "\t%ld\t%.1f\t%.1f\t%.1f", sum.Count, sum.TotalMs,
                  sum.FirstStartMs, sum.LastEndMs);
    return std::string("Span: ") + sum.Name + numbers;
}
} // namespace

void Spans::StartIfAsked(double processAgeMs) {
    const char* asked = std::getenv("PARLAVOX_SPANS");
    if (!asked || std::strcmp(asked, "1") != 0) return;
    Origin = TClock::now();
    OriginAgeMs = processAgeMs;
    Recording = true;
}

bool Spans::On() {
    return Recording;
}

void Spans::Add(const char* name, TClock::time_point start, TClock::time_point end) {
    const double startMs = SinceCreation(start), endMs = SinceCreation(end);
    const std::lock_guard<std::mutex> lock(Guard);
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
    const double now = SinceCreation(TClock::now());
    lines.push_back(Line({"start-up", 1, OriginAgeMs, 0, OriginAgeMs}));
    const std::lock_guard<std::mutex> lock(Guard);
    for (const TSpanSum& sum : Sums()) lines.push_back(Line(sum));
    lines.push_back(Line({"process", 1, now, 0, now}));
    return lines;
}
