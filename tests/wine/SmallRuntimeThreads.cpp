// The setup programs' own runtime parts (setup/win32/SmallRuntime.cpp) with threads: the
// exception a thread is handling stays its own while others throw and catch, and a static that
// several threads reach first is made once; and a new[] of an impossible count throws. Exit status 0
// when all hold.
#include "platform/Thread.h"

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
