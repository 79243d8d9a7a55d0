#include "drawdib.h"

#include "reduce.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

struct DrawDibState {
    // The size the whole picture is drawn at, and the picture it is for.
    int targetWidth = 0, targetHeight = 0;
    int forWidth = 0, forHeight = 0;

    // The reduction kept for that size, and what it was made from.
    BoxReducer reducer;
    std::unique_ptr<std::uint32_t[]> pixels; // not zeroed: every pixel is computed
    std::size_t capacity = 0;
    int width = 0, height = 0;
    const void* bits = nullptr;
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
    unsigned colorCount = 0;
    bool valid = false;
    // Target rows and columns whose source pixels changed since.
    std::vector<BYTE> dirtyRows, dirtyColumns;
    bool dirty = false;

    // Drops the reduction; `release` gives its memory back as well.
    void Forget(bool release = true)
    {
        valid = false;
        dirty = false;
        if (release) {
            pixels.reset();
            capacity = 0;
            dirtyRows = {};
            dirtyColumns = {};
        }
    }
};

namespace {

int g_openCount = 0;

unsigned ColourCount(const BITMAPINFOHEADER* h)
{
    if (h->biBitCount > 8)
        return 0;
    const unsigned all = 1u << h->biBitCount;
    return h->biClrUsed ? std::min<unsigned>(h->biClrUsed, all) : all;
}

bool SameSource(const DrawDibState& s, const BITMAPINFOHEADER* h, const RGBQUAD* colors, const void* bits)
{
    const unsigned n = ColourCount(h);
    return s.bits == bits && s.header.biWidth == h->biWidth && s.header.biHeight == h->biHeight &&
           s.header.biBitCount == h->biBitCount && s.colorCount == n &&
           (n == 0 || std::memcmp(s.colors, colors, n * sizeof(RGBQUAD)) == 0);
}

// Runs of set flags, as [begin, end) pairs, handed to `each`.
template <typename Fn>
void ForRuns(const std::vector<BYTE>& flags, Fn each)
{
    const int n = int(flags.size());
    for (int i = 0; i < n;) {
        if (!flags[std::size_t(i)]) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && flags[std::size_t(end)])
            ++end;
        each(i, end);
        i = end;
    }
}

// The reduction of the DIB to width x height, made or brought up to date;
// false when it cannot be had (the caller draws without it).
bool Ensure(DrawDibState& s, const BITMAPINFOHEADER* h, const RGBQUAD* colors, const void* bits, int width,
            int height)
{
    if (s.valid && s.width == width && s.height == height && SameSource(s, h, colors, bits)) {
        if (s.dirty) {
            bool ok = true;
            ForRuns(s.dirtyRows, [&](int top, int bottom) {
                ForRuns(s.dirtyColumns, [&](int left, int right) {
                    ok = s.reducer.Run(bits, s.pixels.get(), left, top, right, bottom) && ok;
                });
            });
            std::fill(s.dirtyRows.begin(), s.dirtyRows.end(), BYTE(0));
            std::fill(s.dirtyColumns.begin(), s.dirtyColumns.end(), BYTE(0));
            s.dirty = false;
            if (!ok) {
                s.Forget();
                return false;
            }
        }
        return true;
    }
    s.Forget(false); // another size or picture: the memory is used again
    const unsigned n = ColourCount(h);
    if (n && !colors)
        return false;
    const std::size_t size = std::size_t(width) * std::size_t(height);
    if (size > s.capacity) {
        s.pixels.reset();
        s.pixels.reset(new (std::nothrow) std::uint32_t[size]);
        s.capacity = s.pixels ? size : 0;
        if (!s.pixels)
            return false;
    }
    try {
        s.dirtyRows.assign(std::size_t(height), 0);
        s.dirtyColumns.assign(std::size_t(width), 0);
    } catch (const std::bad_alloc&) {
        s.Forget();
        return false;
    }
    const int threads = int(std::min(2u, std::max(1u, std::thread::hardware_concurrency())));
    if (!s.reducer.Prepare(h, colors, width, height) || !s.reducer.Run(bits, s.pixels.get(), 0, 0, width, height, threads)) {
        s.Forget();
        return false;
    }
    s.width = width;
    s.height = height;
    s.bits = bits;
    s.header = *h;
    s.colorCount = n;
    if (n)
        std::memcpy(s.colors, colors, n * sizeof(RGBQUAD));
    s.valid = true;
    return true;
}

// a * b / c rounded to the nearest, for non-negative values.
int Scale(long long a, long long b, long long c)
{
    return int((2 * a * b + c) / (2 * c));
}

} // namespace

