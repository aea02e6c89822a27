// The setup programs' own runtime parts (setup/win32/SmallRuntime.cpp) with threads: the
// exception a thread is handling stays its own while others throw and catch, a static that several
// threads reach first is made once, and the exception pool's mutex lets one thread in at a time;
// and a new[] of an impossible count throws. Exit status 0 when all hold.
#include "platform/process/Thread.h"

#include <pthread.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <new>

namespace {
std::atomic<int> Failures{0};
std::atomic<int> Made{0};

// Throws value, catches it and throws it again from the handler (which takes the exception this
// thread is handling from the runtime's per-thread record), many times over.
void ThrowAndRethrow(int value) {
    for (int round = 0; round < 100000; ++round) {
        try {
            throw value;
        } catch (int caught) {
            if (caught != value) ++Failures;
            try {
                throw;
            } catch (int again) {
                if (again != value) ++Failures;
            }
        }
    }
}

int MadeOnce() {
    static const int made = [] {
        ++Made;
        Sleep(50); // the other threads arrive while it is being made
        return 7;
    }();
    return made;
}
// Takes the runtime's POSIX mutex many times and yields while holding it, so that the other
// threads try it meanwhile; a thread that finds another inside counts a failure.
pthread_mutex_t TurnLock = PTHREAD_MUTEX_INITIALIZER;
std::atomic<bool> Inside{false};

void TakeTurns() {
    for (int round = 0; round < 5000; ++round) {
        pthread_mutex_lock(&TurnLock);
        if (Inside.exchange(true)) ++Failures;
        Sleep(0);
        Inside = false;
        pthread_mutex_unlock(&TurnLock);
    }
}
} // namespace

int main() {
    {
        TThread first([] { ThrowAndRethrow(1); });
        TThread second([] { ThrowAndRethrow(2); });
        ThrowAndRethrow(3);
    }
    {
        TThread first([] {
            if (MadeOnce() != 7) ++Failures;
        });
        TThread second([] {
            if (MadeOnce() != 7) ++Failures;
        });
        if (MadeOnce() != 7) ++Failures;
    }
    {
        TThread first(TakeTurns);
        TThread second(TakeTurns);
        TakeTurns();
    }
    // The new[] of an impossible count throws what the standard says (the runtime's thrower is
    // replaced too).
    volatile size_t impossible = SIZE_MAX / 2;
    try {
        delete[] new int[impossible];
        ++Failures;
    } catch (const std::bad_array_new_length&) {
    }
    return Failures == 0 && Made == 1 ? 0 : 1;
}
