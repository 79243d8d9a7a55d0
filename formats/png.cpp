// PNG through libspng. Palette and grey files stay pictures with a colour
// table (2-bit ones widened to 4 bits, the nearest depth a DIB has); colour,
// 16-bit and transparent files become 24-bit pictures, transparent pixels
// laid over the view's background. An embedded colour profile is applied and
// an EXIF orientation turns the picture upright. Saving writes the EXIF block
// the picture was loaded with, rewritten for the saved pixels.
#include "formats/colourprofile.h"
#include "formats/orientation.h"
#include "formats/safefile.h"
#include "picture/picture.h"

#include <spng.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

struct SpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using Spng = std::unique_ptr<spng_ctx, SpngFree>;

// Ancillary chunks (text, profiles, EXIF) larger than this are dropped.
constexpr std::size_t kChunkLimit = 64u << 20;
constexpr std::size_t kChunkCache = 256u << 20;

enum class Layout {
    Packed, // palette or grey of 8 bits or fewer: indexes as stored
    Rgb,    // colour without transparency
    Rgba,   // everything else, with the transparency applied
};

struct Decoded {
    spng_ihdr ihdr{};
    Layout layout = Layout::Packed;
    int bitCount = 0;    // of the picture
    bool grey = false;   // the pixels are grey levels
    bool wide = false;   // Rgba rows come as 16-bit samples
    std::size_t rowLength = 0;
};

int PictureDepth(int pngDepth)
{
    return pngDepth == 1 ? 1 : pngDepth <= 4 ? 4 : 8;
}

