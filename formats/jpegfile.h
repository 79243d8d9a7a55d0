// JPEG reading and writing through libjpeg: a file becomes a 24-bit
// bottom-up DIB held as a CDib, and a CDib is written as a baseline JPEG.
#pragma once

#include "platform/windef.h"

#include <string>

class CDib;

class JpegFile {
public:
    JpegFile();
    virtual ~JpegFile();
    JpegFile(const JpegFile&) = delete;
    JpegFile& operator=(const JpegFile&) = delete;

    // Nonzero when the object now holds the decoded picture as a 24-bit CDib.
    int Load(const std::string& path);
    // Writes `dib` (null: the object's own decode). The viewer always asks
    // for colour at quality 75.
    int Save(const std::string& path, CDib* dib, BOOL colour, int quality);

    // Top-down RGB rows, 3 bytes a pixel, not padded (std::malloc; the caller
    // frees), or null. Greyscale and CMYK files come back as RGB too.
    BYTE* ReadRgb(const std::string& path, int* width, int* height);
    // `buffer` holds top-down rows: RGB triples with colour on, one grey byte
    // a pixel with colour off. The target is replaced only by a complete file.
    int WriteRgb(const std::string& path, const BYTE* buffer, int width, int height, BOOL colour, int quality);

    CDib* GetDib() const { return m_pDib; }
    const std::string& GetLastError() const { return m_strError; }

private:
    CDib* m_pDib = nullptr;
    std::string m_strError = "No Error";
};
