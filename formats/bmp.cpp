// Windows bitmap files: the 40-byte info header and the longer ones that add
// masks and colour-space fields, the 12-byte core header; rows stored plainly,
// through bit-field masks, or run-length coded at 4 and 8 bits.
#include "formats/bytereader.h"
#include "formats/messages.h"
#include "formats/safefile.h"
#include "picture/picture.h"
#include "platform/dibformat.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kDamaged = "BMP文件已损坏或不完整!";
constexpr const char* kUnsupportedCompression = "BMP文件的压缩方式不受支持!";
constexpr std::size_t kFileHeader = 14;
constexpr std::size_t kHeadersSize = 54;
constexpr DWORD kMasks16[3] = {0x7C00, 0x03E0, 0x001F};
constexpr DWORD kMasks32[3] = {0xFF0000, 0x00FF00, 0x0000FF};

int Refuse(const char* message)
{
    AfxMessageBox(message);
    return 0;
}

struct BmpHeader {
    DWORD offBits = 0;
    DWORD infoSize = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: top-down rows
    int bitCount = 0;
    DWORD compression = BI_RGB;
    DWORD clrUsed = 0;
    DWORD masks[4] = {}; // red, green, blue, alpha
    std::size_t tablePos = 0;
    std::size_t tableEntry = 4; // 3 after a core header
    int colours = 0;            // colour-table entries the file holds
    int rows = 0;
};

