// The one picture the viewer shows: a bottom-up DIB with its colour table and
// the bookkeeping of who owns the pixel memory.
#pragma once

#include "platform/dc.h"
#include "platform/globalmem.h"
#include "platform/windef.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class JpegFile;
class GifCodec;
class CDib;
enum class PictureFormat;

// The size, in pixels, a picture of width x height is going to be shown at.
using ShownSizeFn = std::function<void(int width, int height, int* shownWidth, int* shownHeight)>;

class CPicture {
public:
    CPicture();
    ~CPicture();
    CPicture(const CPicture&) = delete;
    CPicture& operator=(const CPicture&) = delete;

    // Releasing.
    void Clear();
    void ReleaseImage();
    void MarkBitsBorrowed() { m_bBitsBorrowed = 1; }

    // Queries. A picture may hold only a reduced decode for the screen (see
    // m_pReducedBits): it has an image, but no bits until LoadFullImage.
    BOOL HasImage() const { return m_pBits != nullptr || m_pReducedBits != nullptr; }
    BOOL IsReduced() const { return m_pBits == nullptr && m_pReducedBits != nullptr; }
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    int GetBitCount() const { return m_nBitCount; }
    int GetRowBytes() const { return m_nRowBytes; }
    int GetImageSize() const { return m_nImageSize; }
    int GetColorCount() const { return m_nColors; }
    RGBQUAD* GetColorTable() const { return m_pColorTable; }
    BYTE* GetBits() const { return m_pBits; }
    JpegFile* GetJpegFile() const { return m_pJpegFile; }
    GifCodec* GetGifCodec() const { return m_pGifCodec; }

    // Stored row `row` (0 is the bottom row as seen). No range check.
    BYTE* GetRow(int row) const { return m_pBits + static_cast<std::ptrdiff_t>(m_nRowBytes) * row; }

    int Draw(HDC hdc, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
             UINT flags) const;
    // The size the whole picture is drawn at from now on (the zoom), so
    // that partial draws match the whole one.
    void BeginDraw(int cxDst, int cyDst) const;
    // Pixel bytes of stored row `row` were changed in place; the drawing
    // service brings what it keeps for the picture up to date.
    void PixelsChanged(int row, std::int64_t byteOffset, std::int64_t count) const;
    // The pixels are gone or replaced.
    void PixelsReplaced() const;

    // Decodes the whole picture when only a reduced decode is held, from
    // the file's bytes kept at loading. Nonzero when m_pBits holds the whole
    // picture; 0 (with a message the first time) when it cannot be had.
    int LoadFullImage();
    // Before the whole picture is drawn at cxDst x cyDst: a reduced decode
    // smaller than that is replaced by one large enough, or the full one.
    void EnsureDetail(int cxDst, int cyDst);

    // Loading and saving by extension.
    int LoadFile(const std::string& path, int orientation, int depthCheck);
    // One reader, chosen by `format`, with its messages.
    int LoadAs(PictureFormat format, const std::string& path, int orientation, int depthCheck);
    int CreateDib(int width, int height, int bitCount, int orientation);
    int CreateDibChecked(int width, int height, int bitCount);
    void AdoptCodecDib(CDib* dib);
    // The codec holds a reduced decode of a fullWidth x fullHeight picture.
    void AdoptReducedDib(CDib* dib, int fullWidth, int fullHeight);

    // Readers take the whole file in memory; writers return nonzero on success.
    int ReadBmp(const BYTE* data, std::size_t length, int orientation, int depthCheck);
    int WriteBmp(const std::string& path);
    int ReadPcx(const BYTE* data, std::size_t length, int orientation);
    int WritePcx(const std::string& path, CDib* dib);
    int ReadTga(const BYTE* data, std::size_t length, int orientation);
    int WriteTga(const std::string& path);
    int ReadPng(const BYTE* data, std::size_t length);
    int WritePng(const std::string& path);
    int ReadWebp(const BYTE* data, std::size_t length);

    int CopyToDib(CDib** out) const;
    int RotateClockwise();

    // Fields in declaration order; the view and the readers use them directly.
    BYTE* m_pBits = nullptr;
    JpegFile* m_pJpegFile = nullptr;
    GifCodec* m_pGifCodec = nullptr;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nDisplayWidth = 0;
    int m_nDisplayHeight = 0;
    int m_nBitCount = 0;
    int m_nRowBytes = 0;
    int m_nImageSize = 0;
    int m_nColors = 0;
    DWORD m_nFileSize = 0;
    int m_bBitsBorrowed = 0;
    int m_bFromCodec = 0;
    // Allocated with new RGBQUAD[] (zeroed); a picture-owned pixel block
    // (after a rotation) is one that std::free releases (AllocLargeBlock).
    RGBQUAD* m_pColorTable = nullptr;
    HBITMAP m_hBitmap = nullptr;
    // Set once the picture has been rotated: every writer then saves the
    // picture as shown rather than the codec's unrotated decode.
    int m_bRotated = 0;
    // A reduced 24-bit decode of the picture, the codec's (rows bottom-up,
    // padded to 4 bytes), while m_pBits is null; every size above is still
    // the whole picture's, and drawing maps picture pixels onto it.
    BYTE* m_pReducedBits = nullptr;
    int m_nReducedWidth = 0;
    int m_nReducedHeight = 0;
    // The EXIF block of the file the picture came from (APP1 payload or bare
    // TIFF block), as the file held it; empty when it had none. The writers
    // that can carry it write it rewritten for the picture as saved.
    std::vector<BYTE> m_exif;
    // Set by the view: a reader that can decode at a reduced size decodes
    // no smaller than this says. Unset, every picture is decoded whole.
    ShownSizeFn m_shownSize;
};

// Destroys the codec objects; defined with the codecs so that this layer
// does not need their full types.
void DestroyJpegFile(JpegFile* file);
void DestroyGifCodec(GifCodec* codec);