// One decoded row (top-down number `y`) into the picture.
void StoreRow(CPicture& picture, const Decoded& d, BYTE* in, std::uint32_t y, ProfileToSrgb& profile,
              DWORD background)
{
    const std::uint32_t w = d.ihdr.width;
    BYTE* out = picture.GetRow(picture.GetHeight() - 1 - int(y));
    switch (d.layout) {
    case Layout::Packed:
        if (d.ihdr.bit_depth == 2) {
            for (std::uint32_t x = 0; x < w; x += 2) {
                const unsigned a = (in[x / 4] >> (6 - 2 * (x % 4))) & 3u;
                const unsigned b = x + 1 < w ? (in[x / 4] >> (4 - 2 * (x % 4))) & 3u : 0;
                out[x / 2] = BYTE(a << 4 | b);
            }
        } else {
            std::memcpy(out, in, (std::size_t(w) * d.ihdr.bit_depth + 7) / 8);
        }
        break;
    case Layout::Rgb:
        profile.Convert(in, w, PixelOrder::Rgb);
        for (std::uint32_t x = 0; x < w; ++x, in += 3, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
        break;
    case Layout::Rgba: {
        if (d.wide) {
            // 16 bits to 8, rounded (the library would truncate). In place:
            // each byte written lies behind the samples still to be read.
            for (std::size_t i = 0; i < std::size_t(w) * 4; ++i) {
                std::uint16_t v;
                std::memcpy(&v, in + 2 * i, 2);
                in[i] = BYTE((v * 255u + 32767u) / 65535u);
            }
        }
        profile.Convert(in, w, PixelOrder::Rgba);
        const unsigned br = (background >> 16) & 0xFF, bg = (background >> 8) & 0xFF, bb = background & 0xFF;
        if (picture.GetBitCount() == 8) { // grey over a grey background
            for (std::uint32_t x = 0; x < w; ++x, in += 4)
                out[x] = OverBackground(in[0], in[3], br);
            break;
        }
        for (std::uint32_t x = 0; x < w; ++x, in += 4, out += 3) {
            out[0] = OverBackground(in[2], in[3], bb);
            out[1] = OverBackground(in[1], in[3], bg);
            out[2] = OverBackground(in[0], in[3], br);
        }
        break;
    }
    }
}

// The colour table of a palette or grey picture, with its profile and
// transparency applied.
bool FillColourTable(spng_ctx* ctx, const Decoded& d, CPicture& picture, ProfileToSrgb& profile, DWORD background)
{
    RGBQUAD* table = picture.GetColorTable();
    const unsigned levels = 1u << d.ihdr.bit_depth;
    BYTE rgb[256 * 3] = {};
    BYTE alpha[256];
    std::memset(alpha, 255, sizeof alpha);
    spng_trns trns{};
    const bool hasTrns = spng_get_trns(ctx, &trns) == 0;
    if (d.grey) {
        for (unsigned i = 0; i < levels; ++i)
            rgb[i * 3] = rgb[i * 3 + 1] = rgb[i * 3 + 2] = BYTE(i * 255 / (levels - 1));
        if (hasTrns && trns.gray < levels)
            alpha[trns.gray] = 0;
    } else {
        spng_plte plte{};
        if (spng_get_plte(ctx, &plte) != 0)
            return false;
        for (unsigned i = 0; i < plte.n_entries && i < 256; ++i) {
            rgb[i * 3] = plte.entries[i].red;
            rgb[i * 3 + 1] = plte.entries[i].green;
            rgb[i * 3 + 2] = plte.entries[i].blue;
        }
        if (hasTrns)
            for (unsigned i = 0; i < trns.n_type3_entries && i < 256; ++i)
                alpha[i] = trns.type3_alpha[i];
    }
    profile.Convert(rgb, levels, PixelOrder::Rgb);
    for (unsigned i = 0; i < levels; ++i) {
        table[i].rgbRed = OverBackground(rgb[i * 3], alpha[i], (background >> 16) & 0xFF);
        table[i].rgbGreen = OverBackground(rgb[i * 3 + 1], alpha[i], (background >> 8) & 0xFF);
        table[i].rgbBlue = OverBackground(rgb[i * 3 + 2], alpha[i], background & 0xFF);
    }
    return true;
}

void FillGreyRamp(CPicture& picture)
{
    RGBQUAD* table = picture.GetColorTable();
    for (int i = 0; i < 256; ++i)
        table[i].rgbRed = table[i].rgbGreen = table[i].rgbBlue = BYTE(i);
}

bool Decode(CPicture& picture, const BYTE* data, std::size_t length, int* orientation, std::vector<BYTE>* kept)
{
    Spng ctx(spng_ctx_new(0));
    if (!ctx)
        return false;
    spng_ctx* c = ctx.get();
    spng_set_chunk_limits(c, kChunkLimit, kChunkCache);
    if (spng_set_png_buffer(c, data, length) != 0)
        return false;
    Decoded d;
    if (spng_get_ihdr(c, &d.ihdr) != 0)
        return false;
    const int type = d.ihdr.color_type;
    spng_trns trns{};
    const bool hasTrns = spng_get_trns(c, &trns) == 0;
    d.grey = type == SPNG_COLOR_TYPE_GRAYSCALE || type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA;
    int format = SPNG_FMT_RGBA8;
    int flags = SPNG_DECODE_TRNS;
    if (type == SPNG_COLOR_TYPE_INDEXED || (type == SPNG_COLOR_TYPE_GRAYSCALE && d.ihdr.bit_depth <= 8)) {
        d.layout = Layout::Packed;
        d.bitCount = PictureDepth(d.ihdr.bit_depth);
        format = SPNG_FMT_PNG;
        flags = 0;
    } else if (type == SPNG_COLOR_TYPE_TRUECOLOR && !hasTrns && d.ihdr.bit_depth == 8) {
        d.layout = Layout::Rgb;
        d.bitCount = 24;
        format = SPNG_FMT_RGB8;
        flags = 0;
    } else {
        d.layout = Layout::Rgba;
        const DWORD bg = AlphaBackground();
        const bool neutral = ((bg >> 16) & 0xFF) == (bg & 0xFF) && ((bg >> 8) & 0xFF) == (bg & 0xFF);
        d.bitCount = d.grey && neutral ? 8 : 24;
        d.wide = d.ihdr.bit_depth == 16;
        if (d.wide)
            format = SPNG_FMT_RGBA16;
    }
    std::size_t imageBytes = 0;
    if (spng_decoded_image_size(c, format, &imageBytes) != 0 || d.ihdr.height == 0)
        return false;
    d.rowLength = imageBytes / d.ihdr.height;
    // The picture is made (its size checked) before anything else is allocated.
    if (d.ihdr.width > 0x7FFFFFFFu || d.ihdr.height > 0x7FFFFFFFu ||
        !picture.CreateDib(int(d.ihdr.width), int(d.ihdr.height), d.bitCount, 1))
        return false;
    if (spng_decode_image(c, nullptr, 0, format, flags | SPNG_DECODE_PROGRESSIVE) != 0)
        return false;
    // The profile chunk comes before the pixels, so it is known by now.
    spng_iccp iccp{};
    const bool hasProfile = spng_get_iccp(c, &iccp) == 0;
    ProfileToSrgb profile(hasProfile ? reinterpret_cast<const BYTE*>(iccp.profile) : nullptr,
                          hasProfile ? iccp.profile_len : 0, d.grey);
    const DWORD background = AlphaBackground();
    if (d.layout == Layout::Packed) {
        if (!FillColourTable(c, d, picture, profile, background))
            return false;
    } else if (d.bitCount == 8) {
        FillGreyRamp(picture);
    }
    // Interlaced rows arrive in passes, so they need the whole image at hand.
    const bool interlaced = d.ihdr.interlace_method != 0;
    const std::size_t scratchBytes = interlaced ? imageBytes : d.rowLength;
    if (scratchBytes > 0x7FFFFFFFu)
        return false;
    // Zeroed: passes of packed pixels are ORed into their rows.
    std::unique_ptr<BYTE[]> scratch(new (std::nothrow) BYTE[scratchBytes]());
    if (!scratch)
        return false;
    for (;;) {
        spng_row_info row{};
        if (spng_get_row_info(c, &row) != 0)
            return false;
        BYTE* target = scratch.get() + (interlaced ? std::size_t(row.row_num) * d.rowLength : 0);
        const int result = spng_decode_row(c, target, d.rowLength);
        if (result != 0 && result != SPNG_EOI)
            return false;
        if (!interlaced)
            StoreRow(picture, d, target, row.row_num, profile, background);
        if (result == SPNG_EOI)
            break;
    }
    if (interlaced)
        for (std::uint32_t y = 0; y < d.ihdr.height; ++y)
            StoreRow(picture, d, scratch.get() + std::size_t(y) * d.rowLength, y, profile, background);
    spng_exif exif{};
    if (spng_get_exif(c, &exif) == 0) {
        const auto* bytes = reinterpret_cast<const BYTE*>(exif.data);
        *orientation = ExifOrientation(bytes, exif.length);
        if (exif.length <= kMaxKeptExif)
            kept->assign(bytes, bytes + exif.length);
    }
    return true;
}

// Whether a colour table is the plain grey ramp of its depth.
bool IsGreyRamp(const RGBQUAD* table, int bitCount)
{
    const int levels = 1 << bitCount;
    for (int i = 0; i < levels; ++i) {
        const int v = i * 255 / (levels - 1);
        if (table[i].rgbRed != v || table[i].rgbGreen != v || table[i].rgbBlue != v)
            return false;
    }
    return true;
}

} // namespace