bool KnownInfoSize(DWORD size)
{
    return size == 12 || size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// The two headers, and the masks where the file has them. Null when the
// fields could be read; otherwise the message to show.
const char* ReadHeader(const BYTE* data, std::size_t length, BmpHeader* h)
{
    ByteReader in(data, length);
    const WORD type = in.U16();
    in.Skip(8); // size and reserved words are not trusted
    h->offBits = in.U32();
    h->infoSize = in.U32();
    if (!in.Ok())
        return kDamaged;
    if (type != 0x4D42)
        return "bfh.bfType != 'MB'";
    if (!KnownInfoSize(h->infoSize))
        return "bih.biSize != sizeof(bih)";
    if (h->infoSize == 12) {
        h->width = in.U16();
        h->height = in.U16();
        in.Skip(2); // planes
        h->bitCount = in.U16();
        h->tableEntry = 3;
    } else {
        h->width = in.I32();
        h->height = in.I32();
        in.Skip(2); // planes
        h->bitCount = in.U16();
        h->compression = in.U32();
        in.Skip(3 * 4); // image size, resolutions
        h->clrUsed = in.U32();
        in.Skip(4); // important colours
        // Masks follow a 40-byte header only for bit-field files; longer
        // headers hold them (and from 56 bytes on an alpha mask) themselves.
        if (h->infoSize > 40 || h->compression == BI_BITFIELDS)
            for (int i = 0; i < 3; ++i)
                h->masks[i] = in.U32();
        if (h->infoSize >= 56)
            h->masks[3] = in.U32();
    }
    h->tablePos = kFileHeader + h->infoSize + (h->infoSize == 40 && h->compression == BI_BITFIELDS ? 12 : 0);
    return in.Ok() ? nullptr : kDamaged;
}

bool IsRle(const BmpHeader& h)
{
    return h.compression == BI_RLE8 || h.compression == BI_RLE4;
}

// Everything the pixel steps will read lies inside the file and the picture
// can be made: checked before anything is allocated.
const char* Validate(BmpHeader& h, std::size_t length)
{
    if (h.compression != BI_RGB && h.compression != BI_BITFIELDS && !IsRle(h))
        return kUnsupportedCompression;
    if (!DibSizeFor(h.width, h.height, h.bitCount))
        return kDamaged;
    h.rows = static_cast<int>(h.height < 0 ? -h.height : h.height);
    if (IsRle(h) && (h.bitCount != (h.compression == BI_RLE8 ? 8 : 4) || h.height < 0))
        return kDamaged; // run-length rows are 8 or 4 bits and always bottom-up
    if (h.bitCount > 8)
        h.colours = 0; // no colour table for deep pictures
    else if (h.clrUsed > (1u << h.bitCount))
        return kDamaged;
    else
        h.colours = h.clrUsed ? int(h.clrUsed) : 1 << h.bitCount;
    if (h.tablePos + std::uint64_t(h.colours) * h.tableEntry > length || h.offBits > length)
        return kDamaged;
    const std::uint64_t image = DibStride(std::uint64_t(h.width), unsigned(h.bitCount)) * std::uint64_t(h.rows);
    if (!IsRle(h) && image > length - h.offBits)
        return kDamaged;
    if (h.bitCount == 16 || h.bitCount == 32) {
        const DWORD* standard = h.bitCount == 16 ? kMasks16 : kMasks32;
        if (h.compression != BI_BITFIELDS || !(h.masks[0] | h.masks[1] | h.masks[2]))
        {
            std::memcpy(h.masks, standard, 3 * sizeof(DWORD));
            h.masks[3] = 0; // masks count only for bit-field files
        }
    }
    return nullptr;
}

// Pixels whose layout is the picture's own: everything but bit-field words
// with other than the standard masks of their depth.
bool StoredAsIs(const BmpHeader& h)
{
    if (h.bitCount == 16)
        return !std::memcmp(h.masks, kMasks16, sizeof kMasks16) && !h.masks[3];
    if (h.bitCount == 32)
        return !std::memcmp(h.masks, kMasks32, sizeof kMasks32) && (h.masks[3] == 0 || h.masks[3] == 0xFF000000);
    return true;
}

// Other bit-field pixels are widened to 24 bits, or to 32 when the file has
// an alpha mask.
int PictureDepth(const BmpHeader& h)
{
    return StoredAsIs(h) ? h.bitCount : h.masks[3] ? 32 : 24;
}

// Picture row for the n-th row stored in the file.
BYTE* RowOfFile(const CPicture& p, const BmpHeader& h, int fileRow)
{
    return p.GetRow(h.height > 0 ? fileRow : h.rows - 1 - fileRow);
}

void CopyRows(CPicture& p, const BmpHeader& h, const BYTE* source)
{
    const std::size_t stride = std::size_t(p.GetRowBytes());
    if (h.height > 0) {
        std::memcpy(p.GetBits(), source, stride * std::size_t(h.rows));
        return;
    }
    for (int row = 0; row < h.rows; ++row)
        std::memcpy(RowOfFile(p, h, row), source + std::size_t(row) * stride, stride);
}

void UnpackMaskedRows(CPicture& p, const BmpHeader& h, const BYTE* source)
{
    const MaskedChannel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]), alpha(h.masks[3]);
    const std::size_t fileStride = DibStride(std::uint64_t(h.width), unsigned(h.bitCount));
    const int bytesIn = h.bitCount / 8;
    const int bytesOut = p.GetBitCount() / 8;
    for (int row = 0; row < h.rows; ++row) {
        const BYTE* in = source + std::size_t(row) * fileStride;
        BYTE* out = RowOfFile(p, h, row);
        for (std::int64_t x = 0; x < h.width; ++x, in += bytesIn, out += bytesOut) {
            DWORD w = DWORD(in[0]) | (DWORD(in[1]) << 8);
            if (bytesIn == 4)
                w |= (DWORD(in[2]) << 16) | (DWORD(in[3]) << 24);
            out[0] = blue(w);
            out[1] = green(w);
            out[2] = red(w);
            if (bytesOut == 4)
                out[3] = alpha(w);
        }
    }
}

// Run-length coded rows, bottom row first. Runs and literal stretches that
// pass the right edge are cut there; a delta or an end of line moves on; the
// end of the bitmap or of the data ends decoding, and pixels never reached
// keep index 0.
class RleDecoder {
public:
    RleDecoder(CPicture& p, bool fourBits) : m_p(p), m_four(fourBits) {}

