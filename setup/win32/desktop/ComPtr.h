// Owns one COM interface pointer and releases it on every way out of the scope that holds it.
#pragma once

namespace desktop {

template <typename T>
class TComPtr {
public:
    TComPtr() = default;
    ~TComPtr() {
        if (Pointer) Pointer->Release();
    }
    TComPtr(const TComPtr&) = delete;
    TComPtr& operator=(const TComPtr&) = delete;

    T* operator->() const { return Pointer; }
    // For the functions that hand back an interface of this very type.
    T** Out() { return &Pointer; }
    // For the functions that hand back an interface as void** (CoCreateInstance, QueryInterface).
    void** OutVoid() { return reinterpret_cast<void**>(&Pointer); }
    explicit operator bool() const { return Pointer != nullptr; }

private:
    T* Pointer = nullptr;
};

} // namespace desktop
