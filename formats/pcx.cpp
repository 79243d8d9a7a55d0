// PCX files: run-length coded rows, one plane of 1, 4 or 8 bits, planar
// 16-colour images (1 bit in 2 to 4 planes) and 24 bits in three planes.
// Written as 8-bit single-plane files with a 256-colour palette at the end.
#include "formats/bytereader.h"
#include "formats/safefile.h"
#include "picture/dib.h"
#include "picture/picture.h"
#include "platform/dibformat.h"

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

namespace {

struct PcxHeader {
    int version = 0;
    int bitsPerPlane = 0;
    int width = 0;
    int height = 0;
    int planes = 0;
    int bytesPerLine = 0;
    const BYTE* headerPalette = nullptr; // 16 entries, red, green, blue
    // Worked out by the validation.
    int depth = 0;
    const BYTE* endPalette = nullptr; // 256 entries after the 0x0C marker
    std::size_t dataEnd = 0;
};

// Null when the file is not PCX or its layout is not one we read.
bool ReadHeader(const BYTE* data, std::size_t length, PcxHeader* h)
{
    ByteReader in(data, length);
    const int manufacturer = in.U8();
    h->version = in.U8();
    in.Skip(1); // encoding: the data is always taken as run-length coded
    h->bitsPerPlane = in.U8();
    const int xmin = in.U16(), ymin = in.U16(), xmax = in.U16(), ymax = in.U16();
    in.Skip(4); // resolution
    h->headerPalette = in.Take(48);
    in.Skip(1);
    h->planes = in.U8();
    h->bytesPerLine = in.U16();
    in.Skip(2); // palette information: the palettes themselves say more
    in.Seek(kHeader);
    if (!in.Ok() || manufacturer != 10 || xmax < xmin || ymax < ymin)
        return false;
    h->width = xmax - xmin + 1;
    h->height = ymax - ymin + 1;
    return true;
}

bool Validate(PcxHeader& h, const BYTE* data, std::size_t length)
{
    // Which layout: depth of the picture we make from it.
    if (h.planes == 1 && (h.bitsPerPlane == 1 || h.bitsPerPlane == 4 || h.bitsPerPlane == 8))
        h.depth = h.bitsPerPlane;
    else if (h.bitsPerPlane == 1 && h.planes >= 2 && h.planes <= 4)
        h.depth = 4; // planar 16-colour
    else if (h.bitsPerPlane == 8 && h.planes == 3)
        h.depth = 24;
    else
        return false;
    if (std::int64_t(h.bytesPerLine) * 8 < std::int64_t(h.width) * h.bitsPerPlane)
        return false;
    // An 8-bit file keeps its palette in the last 769 bytes (0x0C, then
    // 768); the marker is not pixel data even when the runs fall short.
    h.dataEnd = length;
    if (h.depth == 8 && length < kHeader + kEndPalette)
        return false; // too short for any 8-bit file: other readers refuse it too
    if (h.depth == 8 && data[length - kEndPalette] == 0x0C) {
        h.endPalette = data + length - kEndPalette + 1;
        h.dataEnd = length - kEndPalette;
    }
    return DibSizeFor(h.width, h.height, h.depth);
}

// The colours of pictures of 8 bits or less: an 8-bit file's palette at its
// end, else the header's palette when it holds any colour; a file without
// either gets black and white (1 bit), the 16 standard colours of the
// 16-colour display adapters (4 bits) or a grey ramp (8 bits).
void SetColours(const PcxHeader& h, RGBQUAD* table)
{
    static const BYTE kStandard16[16][3] = {
        {0, 0, 0},       {0, 0, 170},     {0, 170, 0},    {0, 170, 170},  {170, 0, 0},    {170, 0, 170},
        {170, 85, 0},    {170, 170, 170}, {85, 85, 85},   {85, 85, 255},  {85, 255, 85},  {85, 255, 255},
        {255, 85, 85},   {255, 85, 255},  {255, 255, 85}, {255, 255, 255}};
    const int colours = 1 << h.depth;
    const bool headerColours = std::any_of(h.headerPalette, h.headerPalette + 48, [](BYTE b) { return b != 0; });
    const BYTE* triples = h.depth == 8 ? h.endPalette : headerColours ? h.headerPalette : nullptr;
    for (int m = 0; m < colours; ++m) {
        BYTE r, g, b;
        if (triples) {
            r = triples[3 * m], g = triples[3 * m + 1], b = triples[3 * m + 2];
        } else if (h.depth == 4) {
            r = kStandard16[m][0], g = kStandard16[m][1], b = kStandard16[m][2];
        } else {
            r = g = b = BYTE(m * 255 / (colours - 1));
        }
        table[m] = RGBQUAD{b, g, r, 0};
    }
}

// Each bit of a plane byte (pixel 0 in bit 7) moved to the lowest bit of its
// pixel's nibble in four bytes of a 4-bit row, pixel 0 in the high nibble of
// the first byte: bit 8 * (k / 2) + (k odd ? 0 : 4) for pixel k.
struct NibbleSpread {
    std::uint32_t of[256] = {};
    constexpr NibbleSpread()
    {
        for (int b = 0; b < 256; ++b)
            for (int k = 0; k < 8; ++k)
                if ((b >> (7 - k)) & 1)
                    of[b] |= std::uint32_t(1) << (8 * (k / 2) + (k % 2 ? 0 : 4));
    }
};
constexpr NibbleSpread kNibbleSpread;

// Planar 16-colour line to 4-bit pixels, eight at a time: plane p gives bit p
// of each pixel's colour index. Bits past the width are dropped.
void PlanesToNibbles(const BYTE* line, int bpl, int planes, int width, BYTE* row)
{
    for (int i = 0; 8 * i < width; ++i) {
        const int left = width - 8 * i;
        const BYTE keep = left >= 8 ? 0xFF : BYTE(0xFF << (8 - left));
        std::uint32_t word = 0;
        for (int p = 0; p < planes; ++p)
            word |= kNibbleSpread.of[line[std::size_t(p) * bpl + i] & keep] << p;
        const BYTE out[4] = {BYTE(word), BYTE(word >> 8), BYTE(word >> 16), BYTE(word >> 24)};
        std::memcpy(row + 4 * std::size_t(i), out, std::size_t(std::min(4, (left + 1) / 2)));
    }
}

// One decoded line (all planes) into picture row `row`.
void PlaceLine(const PcxHeader& h, const BYTE* line, BYTE* row, int rowBytes)
{
    const int bpl = h.bytesPerLine;
    if (h.depth == 24) {
        InterleavePlanes(row, line, line + bpl, line + 2 * bpl, h.width);
    } else if (h.planes > 1) {
        PlanesToNibbles(line, bpl, h.planes, h.width, row);
    } else {
        std::memcpy(row, line, std::min<std::size_t>(std::size_t(rowBytes), std::size_t(bpl)));
        // Padding bits past the width carry no pixels; keep them clear.
        const int usedBits = h.width * h.depth;
        if (usedBits % 8)
            row[usedBits / 8] &= BYTE(0xFF << (8 - usedBits % 8));
        for (int k = (usedBits + 7) / 8; k < rowBytes; ++k)
            row[k] = 0;
    }
}

} // namespace

int CPicture::ReadPcx(const BYTE* data, std::size_t length, int orientation)
{
    if (!data)
        return 0;
    PcxHeader h;
    if (!ReadHeader(data, length, &h) || !Validate(h, data, length))
        return 0;
    const std::size_t lineBytes = std::size_t(h.planes) * std::size_t(h.bytesPerLine);
    std::unique_ptr<BYTE[]> line(new (std::nothrow) BYTE[lineBytes]);
    if (!line || !CreateDib(h.width, h.height, h.depth, orientation))
        return 0;
    RunDecoder decoder(data + kHeader, h.dataEnd - kHeader);
    for (int j = 0; j < h.height; ++j) {
        // The new section starts black, so rows past the data need no work:
        // a huge header on a few bytes costs no more than its allocation.
        if (decoder.Exhausted())
            break;
        decoder.Fill(line.get(), lineBytes);
        PlaceLine(h, line.get(), GetRow(h.height - 1 - j), m_nRowBytes);
    }
    if (h.depth <= 8)
        SetColours(h, m_pColorTable);
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
