#include "dib.h"

#include "octree.h"
#include "picture.h"
#include "platform/dc.h"
#include "platform/dibformat.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

std::function<void()> g_waitBegin;
std::function<void()> g_waitEnd;

bool IsCore(const BITMAPINFOHEADER* h)
{
    return h->biSize != 40;
}

const BITMAPCOREHEADER* Core(const BITMAPINFOHEADER* h)
{
    return reinterpret_cast<const BITMAPCOREHEADER*>(h);
}

WORD BitCountOf(const BITMAPINFOHEADER* h)
{
    return IsCore(h) ? Core(h)->bcBitCount : h->biBitCount;
}

// The colour table as 4-byte entries (core headers have 3-byte ones).
void ReadTable(const BITMAPINFOHEADER* h, std::vector<RGBQUAD>& out)
{
    const WORD n = DibNumColors(h);
    out.assign(n, RGBQUAD{});
    const BYTE* p = reinterpret_cast<const BYTE*>(h) + h->biSize;
    const int step = IsCore(h) ? 3 : 4;
    for (WORD i = 0; i < n; ++i) {
        out[i].rgbBlue = p[step * i];
        out[i].rgbGreen = p[step * i + 1];
        out[i].rgbRed = p[step * i + 2];
        out[i].rgbReserved = step == 4 ? p[step * i + 3] : 0;
    }
}

} // namespace

void SetWaitCursorHooks(std::function<void()> begin, std::function<void()> end)
{
    g_waitBegin = std::move(begin);
    g_waitEnd = std::move(end);
}

CWaitCursor::CWaitCursor()
{
    if (g_waitBegin)
        g_waitBegin();
}

CWaitCursor::~CWaitCursor()
{
    if (g_waitEnd)
        g_waitEnd();
}

// ---------------------------------------------------------------------------
// Header queries

BYTE* DibBits(BITMAPINFOHEADER* header)
{
    return reinterpret_cast<BYTE*>(header) + header->biSize + DibPaletteSize(header);
}

const BYTE* DibBits(const BITMAPINFOHEADER* header)
{
    return reinterpret_cast<const BYTE*>(header) + header->biSize + DibPaletteSize(header);
}

LONG DibWidth(const BITMAPINFOHEADER* header)
{
    return IsCore(header) ? Core(header)->bcWidth : header->biWidth;
}

LONG DibHeight(const BITMAPINFOHEADER* header)
{
    return IsCore(header) ? Core(header)->bcHeight : header->biHeight;
}

