// GIF reading (the first image of a GIF87a/89a file as a 24-bit DIB) and
// writing (one GIF87a image with a 256-entry table, LZW codes of 9 to 12 bits).
#pragma once

#include "formats/lzw.h"
#include "platform/windef.h"

#include <cstdint>
#include <string>

class CDib;

class GifCodec {
public:
    GifCodec();
    virtual ~GifCodec();
    GifCodec(const GifCodec&) = delete;
    GifCodec& operator=(const GifCodec&) = delete;

    int Load(const std::string& path);
    // Top-down RGB rows of the first image (std::malloc; caller frees), or null.
    BYTE* ReadGif(const std::string& path, int* width, int* height);

    // Writes `dib` (null: the codec's own decode), reduced to 256 colours
    // when it is not 8 bits per pixel. Nonzero when the file was written.
    int Save(const std::string& path, CDib* dib);
    // Writes `indices` (width * height bytes, top row first, rows not padded)
    // with the low bytes of red/green/blue[0..255] as the colour table.
    int EncodeGif(const std::string& path, const BYTE* indices, int width, int height, int background,
                  const int* red, const int* green, const int* blue);

    CDib* GetDib() const { return m_pDib; }
    const std::string& GetLastError() const { return m_strError; }

private:
    // Writes the file around the LZW data of indices read in place: row y
    // (top row first) at firstRow + y * rowStep.
    int EncodeRows(const std::string& path, const BYTE* firstRow, std::ptrdiff_t rowStep, int width, int height,
                   int background, const int* red, const int* green, const int* blue);

    CDib* m_pDib = nullptr;
    std::string m_strError = "No Error";
    LzwEncoder m_lzw;
};
