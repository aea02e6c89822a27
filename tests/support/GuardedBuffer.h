// Memory with inaccessible pages on both sides (POSIX mmap and mprotect): a byte read or written
// just past either end of a block faults at once, in every build, not only under AddressSanitizer.
// A block lies against the guard that follows it (over-runs) or against the guard before it
// (under-runs); the codec tests run each case both ways. GuardedCodecRun prepares a codec state
// as the dispatcher does, but with its 8192-byte buffers and its source bytes in such blocks.
#pragma once

#include "compress/codecs/CodecState.h"
#include "tests/support/CodecStateSetup.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

enum class TGuardSide { End, Start };

// One mapping: [guard page][data pages][guard page]. Plain data and free functions only, so that
// an allocation hook can use it without allocating.
struct TGuardedMapping {
    void* Base = nullptr;
    size_t Length = 0;
    uint8_t* Data = nullptr;
};

// The largest power of two up to 16 that divides size: a block that ends at its guard keeps the
// alignment its element type needs and still touches the guard.
inline size_t NaturalAlignment(size_t size) {
    size_t alignment = 16;
    while (alignment > 1 && size % alignment != 0) alignment /= 2;
    return alignment;
}

// Maps size bytes between two guard pages; Data is nullptr when the system refuses.
inline TGuardedMapping GuardedMap(size_t size, TGuardSide side, size_t alignment) {
    const size_t page = static_cast<size_t>(::sysconf(_SC_PAGESIZE));
    const size_t dataPages = (size + page - 1) / page + (size == 0 ? 1 : 0);
    TGuardedMapping m;
    m.Length = (dataPages + 2) * page;
    void* base = ::mmap(nullptr, m.Length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return {};
    m.Base = base;
    auto* bytes = static_cast<uint8_t*>(base);
    ::mprotect(bytes, page, PROT_NONE);
    ::mprotect(bytes + (dataPages + 1) * page, page, PROT_NONE);
    uint8_t* first = bytes + page;
    if (side == TGuardSide::Start) {
        m.Data = first;
    } else {
        auto end = reinterpret_cast<uintptr_t>(first + dataPages * page);
        m.Data = reinterpret_cast<uint8_t*>((end - size) & ~(static_cast<uintptr_t>(alignment) - 1));
    }
    return m;
}

inline void GuardedUnmap(const TGuardedMapping& m) {
    if (m.Base) ::munmap(m.Base, m.Length);
}

// An owned guarded block of Size bytes, zero-filled.
class TGuardedBlock {
public:
    TGuardedBlock(size_t size, TGuardSide side)
        : Bytes(size), Map(GuardedMap(size, side, NaturalAlignment(size))) {
        if (!Map.Data) throw std::bad_alloc();
    }
    TGuardedBlock(const std::vector<uint8_t>& contents, TGuardSide side)
        : TGuardedBlock(contents.size(), side) {
        if (!contents.empty()) std::memcpy(Map.Data, contents.data(), contents.size());
    }
    ~TGuardedBlock() { GuardedUnmap(Map); }
    TGuardedBlock(const TGuardedBlock&) = delete;
    TGuardedBlock& operator=(const TGuardedBlock&) = delete;

    uint8_t* Data() const { return Map.Data; }
    size_t Size() const { return Bytes; }

private:
    size_t Bytes;
    TGuardedMapping Map;
};

// A read-only stream over a guarded copy of the given bytes.
class TGuardedSource : public TStream {
public:
    TGuardedSource(const std::vector<uint8_t>& bytes, TGuardSide side) : Block(bytes, side) {}
    int64_t Size() const override { return static_cast<int64_t>(Block.Size()); }
    int64_t Position() const override { return Pos; }
    int32_t Read(void* buffer, int32_t count) override {
        const auto n = static_cast<int32_t>(std::min<int64_t>(count, Size() - Pos));
        if (n > 0) std::memcpy(buffer, Block.Data() + Pos, static_cast<size_t>(n));
        Pos += n > 0 ? n : 0;
        return n > 0 ? n : 0;
    }
    void Write(const void*, int32_t) override { throw EStreamError("Stream write error: guarded source"); }
    int64_t Seek(int64_t offset, TSeekOrigin origin) override {
        Pos = ResolveSeek(Pos, Size(), offset, origin);
        return Pos;
    }

private:
    TGuardedBlock Block;
    int64_t Pos = 0;
};

// A codec state prepared as the dispatcher prepares one, with its input chunk buffer, its output
// buffer and its source bytes in guarded blocks; a full input chunk ends exactly at a guard when
// side is End.
class TGuardedCodecRun {
public:
    TGuardedCodecRun(const std::vector<uint8_t>& input, TGuardSide side, int32_t budget)
        : In(CodecChunkSize, side), Out(CodecChunkSize, side), Source(input, side) {
        PrepareCodecState(S, In.Data(), Out.Data(), Source, Dest, static_cast<int32_t>(input.size()), budget);
        S.OutCount = 1;
    }
    // Writes what is left in the output buffer and gives back everything written.
    std::vector<uint8_t> Finish() {
        FlushOutput(S);
        return Dest.Bytes;
    }

    TCodecState S;
    TMemoryStream Dest;

private:
    TGuardedBlock In, Out;
    TGuardedSource Source;
};
