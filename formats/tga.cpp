// TGA files: colour-mapped, true-colour and grey images, raw or run-length
// coded, either row order. Written uncompressed with the version-2 footer.
#include "formats/bytereader.h"
#include "formats/safefile.h"
#include "picture/picture.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kHeader = 18;

} // namespace

int CPicture::ReadTga(const BYTE* data, std::size_t length, int orientation)
{
    if (!data || length < kHeader)
        return 0;
    ByteReader in(data, length);
    const int idLength = in.U8();
    const int mapType = in.U8();
    const int imageType = in.U8();
    const int mapFirst = in.U16();
    const int mapLength = in.U16();
    const int mapEntryBits = in.U8();
    in.Skip(4); // origin
    const int width = in.U16();
    const int height = in.U16();
    int depth = in.U8();
    const int descriptor = in.U8();
    if (depth == 15)
        depth = 16;
    if (width == 0 || height == 0)
        return 0;
    if (depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return 0;
    const int baseType = imageType & ~8;
    if (baseType != 1 && baseType != 2 && baseType != 3)
        return 0;
    const bool rle = (imageType & 8) != 0;
    const bool topDown = (descriptor & 0x20) != 0;

    in.Skip(std::size_t(idLength));
    std::size_t mapPos = in.Pos();
    std::size_t mapBytes = 0;
    if (mapType == 1) {
        if (mapEntryBits != 24 && mapEntryBits != 32)
            return 0;
        mapBytes = std::size_t(mapLength) * std::size_t(mapEntryBits / 8);
        in.Skip(mapBytes);
    }
    if (!in.Ok())
        return 0;

    // Everything is checked before the picture is made, so a refused file
    // leaves the picture empty.
    const std::size_t pixelBytes = std::size_t(depth) / 8;
    const std::size_t rowBytes = std::size_t(width) * pixelBytes;
    const std::size_t dataPos = in.Pos();
    if (!rle && std::uint64_t(rowBytes) * height > length - dataPos)
        return 0;
    // At best one run packet of 1 + pixel bytes covers 128 pixels; a header
    // promising more than that is refused before anything is allocated.
    const std::uint64_t pixels = std::uint64_t(width) * height;
    if (rle && (pixels + 127) / 128 * (1 + pixelBytes) > length - dataPos)
        return 0;

    if (!CreateDib(width, height, depth, orientation))
        return 0;
    auto rowFor = [&](int fileRow) { return GetRow(topDown ? height - 1 - fileRow : fileRow); };

    if (depth == 8) {
        if (mapType == 1 && depth <= 8) {
            const BYTE* map = data + mapPos;
            const int step = mapEntryBits / 8;
            for (int i = 0; i < mapLength; ++i) {
                const int entry = mapFirst + i;
                if (entry >= 256)
                    break; // clipped to the table
                m_pColorTable[entry] =
                    RGBQUAD{map[step * i], map[step * i + 1], map[step * i + 2], step == 4 ? map[step * i + 3] : BYTE(0)};
            }
        } else if (baseType == 3) {
            for (int i = 0; i < 256; ++i)
                m_pColorTable[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
        }
    }

    if (!rle) {
        for (int y = 0; y < height; ++y)
            std::memcpy(rowFor(y), data + dataPos + std::size_t(y) * rowBytes, rowBytes);
        return 1;
    }

    // Run-length packets; a packet may run on into the next row.
    const std::uint64_t total = std::uint64_t(width) * height;
    std::uint64_t done = 0;
    std::size_t pos = dataPos;
    BYTE pixel[4] = {};
    while (done < total) {
        if (pos >= length) {
            Clear();
            return 0;
        }
        const BYTE packet = data[pos++];
        const int count = (packet & 0x7F) + 1;
        const bool repeat = (packet & 0x80) != 0;
        if (repeat) {
            if (length - pos < pixelBytes) {
                Clear();
                return 0;
            }
            std::memcpy(pixel, data + pos, pixelBytes);
            pos += pixelBytes;
        } else if (length - pos < pixelBytes * std::size_t(count)) {
            Clear();
            return 0;
        }
        for (int k = 0; k < count && done < total; ++k, ++done) {
            const int y = int(done / std::uint64_t(width));
            const int x = int(done % std::uint64_t(width));
            BYTE* dst = rowFor(y) + std::size_t(x) * pixelBytes;
            if (repeat) {
                std::memcpy(dst, pixel, pixelBytes);
            } else {
                std::memcpy(dst, data + pos, pixelBytes);
                pos += pixelBytes;
            }
        }
    }
    return 1;
}

int CPicture::WriteTga(const std::string& path)
{
    if (!m_pBits)
        return 0;
    const bool mapped = m_nBitCount <= 8;
    const int mapEntries = mapped ? 1 << m_nBitCount : 0;
    BYTE header[kHeader] = {};
    header[1] = mapped ? 1 : 0;
    header[2] = mapped ? 1 : 2;
    PutU16(header + 5, WORD(mapEntries));
    header[7] = mapped ? 32 : 0;
    PutU16(header + 12, WORD(m_nWidth));
    PutU16(header + 14, WORD(m_nHeight));
    header[16] = BYTE(m_nBitCount);
    if (m_nWidth > 0xFFFF || m_nHeight > 0xFFFF)
        return 0; // the format's sizes are 16-bit

    SafeFile file;
    if (!file.Open(path))
        return 0;
    file.Write(header, sizeof header);
    if (mapped) {
        RGBQUAD table[256] = {};
        if (m_pColorTable)
            std::memcpy(table, m_pColorTable, sizeof(RGBQUAD) * std::size_t(std::min(m_nColors, mapEntries)));
        file.Write(table, sizeof(RGBQUAD) * std::size_t(mapEntries));
    }
    // Rows of 1 and 4 bits are rounded up so that no pixel is lost.
    const std::size_t rowBytes = (std::size_t(m_nWidth) * std::size_t(m_nBitCount) + 7) / 8;
    for (int y = 0; y < m_nHeight; ++y)
        file.Write(GetRow(y), rowBytes);
    BYTE footer[26] = {};
    std::memcpy(footer + 8, "TRUEVISION-XFILE", 16);
    file.Write(footer, sizeof footer);
    return file.Commit() ? 1 : 0;
}
