#include "globalmem.h"

#include <cstdlib>
#include <cstring>
#include <new>

struct GlobalBlock {
    void* data = nullptr;
    std::size_t size = 0;
    int locks = 0;
};

namespace {
int g_failAllocations = 0;
}

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
    // Always at least one byte so that a zero-size block still has an address.
    void* data = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1) : std::malloc(bytes ? bytes : 1);
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
    std::free(block->data);
    delete block;
    return nullptr;
}

int GlobalLockCount(HGLOBAL block)
{
    return block ? block->locks : 0;
}
