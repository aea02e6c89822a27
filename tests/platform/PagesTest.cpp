// Making pages present is a hint about memory that is about to be filled: it may map pages, never
// change a byte, whatever the range's alignment and size.
#include "platform/process/Pages.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

namespace {
uint8_t Pattern(size_t i) {
    return static_cast<uint8_t>(i * 131 + (i >> 12));
}
} // namespace

TEST(MakePagesPresent, LeavesEveryByteAsItWas) {
    // Larger than a working set's default minimum on Windows, where the lock needs it raised.
    constexpr size_t size = 24 << 20;
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    for (size_t i = 0; i < size; i += 997) bytes[i] = Pattern(i);
    MakePagesPresent(bytes.get() + 1, 0);
    MakePagesPresent(bytes.get() + 3, 5000);           // inside pages it shares with other bytes
    MakePagesPresent(bytes.get() + 4099, size - 8000); // most of it, unaligned at both ends
    MakePagesPresent(bytes.get(), size);
    for (size_t i = 0; i < size; i += 997) ASSERT_EQ(bytes[i], Pattern(i)) << "at " << i;
}
