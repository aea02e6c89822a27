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
// The setup programs run their own code on one thread, so a function-local static needs no lock
// and a thread-local variable (the runtime keeps the exception being handled in one) needs only
// one instance. The runtime's thread-safe guard and its per-thread storage both bring the POSIX
// thread library along (about 25 KB).
#include "platform/Exception.h"

#include <bits/functexcept.h>
#include <cstdarg>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <new>

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

// The guard's first byte says whether the static has been initialised.
extern "C" int __cxa_guard_acquire(__guard* guard) {
    return *reinterpret_cast<const uint8_t*>(guard) == 0 ? 1 : 0;
}
extern "C" void __cxa_guard_release(__guard* guard) noexcept {
    *reinterpret_cast<uint8_t*>(guard) = 1;
}
extern "C" void __cxa_guard_abort(__guard*) noexcept {}

// What a new[] expression calls for an impossible element count. The runtime's file that holds it
// holds the bad_cast and bad_typeid throwers too, which bring their classes along.
extern "C" void __cxa_throw_bad_array_new_length() {
    throw std::bad_array_new_length();
}

} // namespace __cxxabiv1

// The C runtime's math error reporter: start-up installs it only on request
// (_MINGW_INSTALL_DEBUG_MATHERR, off), yet the reference alone brings the runtime's version along,
// which prints to a console these programs do not have. Zero: the error is handled as usual.
extern "C" int _matherr(struct _exception*) {
    return 0;
}

// The compiler's descriptor of a thread-local variable: its size and alignment, where its one
// instance lives once made, and its initial bytes (none for zero).
struct TThreadLocalObject {
    size_t Size;
    size_t Align;
    void* Instance;
    const void* Initial;
};

extern "C" void* __emutls_get_address(TThreadLocalObject* object) {
    if (!object->Instance) {
        // Lives as long as the program; malloc's alignment is 16, more is made by hand.
        const size_t align = object->Align > 16 ? object->Align : 16;
        char* block = static_cast<char*>(std::malloc(object->Size + align));
        if (!block) std::abort();
        char* instance = block + (align - reinterpret_cast<uintptr_t>(block) % align) % align;
        if (object->Initial)
            std::memcpy(instance, object->Initial, object->Size);
        else
            std::memset(instance, 0, object->Size);
        object->Instance = instance;
    }
    return object->Instance;
}