WORD DibNumColors(const BITMAPINFOHEADER* header)
{
    if (!IsCore(header) && header->biClrUsed != 0)
        return static_cast<WORD>(header->biClrUsed & 0xFFFF);
    switch (BitCountOf(header)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

DWORD DibPaletteSize(const BITMAPINFOHEADER* header)
{
    return DibNumColors(header) * (IsCore(header) ? 3u : 4u);
}

DWORD DibRowBytes(const BITMAPINFOHEADER* header)
{
    const std::uint64_t bits = std::uint64_t(std::max<LONG>(DibWidth(header), 0)) *
                               (IsCore(header) ? Core(header)->bcPlanes : header->biPlanes) * BitCountOf(header);
    return static_cast<DWORD>(DibStride(bits, 1));
}

DWORD DibSize(BITMAPINFOHEADER* header)
{
    if (IsCore(header)) {
        const DWORD image = DibRowBytes(header) * Core(header)->bcHeight;
        return header->biSize + DibPaletteSize(header) + image;
    }
    if (header->biSizeImage == 0) {
        const LONG h = header->biHeight < 0 ? -header->biHeight : header->biHeight;
        header->biSizeImage = DibRowBytes(header) * static_cast<DWORD>(h);
    }
    return header->biSize + DibPaletteSize(header) + header->biSizeImage;
}

HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header)
{
    if (!header)
        return nullptr;
    const WORD n = DibNumColors(header);
    if (n == 0)
        return nullptr;
    HGLOBAL block = GlobalAlloc(GHND, 8 + 4 * std::size_t(n));
    if (!block)
        return nullptr;
    auto* log = static_cast<LOGPALETTE*>(GlobalLock(block));
    log->palVersion = 0x300;
    log->palNumEntries = n;
    std::vector<RGBQUAD> table;
    ReadTable(header, table);
    for (WORD i = 0; i < n; ++i)
        log->palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
    HPALETTE palette = CreatePalette(log);
    GlobalUnlock(block);
    GlobalFree(block);
    return palette;
}

HBITMAP DibToSection(const BITMAPINFOHEADER* header)
{
    if (!header || IsCore(header))
        return nullptr;
    HDC screen = GetDC(nullptr);
    void* bits = nullptr;
    HBITMAP section =
        CreateDIBSection(screen, reinterpret_cast<const BITMAPINFO*>(header), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section) {
        ReleaseDC(nullptr, screen);
        return nullptr;
    }
    const LONG h = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    const std::size_t bytes = std::min<std::size_t>(std::size_t(DibRowBytes(header)) * std::size_t(h), section->imageBytes);
    std::memcpy(bits, DibBits(header), bytes);
    if (header->biBitCount <= 8) {
        HDC memory = CreateCompatibleDC(screen);
        HGDIOBJ old = SelectObject(memory, section);
        std::vector<RGBQUAD> table;
        ReadTable(header, table);
        // The block holds only its own entries; the rest of the section's
        // table stays black.
        SetDIBColorTable(memory, 0, static_cast<UINT>(table.size()), table.data());
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    ReleaseDC(nullptr, screen);
    GdiFlush();
    return section;
}

// ---------------------------------------------------------------------------
// Functions on a handle

HGLOBAL FreeDib(HGLOBAL dib)
{
    return GlobalFree(dib);
}

HGLOBAL CopyDibHandle(HGLOBAL dib)
{
    if (!dib)
        return nullptr;
    const std::size_t size = GlobalSize(dib);
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    std::memcpy(GlobalLock(copy), GlobalLock(dib), size);
    GlobalUnlock(copy);
    GlobalUnlock(dib);
    return copy;
}

HPALETTE CreateDibPaletteFromHandle(HGLOBAL dib)
{
    if (!dib)
        return nullptr;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    HPALETTE palette = CreateDibPalette(h);
    GlobalUnlock(dib);
    return palette;
}

HBITMAP DibToSectionFromHandle(HGLOBAL dib)
{
    if (!dib)
        return nullptr;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    if (!h)
        return nullptr;
    HBITMAP section = DibToSection(h);
    GlobalUnlock(dib);
    return section;
}

HGLOBAL ConvertDib(HGLOBAL dib, int bitCount, HPALETTE palette)
{
    if (!dib)
        return nullptr;
    auto* src = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    if (!src)
        return nullptr;
    if (IsCore(src) || (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
                        bitCount != 32)) {
        GlobalUnlock(dib);
        return nullptr;
    }
    const LONG width = src->biWidth;
    const LONG height = src->biHeight;
    const int colours = bitCount <= 8 ? 1 << bitCount : 0;
    const std::size_t headerBytes = 4 * std::size_t(colours) + 44;

    HGLOBAL headerBlock = GlobalAlloc(GHND, headerBytes);
    if (!headerBlock) {
        GlobalUnlock(dib);
        return nullptr;
    }
    auto* target = static_cast<BITMAPINFOHEADER*>(GlobalLock(headerBlock));
    target->biSize = 40;
    target->biWidth = width;
    target->biHeight = height;
    target->biPlanes = 1;
    target->biBitCount = static_cast<WORD>(bitCount);
    auto* table = reinterpret_cast<RGBQUAD*>(reinterpret_cast<BYTE*>(target) + 40);
    auto fromPalette = [&](HPALETTE p, int count, bool keepFlags) {
        std::vector<PALETTEENTRY> entries(std::size_t(count), PALETTEENTRY{});
        GetPaletteEntries(p, 0, static_cast<UINT>(count), entries.data());
        for (int i = 0; i < count; ++i)
            table[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed,
                               keepFlags ? entries[i].peFlags : BYTE(0)};
    };
    if (bitCount == 1) {
        table[0] = RGBQUAD{0, 0, 0, 0};
        table[1] = RGBQUAD{255, 255, 255, 0};
    } else if (bitCount == 4) {
        if (palette)
            fromPalette(palette, 16, false);
        else if (src->biBitCount == 4)
            std::memcpy(table, reinterpret_cast<BYTE*>(src) + 40, std::min<std::size_t>(DibPaletteSize(src), 64));
        else
            fromPalette(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)), 16, true);
    } else if (bitCount == 8) {
        if (palette) {
            fromPalette(palette, 256, false);
        } else if (src->biBitCount == 8) {
            std::memcpy(table, reinterpret_cast<BYTE*>(src) + 40, std::min<std::size_t>(DibPaletteSize(src), 1024));
        } else {
            HPALETTE made = OctreePaletteFromDib(src, 236, 8);
            if (!made)
                made = CreateHalftonePalette(nullptr);
            fromPalette(made, 256, true);
            DeleteObject(made);
        }
    }

    // Both sections work in place: the source's over the block's own rows,
    // the target's over the result block, so the pixels are never copied.
    // A source whose rows are not laid out as a section's (planes other than
    // one) or whose block is short of them goes through a copy instead.
    const LONG rows = height < 0 ? -height : height;
    const DWORD targetImage = DibRowBytes(target) * static_cast<DWORD>(rows);
    target->biSizeImage = targetImage;
    const std::size_t targetOffset = 40 + 4 * std::size_t(colours);
    HGLOBAL result = GlobalAlloc(GHND, headerBytes + targetImage);
    BYTE* resultBlock = static_cast<BYTE*>(GlobalLock(result));
    const std::size_t sourceOffset = std::size_t(DibBits(src) - reinterpret_cast<BYTE*>(src));
    const std::size_t sourceImage = std::size_t(DibRowBytes(src)) * std::size_t(rows);
    const std::size_t sectionRow = std::size_t(DibStride(std::uint64_t(std::max<LONG>(width, 0)), src->biBitCount));
    const std::size_t held = GlobalSize(dib) > sourceOffset ? GlobalSize(dib) - sourceOffset : 0;
    const bool inPlace =
        src->biPlanes == 1 && sectionRow == DibRowBytes(src) && sourceOffset % 4 == 0 && held >= sourceImage;

    HDC screen = GetDC(nullptr);
    void* sourceBits = nullptr;
    HBITMAP targetSection =
        resultBlock ? CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(target), DIB_RGB_COLORS, nullptr,
                                       resultBlock, static_cast<DWORD>(targetOffset))
                    : nullptr;
    HBITMAP sourceSection =
        CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(src), DIB_RGB_COLORS, &sourceBits,
                         inPlace ? static_cast<HANDLE>(src) : nullptr, static_cast<DWORD>(inPlace ? sourceOffset : 0));
    HDC sourceDC = CreateCompatibleDC(screen);
    HDC targetDC = CreateCompatibleDC(screen);
    bool copied = false;
    if (targetSection && sourceSection && sourceDC && targetDC) {
        if (!inPlace)
            std::memcpy(sourceBits, DibBits(src), std::min({sourceImage, held, sourceSection->imageBytes}));
        HGDIOBJ oldSource = SelectObject(sourceDC, sourceSection);
        HGDIOBJ oldTarget = SelectObject(targetDC, targetSection);
        if (src->biBitCount <= 8) {
            std::vector<RGBQUAD> srcTable;
            ReadTable(src, srcTable);
            SetDIBColorTable(sourceDC, 0, static_cast<UINT>(srcTable.size()), srcTable.data());
        }
        if (bitCount <= 8)
            SetDIBColorTable(targetDC, 0, static_cast<UINT>(colours), table);
        copied = BitBlt(targetDC, 0, 0, width, rows, sourceDC, 0, 0, SRCCOPY) != FALSE;
        SelectObject(sourceDC, oldSource);
        SelectObject(targetDC, oldTarget);
        GdiFlush();
    }
    if (sourceDC)
        DeleteDC(sourceDC);
    if (targetDC)
        DeleteDC(targetDC);
    ReleaseDC(nullptr, screen);
    DeleteObject(targetSection);
    DeleteObject(sourceSection);
    if (copied) {
        // The table holds the full 2^depth entries the header promises.
        target->biClrUsed = 0;
        std::memcpy(resultBlock, target, targetOffset);
        GlobalUnlock(result);
    } else if (result) {
        GlobalUnlock(result);
        GlobalFree(result);
        result = nullptr;
    }
    GlobalUnlock(headerBlock);
    GlobalFree(headerBlock);
    GlobalUnlock(dib);
    return result;
}

