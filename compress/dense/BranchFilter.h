// The x86 branch filter of dense archives made for executables. A CALL (E8) or JMP (E9) holds
// the distance from the next instruction to its target, so calls to one function from different
// places differ in their bytes; turned into the target's position, repeated calls repeat, and the
// zstd stream finds them as matches (x86-64 shared libraries pack about 5 % smaller; converting
// conditional jumps too made them larger again).
//
// Only distances within +-16 MiB are converted (the top byte 00 or FF, 25-bit signed values) and
// the result is stored in the same form, modulo 2^25; the four bytes after an E8 or E9 are never
// looked at again, converted or not. So the reverse conversion finds exactly the same places
// without any side information, and any bytes convert back to themselves. A member is filtered
// only when it starts as an executable ("\x7FELF" or "MZ"), which the conversion never changes,
// so the expander decides from the bytes it restores.
#pragma once

#include <cstddef>
#include <cstdint>

// Bytes a member needs before it can be told an executable or not.
constexpr size_t ExecutableMarkBytes = 4;

// Whether a member starting with these ExecutableMarkBytes bytes is filtered.
bool StartsAsExecutable(const uint8_t* bytes);

class TBranchFilter {
public:
    enum class TDirection { ToTargets, ToDistances };
    explicit TBranchFilter(TDirection direction) : Direction(direction) {}

    // Converts bytes[0, size), which continue the member after the bytes converted so far, in place.
    // Returns how many leading bytes are final; the rest (fewer than a branch's five bytes) go
    // again at the front of the next call, or stay as they are at the member's end.
    size_t Convert(uint8_t* bytes, size_t size);

private:
    TDirection Direction;
    int64_t Done = 0;
};
