// SHA-256 from the system's own implementation: CNG (bcrypt.dll from System32) on Windows,
// OpenSSL's libcrypto elsewhere. For the digests of what a made setup takes from beside itself,
// which, unlike its embedded data, its publisher's signature does not cover.
#pragma once

#include "platform/Stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TSha256 {
public:
    // Raises Exception when the system offers no SHA-256.
    TSha256();
    ~TSha256();
    TSha256(const TSha256&) = delete;
    TSha256& operator=(const TSha256&) = delete;

    void Update(const uint8_t* bytes, size_t count);
    // The digest of everything given; the object is used up.
    std::array<uint8_t, 32> Finish();

private:
    struct TState;
    std::unique_ptr<TState> State;
};

// The SHA-256 in lowercase hexadecimal of what stream holds from its position to its end, read in
// pieces.
std::string Sha256Hex(TStream& stream);
// The same of bytes in memory.
std::string Sha256Hex(const uint8_t* bytes, size_t count);
