// JPEG reading and writing through libjpeg: a file becomes a 24-bit
// bottom-up DIB held as a CDib, and a CDib is written as a baseline JPEG.
#pragma once

#include "picture/picture.h"
#include "platform/windef.h"

#include <string>
#include <vector>

class CDib;

class JpegFile {
public:
    JpegFile();
    virtual ~JpegFile();
    JpegFile(const JpegFile&) = delete;
    JpegFile& operator=(const JpegFile&) = delete;

    // Nonzero when the object now holds the decoded picture as a 24-bit CDib.
    int Load(const std::string& path);
    // As Load, but decoded no larger than `shown` says the picture is shown:
    // at the largest of the library's reductions (1/2, 1/4, 1/8) whose result
    // is still at least that size, averaged down to that size exactly as
    // the rows come. The file's bytes are then kept, so that the whole
    // picture is decoded from them later whatever happens to the file
    // meanwhile.
    int Load(const std::string& path, const ShownSizeFn& shown);
    // Decodes again from the kept bytes at the library's reduction for
    // width x height (the whole picture's size: all of it), not averaged
    // further; the bytes go once the whole picture is held. Nonzero when
    // GetDib() holds the result. After one failure it fails at once.
    int LoadAtLeast(int width, int height);
    // Whether GetDib() holds a reduced decode, and the picture's own size
    // (upright, as GetDib() holds it).
    bool IsReduced() const { return !m_bytes.empty(); }
    bool RedecodeFailed() const { return m_bRedecodeFailed; }
    int GetFullWidth() const { return m_nFullWidth; }
    int GetFullHeight() const { return m_nFullHeight; }
    // The file's EXIF block (APP1 payload), empty when it has none.
    const std::vector<BYTE>& GetExif() const { return m_exif; }
    // Writes `dib` (null: the object's own decode), with `exif` (an APP1
    // payload, "Exif\0\0" first) as a segment after the JFIF one when it is
    // not empty. The viewer always asks for colour at quality 75.
    int Save(const std::string& path, CDib* dib, BOOL colour, int quality, const std::vector<BYTE>& exif = {});

    // Top-down RGB rows, 3 bytes a pixel, not padded (std::malloc; the caller
    // frees), or null. Greyscale and CMYK files come back as RGB too.
    BYTE* ReadRgb(const std::string& path, int* width, int* height);
    // `buffer` holds top-down rows: RGB triples with colour on, one grey byte
    // a pixel with colour off. The target is replaced only by a complete file.
    int WriteRgb(const std::string& path, const BYTE* buffer, int width, int height, BOOL colour, int quality);

    CDib* GetDib() const { return m_pDib; }
    const std::string& GetLastError() const { return m_strError; }

private:
    int Decode(const unsigned char* data, std::size_t size, const ShownSizeFn* shown, bool shrink);

    CDib* m_pDib = nullptr;
    std::vector<unsigned char> m_bytes; // the file, while only a reduction is decoded
    std::vector<BYTE> m_exif;
    int m_nFullWidth = 0;
    int m_nFullHeight = 0;
    bool m_bRedecodeFailed = false;
    std::string m_strError = "No Error";
};
