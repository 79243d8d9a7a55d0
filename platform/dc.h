// Device contexts: abstract drawing targets. The screen context, memory
// contexts (which hold a selected bitmap) and the drawing surfaces of the GUI
// and the tests all derive from DeviceContext.
#pragma once

#include "gdi.h"

class DeviceContext {
public:
    virtual ~DeviceContext() = default;

    // The bitmap and palette selected into this context (memory contexts).
    HBITMAP selectedBitmap = nullptr;
    HPALETTE selectedPalette = nullptr;

    // Stretches a DIB onto this context; DrawDibDraw forwards here. The
    // source rectangle counts from the picture's top-left corner. Contexts
    // without pixels of their own ignore the call.
    // Limits what later draws touch to `logical` (logical coordinates), on
    // top of any clip; null lifts the limit. A redraw that changes only a
    // band of the picture costs that band. Contexts without pixels ignore it.
    virtual void LimitDrawing(const RECT* logical) { (void)logical; }

    virtual BOOL StretchDibBits(int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER* header,
                                const RGBQUAD* colors, const void* bits, int xSrc, int ySrc, int cxSrc,
                                int cySrc, UINT flags);
    // Whether this context keeps pixels (a drawing service may then smooth
    // what it shrinks; recording and printer stand-ins take calls as made).
    virtual bool HoldsPixels() const { return false; }
};
