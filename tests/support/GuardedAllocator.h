// A test-only allocation hook: while a TGuardedAllocations scope is active, every block that the
// test program allocates with malloc, calloc or operator new (the codecs' LH5 and LZH tables, the
// dispatcher's 8192-byte buffers, the fast decoder's tables) is placed against a guard page, so an
// access one byte outside it faults at once. The production code is unchanged: the test program
// is linked with -Wl,--wrap=malloc,--wrap=calloc,--wrap=realloc,--wrap=free, which routes the C
// allocation calls of every object linked into it through GuardedAllocator.cpp, and that file also
// replaces the global operator new and delete (which the language allows a program to do).
// Blocks made inside a scope may be freed after it; free and delete recognise them at any time.
#pragma once

#include "tests/support/GuardedBuffer.h"

#include <cstddef>

class TGuardedAllocations {
public:
    explicit TGuardedAllocations(TGuardSide side);
    ~TGuardedAllocations();
    TGuardedAllocations(const TGuardedAllocations&) = delete;
    TGuardedAllocations& operator=(const TGuardedAllocations&) = delete;

    // Blocks served from guarded memory since this scope began.
    size_t Count() const;

private:
    size_t StartCount;
};
