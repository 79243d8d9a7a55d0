// Windows bitmap files: uncompressed, 40-byte info header.
#include "formats/bytereader.h"
#include "formats/messages.h"
#include "formats/safefile.h"
#include "picture/picture.h"

#include <cstring>

namespace {

constexpr const char* kDamaged = "BMP文件已损坏或不完整!";
constexpr const char* kUnsupportedCompression = "BMP文件的压缩方式不受支持!";
constexpr std::size_t kHeadersSize = 54;

int Refuse(const char* message)
{
    AfxMessageBox(message);
    return 0;
}

} // namespace

int CPicture::ReadBmp(const BYTE* data, std::size_t length, int orientation, int depthCheck)
{
    if (!data || length < kHeadersSize)
        return Refuse(kDamaged);
    ByteReader in(data, length);
    const WORD type = in.U16();
    in.Skip(8); // size and reserved words are not trusted
    const DWORD offBits = in.U32();
    const DWORD infoSize = in.U32();
    const LONG width = in.I32();
    const LONG height = in.I32();
    in.Skip(2); // planes
    const int bitCount = in.U16();
    const DWORD compression = in.U32();
    in.Skip(3 * 4); // image size, resolutions
    DWORD clrUsed = in.U32();

    if (type != 0x4D42)
        return Refuse("bfh.bfType != 'MB'");
    if (infoSize != 40)
        return Refuse("bih.biSize != sizeof(bih)");
    if (compression == BI_RLE8 || compression == BI_RLE4)
        return Refuse("bih.biCompression == BI_RLE8 || bih.biCompression == BI_RLE4");
    if (compression != BI_RGB && compression != BI_BITFIELDS)
        return Refuse(kUnsupportedCompression);

    // Everything the copy steps will read must be inside the file.
    const std::int64_t rows = height < 0 ? -std::int64_t(height) : std::int64_t(height);
    if (width <= 0 || rows <= 0 || rows > 0x7FFFFFFF)
        return Refuse(kDamaged);
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32)
        return Refuse(kDamaged);
    if (bitCount > 8)
        clrUsed = 0; // no colour table for deep pictures
    else if (clrUsed > (1u << bitCount))
        return Refuse(kDamaged);
    const std::uint64_t stride = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
    const std::uint64_t image = stride * std::uint64_t(rows);
    if (image > 0x7FFFFFFFull)
        return Refuse(kDamaged);
    const std::uint64_t colors = bitCount <= 8 ? (clrUsed ? clrUsed : (1u << bitCount)) : 0;
    if (kHeadersSize + colors * 4 > length)
        return Refuse(kDamaged);
    if (offBits > length || image > length - offBits)
        return Refuse(kDamaged);

    const int created = depthCheck ? CreateDibChecked(width, static_cast<int>(rows), bitCount)
                                   : CreateDib(width, static_cast<int>(rows), bitCount, orientation);
    if (!created)
        return Refuse(kDamaged); // the pixels could not be allocated
    if (clrUsed)
        m_nColors = static_cast<int>(clrUsed);
    if (m_nColors >= 1 && m_nColors <= 256)
        std::memcpy(m_pColorTable, data + kHeadersSize, static_cast<std::size_t>(m_nColors) * 4);

    const BYTE* source = data + offBits;
    if (height > 0) {
        std::memcpy(m_pBits, source, static_cast<std::size_t>(m_nImageSize));
    } else {
        // Top-down file: the first stored row is the top row as seen.
        for (int row = 0; row < m_nHeight; ++row)
            std::memcpy(GetRow(m_nHeight - 1 - row), source + std::size_t(row) * std::size_t(m_nRowBytes),
                        static_cast<std::size_t>(m_nRowBytes));
    }
    return 1;
}

int CPicture::WriteBmp(const std::string& path)
{
    if (!m_pBits)
        return 0;
    const bool masks = m_nBitCount == 16;
    const int colors = m_nBitCount <= 8 ? m_nColors : 0;
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
        PutU32(header + 54, 0x7C00);
        PutU32(header + 58, 0x03E0);
        PutU32(header + 62, 0x001F);
        headerBytes += 12;
    }

    SafeFile file;
    if (!file.Open(path))
        return 0;
    file.Write(header, headerBytes);
    if (colors)
        file.Write(m_pColorTable, static_cast<std::size_t>(colors) * 4);
    file.Write(m_pBits, static_cast<std::size_t>(m_nImageSize));
    return file.Commit() ? 1 : 0;
}
