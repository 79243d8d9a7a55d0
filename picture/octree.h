// The octree colour quantizer: a palette of at most maxColours entries that
// represents a picture, each entry the mean colour of the pixels of a leaf.
#pragma once

#include "platform/gdi.h"

HPALETTE OctreePaletteFromDib(const BITMAPINFOHEADER* dib, UINT maxColours, UINT depth);
HPALETTE OctreePaletteFromBitmap(HBITMAP section, UINT maxColours, UINT depth);
