#include "compress/dense/BranchFilter.h"

#include "platform/LittleEndian.h"

#include <cstring>

namespace {
constexpr size_t BranchBytes = 5; // E8 or E9 and a 32-bit distance
constexpr uint32_t ValueMask = (uint32_t{1} << 25) - 1;
constexpr uint32_t SignBit = uint32_t{1} << 24;

bool IsBranch(uint8_t opcode) {
    return opcode == 0xE8 || opcode == 0xE9;
}

// A 25-bit value sign-extended to 32 bits: its top byte is 00 or FF.
uint32_t SignExtended(uint32_t value) {
    value &= ValueMask;
    return (value & SignBit) ? value | ~ValueMask : value;
}
} // namespace

bool StartsAsExecutable(const uint8_t* bytes) {
    return std::memcmp(bytes,
                       "\x7F"
                       "ELF",
                       ExecutableMarkBytes) == 0 ||
           (bytes[0] == 'M' && bytes[1] == 'Z');
}

size_t TBranchFilter::Convert(uint8_t* bytes, size_t size) {
    size_t i = 0;
    while (i + BranchBytes <= size) {
        if (!IsBranch(bytes[i])) {
            ++i;
            continue;
        }
        // A branch's distance is never looked at again, converted or not: had a branch within it
        // been converted, the reverse conversion could see a different top byte here.
        const uint8_t top = bytes[i + 4];
        if (top == 0x00 || top == 0xFF) {
            const uint32_t next = static_cast<uint32_t>(Done + static_cast<int64_t>(i + BranchBytes));
            const uint32_t value = Get32(bytes + i + 1);
            Put32(bytes + i + 1,
                  SignExtended(Direction == TDirection::ToTargets ? value + next : value - next));
        }
        i += BranchBytes;
    }
    Done += static_cast<int64_t>(i);
    return i;
}
