// Runtime parts that the setup programs replace with smaller ones.
//
// The C++ runtime's default handler for an uncaught exception prints the exception's demangled
// type name, which links in the whole name demangler (about 45 KB); a GUI program has no console
// to print it to, so it simply ends the way std::terminate ends, through abort().
//
// The containers report a misuse or an impossible size through the std::__throw_* functions. The
// runtime's own versions throw std::logic_error and its kin, which carry the older reference-
// counted strings and so bring a second string implementation along (about 45 KB). These throw
// the system's own Exception with the same message instead; every handler of the setup programs
// catches std::exception, so what reaches the user stays the same. Defining every one of them
// that the programs reference keeps the runtime's versions out: were one missing, the linker
// would report it defined twice.
//
// The runtime's thread-safe guard of a function-local static, its per-thread storage and the
// mutex of its emergency exception pool bring the POSIX thread library along (about 25 KB). The
// setup programs run threads of their own (the expansion's writer and the dense method's decoder),
// which throw and catch exceptions while the main thread does too: the runtime keeps the
// exceptions being handled in a thread-local variable, so each thread gets its own instance,
// through the system's thread-local slots; a static being initialised on one thread is waited for
// on another.
#include "platform/Exception.h"

#include <bits/functexcept.h>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <new>

#include <pthread.h>
#include <windows.h>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

namespace {

// The runtime's messages use %s, %zu and %% only, as its own formatter does.
std::string FormatRuntimeMessage(const char* format, va_list arguments) {
    std::string text;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == 's') {
            text += va_arg(arguments, const char*);
            ++p;
        } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
            text += std::to_string(va_arg(arguments, size_t));
            p += 2;
        } else if (p[0] == '%' && p[1] == '%') {
            text += '%';
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

} // namespace

namespace std {

void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_length_error(const char* message) {
    throw Exception(message);
}
void __throw_logic_error(const char* message) {
    throw Exception(message);
}
void __throw_runtime_error(const char* message) {
    throw Exception(message);
}
void __throw_bad_function_call() {
    throw Exception("bad_function_call");
}
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::string text = FormatRuntimeMessage(format, arguments);
    va_end(arguments);
    throw Exception(std::move(text));
}

} // namespace std

namespace __cxxabiv1 {

// The guard's first byte says whether the static has been initialised (the compiler reads it
// before calling here); its second, whether a thread is initialising it.
extern "C" int __cxa_guard_acquire(__guard* guard) {
    char* state = reinterpret_cast<char*>(guard);
    for (;;) {
        if (__atomic_load_n(&state[0], __ATOMIC_ACQUIRE)) return 0;
        char idle = 0;
        if (__atomic_compare_exchange_n(&state[1], &idle, 1, false, __ATOMIC_ACQUIRE, __ATOMIC_RELAXED)) {
            if (!__atomic_load_n(&state[0], __ATOMIC_ACQUIRE)) return 1;
            __atomic_store_n(&state[1], 0, __ATOMIC_RELEASE);
            return 0;
        }
        Sleep(0);
    }
}
extern "C" void __cxa_guard_release(__guard* guard) noexcept {
    char* state = reinterpret_cast<char*>(guard);
    __atomic_store_n(&state[0], 1, __ATOMIC_RELEASE);
    __atomic_store_n(&state[1], 0, __ATOMIC_RELEASE);
}
extern "C" void __cxa_guard_abort(__guard* guard) noexcept {
    __atomic_store_n(&reinterpret_cast<char*>(guard)[1], 0, __ATOMIC_RELEASE);
}

// What a new[] expression calls for an impossible element count. The runtime's file that holds it
// holds the bad_cast and bad_typeid throwers too, which bring their classes along.
extern "C" void __cxa_throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}

} // namespace __cxxabiv1

