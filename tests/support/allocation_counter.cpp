#include "support/allocation_counter.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<std::uint64_t> g_nAllocations{0};
thread_local bool t_bCounting = false;
thread_local std::uint64_t t_nAllocations = 0;

void* Allocate(std::size_t size) {
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
    if (t_bCounting) ++t_nAllocations;
    if (size == 0) size = 1;
    void* p = std::malloc(size);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}
}  // namespace

void CAllocationCounter::Begin() {
    t_nAllocations = 0;
    t_bCounting = true;
}

std::uint64_t CAllocationCounter::End() {
    t_bCounting = false;
    return t_nAllocations;
}

std::uint64_t CAllocationCounter::Total() {
    return g_nAllocations.load(std::memory_order_relaxed);
}

// The replaced global allocation functions (plain and array forms; the aligned forms keep
// their library versions, which this program does not use on the counted paths).
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}
