#include "gdi.h"

#include "dc.h"
#include "globalmem.h"
#include "platform/dibformat.h"

#include <cstdlib>
#include <cstring>
#include <algorithm>
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
    if (!borrowed)
        std::free(bits);
    --g_liveSections;
}

bool DibSectionPossible(const BITMAPINFOHEADER& h)
{
    const int depth = h.biBitCount;
    if (h.biWidth <= 0 || h.biHeight == 0)
        return false;
    if (h.biCompression != BI_RGB && h.biCompression != BI_BITFIELDS)
        return false;
    return DibSizeFor(h.biWidth, h.biHeight, depth);
}

int LiveDibSectionCount()
{
    return g_liveSections;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bitsOut, HANDLE memory, DWORD offset)
{
    if (bitsOut)
        *bitsOut = nullptr;
    if (!info || !DibSectionPossible(info->bmiHeader) || (memory && offset % 4 != 0))
        return nullptr;
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int depth = h.biBitCount;
    DibLayout size;
    DibSizeFor(h.biWidth, h.biHeight, depth, &size);
    const std::uint64_t rowBytes = std::uint64_t(size.rowBytes);
    const std::uint64_t image = std::uint64_t(size.imageBytes);
    auto* section = new (std::nothrow) DibSectionObject;
    if (!section)
        return nullptr;
    ++g_liveSections;
    if (memory) {
        section->bits = static_cast<BYTE*>(memory) + offset;
        section->borrowed = true;
    } else {
        section->bits = static_cast<BYTE*>(std::calloc(image ? image : 1, 1));
    }
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

// ---------------------------------------------------------------------------
// Palettes

namespace {

// The twenty static colours every palette device reserves: ten at the start
// and ten at the end of the system palette.
constexpr BYTE kStatic[20][3] = {
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
    {128, 0, 128},   {0, 128, 128},   {192, 192, 192}, {192, 220, 192}, {166, 202, 240},
    {255, 251, 240}, {160, 160, 164}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0},
    {255, 255, 0},   {0, 0, 255},     {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
};

PaletteObject* StockDefaultPalette()
{
    static PaletteObject* palette = [] {
        auto* p = new PaletteObject;
        p->stock = true;
        for (const auto& c : kStatic)
            p->entries.push_back(PALETTEENTRY{c[0], c[1], c[2], 0});
        return p;
    }();
    return palette;
}

// The fixed 256-entry palette used both as the halftone palette and as the
// system palette: entries 0-9 and 246-255 are the static colours, 10-225 the
// 6 x 6 x 6 cube of 0x00, 0x33, ..., 0xFF (red slowest), and 226-245 twenty
// greys from 0x0C to 0xF0 in steps of 12.
std::vector<PALETTEENTRY> FixedPalette()
{
    std::vector<PALETTEENTRY> e;
    e.reserve(256);
    for (int i = 0; i < 10; ++i)
        e.push_back(PALETTEENTRY{kStatic[i][0], kStatic[i][1], kStatic[i][2], 0});
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                e.push_back(PALETTEENTRY{BYTE(r * 0x33), BYTE(g * 0x33), BYTE(b * 0x33), 0});
    for (int i = 0; i < 20; ++i) {
        const BYTE v = BYTE(0x0C + 12 * i);
        e.push_back(PALETTEENTRY{v, v, v, 0});
    }
    for (int i = 10; i < 20; ++i)
        e.push_back(PALETTEENTRY{kStatic[i][0], kStatic[i][1], kStatic[i][2], 0});
    return e;
}

class MemoryDC : public DeviceContext {};

} // namespace

HPALETTE CreatePalette(const LOGPALETTE* palette)
{
    if (!palette || palette->palNumEntries == 0)
        return nullptr;
    auto* p = new (std::nothrow) PaletteObject;
    if (!p)
        return nullptr;
    p->entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    return p;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* out)
{
    if (!palette)
        return 0;
    const UINT size = static_cast<UINT>(palette->entries.size());
    if (!out)
        return size;
    UINT n = 0;
    for (UINT i = start; i < size && n < count; ++i, ++n)
        out[n] = palette->entries[i];
    return n;
}

HGDIOBJ GetStockObject(int which)
{
    if (which == DEFAULT_PALETTE)
        return StockDefaultPalette();
    return nullptr;
}

HPALETTE CreateHalftonePalette(HDC)
{
    auto* p = new (std::nothrow) PaletteObject;
    if (!p)
        return nullptr;
    p->entries = FixedPalette();
    return p;
}

UINT GetSystemPaletteEntries(HDC, UINT start, UINT count, PALETTEENTRY* out)
{
    static const std::vector<PALETTEENTRY> system = FixedPalette();
    if (!out)
        return 256;
    UINT n = 0;
    for (UINT i = start; i < 256 && n < count; ++i, ++n)
        out[n] = system[i];
    return n;
}

int GetObject(HGDIOBJ object, int bytes, void* out)
{
    if (!object || !out)
        return 0;
    if (object->kind == GdiObject::Kind::Bitmap) {
        const auto* s = static_cast<DibSectionObject*>(object);
        DIBSECTION ds;
        ds.dsBm.bmWidth = s->header.biWidth;
        ds.dsBm.bmHeight = s->header.biHeight < 0 ? -s->header.biHeight : s->header.biHeight;
        ds.dsBm.bmWidthBytes = s->rowBytes;
        ds.dsBm.bmPlanes = 1;
        ds.dsBm.bmBitsPixel = s->header.biBitCount;
        ds.dsBm.bmBits = s->bits;
        ds.dsBmih = s->header;
        std::memcpy(ds.dsBitfields, s->masks, sizeof ds.dsBitfields);
        if (bytes >= static_cast<int>(sizeof(DIBSECTION))) {
            std::memcpy(out, &ds, sizeof ds);
            return sizeof(DIBSECTION);
        }
        if (bytes >= static_cast<int>(sizeof(BITMAP))) {
            std::memcpy(out, &ds.dsBm, sizeof ds.dsBm);
            return sizeof(BITMAP);
        }
        return 0;
    }
    if (object->kind == GdiObject::Kind::Palette && bytes >= 2) {
        const WORD n = static_cast<WORD>(static_cast<PaletteObject*>(object)->entries.size());
        std::memcpy(out, &n, 2);
        return 2;
    }
    return 0;
}

HDC CreateCompatibleDC(HDC)
{
    return new (std::nothrow) MemoryDC;
}

BOOL DeleteDC(HDC hdc)
{
    if (!hdc || hdc == &g_screen)
        return FALSE;
    delete hdc;
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object)
{
    if (!hdc)
        return nullptr;
    if (!object) {
        HGDIOBJ old = hdc->selectedBitmap;
        hdc->selectedBitmap = nullptr;
        return old;
    }
    if (object->kind == GdiObject::Kind::Bitmap) {
        HGDIOBJ old = hdc->selectedBitmap;
        hdc->selectedBitmap = static_cast<HBITMAP>(object);
        return old;
    }
    if (object->kind == GdiObject::Kind::Palette) {
        HGDIOBJ old = hdc->selectedPalette;
        hdc->selectedPalette = static_cast<HPALETTE>(object);
        return old;
    }
    return nullptr;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors)
{
    if (!hdc || !hdc->selectedBitmap || !colors)
        return 0;
    auto& table = hdc->selectedBitmap->colorTable;
    UINT n = 0;
    for (UINT i = start; i < table.size() && n < count; ++i, ++n)
        table[i] = colors[n];
    return n;
}

// ---------------------------------------------------------------------------
// Pixel conversion between sections

namespace {

// Reads the pixels of one stored row of a section as B, G, R triples.
class RowReader {
public:
    explicit RowReader(const DibSectionObject& s) : m_s(s)
    {
        DWORD r = 0x7C00, g = 0x03E0, b = 0x001F;
        if (s.header.biBitCount == 32) {
            r = 0xFF0000;
            g = 0x00FF00;
            b = 0x0000FF;
        }
        if (s.header.biCompression == BI_BITFIELDS && (s.masks[0] | s.masks[1] | s.masks[2])) {
            r = s.masks[0];
            g = s.masks[1];
            b = s.masks[2];
        }
        m_channel[0] = MaskedChannel(r);
        m_channel[1] = MaskedChannel(g);
        m_channel[2] = MaskedChannel(b);
    }

    void Read(int row, BYTE* bgr) const
    {
        const BYTE* p = m_s.bits + std::size_t(row) * std::size_t(m_s.rowBytes);
        const int width = m_s.header.biWidth;
        const int depth = m_s.header.biBitCount;
        const RGBQUAD* table = m_s.colorTable.data();
        switch (depth) {
        case 1:
        case 4:
        case 8: {
            const int perByte = 8 / depth;
            const int mask = (1 << depth) - 1;
            for (int x = 0; x < width; ++x) {
                const int shift = (perByte - 1 - x % perByte) * depth;
                const RGBQUAD& c = table[(p[x / perByte] >> shift) & mask];
                bgr[3 * x] = c.rgbBlue;
                bgr[3 * x + 1] = c.rgbGreen;
                bgr[3 * x + 2] = c.rgbRed;
            }
            break;
        }
        case 16:
            for (int x = 0; x < width; ++x) {
                const DWORD w = DWORD(p[2 * x] | (p[2 * x + 1] << 8));
                bgr[3 * x] = Channel(w, 2);
                bgr[3 * x + 1] = Channel(w, 1);
                bgr[3 * x + 2] = Channel(w, 0);
            }
            break;
        case 24: std::memcpy(bgr, p, std::size_t(width) * 3); break;
        case 32:
            for (int x = 0; x < width; ++x) {
                const DWORD w = DWORD(p[4 * x]) | (DWORD(p[4 * x + 1]) << 8) | (DWORD(p[4 * x + 2]) << 16) |
                                (DWORD(p[4 * x + 3]) << 24);
                bgr[3 * x] = Channel(w, 2);
                bgr[3 * x + 1] = Channel(w, 1);
                bgr[3 * x + 2] = Channel(w, 0);
            }
            break;
        default: std::memset(bgr, 0, std::size_t(width) * 3);
        }
    }

private:
    BYTE Channel(DWORD word, int i) const { return m_channel[i](word); }

    const DibSectionObject& m_s;
    MaskedChannel m_channel[3];
};

// Exact nearest palette entry (squared RGB distance, lowest index on a tie),
// accelerated by candidate lists per 16 x 16 x 16 cell of colour space and a
// cache of every distinct colour already matched. The cache is laid out cell
// by cell, so the near colours of a picture's neighbouring pixels share a few
// pages and lines instead of spreading over all 32 MB of it.
class NearestColour {
public:
    explicit NearestColour(const std::vector<RGBQUAD>& table) : m_table(table)
    {
        m_cacheBlock = GlobalAlloc(GHND, (std::size_t(1) << 24) * sizeof(std::uint16_t));
        m_cache = static_cast<std::uint16_t*>(GlobalLock(m_cacheBlock));
    }
    ~NearestColour()
    {
        if (m_cacheBlock) {
            GlobalUnlock(m_cacheBlock);
            GlobalFree(m_cacheBlock);
        }
    }
    NearestColour(const NearestColour&) = delete;
    NearestColour& operator=(const NearestColour&) = delete;

    int Find(int r, int g, int b)
    {
        const std::uint32_t key = (std::uint32_t(r >> 4) << 20) | (std::uint32_t(g >> 4) << 16) |
                                  (std::uint32_t(b >> 4) << 12) | (std::uint32_t(r & 15) << 8) |
                                  (std::uint32_t(g & 15) << 4) | std::uint32_t(b & 15);
        if (m_cache && m_cache[key])
            return m_cache[key] - 1;
        const int index = Search(r, g, b);
        if (m_cache)
            m_cache[key] = static_cast<std::uint16_t>(index + 1);
        return index;
    }

private:
    int Search(int r, int g, int b)
    {
        const int cell = ((r >> 4) << 8) | ((g >> 4) << 4) | (b >> 4);
        std::vector<std::uint8_t>& cands = m_cells[cell];
        if (!m_built[cell])
            Build(cell, cands);
        int best = 0;
        long bestDist = -1;
        for (std::uint8_t i : cands) {
            const RGBQUAD& c = m_table[i];
            const long dr = r - c.rgbRed, dg = g - c.rgbGreen, db = b - c.rgbBlue;
            const long d = dr * dr + dg * dg + db * db;
            if (bestDist < 0 || d < bestDist) {
                bestDist = d;
                best = i;
            }
        }
        return best;
    }

    static long AxisMin(int v, int lo, int hi) { return v < lo ? lo - v : (v > hi ? v - hi : 0); }
    static long AxisMax(int v, int lo, int hi) { return std::max(std::abs(v - lo), std::abs(v - hi)); }

    void Build(int cell, std::vector<std::uint8_t>& cands)
    {
        m_built[cell] = true;
        const int r0 = (cell >> 8) << 4, g0 = ((cell >> 4) & 15) << 4, b0 = (cell & 15) << 4;
        const std::size_t n = std::min<std::size_t>(m_table.size(), 256);
        long bound = -1;
        std::vector<long> mins(n);
        for (std::size_t i = 0; i < n; ++i) {
            const RGBQUAD& c = m_table[i];
            const long mr = AxisMin(c.rgbRed, r0, r0 + 15), mg = AxisMin(c.rgbGreen, g0, g0 + 15),
                       mb = AxisMin(c.rgbBlue, b0, b0 + 15);
            mins[i] = mr * mr + mg * mg + mb * mb;
            const long xr = AxisMax(c.rgbRed, r0, r0 + 15), xg = AxisMax(c.rgbGreen, g0, g0 + 15),
                       xb = AxisMax(c.rgbBlue, b0, b0 + 15);
            const long maxd = xr * xr + xg * xg + xb * xb;
            if (bound < 0 || maxd < bound)
                bound = maxd;
        }
        for (std::size_t i = 0; i < n; ++i)
            if (mins[i] <= bound)
                cands.push_back(static_cast<std::uint8_t>(i));
    }

    const std::vector<RGBQUAD>& m_table;
    HGLOBAL m_cacheBlock = nullptr;
    std::uint16_t* m_cache = nullptr;
    std::vector<std::uint8_t> m_cells[4096];
    bool m_built[4096] = {};
};

void WriteRow(DibSectionObject& t, int row, const BYTE* bgr, NearestColour* nearest)
{
    BYTE* p = t.bits + std::size_t(row) * std::size_t(t.rowBytes);
    const int width = t.header.biWidth;
    switch (t.header.biBitCount) {
    case 1:
    case 4:
    case 8: {
        const int depth = t.header.biBitCount;
        const int perByte = 8 / depth;
        std::memset(p, 0, std::size_t(t.rowBytes));
        if (depth == 8) {
            for (int x = 0; x < width; ++x)
                p[x] = BYTE(nearest->Find(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]));
            break;
        }
        for (int x = 0; x < width; ++x) {
            const int index = nearest->Find(bgr[3 * x + 2], bgr[3 * x + 1], bgr[3 * x]);
            const int shift = (perByte - 1 - x % perByte) * depth;
            p[x / perByte] |= BYTE(index << shift);
        }
        break;
    }
    case 16:
        for (int x = 0; x < width; ++x) {
            const WORD w = WORD(((bgr[3 * x + 2] >> 3) << 10) | ((bgr[3 * x + 1] >> 3) << 5) | (bgr[3 * x] >> 3));
            p[2 * x] = BYTE(w);
            p[2 * x + 1] = BYTE(w >> 8);
        }
        break;
    case 24: std::memcpy(p, bgr, std::size_t(width) * 3); break;
    case 32:
        for (int x = 0; x < width; ++x) {
            p[4 * x] = bgr[3 * x];
            p[4 * x + 1] = bgr[3 * x + 1];
            p[4 * x + 2] = bgr[3 * x + 2];
            p[4 * x + 3] = 0;
        }
        break;
    }
}

} // namespace

