#include "drawdib.h"

struct DrawDibState {
    int unused = 0;
};

namespace {
int g_openCount = 0;
}

HDRAWDIB DrawDibOpen()
{
    ++g_openCount;
    return new DrawDibState;
}

BOOL DrawDibDraw(HDRAWDIB, HDC hdc, int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc, UINT flags)
{
    if (!hdc || !header || !bits)
        return FALSE;
    const auto* colors = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    return hdc->StretchDibBits(xDst, yDst, cxDst, cyDst, header, colors, bits, xSrc, ySrc, cxSrc, cySrc, flags);
}

BOOL DrawDibClose(HDRAWDIB handle)
{
    delete handle;
    return TRUE;
}

int DrawDibOpenCount()
{
    return g_openCount;
}
