// The C++ library's default terminate handler writes the uncaught exception's demangled type to
// stderr, which GUI programs do not have, and links the demangler and the printf engine to do
// so: about 48 KB in every program, which would leave quorvel9x with some 25 KB of its 400 KB.
// Ours ends the process as that handler does after its message.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx
