// GIF reading (the first image of a GIF87a/89a file as a 24-bit DIB) and
// writing (one GIF87a image with a 256-entry table, LZW codes of 9 to 12 bits).
#pragma once

#include "platform/windef.h"

#include <cstdint>
#include <string>

class CDib;
class SafeFile;

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
    static constexpr int kHashSize = 5003;
    static constexpr int kMaxBits = 12;
    static constexpr int kMaxMaxCode = 1 << kMaxBits;

    // Writer state: the pixel source, the hashed string table, the bit
    // accumulator and the pending data sub-block.
    struct Encoder {
        const BYTE* pixels = nullptr;
        std::size_t remaining = 0;
        std::int32_t hash[kHashSize];
        std::uint16_t codes[kHashSize];
        int freeCode = 0;
        int bits = 0;
        int maxCode = 0;
        int initBits = 0;
        int clearCode = 0;
        int endCode = 0;
        bool clearPending = false;
        std::uint32_t accumulator = 0;
        int accumulatorBits = 0;
        BYTE packet[256];
        int packetCount = 0;
        SafeFile* file = nullptr;
        bool writeErrorShown = false;
    };

    int NextPixel();
    void Compress(int initBits);
    void ClearHash();
    void Output(int code);
    void PacketByte(BYTE b);
    void FlushPacket();

    CDib* m_pDib = nullptr;
    std::string m_strError = "No Error";
    Encoder m_enc;
};
