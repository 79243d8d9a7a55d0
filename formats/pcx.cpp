// PCX files: run-length coded rows, one plane of 1, 4 or 8 bits, planar
// 16-colour images (1 bit in 2 to 4 planes) and 24 bits in three planes.
// Written as 8-bit single-plane files with a 256-colour palette at the end.
#include "formats/bytereader.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <tmmintrin.h>
#define KORVEX_PCX_SSSE3 1
#endif

namespace {

constexpr std::size_t kHeader = 128;
constexpr std::size_t kEndPalette = 769;

// Which of 64 bytes are flag bytes (0xC0 and above): bit i for in[i].
std::uint64_t HighBytes(const BYTE* in)
{
#if defined(__SSE2__)
    const __m128i top = _mm_set1_epi8(static_cast<char>(0xC0));
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 16 * k));
        const auto bits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, top), top)));
        mask |= std::uint64_t(bits) << (16 * k);
    }
    return mask;
#else
    std::uint64_t mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= std::uint64_t(in[i] >= 0xC0) << i;
    return mask;
#endif
}

#if defined(KORVEX_PCX_SSSE3)
// Three planes of 16 bytes give 48 bytes of B, G, R: output byte k of the
// three vectors is byte k / 3 of plane k % 3 (blue first).
struct InterleaveMasks {
    alignas(16) BYTE select[3][3][16];
    InterleaveMasks()
    {
        for (int v = 0; v < 3; ++v)
            for (int plane = 0; plane < 3; ++plane)
                for (int k = 0; k < 16; ++k) {
                    const int at = 16 * v + k;
                    select[v][plane][k] = BYTE(at % 3 == plane ? at / 3 : 0x80);
                }
    }
};

__attribute__((target("ssse3"))) int InterleaveSsse3(BYTE* bgr, const BYTE* r, const BYTE* g, const BYTE* b, int width)
{
    static const InterleaveMasks masks;
    __m128i m[3][3];
    for (int v = 0; v < 3; ++v)
        for (int plane = 0; plane < 3; ++plane)
            m[v][plane] = _mm_load_si128(reinterpret_cast<const __m128i*>(masks.select[v][plane]));
    int x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + x));
        const __m128i vg = _mm_loadu_si128(reinterpret_cast<const __m128i*>(g + x));
        const __m128i vr = _mm_loadu_si128(reinterpret_cast<const __m128i*>(r + x));
        for (int v = 0; v < 3; ++v) {
            const __m128i out = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(vb, m[v][0]), _mm_shuffle_epi8(vg, m[v][1])),
                                             _mm_shuffle_epi8(vr, m[v][2]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(bgr + 3 * std::size_t(x) + 16 * std::size_t(v)), out);
        }
    }
    return x;
}
#endif

// A row of 24-bit pixels from its red, green and blue planes.
void InterleavePlanes(BYTE* bgr, const BYTE* r, const BYTE* g, const BYTE* b, int width)
{
    int x = 0;
#if defined(KORVEX_PCX_SSSE3)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3)
        x = InterleaveSsse3(bgr, r, g, b, width);
#endif
    for (; x < width; ++x) {
        bgr[3 * x] = b[x];
        bgr[3 * x + 1] = g[x];
        bgr[3 * x + 2] = r[x];
    }
}

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
        const BYTE* in = m_in;
        const std::size_t length = m_length;
        std::size_t pos = m_pos;
        while (o < n && pos < length) {
            if (length - pos >= kBlockReach && n - o >= 2 * kCopy) {
                const std::size_t before = pos;
                Block(pos, out, o, n);
                if (pos != before)
                    continue;
            }
            // One token at a time near the ends of the row and of the data.
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
    static constexpr std::size_t kBlock = 64;
    static constexpr std::size_t kCopy = 16;
    // Input a block may read: its own bytes, the value of a run at its last
    // byte and a whole copy from its last literal.
    static constexpr std::size_t kBlockReach = kBlock + kCopy + 1;

    // The 64 bytes at pos, taken a stretch of literals and then one run at a
    // time: where the next flag byte stands comes from a mask of all of them,
    // the literals before it move 16 at a time and a run stores 8 copies of
    // its value, so the mix of literals and runs costs little guessing.
    // Stops at a stretch or run that would not fit the row with that much to
    // spare; the caller goes on from there one byte at a time.
    void Block(std::size_t& pos, BYTE* out, std::size_t& o, std::size_t n) const
    {
        const BYTE* block = m_in + pos;
        const std::uint64_t high = HighBytes(block);
        std::size_t p = 0;
        while (p < kBlock) {
            const std::size_t span =
                std::min<std::size_t>(kBlock - p, static_cast<std::size_t>(std::countr_zero(high >> p)));
            if (n - o < span + kCopy)
                break;
            std::memcpy(out + o, block + p, kCopy);
            if (span > kCopy)
                std::memcpy(out + o + kCopy, block + p + kCopy, span - kCopy);
            o += span;
            p += span;
            if (p >= kBlock)
                break;
            const std::size_t count = block[p] & 0x3F;
            const BYTE value = block[p + 1];
            if (n - o < count + 8)
                break;
            const std::uint64_t eight = value * 0x0101010101010101ull;
            std::memcpy(out + o, &eight, sizeof eight);
            if (count > 8)
                std::memset(out + o, value, count);
            o += count;
            p += 2;
        }
        pos += p;
    }

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
            InterleavePlanes(row, r, g, g + bytesPerLine, width);
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
    // The source may be the picture on screen: it is only read, and a picture
    // of another depth is converted into a new block.
    CDib converted;
    HGLOBAL handle = dib->GetHandle();
    if (dib->GetBitCount() != 8) {
        HGLOBAL eight = ConvertDib(handle, 8, nullptr);
        if (!eight || !converted.Attach(eight))
            return 0;
        handle = converted.GetHandle();
    }
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(handle));
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
        GlobalUnlock(handle);
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
    GlobalUnlock(handle);
    return file.Commit() ? 1 : 0;
}
