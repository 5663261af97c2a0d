// Global new replaced for one test program, so that a test can make the system refuse
// memory from the allocator's Nth request on. Include it in one file of the program only:
// it defines the replacements.
#pragma once

#include <cstdlib>
#include <new>

namespace {

long g_allocations = 0;
long g_failFrom = -1; // -1: never refuse
bool g_refused = false;

} // namespace

void* operator new(std::size_t size) {
    if (g_failFrom >= 0 && g_allocations++ >= g_failFrom) {
        g_refused = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        return p;
    }
    throw std::bad_alloc();
}
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
