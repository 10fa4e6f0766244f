#include "corvel/huge_pages.h"

#include <cstdlib>
#include <new>

#include <sys/mman.h>

static const size_t kHugePage = size_t(2) << 20;

void* huge_page_alloc(size_t bytes) {
    if (bytes < kHugePage) return ::operator new(bytes);
    size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* p = std::aligned_alloc(kHugePage, rounded);
    if (!p) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    madvise(p, rounded, MADV_HUGEPAGE);  // a hint: failure changes nothing
#endif
    return p;
}

void huge_page_free(void* p, size_t bytes) {
    if (bytes < kHugePage)
        ::operator delete(p);
    else
        std::free(p);
}
