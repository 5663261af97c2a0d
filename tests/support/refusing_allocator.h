// Global new replaced for one test program, so that a test can make the system refuse
// chosen requests. A refused request does what the standard operator new does: it calls
// the installed new handler (the engine's gives back its reserve) and tries again, which
// is granted; with no handler it throws. Include it in one file of the program only: it
// defines the replacements.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<long> g_allocations{0};
long g_refuseFrom = -1; // the first request refused; -1: none
long g_refuseCount = 1; // how many in a row from there
std::atomic<bool> g_refused{false};
std::atomic<long> g_live{0}; // blocks given and not freed, to find leaks

void RefuseAt(long n, long count = 1) {
    g_allocations = 0;
    g_refused = false;
    g_refuseCount = count;
    g_refuseFrom = n;
}

void RefuseNone() {
    g_refuseFrom = -1;
}

} // namespace

void* operator new(std::size_t size) {
    const long n = g_allocations++;
    if (g_refuseFrom >= 0 && n >= g_refuseFrom && n < g_refuseFrom + g_refuseCount) {
        g_refused = true;
        const std::new_handler handler = std::get_new_handler();
        if (handler == nullptr) {
            throw std::bad_alloc();
        }
        handler();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) {
        ++g_live;
        return p;
    }
    throw std::bad_alloc();
}
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* p) noexcept {
    if (p != nullptr) {
        --g_live;
        std::free(p);
    }
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}
