#include "picture.h"

#include "platform/drawdib.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Process-wide drawing state: one DrawDib handle opened on the first draw and
// one scratch BITMAPINFO (header plus room for 256 colours) reused by every
// draw, so drawing allocates nothing.
struct DrawState {
    alignas(4) BYTE scratch[sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD)] = {};
    HDRAWDIB handle = nullptr;

    DrawState()
    {
        BITMAPINFOHEADER h;
        h.biSize = 40;
        h.biPlanes = 1;
        std::memcpy(scratch, &h, sizeof h);
    }
    ~DrawState()
    {
        if (handle)
            DrawDibClose(handle);
        handle = nullptr; // a picture that outlives this state finds no handle
    }
    BITMAPINFOHEADER* header() { return reinterpret_cast<BITMAPINFOHEADER*>(scratch); }
    RGBQUAD* colors() { return reinterpret_cast<RGBQUAD*>(scratch + sizeof(BITMAPINFOHEADER)); }
};

DrawState& drawState()
{
    static DrawState state;
    return state;
}

// A coordinate of the whole picture (`full` pixels along its axis) where it
// lies in a reduced decode `reduced` pixels along it.
int ToReduced(long long v, int reduced, int full)
{
    return int(std::lround(double(v) * reduced / full));
}

} // namespace

CPicture::CPicture() = default;

CPicture::~CPicture()
{
    PixelsReplaced();
    if (m_hBitmap)
        DeleteObject(m_hBitmap);
    m_hBitmap = nullptr;
    DestroyJpegFile(m_pJpegFile);
    DestroyGifCodec(m_pGifCodec);
    if (!m_bBitsBorrowed)
        std::free(m_pBits);
    delete[] m_pColorTable;
}

void CPicture::Clear()
{
    PixelsReplaced();
    if (m_hBitmap) {
        DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
    }
    if (!m_bBitsBorrowed)
        std::free(m_pBits);
    m_pBits = nullptr;
    delete[] m_pColorTable;
    m_pColorTable = nullptr;
    m_pReducedBits = nullptr;
    m_bRotated = 0;
}

void CPicture::ReleaseImage()
{
    PixelsReplaced();
    m_exif.clear();
    if (!m_bFromCodec) {
        Clear();
        return;
    }
    if (m_pJpegFile) {
        JpegFile* file = m_pJpegFile;
        m_pJpegFile = nullptr;
        if (!m_bBitsBorrowed)
            std::free(m_pBits);
        m_pBits = nullptr;
        DestroyJpegFile(file);
    }
    if (m_pGifCodec) {
        GifCodec* codec = m_pGifCodec;
        m_pGifCodec = nullptr;
        if (!m_bBitsBorrowed)
            std::free(m_pBits);
        m_pBits = nullptr;
        DestroyGifCodec(codec);
    }
    m_pReducedBits = nullptr; // the codec's, gone with it
    m_bRotated = 0;
}

int CPicture::Draw(HDC hdc, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                   UINT flags) const
{
    const BYTE* bits = m_pBits;
    int w = m_nWidth, h = m_nHeight;
    if (!bits) {
        if (!m_pReducedBits || w <= 0 || h <= 0)
            return 0;
        // The same part of the picture in the reduced decode.
        const int rw = m_nReducedWidth, rh = m_nReducedHeight;
        const int x0 = ToReduced(xSrc, rw, w), y0 = ToReduced(ySrc, rh, h);
        const int x1 = std::max(x0 + 1, ToReduced((long long)xSrc + cxSrc, rw, w));
        const int y1 = std::max(y0 + 1, ToReduced((long long)ySrc + cySrc, rh, h));
        bits = m_pReducedBits;
        w = rw;
        h = rh;
        xSrc = x0;
        ySrc = y0;
        cxSrc = x1 - x0;
        cySrc = y1 - y0;
    }
    DrawState& state = drawState();
    BITMAPINFOHEADER* header = state.header();
    header->biWidth = w;
    header->biHeight = h;
    header->biBitCount = static_cast<WORD>(m_pBits ? m_nBitCount : 24);
    if (m_pBits && m_nBitCount <= 8) {
        int n = m_nColors;
        if (n < 0)
            n = 0;
        if (n > 256)
            n = 256;
        header->biClrUsed = static_cast<DWORD>(n);
        if (n && m_pColorTable)
            std::memcpy(state.colors(), m_pColorTable, static_cast<std::size_t>(n) * sizeof(RGBQUAD));
    }
    if (!state.handle)
        state.handle = DrawDibOpen();
    DrawDibDraw(state.handle, hdc, xDst, yDst, cxDst, cyDst, header, bits, xSrc, ySrc, cxSrc, cySrc, flags);
    return 1;
}

void CPicture::BeginDraw(int cxDst, int cyDst) const
{
    if (!HasImage())
        return;
    DrawState& state = drawState();
    if (!state.handle)
        state.handle = DrawDibOpen();
    const bool reduced = IsReduced();
    BITMAPINFOHEADER h;
    h.biSize = sizeof h;
    h.biWidth = reduced ? m_nReducedWidth : m_nWidth;
    h.biHeight = reduced ? m_nReducedHeight : m_nHeight;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(reduced ? 24 : m_nBitCount);
    DrawDibBegin(state.handle, nullptr, cxDst, cyDst, &h, h.biWidth, h.biHeight, 0);
}

void CPicture::PixelsChanged(int row, std::int64_t byteOffset, std::int64_t count) const
{
    const DrawState& state = drawState();
    if (!state.handle || m_nBitCount <= 0 || count <= 0)
        return;
    // The pixels those bytes hold, partly or wholly.
    const std::int64_t x0 = byteOffset * 8 / m_nBitCount;
    const std::int64_t x1 = std::min<std::int64_t>(m_nWidth, ((byteOffset + count) * 8 + m_nBitCount - 1) / m_nBitCount);
    if (x1 > x0)
        DrawDibChanged(state.handle, int(x0), m_nHeight - 1 - row, int(x1 - x0), 1);
}

void CPicture::PixelsReplaced() const
{
    if (const DrawState& state = drawState(); state.handle)
        DrawDibChanged(state.handle, 0, 0, 0, 0);
}
