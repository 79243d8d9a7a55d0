// PCX files: run-length coded rows, one plane of 1, 4 or 8 bits, planar
// 16-colour images (1 bit in 2 to 4 planes) and 24 bits in three planes.
// Written as 8-bit single-plane files with a 256-colour palette at the end.
#include "formats/bytereader.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kHeader = 128;
constexpr std::size_t kEndPalette = 769;

// Run-length decoder that carries a run across row ends, as the writers
// intend. Each call fills `n` bytes; what the data does not reach is zero
// (black).
class RunDecoder {
public:
    RunDecoder(const BYTE* in, std::size_t length) : m_in(in), m_length(length) {}

    void Fill(BYTE* out, std::size_t n)
    {
        std::size_t o = 0;
        if (m_pending) {
            const std::size_t count = std::min<std::size_t>(m_pending, n);
            std::memset(out, m_value, count);
            o = count;
            m_pending -= count;
        }
        // One byte at a time: photographs are mostly literals and single
        // escaped bytes, where a plain store beats any call.
        const BYTE* in = m_in;
        const std::size_t length = m_length;
        std::size_t pos = m_pos;
        while (o < n && pos < length) {
            const BYTE b = in[pos];
            if (b < 0xC0) {
                out[o++] = b;
                ++pos;
                continue;
            }
            if (pos + 1 >= length) {
                pos = length; // a run byte without its value
                break;
            }
            const BYTE value = in[pos + 1];
            pos += 2;
            std::size_t count = b & 0x3F;
            if (count > n - o) {
                m_pending = count - (n - o);
                m_value = value;
                count = n - o;
            }
            if (count == 1)
                out[o] = value;
            else
                std::memset(out + o, value, count);
            o += count;
        }
        m_pos = pos;
        if (o < n)
            std::memset(out + o, 0, n - o);
    }

    // Nothing left to give: every further row would be black.
    bool Exhausted() const { return m_pending == 0 && m_pos >= m_length; }

private:
    const BYTE* m_in;
    std::size_t m_length;
    std::size_t m_pos = 0;
    std::size_t m_pending = 0;
    BYTE m_value = 0;
};

} // namespace

int CPicture::ReadPcx(const BYTE* data, std::size_t length, int orientation)
{
    if (!data || length < kHeader || data[0] != 10)
        return 0;
    ByteReader in(data, length);
    in.Seek(1);
    const int version = in.U8();
    in.Skip(1);
    const int bitsPerPlane = in.U8();
    const int xmin = in.U16(), ymin = in.U16(), xmax = in.U16(), ymax = in.U16();
    const int planes = data[65];
    in.Seek(66);
    const int bytesPerLine = in.U16();
    const int paletteInfo = in.U16();
    if (xmax < xmin || ymax < ymin)
        return 0;
    const int width = xmax - xmin + 1;
    const int height = ymax - ymin + 1;

    // Which layout: depth of the picture we make from it.
    int depth;
    if (planes == 1 && (bitsPerPlane == 1 || bitsPerPlane == 4 || bitsPerPlane == 8))
        depth = bitsPerPlane;
    else if (bitsPerPlane == 1 && planes >= 2 && planes <= 4)
        depth = 4; // planar 16-colour
    else if (bitsPerPlane == 8 && planes == 3)
        depth = 24;
    else
        return 0;
    if (std::int64_t(bytesPerLine) * 8 < std::int64_t(width) * bitsPerPlane)
        return 0;
    if (depth == 8 && planes == 1 && length < kHeader + kEndPalette)
        return 0;

    // An 8-bit file keeps its palette in the last 769 bytes (0x0C, then 768);
    // the marker is not pixel data even when the runs fall short.
    const std::size_t dataEnd = depth == 8 && planes == 1 ? length - kEndPalette : length;
    const std::size_t lineBytes = std::size_t(planes) * std::size_t(bytesPerLine);
    std::unique_ptr<BYTE[]> line(new (std::nothrow) BYTE[lineBytes]);
    if (!line)
        return 0;
    if (!CreateDib(width, height, depth, orientation))
        return 0;
    RunDecoder decoder(data + kHeader, dataEnd - kHeader);
    for (int j = 0; j < height; ++j) {
        // The new section starts black, so rows past the data need no work:
        // a huge header on a few bytes costs no more than its allocation.
        if (decoder.Exhausted())
            break;
        decoder.Fill(line.get(), lineBytes);
        BYTE* row = GetRow(height - 1 - j);
        if (depth == 24) {
            const BYTE* r = line.get();
            const BYTE* g = r + bytesPerLine;
            const BYTE* b = g + bytesPerLine;
            for (int x = 0; x < width; ++x) {
                row[3 * x] = b[x];
                row[3 * x + 1] = g[x];
                row[3 * x + 2] = r[x];
            }
        } else if (planes > 1) {
            // Plane p gives bit p of each pixel's colour index.
            for (int x = 0; x < width; ++x) {
                int index = 0;
                for (int p = 0; p < planes; ++p)
                    index |= ((line[std::size_t(p) * bytesPerLine + x / 8] >> (7 - x % 8)) & 1) << p;
                row[x / 2] |= BYTE(x % 2 ? index : index << 4);
            }
        } else {
            std::memcpy(row, line.get(), std::min<std::size_t>(std::size_t(m_nRowBytes), std::size_t(bytesPerLine)));
            // Padding bits past the width carry no pixels; keep them clear.
            const int usedBits = width * depth;
            if (usedBits % 8)
                row[usedBits / 8] &= BYTE(0xFF << (8 - usedBits % 8));
            for (int k = (usedBits + 7) / 8; k < m_nRowBytes; ++k)
                row[k] = 0;
        }
    }
    if (depth > 8)
        return 1;

    const int colours = 1 << depth;
    if (paletteInfo > 1) {
        for (int m = 0; m < colours; ++m) {
            const BYTE v = BYTE(m * (256 / colours));
            m_pColorTable[m] = RGBQUAD{v, v, v, 0};
        }
    } else if (version == 3) {
        std::vector<PALETTEENTRY> system(256);
        GetSystemPaletteEntries(GetDC(nullptr), 0, 256, system.data());
        for (int m = 0; m < colours; ++m)
            m_pColorTable[m] = RGBQUAD{system[m].peBlue, system[m].peGreen, system[m].peRed, system[m].peFlags};
    } else {
        const BYTE* triples = depth <= 4 ? data + 16 : data + length - 768;
        for (int m = 0; m < colours; ++m) {
            m_pColorTable[m].rgbRed = triples[3 * m];
            m_pColorTable[m].rgbGreen = triples[3 * m + 1];
            m_pColorTable[m].rgbBlue = triples[3 * m + 2];
        }
    }
    return 1;
}

