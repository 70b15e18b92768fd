// The counting operator new behind AllocationCounter: counts while any counter is alive.
#include "support/AllocationCounter.h"

#include <atomic>
#include <cstdlib>
#include <new>

// The counting operator new hands out malloc memory that the matching delete frees.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
} // namespace

void* operator new(std::size_t size)
{
    if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    std::abort();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

AllocationCounter::AllocationCounter()
{
    g_allocations = 0;
    g_counting = true;
}

AllocationCounter::~AllocationCounter() { g_counting = false; }

long AllocationCounter::count() const { return g_allocations.load(); }