HGLOBAL ConvertDibOctree(HGLOBAL dib, int bitCount, UINT colours)
{
    if (!dib || bitCount < 1 || bitCount > 8)
        return nullptr;
    CWaitCursor wait;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    if (!h)
        return nullptr;
    HPALETTE palette = OctreePaletteFromDib(h, colours, 8);
    GlobalUnlock(dib);
    HGLOBAL result = ConvertDib(dib, bitCount, palette);
    if (palette)
        DeleteObject(palette);
    return result;
}

// ---------------------------------------------------------------------------
// CDib

CDib::CDib() = default;

CDib::~CDib()
{
    if (m_hDib)
        GlobalFree(m_hDib);
    if (m_pBitmap)
        DeleteObject(m_pBitmap);
    if (m_pPalette)
        DeleteObject(m_pPalette);
}

int CDib::Attach(HGLOBAL dib)
{
    if (!dib)
        return 0;
    if (m_hDib && m_hDib != dib)
        GlobalFree(m_hDib);
    m_hDib = dib;
    return Rebuild();
}

int CDib::CopyFrom(const BITMAPINFOHEADER* header)
{
    if (!header)
        return 0;
    BITMAPINFOHEADER probe = *header; // DibSize may fill in biSizeImage
    const DWORD size = DibSize(&probe);
    HGLOBAL block = GlobalAlloc(GHND, size);
    if (!block)
        return 0;
    void* p = GlobalLock(block);
    if (!p) {
        GlobalFree(block);
        return 0;
    }
    std::memcpy(p, header, size);
    std::memcpy(p, &probe, sizeof probe);
    GlobalUnlock(block);
    return Replace(block);
}

