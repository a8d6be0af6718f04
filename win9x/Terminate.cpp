// The C++ library's default terminate handler writes the uncaught exception's demangled type to
// stderr, which GUI programs do not have, and in doing so links the demangler and the runtime's
// printf engine, both built for the Pentium Pro. Ours ends the process as that handler does
// after its message.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
