// DrawDib: draws a DIB (header, colour table behind it, separate bits)
// stretched onto a device context.
#pragma once

#include "dc.h"

struct DrawDibState;
using HDRAWDIB = DrawDibState*;

HDRAWDIB DrawDibOpen();
// Draws the source rectangle (picture pixels from the top-left corner) into
// the destination rectangle. `header` is followed by biClrUsed colour entries
// for depths up to 8.
BOOL DrawDibDraw(HDRAWDIB handle, HDC hdc, int xDst, int yDst, int cxDst, int cyDst,
                 const BITMAPINFOHEADER* header, const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc,
                 UINT flags);
BOOL DrawDibClose(HDRAWDIB handle);

// How many DrawDib handles were opened in this process (tests check "once").
int DrawDibOpenCount();
