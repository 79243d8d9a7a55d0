// GDI stand-in: palettes, DIB sections, memory device contexts and the
// bit-block transfer that converts colours between DIB sections.
#pragma once

#include "windef.h"

#include <vector>

class DeviceContext;
using HDC = DeviceContext*;

// Every GDI object derives from this; DeleteObject destroys any of them.
struct GdiObject {
    enum class Kind { Bitmap, Palette, Stock };
    explicit GdiObject(Kind k) : kind(k) {}
    virtual ~GdiObject() = default;
    Kind kind;
};

// A DIB section: a header, a colour table and pixel memory owned by GDI.
struct DibSectionObject : GdiObject {
    DibSectionObject() : GdiObject(Kind::Bitmap) {}
    ~DibSectionObject() override;
    BITMAPINFOHEADER header;         // as created; biSizeImage filled in
    DWORD masks[3] = {0, 0, 0};      // BI_BITFIELDS masks when given
    std::vector<RGBQUAD> colorTable; // 2^depth entries for depth <= 8
    BYTE* bits = nullptr;            // zero-initialised pixel rows
    bool borrowed = false;           // bits belong to the caller's section memory
    std::size_t imageBytes = 0;
    int rowBytes = 0;
};

struct PaletteObject : GdiObject {
    PaletteObject() : GdiObject(Kind::Palette) {}
    std::vector<PALETTEENTRY> entries;
    bool stock = false; // stock objects survive DeleteObject
};

using HGDIOBJ = GdiObject*;
using HBITMAP = DibSectionObject*;
using HPALETTE = PaletteObject*;
using HANDLE = void*;

struct BITMAP {
    LONG bmType = 0;
    LONG bmWidth = 0;
    LONG bmHeight = 0;
    LONG bmWidthBytes = 0;
    WORD bmPlanes = 0;
    WORD bmBitsPixel = 0;
    void* bmBits = nullptr;
};

struct DIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3] = {0, 0, 0};
    HANDLE dshSection = nullptr;
    DWORD dsOffset = 0;
};

constexpr int DEFAULT_PALETTE = 15;
constexpr DWORD SRCCOPY = 0x00CC0020;

// Creates a DIB section from a BITMAPINFO (header, then masks for
// BI_BITFIELDS or the colour table for depths up to 8). *bits receives the
// pixel address. Returns null for an unsupported header or when memory runs
// out; the pixels start zeroed. With a non-null section the pixels are not
// allocated: they are the memory at section + offset (offset a multiple of
// 4), as a file mapping's view would give them. The caller owns that memory,
// keeps it alive while the bitmap lives and frees it itself; its contents are
// kept as they are.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
BOOL DeleteObject(HGDIOBJ object);
int GetObject(HGDIOBJ object, int bytes, void* out);

HPALETTE CreatePalette(const LOGPALETTE* palette);
UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* out);
HGDIOBJ GetStockObject(int which);
HPALETTE CreateHalftonePalette(HDC hdc);
UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* out);

// The screen's device context (a context with no surface of its own).
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC hdc);
HDC CreateCompatibleDC(HDC hdc);
BOOL DeleteDC(HDC hdc);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors);
int GetDIBits(HDC hdc, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info,
              UINT usage);
BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, DWORD rop);
BOOL GdiFlush();

// Whether CreateDIBSection would take this header (allocation aside).
bool DibSectionPossible(const BITMAPINFOHEADER& header);

// Number of DIB sections alive (tests check that each is deleted exactly once).
int LiveDibSectionCount();
