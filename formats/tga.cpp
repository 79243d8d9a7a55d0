// TGA files: colour-mapped, true-colour and grey images, raw or run-length
// coded, either row order. Written uncompressed with the version-2 footer.
#include "formats/bytereader.h"
#include "formats/safefile.h"
#include "picture/picture.h"
#include "platform/dibformat.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kHeader = 18;

struct TgaHeader {
    int idLength = 0;
    int mapType = 0;
    int imageType = 0;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int descriptor = 0;
    // Worked out by the validation.
    bool rle = false;
    bool mapUsed = false;
    std::size_t mapPos = 0;
    std::size_t dataPos = 0;
    std::size_t rowBytes = 0;   // raw bytes of one stored row
    std::size_t pixelBytes = 0; // bytes of one run-length pixel
};

TgaHeader ReadHeader(ByteReader& in)
{
    TgaHeader h;
    h.idLength = in.U8();
    h.mapType = in.U8();
    h.imageType = in.U8();
    h.mapFirst = in.U16();
    h.mapLength = in.U16();
    h.mapEntryBits = in.U8();
    in.Skip(4); // origin
    h.width = in.U16();
    h.height = in.U16();
    h.depth = in.U8();
    h.descriptor = in.U8();
    if (h.depth == 15)
        h.depth = 16;
    return h;
}

// Checks the header against the data before anything is allocated and works
// out where map and pixels lie. False refuses the file.
bool Validate(TgaHeader& h, std::size_t length)
{
    const int baseType = h.imageType & ~8;
    h.rle = (h.imageType & 8) != 0;
    if (h.width == 0 || h.height == 0 || (baseType != 1 && baseType != 2 && baseType != 3))
        return false;
    // 1 and 4 bits: the uncompressed colour-mapped files earlier versions wrote.
    const bool packed = (h.depth == 1 || h.depth == 4) && baseType == 1 && !h.rle;
    if (!packed && h.depth != 8 && h.depth != 16 && h.depth != 24 && h.depth != 32)
        return false;
    h.mapUsed = h.mapType == 1 && h.depth <= 8;
    if (h.mapUsed && h.mapEntryBits != 15 && h.mapEntryBits != 16 && h.mapEntryBits != 24 && h.mapEntryBits != 32)
        return false;
    h.mapPos = kHeader + std::size_t(h.idLength);
    // A map the pixels do not use is only skipped, whatever its entries.
    const std::size_t mapBytes = h.mapType == 1 ? std::size_t(h.mapLength) * ((h.mapEntryBits + 7) / 8) : 0;
    h.dataPos = h.mapPos + mapBytes;
    if (h.dataPos > length)
        return false;
    h.pixelBytes = std::size_t(h.depth + 7) / 8;
    h.rowBytes = (std::size_t(h.width) * std::size_t(h.depth) + 7) / 8;
    const std::uint64_t available = length - h.dataPos;
    if (!h.rle)
        return std::uint64_t(h.rowBytes) * std::uint64_t(h.height) <= available;
    // At best one run packet of 1 + pixel bytes covers 128 pixels; a header
    // promising more than that is refused.
    const std::uint64_t pixels = std::uint64_t(h.width) * std::uint64_t(h.height);
    return (pixels + 127) / 128 * (1 + h.pixelBytes) <= available;
}

// Map entries into the picture's table; entries past it are dropped.
void ReadColourMap(const TgaHeader& h, const BYTE* map, RGBQUAD* table, int tableSize)
{
    const std::size_t step = std::size_t(h.mapEntryBits + 7) / 8;
    const MaskedChannel red(0x7C00), green(0x03E0), blue(0x001F);
    for (int i = 0; i < h.mapLength && h.mapFirst + i < tableSize; ++i, map += step) {
        RGBQUAD& entry = table[h.mapFirst + i];
        if (step == 2) {
            const DWORD word = DWORD(map[0] | (map[1] << 8));
            entry = RGBQUAD{blue(word), green(word), red(word), 0};
        } else {
            entry = RGBQUAD{map[0], map[1], map[2], step == 4 ? map[3] : BYTE(0)};
        }
    }
}

// Run-length packets; a packet may run on into the next row. False when the
// data ends before the picture is full.
template <class RowFor>
bool DecodeRuns(const TgaHeader& h, const BYTE* data, std::size_t length, RowFor rowFor)
{
    const std::uint64_t total = std::uint64_t(h.width) * std::uint64_t(h.height);
    const std::size_t pixelBytes = h.pixelBytes;
    std::uint64_t done = 0;
    std::size_t pos = h.dataPos;
    while (done < total) {
        if (pos >= length)
            return false;
        const BYTE packet = data[pos++];
        const std::size_t count = (packet & 0x7Fu) + 1;
        const bool repeat = (packet & 0x80) != 0;
        if (length - pos < pixelBytes * (repeat ? 1 : count))
            return false;
        for (std::size_t k = 0; k < count && done < total; ++k, ++done) {
            const int y = int(done / std::uint64_t(h.width));
            const std::size_t x = std::size_t(done % std::uint64_t(h.width));
            std::memcpy(rowFor(y) + x * pixelBytes, data + pos, pixelBytes);
            if (!repeat)
                pos += pixelBytes;
        }
        if (repeat)
            pos += pixelBytes;
    }
    return true;
}

} // namespace

