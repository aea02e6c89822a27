// SHA-256 through CNG. bcrypt.dll is loaded at run time by its full System32 path, so that the
// setup programs import nothing beyond KERNEL32 and the C runtime at start and no planted copy of
// the DLL beside them is ever loaded. The hash object is incremental (Windows Vista and later), so
// that a large file is hashed in pieces.
#include "platform/digest/Sha256.h"

#include "platform/Exception.h"
#include "platform/win32/Owned.h"

#include <windows.h>

#include <algorithm>
#include <bcrypt.h>

namespace {
[[noreturn]] void HashFailed(const char* what) {
    throw Exception(std::string("SHA-256 is not available from the system (") + what + ")");
}

template <typename TFunction>
TFunction* Entry(HMODULE library, const char* name) {
    auto* entry = reinterpret_cast<TFunction*>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    if (!entry) HashFailed(name);
    return entry;
}
} // namespace

struct TSha256::TState {
    TLibrary Library;
    decltype(&BCryptCloseAlgorithmProvider) CloseAlgorithm = nullptr;
    decltype(&BCryptDestroyHash) DestroyHash = nullptr;
    decltype(&BCryptHashData) HashData = nullptr;
    decltype(&BCryptFinishHash) FinishHash = nullptr;
    BCRYPT_ALG_HANDLE Algorithm = nullptr;
    BCRYPT_HASH_HANDLE Hash = nullptr;
    ~TState() {
        if (Hash) DestroyHash(Hash);
        if (Algorithm) CloseAlgorithm(Algorithm, 0);
    }
};

TSha256::TSha256() : State(std::make_unique<TState>()) {
    wchar_t path[MAX_PATH + 16];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) HashFailed("no System32 folder");
    lstrcpyW(path + length, L"\\bcrypt.dll");
    State->Library.reset(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!State->Library) HashFailed("bcrypt.dll");
    const HMODULE library = State->Library.get();
    const auto openAlgorithm =
        Entry<decltype(BCryptOpenAlgorithmProvider)>(library, "BCryptOpenAlgorithmProvider");
    const auto createHash = Entry<decltype(BCryptCreateHash)>(library, "BCryptCreateHash");
    State->CloseAlgorithm =
        Entry<decltype(BCryptCloseAlgorithmProvider)>(library, "BCryptCloseAlgorithmProvider");
    State->DestroyHash = Entry<decltype(BCryptDestroyHash)>(library, "BCryptDestroyHash");
    State->HashData = Entry<decltype(BCryptHashData)>(library, "BCryptHashData");
    State->FinishHash = Entry<decltype(BCryptFinishHash)>(library, "BCryptFinishHash");
    if (!BCRYPT_SUCCESS(openAlgorithm(&State->Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        HashFailed("BCryptOpenAlgorithmProvider");
    if (!BCRYPT_SUCCESS(createHash(State->Algorithm, &State->Hash, nullptr, 0, nullptr, 0, 0)))
        HashFailed("BCryptCreateHash");
}

TSha256::~TSha256() = default;

void TSha256::Update(const uint8_t* bytes, size_t count) {
    // BCryptHashData takes at most 4 GiB less one byte at a time.
    constexpr size_t Piece = 1u << 30;
    for (size_t done = 0; done < count; done += Piece) {
        const ULONG size = static_cast<ULONG>(std::min(Piece, count - done));
        if (!BCRYPT_SUCCESS(State->HashData(State->Hash, const_cast<PUCHAR>(bytes + done), size, 0)))
            throw Exception("SHA-256 failed (BCryptHashData)");
    }
}

std::array<uint8_t, 32> TSha256::Finish() {
    std::array<uint8_t, 32> digest{};
    if (!BCRYPT_SUCCESS(State->FinishHash(State->Hash, digest.data(), static_cast<ULONG>(digest.size()), 0)))
        throw Exception("SHA-256 failed (BCryptFinishHash)");
    return digest;
}
