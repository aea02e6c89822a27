// Ownership of what Win32 hands out and wants back: kernel handles, find handles, registry keys,
// libraries, memory from CoTaskMemAlloc or LocalAlloc, COM interfaces. One template, one small
// policy per kind that says what "empty" is and how to give the thing back; every way out of a
// scope gives it back.
#pragma once

#include <objbase.h>
#include <windows.h>

template <typename TPolicy>
class TOwned {
public:
    using TValue = typename TPolicy::TValue;

    TOwned() = default;
    explicit TOwned(TValue value) : Value(value) {}
    ~TOwned() { reset(); }
    TOwned(TOwned&& other) noexcept : Value(other.release()) {}
    TOwned& operator=(TOwned&& other) noexcept {
        reset(other.release());
        return *this;
    }
    TOwned(const TOwned&) = delete;
    TOwned& operator=(const TOwned&) = delete;

    TValue get() const { return Value; }
    explicit operator bool() const { return TPolicy::Valid(Value); }
    // Gives the old value back and takes the new one.
    void reset(TValue value = TPolicy::Empty()) {
        if (TPolicy::Valid(Value)) TPolicy::Free(Value);
        Value = value;
    }
    // Hands the value over to the caller, who must give it back.
    TValue release() {
        const TValue value = Value;
        Value = TPolicy::Empty();
        return value;
    }
    // For the calls that hand a new value back through a pointer: what was held goes first.
    TValue* Out() {
        reset();
        return &Value;
    }
    // The same for the calls that take void** (CoCreateInstance, QueryInterface).
    void** OutVoid() { return reinterpret_cast<void**>(Out()); }
    TValue operator->() const { return Value; }

private:
    TValue Value = TPolicy::Empty();
};

// A kernel object's handle; both null and INVALID_HANDLE_VALUE mean none.
struct THandlePolicy {
    using TValue = HANDLE;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value && value != INVALID_HANDLE_VALUE; }
    static void Free(TValue value) { CloseHandle(value); }
};
using THandle = TOwned<THandlePolicy>;

struct TFindHandlePolicy {
    using TValue = HANDLE;
    static TValue Empty() { return INVALID_HANDLE_VALUE; }
    static bool Valid(TValue value) { return value != INVALID_HANDLE_VALUE; }
    static void Free(TValue value) { FindClose(value); }
};
using TFindHandle = TOwned<TFindHandlePolicy>;

struct TRegistryKeyPolicy {
    using TValue = HKEY;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { RegCloseKey(value); }
};
using TRegistryKey = TOwned<TRegistryKeyPolicy>;

struct TLibraryPolicy {
    using TValue = HMODULE;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { FreeLibrary(value); }
};
using TLibrary = TOwned<TLibraryPolicy>;

// Memory that a call allocated with CoTaskMemAlloc (item ID lists, known-folder paths).
template <typename T>
struct TCoTaskMemPolicy {
    using TValue = T*;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { CoTaskMemFree(const_cast<void*>(static_cast<const void*>(value))); }
};
template <typename T>
using TCoTaskMem = TOwned<TCoTaskMemPolicy<T>>;

// Memory that a call allocated with LocalAlloc (SID strings, security descriptors).
template <typename T>
struct TLocalMemoryPolicy {
    using TValue = T*;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { LocalFree(static_cast<HLOCAL>(value)); }
};
template <typename T>
using TLocalMemory = TOwned<TLocalMemoryPolicy<T>>;

// One reference to a COM interface.
template <typename T>
struct TComPolicy {
    using TValue = T*;
    static TValue Empty() { return nullptr; }
    static bool Valid(TValue value) { return value != nullptr; }
    static void Free(TValue value) { value->Release(); }
};
template <typename T>
using TComPtr = TOwned<TComPolicy<T>>;
