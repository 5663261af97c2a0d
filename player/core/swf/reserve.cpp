#include "player/core/swf/reserve.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

namespace memory {

namespace {

std::atomic<void*> g_reserve{nullptr};
std::atomic<uint32_t> g_failures{0};
std::mutex g_holdLock; // holders come and go on the host's threads
int g_holders = 0;
std::new_handler g_before = nullptr; // the program's own, back when no player lives

// Smaller requests than this are not worth asking twice: the reserve covers them.
const size_t kProbeFrom = 256u << 10;

// Called by operator new (and its nothrow form) when the system refuses. Returning makes
// it try again, now with the reserve given back. With none left nothing can go on, and the
// process ends quietly, with the code the shipped programs' terminate handler gives (not
// through std::terminate, which would link the unwinder into them).
// Two threads refused at the same moment (drawing bands) share one reserve: the second
// finds it gone and ends the process, even if the first's release would have served it.
void Refused() {
    void* reserve = g_reserve.exchange(nullptr);
    if (reserve == nullptr) {
        std::_Exit(3);
    }
    g_failures.fetch_add(1);
    std::free(reserve);
}

// From the system's allocator, not operator new: that would call the handler itself.
bool ArmLocked() {
    if (g_reserve.load() != nullptr) {
        return true;
    }
    void* block = std::malloc(kReserveBytes);
    if (block == nullptr) {
        return false;
    }
    void* none = nullptr;
    if (!g_reserve.compare_exchange_strong(none, block)) {
        std::free(block);
    }
    return true;
}

} // namespace

bool Hold() noexcept {
    std::lock_guard<std::mutex> hold(g_holdLock);
    if (g_holders++ == 0) {
        g_before = std::set_new_handler(Refused);
    }
    return ArmLocked();
}

void Release() noexcept {
    std::lock_guard<std::mutex> hold(g_holdLock);
    if (g_holders > 0 && --g_holders == 0) {
        std::set_new_handler(g_before);
        std::free(g_reserve.exchange(nullptr));
    }
}

bool Rearm() noexcept {
    if (g_reserve.load(std::memory_order_relaxed) != nullptr) {
        return true;
    }
    std::lock_guard<std::mutex> hold(g_holdLock);
    return g_holders > 0 && ArmLocked();
}

bool Armed() noexcept {
    return g_reserve.load() != nullptr;
}

uint32_t Failures() noexcept {
    return g_failures.load(std::memory_order_relaxed);
}

bool Obtainable(size_t bytes) noexcept {
    if (bytes < kProbeFrom) {
        return true;
    }
    // Volatile: the compiler may otherwise drop a block that is freed unused.
    void* volatile block = std::malloc(bytes);
    if (block == nullptr) {
        return false;
    }
    std::free(block);
    return true;
}

} // namespace memory
