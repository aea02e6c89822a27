// The waits between tries on a file that another program holds for a moment: a virus scanner
// opens a file just written, or about to be replaced, without sharing, mostly for well under a
// second and for a large file for a few. The first wait is short (50 ms), each next one twice as
// long, none over a second, and 5 s in all: a scanner's hold is outlasted, and a program that
// really keeps the file open costs each such file 5 s before it counts as in use. Nothing is waited
// before the first try, so the normal path pays nothing.
#pragma once

#include <functional>

class THeldRetry {
public:
    using TSleep = std::function<void(int milliseconds)>;
    static constexpr int FirstWait = 50;
    static constexpr int LongestWait = 1000;
    static constexpr int TotalWait = 5000;

    // sleep: how to wait (SleepMilliseconds; a test records the waits instead).
    explicit THeldRetry(TSleep sleep);
    // Waits before the next try and says true, or says false once the 5 s are spent.
    bool WaitAgain();
    // Starts the schedule afresh (the person at the desktop asked to try again).
    void Reset();
    int Waited() const { return Spent; }

private:
    TSleep Sleep;
    int Spent = 0;
    int Next = FirstWait;
};
