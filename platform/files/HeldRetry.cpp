// The retry schedule for held files.
#include "platform/files/HeldRetry.h"

#include <algorithm>

THeldRetry::THeldRetry(TSleep sleep) : Sleep(std::move(sleep)) {}

bool THeldRetry::WaitAgain() {
    if (Spent >= TotalWait) return false;
    const int wait = std::min({Next, LongestWait, TotalWait - Spent});
    Sleep(wait);
    Spent += wait;
    Next = std::min(Next * 2, LongestWait);
    return true;
}

void THeldRetry::Reset() {
    Spent = 0;
    Next = FirstWait;
}
