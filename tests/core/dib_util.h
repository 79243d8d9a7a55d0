// Packed DIBs for the codec suites, built from pixels given top row first.
#pragma once

#include "picture/dib.h"

#include <array>
#include <cstring>
#include <vector>

using Rgb = std::array<BYTE, 3>;

// A 24-bit packed DIB (red, green, blue per pixel, top row first).
inline HGLOBAL MakeDib24(int width, int height, const std::vector<Rgb>& topDown)
{
    const int stride = (width * 24 + 31) / 32 * 4;
    HGLOBAL block = GlobalAlloc(GHND, 40 + std::size_t(stride) * height);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    BYTE* bits = DibBits(h);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb& c = topDown[std::size_t(y * width + x)];
            BYTE* p = bits + std::size_t(height - 1 - y) * stride + 3 * x;
            p[0] = c[2];
            p[1] = c[1];
            p[2] = c[0];
        }
    GlobalUnlock(block);
    return block;
}

// An 8-bit packed DIB with `table.size()` entries in its colour table.
inline HGLOBAL MakeDib8(int width, int height, const std::vector<Rgb>& table, const std::vector<BYTE>& topDown)
{
    const int stride = (width * 8 + 31) / 32 * 4;
    HGLOBAL block = GlobalAlloc(GHND, 40 + 4 * table.size() + std::size_t(stride) * height);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 8;
    h->biClrUsed = DWORD(table.size());
    auto* quads = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(h) + 40);
    for (std::size_t i = 0; i < table.size(); ++i)
        quads[i] = RGBQUAD{table[i][2], table[i][1], table[i][0], 0};
    BYTE* bits = DibBits(h);
    for (int y = 0; y < height; ++y)
        std::memcpy(bits + std::size_t(height - 1 - y) * stride, topDown.data() + std::size_t(y) * width,
                    std::size_t(width));
    GlobalUnlock(block);
    return block;
}

// Pixel (x, y), counted from the top-left corner, of a 24-bit CDib.
inline Rgb PixelOf(const CDib& dib, int x, int y)
{
    const BYTE* p = dib.GetBits() + std::size_t(dib.GetHeight() - 1 - y) * dib.GetRowBytes() + 3 * x;
    return Rgb{p[2], p[1], p[0]};
}