// The emergency exception pool, which the runtime turns to when malloc fails, guards itself with a
// POSIX mutex. These are the four calls it makes: a lock that yields while another thread holds
// it, as the static guard above does; the word starts as PTHREAD_MUTEX_INITIALIZER, unlocked.
namespace {
constexpr pthread_mutex_t MutexUnlocked = PTHREAD_MUTEX_INITIALIZER;
constexpr pthread_mutex_t MutexLocked = 0;
} // namespace

extern "C" int pthread_mutex_init(pthread_mutex_t* mutex, const pthread_mutexattr_t*) {
    __atomic_store_n(mutex, MutexUnlocked, __ATOMIC_RELEASE);
    return 0;
}
extern "C" int pthread_mutex_destroy(pthread_mutex_t*) {
    return 0;
}
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
    for (;;) {
        pthread_mutex_t unlocked = MutexUnlocked;
        if (__atomic_compare_exchange_n(mutex, &unlocked, MutexLocked, false, __ATOMIC_ACQUIRE,
                                        __ATOMIC_RELAXED))
            return 0;
        Sleep(0);
    }
}
extern "C" int pthread_mutex_unlock(pthread_mutex_t* mutex) {
    __atomic_store_n(mutex, MutexUnlocked, __ATOMIC_RELEASE);
    return 0;
}

// The C runtime's math error reporter: start-up installs it only on request
// (_MINGW_INSTALL_DEBUG_MATHERR, off), yet the reference alone brings the runtime's version along,
// which prints to a console these programs do not have. Zero: the error is handled as usual.
extern "C" int _matherr(struct _exception*) {
    return 0;
}

#ifdef PARLAVOX_SMALL_PROGRAM_SCRIPT
// The C runtime's start-up applies the pseudo-relocations the linker makes for data that code takes
// from a DLL without declaring it imported. These programs take none, and their linker script
// (SmallProgram.ld) fails the link should one appear, so there is nothing to apply; the runtime's
// version brings its own section lookup and console error printing (about 2.5 KB).
extern "C" void _pei386_runtime_relocator() {}
#endif

// The compiler's descriptor of a thread-local variable: its size and alignment, a word for the
// implementation (here the system's slot for it, plus one), and its initial bytes (none for zero).
struct TThreadLocalObject {
    size_t Size;
    size_t Align;
    void* Slot;
    const void* Initial;
};

extern "C" void* __emutls_get_address(TThreadLocalObject* object) {
    // Reading a slot clears the thread's last error, which a caller may not have read yet.
    const DWORD lastError = GetLastError();
    auto slot = reinterpret_cast<uintptr_t>(__atomic_load_n(&object->Slot, __ATOMIC_ACQUIRE));
    if (slot == 0) {
        const DWORD fresh = TlsAlloc();
        if (fresh == TLS_OUT_OF_INDEXES) std::abort();
        void* expected = nullptr;
        void* made = reinterpret_cast<void*>(uintptr_t{fresh} + 1);
        if (__atomic_compare_exchange_n(&object->Slot, &expected, made, false, __ATOMIC_ACQ_REL,
                                        __ATOMIC_ACQUIRE)) {
            slot = uintptr_t{fresh} + 1;
        } else {
            TlsFree(fresh); // another thread gave it one first
            slot = reinterpret_cast<uintptr_t>(expected);
        }
    }
    const auto index = static_cast<DWORD>(slot - 1);
    void* instance = TlsGetValue(index);
    if (!instance) {
        // Lives as long as the program (the programs start few threads); malloc's alignment is
        // 16, more is made by hand.
        const size_t align = object->Align > 16 ? object->Align : 16;
        char* block = static_cast<char*>(std::malloc(object->Size + align));
        if (!block) std::abort();
        char* aligned = block + (align - reinterpret_cast<uintptr_t>(block) % align) % align;
        if (object->Initial)
            std::memcpy(aligned, object->Initial, object->Size);
        else
            std::memset(aligned, 0, object->Size);
        if (!TlsSetValue(index, aligned)) std::abort();
        instance = aligned;
    }
    SetLastError(lastError);
    return instance;
}
