#include "formats/packrows.h"

#include "picture/dib.h"
#include "platform/dibformat.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

bool Dib24Fits(std::uint64_t width, std::uint64_t height)
{
    DibLayout size;
    return width <= kDibImageLimit && height <= kDibImageLimit &&
           DibSizeFor(std::int64_t(width), std::int64_t(height), 24, &size) &&
           std::uint64_t(size.imageBytes) <= kDibImageLimit - 40;
}

HGLOBAL AllocDib24(int width, int height)
{
    if (width <= 0 || height <= 0 || !Dib24Fits(std::uint64_t(width), std::uint64_t(height)))
        return nullptr;
    const std::uint64_t image = DibStride(std::uint64_t(width), 24) * std::uint64_t(height);
    HGLOBAL block = GlobalAlloc(GHND, 40 + std::size_t(image));
    if (!block)
        return nullptr;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    h->biCompression = BI_RGB;
    GlobalUnlock(block);
    return block;
}

HGLOBAL PackRowsToDib(BYTE* rgb, int width, int height)
{
    HGLOBAL block = rgb ? AllocDib24(width, height) : nullptr;
    if (!block) {
        std::free(rgb);
        return nullptr;
    }
    auto* base = static_cast<BYTE*>(GlobalLock(block));
    const std::size_t stride = DibRowBytes(reinterpret_cast<BITMAPINFOHEADER*>(base));
    // One copy only: rows go straight from the decoder's buffer into the block,
    // reordered and byte-swapped on the way.
    const std::size_t rowIn = std::size_t(width) * 3;
    for (int y = 0; y < height; ++y) {
        const BYTE* src = rgb + rowIn * std::size_t(y);
        BYTE* dst = base + 40 + stride * std::size_t(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            src += 3;
            dst += 3;
        }
    }
    GlobalUnlock(block);
    std::free(rgb);
    return block;
}

int ReplaceDib(CDib** dib, HGLOBAL block)
{
    if (!block)
        return 0;
    auto* fresh = new (std::nothrow) CDib;
    if (!fresh) {
        GlobalFree(block);
        return 0;
    }
    if (!fresh->Attach(block)) {
        delete fresh; // the CDib took the block over
        return 0;
    }
    delete *dib;
    *dib = fresh;
    return 1;
}
