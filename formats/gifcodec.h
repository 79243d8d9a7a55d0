// GIF reading: the first image of a GIF87a/89a file as a 24-bit DIB.
#pragma once

#include "platform/windef.h"

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

    CDib* GetDib() const { return m_pDib; }
    const std::string& GetLastError() const { return m_strError; }

private:
    CDib* m_pDib = nullptr;
    std::string m_strError = "No Error";
};
