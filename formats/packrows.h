// Building the 24-bit bottom-up packed DIBs that the GIF and JPEG readers
// decode into.
#pragma once

#include "platform/globalmem.h"
#include "platform/windef.h"

#include <cstdint>

// A zero-initialised block holding a BITMAPINFOHEADER for a 24-bit bottom-up
// picture and its rows padded to 4 bytes, or null when the sizes do not fit
// 32-bit sizes or memory runs out.
HGLOBAL AllocDib24(int width, int height);

// Whether a 24-bit DIB of this size fits the 32-bit sizes AllocDib24 allows.
bool Dib24Fits(std::uint64_t width, std::uint64_t height);

// Takes ownership of `rgb` (width * height * 3 bytes of top-down RGB rows,
// allocated with std::malloc) and frees it in every case. Returns the rows
// as a block from AllocDib24, bottom row first and byte-swapped, or null.
HGLOBAL PackRowsToDib(BYTE* rgb, int width, int height);

class CDib;

// Makes `block` (taken over in every case) a new CDib that replaces `*dib`,
// deleting the old one. Returns 0, with `*dib` unchanged, when that is not
// possible.
int ReplaceDib(CDib** dib, HGLOBAL block);
