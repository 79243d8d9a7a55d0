// Turning decoded top-down RGB rows into a 24-bit bottom-up packed DIB, shared
// by the GIF and JPEG readers.
#pragma once

#include "platform/globalmem.h"
#include "platform/windef.h"

// Takes ownership of `rgb` (width * height * 3 bytes, allocated with
// std::malloc) and frees it in every case. Returns a zero-initialised block
// holding a BITMAPINFOHEADER and BGR rows padded to 4 bytes, bottom row first,
// or null when the sizes do not fit or memory runs out.
HGLOBAL PackRowsToDib(BYTE* rgb, int width, int height);

class CDib;

// Packs `rgb` as above into a new CDib that replaces `*dib` (deleting the old
// one). Returns 0, with `*dib` unchanged, when that is not possible.
int ReplaceDibWithRows(CDib** dib, BYTE* rgb, int width, int height);
