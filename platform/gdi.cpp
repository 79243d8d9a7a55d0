#include "gdi.h"

#include "dc.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace {
int g_liveSections = 0;

class ScreenDC : public DeviceContext {};
ScreenDC g_screen;
}

BOOL DeviceContext::StretchDibBits(int, int, int, int, const BITMAPINFOHEADER*, const RGBQUAD*, const void*, int,
                                   int, int, int, UINT)
{
    return FALSE;
}

DibSectionObject::~DibSectionObject()
{
    std::free(bits);
    --g_liveSections;
}

int LiveDibSectionCount()
{
    return g_liveSections;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bitsOut, HANDLE, DWORD)
{
    if (bitsOut)
        *bitsOut = nullptr;
    if (!info)
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int depth = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0)
        return nullptr;
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return nullptr;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)
        return nullptr;
    const std::uint64_t rowBytes = (std::uint64_t(h.biWidth) * depth + 31) / 32 * 4;
    const std::uint64_t height = h.biHeight < 0 ? -std::int64_t(h.biHeight) : h.biHeight;
    const std::uint64_t image = rowBytes * height;
    if (image > 0xFFFFFFFFull || rowBytes > 0x7FFFFFFFull)
        return nullptr;
    auto* section = new (std::nothrow) DibSectionObject;
    if (!section)
        return nullptr;
    ++g_liveSections;
    section->bits = static_cast<BYTE*>(std::calloc(image ? image : 1, 1));
    if (!section->bits) {
        delete section;
        return nullptr;
    }
    section->header = h;
    section->header.biSizeImage = static_cast<DWORD>(image);
    section->imageBytes = static_cast<std::size_t>(image);
    section->rowBytes = static_cast<int>(rowBytes);
    const auto* after = reinterpret_cast<const BYTE*>(info) + h.biSize;
    if (h.biCompression == BI_BITFIELDS && (depth == 16 || depth == 32))
        std::memcpy(section->masks, after, sizeof section->masks);
    // The section's colour table starts black: callers may pass a bare header
    // with no colours behind it, so nothing after the header is read here;
    // SetDIBColorTable fills the table.
    if (depth <= 8)
        section->colorTable.assign(std::size_t(1) << depth, RGBQUAD{});
    if (bitsOut)
        *bitsOut = section->bits;
    return section;
}

BOOL DeleteObject(HGDIOBJ object)
{
    if (!object)
        return FALSE;
    if (object->kind == GdiObject::Kind::Palette && static_cast<PaletteObject*>(object)->stock)
        return TRUE;
    delete object;
    return TRUE;
}

HDC GetDC(void*)
{
    return &g_screen;
}

int ReleaseDC(void*, HDC)
{
    return 1;
}

BOOL GdiFlush()
{
    return TRUE;
}