    void Decode(const BYTE* in, std::size_t n)
    {
        std::size_t pos = 0;
        while (pos + 2 <= n && m_y < std::uint64_t(m_p.GetHeight())) {
            const BYTE count = in[pos], value = in[pos + 1];
            pos += 2;
            if (count) {
                for (int i = 0; i < count; ++i)
                    Put(m_four ? (i & 1 ? value & 0x0F : value >> 4) : value);
            } else if (value == 0) {
                m_x = 0;
                ++m_y;
            } else if (value == 1) {
                return;
            } else if (value == 2) {
                if (pos + 2 > n)
                    return;
                m_x += in[pos];
                m_y += in[pos + 1];
                pos += 2;
            } else {
                const std::size_t bytes = m_four ? (value + 1u) / 2 : value;
                for (int i = 0; i < value && pos + std::size_t(m_four ? i / 2 : i) < n; ++i) {
                    const BYTE b = in[pos + std::size_t(m_four ? i / 2 : i)];
                    Put(m_four ? (i & 1 ? b & 0x0F : b >> 4) : b);
                }
                pos += (bytes + 1) & ~std::size_t(1); // literal stretches end on a word
            }
        }
    }

private:
    void Put(int index)
    {
        if (m_x < std::uint64_t(m_p.GetWidth()) && m_y < std::uint64_t(m_p.GetHeight())) {
            BYTE* row = m_p.GetRow(int(m_y));
            if (!m_four)
                row[m_x] = BYTE(index);
            else if (m_x & 1)
                row[m_x / 2] = BYTE((row[m_x / 2] & 0xF0) | index);
            else
                row[m_x / 2] = BYTE((row[m_x / 2] & 0x0F) | (index << 4));
        }
        ++m_x;
    }

    CPicture& m_p;
    bool m_four;
    std::uint64_t m_x = 0;
    std::uint64_t m_y = 0;
};

} // namespace

int CPicture::ReadBmp(const BYTE* data, std::size_t length, int orientation, int depthCheck)
{
    if (!data || length < kFileHeader + 12)
        return Refuse(kDamaged);
    BmpHeader h;
    if (const char* refusal = ReadHeader(data, length, &h))
        return Refuse(refusal);
    if (const char* refusal = Validate(h, length))
        return Refuse(refusal);

    const int depth = PictureDepth(h);
    const int width = static_cast<int>(h.width);
    const int created =
        depthCheck ? CreateDibChecked(width, h.rows, depth) : CreateDib(width, h.rows, depth, orientation);
    if (!created)
        return Refuse(kDamaged); // the pixels could not be allocated
    if (h.colours) {
        m_nColors = h.colours;
        const BYTE* table = data + h.tablePos;
        for (int i = 0; i < h.colours; ++i, table += h.tableEntry)
            m_pColorTable[i] = RGBQUAD{table[0], table[1], table[2], h.tableEntry == 4 ? table[3] : BYTE(0)};
    }

    const BYTE* source = data + h.offBits;
    if (IsRle(h))
        RleDecoder(*this, h.compression == BI_RLE4).Decode(source, length - h.offBits);
    else if (StoredAsIs(h))
        CopyRows(*this, h, source);
    else
        UnpackMaskedRows(*this, h, source);
    return 1;
}

int CPicture::WriteBmp(const std::string& path)
{
    if (!m_pBits)
        return 0;
    const bool masks = m_nBitCount == 16;
    // The table covers every index the depth allows: a short source table
    // is filled up with black, so no pixel points past it.
    const int colors = m_nBitCount <= 8 ? 1 << m_nBitCount : 0;
    const DWORD offBits = static_cast<DWORD>(kHeadersSize + 4 * colors + (masks ? 12 : 0));
    BYTE header[kHeadersSize + 12] = {};
    header[0] = 'B';
    header[1] = 'M';
    PutU32(header + 2, offBits + static_cast<DWORD>(m_nImageSize));
    PutU32(header + 10, offBits);
    PutU32(header + 14, 40);
    PutU32(header + 18, static_cast<DWORD>(m_nWidth));
    PutU32(header + 22, static_cast<DWORD>(m_nHeight));
    PutU16(header + 26, 1);
    PutU16(header + 28, static_cast<WORD>(m_nBitCount));
    PutU32(header + 30, masks ? BI_BITFIELDS : BI_RGB);
    PutU32(header + 34, static_cast<DWORD>(m_nImageSize));
    PutU32(header + 46, static_cast<DWORD>(colors));
    std::size_t headerBytes = kHeadersSize;
    if (masks) {
        for (int i = 0; i < 3; ++i)
            PutU32(header + 54 + 4 * i, kMasks16[i]);
        headerBytes += 12;
    }

    RGBQUAD table[256] = {};
    if (colors && m_pColorTable)
        std::memcpy(table, m_pColorTable, sizeof(RGBQUAD) * std::size_t(std::min(m_nColors, colors)));
    SafeFile file;
    if (!file.Open(path))
        return 0;
    file.Write(header, headerBytes);
    if (colors)
        file.Write(table, static_cast<std::size_t>(colors) * 4);
    file.Write(m_pBits, static_cast<std::size_t>(m_nImageSize));
    return file.Commit() ? 1 : 0;
}
