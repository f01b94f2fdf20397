// A replacement for the global operator new that counts allocations and, while
// armed, fails one: set g_countdown to n and the allocation that takes it from
// 0 to -1 throws std::bad_alloc. g_live counts allocations not yet freed. Define
// these in one test file per executable only (include it from one .cpp).
#ifndef UTIL_STRINGLOADER_COUNTING_NEW_H
#define UTIL_STRINGLOADER_COUNTING_NEW_H

#include <atomic>
#include <cstdlib>
#include <new>

constexpr long kUnarmed = -1000000000L; // counts down, never to 0
std::atomic<long> g_countdown{kUnarmed}, g_live{0}, g_allocations{0};

// The library allocates nothing over-aligned; the runtime's other forms call these.
void* operator new(std::size_t n) {
    void* memory = g_countdown.fetch_sub(1) == 0 ? nullptr : std::malloc(n + 1);
    g_live += memory != nullptr ? 1 : 0;
    g_allocations += 1;
    return memory != nullptr ? memory : throw std::bad_alloc();
}
static void Release(void* memory) noexcept {
    g_live -= memory != nullptr ? 1 : 0;
    std::free(memory);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}

#endif // UTIL_STRINGLOADER_COUNTING_NEW_H
