// DrawDib: draws a DIB (header, colour table behind it, separate bits)
// stretched onto a device context. Below the picture's own size it draws
// from an area-averaged reduction kept for the current size, so that fine
// patterns do not turn into moiré; at or above it each picture pixel is an
// exact block.
#pragma once

#include "dc.h"

struct DrawDibState;
using HDRAWDIB = DrawDibState*;

HDRAWDIB DrawDibOpen();
// Sets the size the whole DIB is drawn at from now on (the current zoom),
// so that partial draws use the reduction for that size. A draw of the
// whole DIB sets it as well.
BOOL DrawDibBegin(HDRAWDIB handle, HDC hdc, int dxDst, int dyDst, const BITMAPINFOHEADER* header, int dxSrc,
                  int dySrc, UINT flags);
// Draws the source rectangle (picture pixels from the top-left corner) into
// the destination rectangle. `header` is followed by biClrUsed colour entries
// for depths up to 8.
BOOL DrawDibDraw(HDRAWDIB handle, HDC hdc, int xDst, int yDst, int cxDst, int cyDst,
                 const BITMAPINFOHEADER* header, const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc,
                 UINT flags);
// The pixels of the source rectangle were changed in place; a width or
// height of 0 or less means the DIB is gone or replaced (the reduction is
// dropped).
void DrawDibChanged(HDRAWDIB handle, int xSrc, int ySrc, int cxSrc, int cySrc);
BOOL DrawDibClose(HDRAWDIB handle);

// How many DrawDib handles were opened in this process (tests check "once").
int DrawDibOpenCount();
