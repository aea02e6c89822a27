// Stream doubles shared by the tests: a memory stream that records every read and write it is
// asked for, and helpers that turn strings and byte lists into streams.
#pragma once

#include "platform/Stream.h"

#include <string>
#include <vector>

class TRecordingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;

    int32_t Read(void* buffer, int32_t count) override {
        ReadRequests.push_back(count);
        return TMemoryStream::Read(buffer, count);
    }
    void Write(const void* buffer, int32_t count) override {
        WriteSizes.push_back(count);
        TMemoryStream::Write(buffer, count);
    }

    std::vector<int32_t> ReadRequests;
    std::vector<int32_t> WriteSizes;
};

inline std::vector<uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}

// Deterministic pseudo-random bytes (xorshift), so that failures reproduce.
inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::vector<uint8_t> out(n);
    uint32_t x = seed ? seed : 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<uint8_t>(x >> 24);
    }
    return out;
}
