// The C++ library's operator new, built for the Pentium Pro, runs a cmov on every allocation.
// The language lets a program replace it; this one behaves the same.
#include <cstdlib>
#include <new>

void *operator new(std::size_t size) {
    if (size == 0)
        size = 1;
    for (;;) {
        if (void *p = std::malloc(size))
            return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler)
            throw std::bad_alloc();
        handler();
    }
}