HDRAWDIB DrawDibOpen()
{
    ++g_openCount;
    return new (std::nothrow) DrawDibState;
}

BOOL DrawDibBegin(HDRAWDIB handle, HDC, int dxDst, int dyDst, const BITMAPINFOHEADER* header, int dxSrc, int dySrc,
                  UINT)
{
    if (!handle || !header)
        return FALSE;
    handle->targetWidth = dxDst;
    handle->targetHeight = dyDst;
    handle->forWidth = dxSrc;
    handle->forHeight = dySrc;
    return TRUE;
}

BOOL DrawDibDraw(HDRAWDIB handle, HDC hdc, int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER* header,
                 const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc, UINT flags)
{
    if (!hdc || !header || !bits)
        return FALSE;
    const auto* colors = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(header) + header->biSize);
    const int w = header->biWidth, h = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const bool whole = xSrc == 0 && ySrc == 0 && cxSrc == w && cySrc == h;
    if (handle && whole) {
        handle->targetWidth = cxDst;
        handle->targetHeight = cyDst;
        handle->forWidth = w;
        handle->forHeight = h;
    }
    // Shrinking onto pixels: draw from the reduction for the current size,
    // the source rectangle taken to its place there.
    if (handle && hdc->HoldsPixels() && (cxDst < cxSrc || cyDst < cySrc) && handle->forWidth == w &&
        handle->forHeight == h && w > 0 && h > 0 && xSrc >= 0 && ySrc >= 0 && cxSrc > 0 && cySrc > 0 &&
        xSrc + (long long)cxSrc <= w && ySrc + (long long)cySrc <= h) {
        const int rw = handle->targetWidth, rh = handle->targetHeight;
        // Only when this draw is not larger than the reduction makes it
        // (a partial draw may be a pixel off by truncation).
        const bool fits = rw > 0 && rh > 0 && rw <= w && rh <= h && (rw < w || rh < h) &&
                          (long long)cxDst * w <= (long long)rw * cxSrc + w &&
                          (long long)cyDst * h <= (long long)rh * cySrc + h;
        if (fits && Ensure(*handle, header, colors, bits, rw, rh)) {
            const int x0 = Scale(xSrc, rw, w), x1 = std::max(x0 + 1, Scale(xSrc + (long long)cxSrc, rw, w));
            const int y0 = Scale(ySrc, rh, h), y1 = std::max(y0 + 1, Scale(ySrc + (long long)cySrc, rh, h));
            BITMAPINFOHEADER reduced;
            reduced.biSize = sizeof reduced;
            reduced.biWidth = rw;
            reduced.biHeight = -rh; // top-down
            reduced.biPlanes = 1;
            reduced.biBitCount = 32;
            return hdc->StretchDibBits(xDst, yDst, cxDst, cyDst, &reduced, nullptr, handle->pixels.get(),
                                       std::min(x0, rw - 1), std::min(y0, rh - 1), std::min(x1, rw) - std::min(x0, rw - 1),
                                       std::min(y1, rh) - std::min(y0, rh - 1), flags);
        }
    }
    return hdc->StretchDibBits(xDst, yDst, cxDst, cyDst, header, colors, bits, xSrc, ySrc, cxSrc, cySrc, flags);
}

void DrawDibChanged(HDRAWDIB handle, int xSrc, int ySrc, int cxSrc, int cySrc)
{
    if (!handle || !handle->valid)
        return;
    DrawDibState& s = *handle;
    const int w = s.header.biWidth, h = s.header.biHeight < 0 ? -s.header.biHeight : s.header.biHeight;
    if (cxSrc <= 0 || cySrc <= 0) {
        s.Forget();
        return;
    }
    const long long x0 = std::max(0, xSrc), x1 = std::min<long long>(w, (long long)xSrc + cxSrc);
    const long long y0 = std::max(0, ySrc), y1 = std::min<long long>(h, (long long)ySrc + cySrc);
    if (x0 >= x1 || y0 >= y1)
        return;
    // The target pixels whose areas reach into the changed ones.
    const long long c0 = x0 * s.width / w, c1 = std::min<long long>(s.width, ((x1 * s.width) + w - 1) / w);
    const long long r0 = y0 * s.height / h, r1 = std::min<long long>(s.height, ((y1 * s.height) + h - 1) / h);
    std::fill(s.dirtyColumns.begin() + c0, s.dirtyColumns.begin() + c1, BYTE(1));
    std::fill(s.dirtyRows.begin() + r0, s.dirtyRows.begin() + r1, BYTE(1));
    s.dirty = true;
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
