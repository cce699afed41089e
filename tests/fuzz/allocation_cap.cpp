#include "allocation_cap.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace fuzztest {

namespace {

std::atomic<bool> g_armed{false};
std::atomic<std::size_t> g_held{0};  // bytes held through operator new since arm()
std::atomic<std::size_t> g_broken{0};  // the size of the first allocation that broke a cap, 0 if none
std::atomic<bool> g_single{false};     // which cap it broke

// Refuses the allocation when armed and over a cap (noting the first such).
bool allowed(std::size_t size)
{
    if (!g_armed.load(std::memory_order_relaxed))
        return true;
    const bool single = size > kSingleLimit;
    if (!single && g_held.load(std::memory_order_relaxed) + size <= kTotalLimit)
        return true;
    std::size_t none = 0;
    if (g_broken.compare_exchange_strong(none, size))
        g_single = single;
    return false;
}

void* allocate(std::size_t size, std::size_t alignment, bool nothrow)
{
    void* p = nullptr;
    if (allowed(size)) {
        if (alignment <= alignof(std::max_align_t))
            p = std::malloc(size ? size : 1);
        else if (posix_memalign(&p, alignment, size ? size : 1) != 0)
            p = nullptr;
    }
    if (p) {
        g_held.fetch_add(malloc_usable_size(p), std::memory_order_relaxed);
        return p;
    }
    if (nothrow)
        return nullptr;
    throw std::bad_alloc();
}

void release(void* p)
{
    if (!p)
        return;
    // What was allocated before arm() may be freed after it: never below zero.
    const std::size_t size = malloc_usable_size(p);
    std::size_t held = g_held.load(std::memory_order_relaxed);
    while (!g_held.compare_exchange_weak(held, held > size ? held - size : 0, std::memory_order_relaxed)) {
    }
    std::free(p);
}

}  // namespace

void arm()
{
    g_held = 0;
    g_broken = 0;
    g_armed = true;
}

std::string disarm()
{
    g_armed = false;
    const std::size_t broken = g_broken;
    if (broken == 0)
        return {};
    return std::string(g_single ? "an allocation of " : "an allocation bringing the total over 512 MB, of ") +
           std::to_string(broken >> 20) + " MB" + (g_single ? " (more than 256 MB at once)" : "");
}

}  // namespace fuzztest

// The replaceable global allocation functions, for this executable only.
void* operator new(std::size_t size) { return fuzztest::allocate(size, 0, false); }
void* operator new[](std::size_t size) { return fuzztest::allocate(size, 0, false); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return fuzztest::allocate(size, 0, true); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return fuzztest::allocate(size, 0, true); }
void* operator new(std::size_t size, std::align_val_t a) { return fuzztest::allocate(size, std::size_t(a), false); }
void* operator new[](std::size_t size, std::align_val_t a) { return fuzztest::allocate(size, std::size_t(a), false); }
void operator delete(void* p) noexcept { fuzztest::release(p); }
void operator delete[](void* p) noexcept { fuzztest::release(p); }
void operator delete(void* p, std::size_t) noexcept { fuzztest::release(p); }
void operator delete[](void* p, std::size_t) noexcept { fuzztest::release(p); }
void operator delete(void* p, std::align_val_t) noexcept { fuzztest::release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { fuzztest::release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { fuzztest::release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { fuzztest::release(p); }
