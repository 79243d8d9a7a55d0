// Movable global memory blocks. A handle names a block; GlobalLock gives its
// address (stable for the block's life in this implementation, as callers that
// keep a DIB's bit pointer after unlocking expect) and counts locks.
#pragma once

#include "windef.h"

struct GlobalBlock;
using HGLOBAL = GlobalBlock*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Returns null when the block cannot be allocated; never throws.
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
std::size_t GlobalSize(HGLOBAL block);
// Returns null on success, the handle when it could not be freed.
HGLOBAL GlobalFree(HGLOBAL block);
// Current lock count (tests use it to check balanced lock/unlock).
int GlobalLockCount(HGLOBAL block);

// Tests can make the next N allocations fail to exercise failure paths.
void GlobalFailNextAllocations(int count);