int CPicture::ReadTga(const BYTE* data, std::size_t length, int orientation)
{
    if (!data || length < kHeader)
        return 0;
    ByteReader in(data, length);
    TgaHeader h = ReadHeader(in);
    if (!in.Ok() || !Validate(h, length))
        return 0;
    // Everything is checked before the picture is made, so a refused file
    // leaves the picture empty.
    if (!CreateDib(h.width, h.height, h.depth, orientation))
        return 0;
    if (h.mapUsed)
        ReadColourMap(h, data + h.mapPos, m_pColorTable, m_nColors);
    else if (h.depth == 8 && (h.imageType & ~8) == 3)
        for (int i = 0; i < 256; ++i)
            m_pColorTable[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};

    const bool topDown = (h.descriptor & 0x20) != 0;
    auto rowFor = [&](int fileRow) { return GetRow(topDown ? h.height - 1 - fileRow : fileRow); };
    if (h.rle) {
        if (!DecodeRuns(h, data, length, rowFor)) {
            Clear();
            return 0;
        }
        return 1;
    }
    for (int y = 0; y < h.height; ++y)
        std::memcpy(rowFor(y), data + h.dataPos + std::size_t(y) * h.rowBytes, h.rowBytes);
    return 1;
}

namespace {

// True when no pixel of a 32-bit picture has a non-zero fourth byte: the
// byte is then padding, not transparency.
bool FourthBytesAllZero(const CPicture& p)
{
    for (int y = 0; y < p.GetHeight(); ++y) {
        const BYTE* row = p.GetRow(y);
        for (int x = 0; x < p.GetWidth(); ++x)
            if (row[4 * x + 3])
                return false;
    }
    return true;
}

// One stored row as written: 1- and 4-bit indices spread to a byte each,
// padding of 32-bit pixels made opaque.
void FileRow(const CPicture& p, int y, bool opaque, std::vector<BYTE>& out)
{
    const BYTE* row = p.GetRow(y);
    const int depth = p.GetBitCount();
    if (depth == 1 || depth == 4) {
        for (int x = 0; x < p.GetWidth(); ++x)
            out[std::size_t(x)] = depth == 1 ? BYTE((row[x / 8] >> (7 - x % 8)) & 1) : BYTE((row[x / 2] >> (x % 2 ? 0 : 4)) & 15);
        return;
    }
    std::memcpy(out.data(), row, out.size());
    if (depth == 32 && opaque)
        for (std::size_t i = 3; i < out.size(); i += 4)
            out[i] = 0xFF;
}

} // namespace

int CPicture::WriteTga(const std::string& path)
{
    if (!m_pBits)
        return 0;
    if (m_nWidth > 0xFFFF || m_nHeight > 0xFFFF)
        return 0; // the format's sizes are 16-bit
    // 1- and 4-bit pictures are written with a byte per index, which every
    // reader takes, and the same colours.
    const bool mapped = m_nBitCount <= 8;
    const int mapEntries = mapped ? 1 << m_nBitCount : 0;
    const int fileDepth = mapped ? 8 : m_nBitCount;
    BYTE header[kHeader] = {};
    header[1] = mapped ? 1 : 0;
    header[2] = mapped ? 1 : 2;
    PutU16(header + 5, WORD(mapEntries));
    header[7] = mapped ? 32 : 0;
    PutU16(header + 12, WORD(m_nWidth));
    PutU16(header + 14, WORD(m_nHeight));
    header[16] = BYTE(fileDepth);
    header[17] = m_nBitCount == 32 ? 8 : 0; // eight alpha bits
    const bool opaque = m_nBitCount == 32 && FourthBytesAllZero(*this);

    std::vector<BYTE> row;
    try {
        row.resize(std::size_t(m_nWidth) * std::size_t(fileDepth) / 8);
    } catch (const std::bad_alloc&) {
        return 0;
    }
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
    for (int y = 0; y < m_nHeight; ++y) {
        FileRow(*this, y, opaque, row);
        file.Write(row.data(), row.size());
    }
    BYTE footer[26] = {};
    std::memcpy(footer + 8, "TRUEVISION-XFILE", 16);
    file.Write(footer, sizeof footer);
    return file.Commit() ? 1 : 0;
}
