// The allocation hook of TGuardedAllocations. It must not allocate itself: the registry of live
// guarded blocks is a fixed array, and everything else goes straight to the C library's
// allocator (__real_*). One thread only, as the codec tests are.
#include "tests/support/GuardedAllocator.h"

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

extern "C" {
void* __real_malloc(size_t size);
void* __real_calloc(size_t count, size_t size);
void* __real_realloc(void* p, size_t size);
void __real_free(void* p);
}

namespace {
constexpr int MaxLiveBlocks = 4096;

struct TLiveBlock {
    TGuardedMapping Map;
    size_t Size;
};

TLiveBlock Live[MaxLiveBlocks];
int LiveCount = 0;
bool Active = false;
TGuardSide Side = TGuardSide::End;
size_t Served = 0;

void* Allocate(size_t size, size_t alignment) {
    TGuardedMapping m = GuardedMap(size, Side, alignment);
    if (!m.Data || LiveCount == MaxLiveBlocks) {
        GuardedUnmap(m);
        return nullptr;
    }
    Live[LiveCount++] = {m, size};
    ++Served;
    return m.Data; // anonymous mappings are zero-filled
}

// The live guarded block that starts at p, or -1.
int Find(void* p) {
    for (int i = LiveCount - 1; i >= 0; --i)
        if (Live[i].Map.Data == p) return i;
    return -1;
}

bool Release(void* p) {
    if (!p || LiveCount == 0) return false;
    int i = Find(p);
    if (i < 0) return false;
    GuardedUnmap(Live[i].Map);
    Live[i] = Live[--LiveCount];
    return true;
}

void* New(size_t size, size_t alignment) {
    void* p = Active ? Allocate(size, alignment) : __real_malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    return p;
}
} // namespace

extern "C" {
void* __wrap_malloc(size_t size) {
    return Active ? Allocate(size, NaturalAlignment(size)) : __real_malloc(size);
}

void* __wrap_calloc(size_t count, size_t size) {
    if (!Active) return __real_calloc(count, size);
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    return Allocate(count * size, NaturalAlignment(count * size));
}

void* __wrap_realloc(void* p, size_t size) {
    int i = p ? Find(p) : -1;
    if (i < 0 && !Active) return __real_realloc(p, size);
    void* fresh = Active ? Allocate(size, NaturalAlignment(size)) : __real_malloc(size);
    if (!fresh) return nullptr;
    if (p) {
        size_t old = i >= 0 ? Live[i].Size : malloc_usable_size(p);
        std::memcpy(fresh, p, old < size ? old : size);
        if (!Release(p)) __real_free(p);
    }
    return fresh;
}

void __wrap_free(void* p) {
    if (!Release(p)) __real_free(p);
}
}

void* operator new(size_t size) {
    return New(size, NaturalAlignment(size));
}
void* operator new[](size_t size) {
    return New(size, NaturalAlignment(size));
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return Active ? Allocate(size, NaturalAlignment(size)) : __real_malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return Active ? Allocate(size, NaturalAlignment(size)) : __real_malloc(size ? size : 1);
}
void operator delete(void* p) noexcept {
    __wrap_free(p);
}
void operator delete[](void* p) noexcept {
    __wrap_free(p);
}
void operator delete(void* p, size_t) noexcept {
    __wrap_free(p);
}
void operator delete[](void* p, size_t) noexcept {
    __wrap_free(p);
}

TGuardedAllocations::TGuardedAllocations(TGuardSide side) : StartCount(Served) {
    Side = side;
    Active = true;
}

TGuardedAllocations::~TGuardedAllocations() {
    Active = false;
}

size_t TGuardedAllocations::Count() const {
    return Served - StartCount;
}
