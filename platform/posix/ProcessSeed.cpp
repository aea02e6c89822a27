// The seed from the clocks and, where there is one, the random device.
#include "platform/process/ProcessSeed.h"

#include <chrono>
#include <random>

uint64_t ProcessSeed() {
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()) << 1;
    try {
        std::random_device device;
        seed ^= static_cast<uint64_t>(device()) << 32 | device();
    } catch (...) {
        // No random device: the clocks alone must do.
    }
    return seed;
}