int GetDIBits(HDC, HBITMAP bitmap, UINT startScan, UINT scanLines, void* bits, BITMAPINFO* info, UINT)
{
    if (!bitmap || !bits || !info || info->bmiHeader.biBitCount != 24)
        return 0;
    const int height = bitmap->header.biHeight < 0 ? -bitmap->header.biHeight : bitmap->header.biHeight;
    const int width = bitmap->header.biWidth;
    const std::size_t outStride = std::size_t(DibStride(std::uint64_t(width), 24));
    RowReader reader(*bitmap);
    int done = 0;
    for (UINT scan = startScan; scan < startScan + scanLines && int(scan) < height; ++scan, ++done) {
        // Scan lines count from the bottom; a top-down section stores the
        // bottom line last.
        const int row = bitmap->header.biHeight < 0 ? height - 1 - int(scan) : int(scan);
        BYTE* out = static_cast<BYTE*>(bits) + std::size_t(done) * outStride;
        reader.Read(row, out);
        std::memset(out + std::size_t(width) * 3, 0, outStride - std::size_t(width) * 3);
    }
    return done;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, DWORD)
{
    if (!dst || !src || !dst->selectedBitmap || !src->selectedBitmap)
        return FALSE;
    DibSectionObject& t = *dst->selectedBitmap;
    const DibSectionObject& s = *src->selectedBitmap;
    // The viewer only ever copies whole pictures of equal size.
    if (x != 0 || y != 0 || xSrc != 0 || ySrc != 0 || cx != t.header.biWidth || cx != s.header.biWidth)
        return FALSE;
    const int th = t.header.biHeight < 0 ? -t.header.biHeight : t.header.biHeight;
    const int sh = s.header.biHeight < 0 ? -s.header.biHeight : s.header.biHeight;
    if (cy != th || cy != sh || (t.header.biHeight < 0) != (s.header.biHeight < 0))
        return FALSE;
    const int width = cx;
    std::vector<BYTE> bgr;
    try {
        bgr.resize(std::size_t(width) * 3 + 4);
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    NearestColour* nearest = nullptr;
    if (t.header.biBitCount <= 8) {
        nearest = new (std::nothrow) NearestColour(t.colorTable);
        if (!nearest)
            return FALSE;
    }
    RowReader reader(s);
    for (int row = 0; row < cy; ++row) {
        reader.Read(row, bgr.data());
        WriteRow(t, row, bgr.data(), nearest);
    }
    delete nearest;
    return TRUE;
}
