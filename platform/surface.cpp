#include "surface.h"

#include "platform/dibformat.h"
#include "platform/largeblock.h"

#include <algorithm>

namespace {

inline std::uint32_t Rgb(BYTE r, BYTE g, BYTE b)
{
    return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | b;
}

inline BYTE Expand5(unsigned c)
{
    return BYTE((c << 3) | (c >> 2));
}

} // namespace

void SurfaceDC::Resize(int width, int height, std::uint32_t colour)
{
    m_width = std::max(0, width);
    m_height = std::max(0, height);
    const std::size_t count = std::size_t(m_width) * std::size_t(m_height);
    if (count != m_count) {
        m_pixels.reset();
        m_pixels.reset(static_cast<std::uint32_t*>(AllocLargeBlock(count * sizeof(std::uint32_t))));
        m_count = m_pixels ? count : 0;
        if (!m_pixels)
            m_width = m_height = 0;
    }
    std::fill_n(m_pixels.get(), m_count, colour);
    ResetClip();
}

void SurfaceDC::SetClip(int left, int top, int right, int bottom)
{
    m_setClip = RECT{std::max(0, left), std::max(0, top), std::min(m_width, right), std::min(m_height, bottom)};
    ApplyClip();
}

void SurfaceDC::LimitDrawing(const RECT* logical)
{
    m_bLimited = logical != nullptr;
    if (logical)
        m_limit = RECT{logical->left - m_originX, logical->top - m_originY, logical->right - m_originX,
                       logical->bottom - m_originY};
    ApplyClip();
}

void SurfaceDC::ApplyClip()
{
    m_clip = m_setClip;
    if (m_bLimited) {
        m_clip.left = std::max(m_clip.left, m_limit.left);
        m_clip.top = std::max(m_clip.top, m_limit.top);
        m_clip.right = std::min(m_clip.right, m_limit.right);
        m_clip.bottom = std::min(m_clip.bottom, m_limit.bottom);
    }
}

void SurfaceDC::Fill(std::uint32_t colour)
{
    std::fill_n(m_pixels.get(), m_count, colour);
    AddDirty(0, 0, m_width, m_height);
}

namespace {

void Unite(RECT& into, const RECT& r)
{
    into.left = std::min(into.left, r.left);
    into.top = std::min(into.top, r.top);
    into.right = std::max(into.right, r.right);
    into.bottom = std::max(into.bottom, r.bottom);
}

} // namespace

void SurfaceDC::AddDirty(int left, int top, int right, int bottom)
{
    if (left >= right || top >= bottom)
        return;
    const RECT add{left, top, right, bottom};
    // Joined to a rectangle it touches; past a few dozen, one rectangle
    // around them all.
    for (RECT& r : m_dirty) {
        if (add.left <= r.right && r.left <= add.right && add.top <= r.bottom && r.top <= add.bottom) {
            Unite(r, add);
            return;
        }
    }
    constexpr std::size_t kMostRects = 64;
    if (m_dirty.size() < kMostRects) {
        m_dirty.push_back(add);
        return;
    }
    for (std::size_t i = 1; i < m_dirty.size(); ++i)
        Unite(m_dirty[0], m_dirty[i]);
    Unite(m_dirty[0], add);
    m_dirty.resize(1);
}

std::vector<RECT> SurfaceDC::TakeDirtyRects()
{
    std::vector<RECT> rects;
    rects.swap(m_dirty);
    return rects;
}

RECT SurfaceDC::TakeDirty()
{
    const std::vector<RECT> rects = TakeDirtyRects();
    RECT all = rects.empty() ? RECT{0, 0, 0, 0} : rects.front();
    for (const RECT& r : rects)
        Unite(all, r);
    return all;
}

void SurfaceDC::FillRect(int left, int top, int right, int bottom, std::uint32_t colour)
{
    const int x0 = std::max<int>(left - m_originX, m_clip.left), x1 = std::min<int>(right - m_originX, m_clip.right);
    const int y0 = std::max<int>(top - m_originY, m_clip.top), y1 = std::min<int>(bottom - m_originY, m_clip.bottom);
    for (int y = y0; y < y1; ++y)
        std::fill_n(m_pixels.get() + std::size_t(y) * m_width + x0, std::max(0, x1 - x0), colour);
    AddDirty(x0, y0, x1, y1);
}