int CDib::Replace(HGLOBAL dib)
{
    if (m_hDib)
        GlobalFree(m_hDib);
    m_hDib = dib;
    return Rebuild();
}

int CDib::Rebuild()
{
    if (m_pPalette) {
        DeleteObject(m_pPalette);
        m_pPalette = nullptr;
    }
    m_pPalette = CreateDibPaletteFromHandle(m_hDib);
    if (m_pBitmap) {
        DeleteObject(m_pBitmap);
        m_pBitmap = nullptr;
    }
    m_hBitmap = nullptr;
    // Refuse now what could never become a section, as making one would.
    auto* h = static_cast<const BITMAPINFOHEADER*>(GlobalLock(m_hDib));
    if (!h)
        return 0;
    const bool possible = !IsCore(h) && DibSectionPossible(*h);
    GlobalUnlock(m_hDib);
    return possible ? 1 : 0;
}

HBITMAP CDib::GetBitmap() const
{
    if (!m_hBitmap && m_hDib) {
        m_hBitmap = DibToSectionFromHandle(m_hDib);
        m_pBitmap = m_hBitmap;
    }
    return m_hBitmap;
}

int CDib::IsEmpty() const
{
    if (!m_hDib || !GlobalLock(m_hDib))
        return 1;
    GlobalUnlock(m_hDib);
    return 0;
}

int CDib::GetBitCount() const
{
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(m_hDib));
    if (!h)
        return 0;
    const int n = BitCountOf(h);
    GlobalUnlock(m_hDib);
    return n;
}

int CDib::GetWidth() const
{
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(m_hDib));
    if (!h)
        return 0;
    const int n = DibWidth(h);
    GlobalUnlock(m_hDib);
    return n;
}

int CDib::GetHeight() const
{
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(m_hDib));
    if (!h)
        return 0;
    const int n = DibHeight(h);
    GlobalUnlock(m_hDib);
    return n;
}

int CDib::GetRowBytes() const
{
    return static_cast<int>(DibStride(std::uint64_t(std::max(GetWidth(), 0)), unsigned(std::max(GetBitCount(), 0))));
}

BYTE* CDib::GetBits() const
{
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(m_hDib));
    if (!h)
        return nullptr;
    BYTE* bits = DibBits(h);
    GlobalUnlock(m_hDib);
    return bits;
}

