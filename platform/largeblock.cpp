#include "largeblock.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

void* AllocLargeBlock(std::size_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    if (bytes >= 2 * kHuge) {
        const std::size_t rounded = (bytes + kHuge - 1) / kHuge * kHuge;
        if (rounded >= bytes) {
            if (void* block = std::aligned_alloc(kHuge, rounded)) {
                madvise(block, rounded, MADV_HUGEPAGE); // advice only: failure changes nothing
                return block;
            }
        }
    }
#endif
    return std::malloc(bytes ? bytes : 1);
}