int CPicture::ReadPng(const BYTE* data, std::size_t length)
{
    int orientation = 1;
    std::vector<BYTE> exif;
    const bool decoded = Decode(*this, data, length, &orientation, &exif);
    return UprightOrRefused(*this, decoded, orientation, std::move(exif));
}

int CPicture::WritePng(const std::string& path)
{
    if (!m_pBits || m_nWidth <= 0 || m_nHeight <= 0)
        return 0;
    const int depth = m_nBitCount;
    const bool indexed = depth <= 8 && m_pColorTable;
    if (depth <= 8 && !indexed)
        return 0;
    spng_ihdr ihdr{};
    ihdr.width = std::uint32_t(m_nWidth);
    ihdr.height = std::uint32_t(m_nHeight);
    ihdr.bit_depth = BYTE(indexed ? depth : 8);
    const bool grey = indexed && IsGreyRamp(m_pColorTable, depth);
    ihdr.color_type = BYTE(grey ? SPNG_COLOR_TYPE_GRAYSCALE
                                : indexed ? SPNG_COLOR_TYPE_INDEXED : SPNG_COLOR_TYPE_TRUECOLOR);
    Spng ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    if (!ctx)
        return 0;
    spng_ctx* c = ctx.get();
    SafeFile target;
    std::FILE* file = target.Open(path);
    if (!file)
        return 0;
    spng_set_png_file(c, file);
    spng_set_ihdr(c, &ihdr);
    if (indexed && !grey) {
        // Only as many entries as the pixels use: PNG readers refuse an index
        // beyond the palette, and a short palette keeps small files small.
        int used = 0;
        for (int y = 0; y < m_nHeight; ++y) {
            const BYTE* row = GetRow(y);
            for (int x = 0; x < m_nWidth; ++x) {
                const int index = depth == 8 ? row[x]
                                  : depth == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15
                                               : (row[x / 8] >> (7 - (x & 7))) & 1;
                if (index >= used)
                    used = index + 1;
            }
        }
        spng_plte plte{};
        plte.n_entries = std::uint32_t(used);
        for (int i = 0; i < used; ++i) {
            plte.entries[i].red = m_pColorTable[i].rgbRed;
            plte.entries[i].green = m_pColorTable[i].rgbGreen;
            plte.entries[i].blue = m_pColorTable[i].rgbBlue;
        }
        spng_set_plte(c, &plte);
    }
    // The chunk holds the TIFF block without the APP1 segment's "Exif\0\0".
    std::vector<BYTE> exif = ExifForSaving(m_exif, m_nWidth, m_nHeight);
    if (exif.size() > 6) {
        spng_exif chunk{exif.size() - 6, reinterpret_cast<char*>(exif.data() + 6)};
        spng_set_exif(c, &chunk);
    }
    // Filters rarely pay for indexes; for colour the library picks per row.
    if (indexed)
        spng_set_option(c, SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
    if (spng_encode_image(c, nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE) != 0)
        return 0;
    const std::size_t rowLength = indexed ? (std::size_t(m_nWidth) * depth + 7) / 8 : std::size_t(m_nWidth) * 3;
    std::unique_ptr<BYTE[]> rgb(indexed ? nullptr : new (std::nothrow) BYTE[rowLength]);
    if (!indexed && !rgb)
        return 0;
    int result = 0;
    for (int y = m_nHeight - 1; y >= 0; --y) {
        const BYTE* in = GetRow(y);
        const BYTE* row = in;
        if (!indexed) {
            BYTE* out = rgb.get();
            for (int x = 0; x < m_nWidth; ++x, out += 3) {
                if (depth == 16) {
                    const unsigned v = unsigned(in[2 * x]) | unsigned(in[2 * x + 1]) << 8;
                    out[0] = BYTE(((v >> 10) & 31) * 255 / 31);
                    out[1] = BYTE(((v >> 5) & 31) * 255 / 31);
                    out[2] = BYTE((v & 31) * 255 / 31);
                } else {
                    const BYTE* p = in + std::size_t(x) * (depth / 8);
                    out[0] = p[2];
                    out[1] = p[1];
                    out[2] = p[0];
                }
            }
            row = rgb.get();
        }
        result = spng_encode_row(c, row, rowLength);
        if (result != 0 && result != SPNG_EOI)
            return 0;
    }
    if (result != SPNG_EOI)
        return 0;
    ctx.reset(); // the library is done with the stream
    return target.Commit() ? 1 : 0;
}
