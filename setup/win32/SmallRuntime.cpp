// Runtime parts that the setup programs replace with smaller ones. The C++ runtime's default
// handler for an uncaught exception prints the exception's demangled type name, which links in
// the whole name demangler (about 45 KB); a GUI program has no console to print it to, so it
// simply ends the way std::terminate ends, through abort().
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
