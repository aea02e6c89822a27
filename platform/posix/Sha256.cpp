// SHA-256 through OpenSSL's EVP interface (Debian's libcrypto).
#include "platform/digest/Sha256.h"

#include "platform/Exception.h"

#include <openssl/evp.h>

struct TSha256::TState {
    EVP_MD_CTX* Context = nullptr;
    ~TState() { EVP_MD_CTX_free(Context); }
};

TSha256::TSha256() : State(std::make_unique<TState>()) {
    State->Context = EVP_MD_CTX_new();
    if (!State->Context || EVP_DigestInit_ex(State->Context, EVP_sha256(), nullptr) != 1)
        throw Exception("SHA-256 is not available (libcrypto)");
}

TSha256::~TSha256() = default;

void TSha256::Update(const uint8_t* bytes, size_t count) {
    if (EVP_DigestUpdate(State->Context, bytes, count) != 1) throw Exception("SHA-256 failed (libcrypto)");
}

std::array<uint8_t, 32> TSha256::Finish() {
    std::array<uint8_t, 32> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(State->Context, digest.data(), &length) != 1 || length != digest.size())
        throw Exception("SHA-256 failed (libcrypto)");
    return digest;
}
