#include "globalmem.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

struct GlobalBlock {
    void* data = nullptr;
    std::size_t size = 0;
    std::size_t mapped = 0; // nonzero: data is a mapping of this many bytes
    int locks = 0;
};

namespace {
int g_failAllocations = 0;

#if defined(__linux__) && defined(MADV_HUGEPAGE)
// Picture blocks run to tens of megabytes, and the first touch of each 4 KiB
// page costs a fault. A block of several megabytes is mapped on its own,
// aligned to 2 MiB and advised for huge pages: fresh mappings read as zero,
// so a zeroed block costs nothing more, and its pages fault in 2 MiB at a
// time.
constexpr std::size_t kHuge = std::size_t(2) << 20;
constexpr std::size_t kMapAtLeast = 2 * kHuge;

void* MapBlock(std::size_t bytes, std::size_t* mapped)
{
    const std::size_t body = (bytes + kHuge - 1) / kHuge * kHuge;
    if (body < bytes || body + kHuge < body)
        return nullptr;
    const std::size_t length = body + kHuge;
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(p);
    const std::uintptr_t aligned = (start + kHuge - 1) / kHuge * kHuge;
    const std::size_t head = aligned - start;
    if (head)
        munmap(p, head);
    if (length - head - body)
        munmap(reinterpret_cast<void*>(aligned + body), length - head - body);
    madvise(reinterpret_cast<void*>(aligned), body, MADV_HUGEPAGE); // advice only
    *mapped = body;
    return reinterpret_cast<void*>(aligned);
}
#endif
} // namespace

void GlobalFailNextAllocations(int count)
{
    g_failAllocations = count;
}

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes)
{
    if (g_failAllocations > 0) {
        --g_failAllocations;
        return nullptr;
    }
    auto* block = new (std::nothrow) GlobalBlock;
    if (!block)
        return nullptr;
    void* data = nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (bytes >= kMapAtLeast)
        data = MapBlock(bytes, &block->mapped);
#endif
    // Always at least one byte so that a zero-size block still has an address.
    if (!data)
        data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
    if (!data) {
        delete block;
        return nullptr;
    }
    block->data = data;
    block->size = bytes;
    return block;
}

void* GlobalLock(HGLOBAL block)
{
    if (!block)
        return nullptr;
    ++block->locks;
    return block->data;
}

BOOL GlobalUnlock(HGLOBAL block)
{
    if (!block || block->locks <= 0)
        return FALSE;
    --block->locks;
    return block->locks > 0;
}

std::size_t GlobalSize(HGLOBAL block)
{
    return block ? block->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL block)
{
    if (!block)
        return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (block->mapped)
        munmap(block->data, block->mapped);
    else
#endif
        std::free(block->data);
    delete block;
    return nullptr;
}

int GlobalLockCount(HGLOBAL block)
{
    return block ? block->locks : 0;
}
