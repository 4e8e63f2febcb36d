#include "support/watched_new.h"

#include <cstdlib>
#include <new>

// GCC pairs the free below with the new it sees inlined at call sites and warns of a
// mismatch; both sides are these replacements, which use malloc and free throughout.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    using namespace colorsplit::test;
    ++newCalls;
    if (size > refuseAbove) {
        ++refusedBlocks;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop
