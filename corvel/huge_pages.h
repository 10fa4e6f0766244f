// Large arrays on transparent huge pages.
#ifndef CORVEL_HUGE_PAGES_H
#define CORVEL_HUGE_PAGES_H

#include <cstddef>

// Allocator for large arrays: blocks of 2 MB or more are 2 MB-aligned and
// marked for transparent huge pages (fewer page faults and TLB misses on the
// random accesses of a hash index); smaller ones come from operator new.
void* huge_page_alloc(size_t bytes);
void huge_page_free(void* p, size_t bytes);

template <class T>
struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <class U>
    // NOLINTNEXTLINE(google-explicit-constructor): containers rebind allocators implicitly
    HugePageAllocator(const HugePageAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(huge_page_alloc(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { huge_page_free(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const HugePageAllocator<U>&) const {
        return true;
    }
    template <class U>
    bool operator!=(const HugePageAllocator<U>&) const {
        return false;
    }
};

#endif
