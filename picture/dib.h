// Packed DIBs (one movable block: header, colour table, bottom-up rows) and
// CDib, the class the codecs and writers pass pictures around in.
#pragma once

#include "platform/gdi.h"
#include "platform/globalmem.h"
#include "platform/windef.h"

#include <cstdio>
#include <functional>
#include <string>

// Header queries on a locked block. A header whose size field is not 40 is
// read as a 12-byte core header.
BYTE* DibBits(BITMAPINFOHEADER* header);
const BYTE* DibBits(const BITMAPINFOHEADER* header);
LONG DibWidth(const BITMAPINFOHEADER* header);
LONG DibHeight(const BITMAPINFOHEADER* header);
WORD DibNumColors(const BITMAPINFOHEADER* header);
DWORD DibPaletteSize(const BITMAPINFOHEADER* header);
DWORD DibRowBytes(const BITMAPINFOHEADER* header);
// Fills in biSizeImage when it is 0, then returns header + table + image bytes.
DWORD DibSize(BITMAPINFOHEADER* header);
HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header);
HBITMAP DibToSection(const BITMAPINFOHEADER* header);

// Functions on a handle.
HGLOBAL FreeDib(HGLOBAL dib);
HGLOBAL CopyDibHandle(HGLOBAL dib);
HPALETTE CreateDibPaletteFromHandle(HGLOBAL dib);
HBITMAP DibToSectionFromHandle(HGLOBAL dib);
HGLOBAL ConvertDib(HGLOBAL dib, int bitCount, HPALETTE palette);
HGLOBAL ConvertDibOctree(HGLOBAL dib, int bitCount, UINT colours);

// The wait cursor: the GUI installs begin/end functions, the core calls them
// around long conversions.
void SetWaitCursorHooks(std::function<void()> begin, std::function<void()> end);
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// The small archive CDib::Serialize works on: a file opened for storing or
// loading.
class CArchive {
public:
    enum Mode { store, load };
    CArchive(std::FILE* file, Mode mode) : m_file(file), m_mode(mode) {}
    bool IsStoring() const { return m_mode == store; }
    bool IsLoading() const { return m_mode == load; }
    std::FILE* GetFile() const { return m_file; }
    void Flush()
    {
        if (m_file)
            std::fflush(m_file);
    }

private:
    std::FILE* m_file;
    Mode m_mode;
};

class CDib {
public:
    CDib();
    virtual ~CDib();
    CDib(const CDib&) = delete;
    CDib& operator=(const CDib&) = delete;

    static const char* GetRuntimeClassName() { return "CDib"; }
    virtual const char* GetRuntimeClass() const { return GetRuntimeClassName(); }
    // Nonzero when the archive was written or read; 0 when a loaded file was refused.
    virtual int Serialize(CArchive& archive);

    int Attach(HGLOBAL dib);
    int CopyFrom(const BITMAPINFOHEADER* header);
    int Rebuild();
    int IsEmpty() const;

    int GetBitCount() const;
    int GetWidth() const;
    int GetHeight() const;
    int GetRowBytes() const;
    BYTE* GetBits() const;
    HGLOBAL GetHandle() const { return m_hDib; }
    HPALETTE GetPalette() const { return m_pPalette; }
    // The block as a DIB section, made the first time it is asked for (null
    // when that fails).
    HBITMAP GetBitmap() const;

    int ChangeBitCount(int bitCount);
    int ConvertBitCount(int bitCount);

    HGLOBAL m_hDib = nullptr;
    // The section is a second copy of every pixel, so it is only made when
    // something draws from it; most pictures never need one.
    mutable HBITMAP m_hBitmap = nullptr;
    // The framework's CPalette and CBitmap wrappers reduce to the handles
    // they own here.
    HPALETTE m_pPalette = nullptr;
    mutable HBITMAP m_pBitmap = nullptr;

private:
    int Replace(HGLOBAL dib);
};
