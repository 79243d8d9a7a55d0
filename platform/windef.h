// Basic types of the stand-in layer. The picture and format code is written
// against these Windows-era names; file formats are never read by casting
// bytes onto these structs, only field by field.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using BOOL = int;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

struct BITMAPINFOHEADER {
    DWORD biSize = 0;
    LONG biWidth = 0;
    LONG biHeight = 0;
    WORD biPlanes = 0;
    WORD biBitCount = 0;
    DWORD biCompression = 0;
    DWORD biSizeImage = 0;
    LONG biXPelsPerMeter = 0;
    LONG biYPelsPerMeter = 0;
    DWORD biClrUsed = 0;
    DWORD biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40, "BITMAPINFOHEADER must be 40 bytes");

struct BITMAPCOREHEADER {
    DWORD bcSize = 0;
    WORD bcWidth = 0;
    WORD bcHeight = 0;
    WORD bcPlanes = 0;
    WORD bcBitCount = 0;
};
static_assert(sizeof(BITMAPCOREHEADER) == 12, "BITMAPCOREHEADER must be 12 bytes");

struct RGBQUAD {
    BYTE rgbBlue = 0;
    BYTE rgbGreen = 0;
    BYTE rgbRed = 0;
    BYTE rgbReserved = 0;
};
static_assert(sizeof(RGBQUAD) == 4, "RGBQUAD must be 4 bytes");

struct RGBTRIPLE {
    BYTE rgbtBlue = 0;
    BYTE rgbtGreen = 0;
    BYTE rgbtRed = 0;
};

struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

struct PALETTEENTRY {
    BYTE peRed = 0;
    BYTE peGreen = 0;
    BYTE peBlue = 0;
    BYTE peFlags = 0;
};

struct LOGPALETTE {
    WORD palVersion = 0;
    WORD palNumEntries = 0;
    PALETTEENTRY palPalEntry[1];
};

struct RECT {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

struct POINT {
    LONG x = 0;
    LONG y = 0;
};

struct SIZE {
    LONG cx = 0;
    LONG cy = 0;
};

constexpr DWORD BI_RGB = 0;
constexpr DWORD BI_RLE8 = 1;
constexpr DWORD BI_RLE4 = 2;
constexpr DWORD BI_BITFIELDS = 3;

constexpr UINT DIB_RGB_COLORS = 0;

inline constexpr DWORD RGB(BYTE r, BYTE g, BYTE b)
{
    return DWORD(r) | (DWORD(g) << 8) | (DWORD(b) << 16);
}