int CDib::ChangeBitCount(int bitCount)
{
    HGLOBAL converted = bitCount >= 1 && bitCount <= 8 ? ConvertDibOctree(m_hDib, bitCount, 1u << bitCount)
                                                       : ConvertDib(m_hDib, bitCount, nullptr);
    if (!converted)
        return 0;
    return Replace(converted);
}

int CDib::ConvertBitCount(int bitCount)
{
    if (IsEmpty())
        return 0;
    if (GetBitCount() == bitCount)
        return 1;
    HGLOBAL converted = ConvertDib(m_hDib, bitCount, nullptr);
    if (!converted)
        return 0;
    return Replace(converted);
}

int CDib::Serialize(CArchive& archive)
{
    CWaitCursor wait;
    archive.Flush();
    std::FILE* file = archive.GetFile();
    if (!file)
        return 0;
    if (archive.IsStoring()) {
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(m_hDib));
        if (!h)
            return 0;
        if (h->biCompression == BI_RGB) {
            const LONG rows = h->biHeight < 0 ? -h->biHeight : h->biHeight;
            h->biSizeImage = DibRowBytes(h) * static_cast<DWORD>(rows);
        }
        const DWORD table = DibPaletteSize(h);
        const DWORD offset = 14 + h->biSize + table;
        BYTE fileHeader[14] = {'B', 'M'};
        const DWORD total = offset + h->biSizeImage;
        for (int i = 0; i < 4; ++i) {
            fileHeader[2 + i] = BYTE(total >> (8 * i));
            fileHeader[10 + i] = BYTE(offset >> (8 * i));
        }
        const std::size_t body = h->biSize + table + h->biSizeImage;
        const bool ok = std::fwrite(fileHeader, 1, 14, file) == 14 && std::fwrite(h, 1, body, file) == body;
        GlobalUnlock(m_hDib);
        return ok ? 1 : 0;
    }
    BYTE fileHeader[14];
    BITMAPINFOHEADER h;
    if (std::fread(fileHeader, 1, 14, file) != 14 || fileHeader[0] != 'B' || fileHeader[1] != 'M')
        return 0;
    if (std::fread(&h, 1, 40, file) != 40 || h.biSize != 40)
        return 0;
    DibLayout size;
    if (h.biPlanes != 1 || !DibSizeFor(h.biWidth, h.biHeight, h.biBitCount, &size))
        return 0;
    const std::size_t image = std::size_t(size.imageBytes);
    h.biSizeImage = static_cast<DWORD>(image);
    const std::size_t table = DibPaletteSize(&h);
    std::vector<BYTE> block;
    try {
        block.resize(40 + table + image);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    std::memcpy(block.data(), &h, 40);
    if (std::fread(block.data() + 40, 1, block.size() - 40, file) != block.size() - 40)
        return 0;
    return CopyFrom(reinterpret_cast<const BITMAPINFOHEADER*>(block.data()));
}

// ---------------------------------------------------------------------------

int CPicture::CopyToDib(CDib** out) const
{
    if (!m_pBits || !out)
        return 0;
    const int colours = m_nBitCount <= 8 ? m_nColors : 0;
    // A header with biClrUsed 0 promises a full table; keep the block that long.
    const int tableEntries = m_nBitCount <= 8 && colours == 0 ? 1 << m_nBitCount : colours;
    DibLayout size;
    if (!DibSizeFor(m_nWidth, m_nHeight, m_nBitCount, &size))
        return 0;
    const std::size_t pixels = std::size_t(size.imageBytes);
    HGLOBAL block = GlobalAlloc(GHND, 40 + 4 * std::size_t(tableEntries) + pixels);
    if (!block)
        return 0;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = m_nWidth;
    h->biHeight = m_nHeight;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(m_nBitCount);
    h->biCompression = BI_RGB;
    h->biSizeImage = static_cast<DWORD>(m_nImageSize);
    h->biClrUsed = static_cast<DWORD>(colours);
    if (colours && m_pColorTable)
        std::memcpy(reinterpret_cast<BYTE*>(h) + 40, m_pColorTable, 4 * std::size_t(colours));
    std::memcpy(DibBits(h), m_pBits, pixels);
    auto* dib = new (std::nothrow) CDib;
    if (!dib) {
        GlobalUnlock(block);
        GlobalFree(block);
        return 0;
    }
    dib->Attach(block);
    GlobalUnlock(block);
    *out = dib;
    return 1;
}