BOOL SurfaceDC::StretchDibBits(int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER* header,
                               const RGBQUAD* colors, const void* bitsVoid, int xSrc, int ySrc, int cxSrc, int cySrc,
                               UINT)
{
    if (!header || !bitsVoid || cxDst <= 0 || cyDst <= 0 || cxSrc <= 0 || cySrc <= 0)
        return FALSE;
    const int width = header->biWidth;
    const int height = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const bool topDown = header->biHeight < 0;
    const int depth = header->biBitCount;
    if (width <= 0 || height <= 0 || !DibDepthAllowed(depth))
        return FALSE;
    const std::size_t stride = std::size_t(DibStride(std::uint64_t(width), unsigned(depth)));
    const BYTE* bits = static_cast<const BYTE*>(bitsVoid);
    const unsigned colourCount = depth <= 8 ? std::min<unsigned>(header->biClrUsed ? header->biClrUsed : (1u << depth), 1u << depth) : 0;

    // The destination in device pixels, cut to the clip.
    const long long dx = (long long)xDst - m_originX, dy = (long long)yDst - m_originY;
    const int x0 = int(std::max<long long>(dx, m_clip.left)), x1 = int(std::min<long long>(dx + cxDst, m_clip.right));
    const int y0 = int(std::max<long long>(dy, m_clip.top)), y1 = int(std::min<long long>(dy + cyDst, m_clip.bottom));
    if (x0 >= x1 || y0 >= y1)
        return TRUE;
    AddDirty(x0, y0, x1, y1);

    // Every destination column maps to one source column (nearest neighbour,
    // counted exactly in 64 bits); columns outside the picture stay as they are.
    m_xmap.resize(std::size_t(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        const long long sx = xSrc + ((long long)(x - dx) * cxSrc) / cxDst;
        m_xmap[std::size_t(x - x0)] = sx >= 0 && sx < width ? int(sx) : -1;
    }
    std::uint32_t palette[256];
    if (depth <= 8)
        for (unsigned i = 0; i < 256; ++i)
            palette[i] = i < colourCount && colors ? Rgb(colors[i].rgbRed, colors[i].rgbGreen, colors[i].rgbBlue)
                                                   : 0xFF000000u; // beyond the table: black
    for (int y = y0; y < y1; ++y) {
        const long long sy = ySrc + ((long long)(y - dy) * cySrc) / cyDst; // from the top
        if (sy < 0 || sy >= height)
            continue;
        const long long stored = topDown ? sy : height - 1 - sy;
        const BYTE* row = bits + std::size_t(stored) * stride;
        std::uint32_t* out = m_pixels.get() + std::size_t(y) * m_width;
        const int* map = m_xmap.data();
        switch (depth) {
        case 1:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0)
                    out[x] = palette[(row[s >> 3] >> (7 - (s & 7))) & 1];
            break;
        case 4:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0)
                    out[x] = palette[(row[s >> 1] >> ((s & 1) ? 0 : 4)) & 15];
            break;
        case 8:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0)
                    out[x] = palette[row[s]];
            break;
        case 16:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0) {
                    const unsigned w = unsigned(row[2 * s] | (row[2 * s + 1] << 8));
                    out[x] = Rgb(Expand5((w >> 10) & 31), Expand5((w >> 5) & 31), Expand5(w & 31));
                }
            break;
        case 24:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0) {
                    const BYTE* p = row + 3 * std::size_t(s);
                    out[x] = Rgb(p[2], p[1], p[0]);
                }
            break;
        case 32:
            for (int x = x0; x < x1; ++x)
                if (int s = map[x - x0]; s >= 0) {
                    const BYTE* p = row + 4 * std::size_t(s);
                    out[x] = Rgb(p[2], p[1], p[0]);
                }
            break;
        }
    }
    return TRUE;
}
