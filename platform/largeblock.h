// Pixel blocks of many megabytes. The first touch of every 4 KiB page costs a
// fault; on Linux a large block is aligned to 2 MiB and advised for
// transparent huge pages, which takes most of that cost away (a quarter turn
// of a 6000 x 4000 photo spends about as long faulting in its new block as
// moving the pixels otherwise).
#pragma once

#include <cstddef>

// Uninitialised; null when it cannot be allocated. Free with std::free.
void* AllocLargeBlock(std::size_t bytes);