namespace {

// Run-length codes the first `width` bytes of a row.
void EncodeRow(const BYTE* row, int width, std::vector<BYTE>& out)
{
    int i = 0;
    while (i < width) {
        int j = 0;
        while (i + j + 1 < width && row[i + j] == row[i + j + 1] && j < 63)
            ++j;
        if (j > 0) {
            out.push_back(BYTE(0xC0 + j));
            out.push_back(row[i]);
            i += j;
        } else {
            if (row[i] >= 0xC0)
                out.push_back(0xC1);
            out.push_back(row[i]);
            ++i;
        }
    }
}

} // namespace

int CPicture::WritePcx(const std::string& path, CDib* dib)
{
    if (!dib || dib->IsEmpty())
        return 0;
    HGLOBAL copy = CopyDibHandle(dib->GetHandle());
    if (!copy)
        return 0;
    CDib work;
    work.Attach(copy);
    if (work.GetBitCount() != 8 && !work.ConvertBitCount(8))
        return 0;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(work.GetHandle()));
    if (!h)
        return 0;
    const int width = DibWidth(h);
    const int height = DibHeight(h) < 0 ? -DibHeight(h) : DibHeight(h);
    const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const BYTE*>(h) + h->biSize);
    const int tableEntries = DibNumColors(h);
    const BYTE* bits = DibBits(h);
    const std::size_t stride = DibRowBytes(h);

    BYTE header[kHeader] = {};
    header[0] = 10;
    header[1] = 5;
    header[2] = 1;
    header[3] = 8;
    PutU16(header + 8, WORD(width - 1));
    PutU16(header + 10, WORD(height - 1));
    header[16 + 3] = header[16 + 4] = header[16 + 5] = 255;
    header[65] = 1;
    PutU16(header + 66, WORD(width));
    PutU16(header + 68, 1);

    SafeFile file;
    if (!file.Open(path)) {
        GlobalUnlock(work.GetHandle());
        return 0;
    }
    file.Write(header, sizeof header);
    std::vector<BYTE> encoded;
    encoded.reserve(std::size_t(width) * 2 + 2);
    for (int y = height - 1; y >= 0; --y) {
        encoded.clear();
        const BYTE* row = DibHeight(h) < 0 ? bits + std::size_t(height - 1 - y) * stride : bits + std::size_t(y) * stride;
        EncodeRow(row, width, encoded);
        if (!file.Write(encoded.data(), encoded.size()))
            break;
    }
    BYTE palette[kEndPalette] = {0x0C};
    for (int i = 0; i < 256 && i < tableEntries; ++i) {
        palette[1 + 3 * i] = table[i].rgbRed;
        palette[2 + 3 * i] = table[i].rgbGreen;
        palette[3 + 3 * i] = table[i].rgbBlue;
    }
    file.Write(palette, sizeof palette);
    GlobalUnlock(work.GetHandle());
    return file.Commit() ? 1 : 0;
}
