// WebP through libwebp: still pictures and the first frame of animations,
// as a 24-bit picture; transparent pixels are laid over the view's
// background. The ICCP and EXIF chunks are honoured as for JPEG.
#include "formats/colourprofile.h"
#include "formats/orientation.h"
#include "picture/picture.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct Demux {
    WebPDemuxer* demux = nullptr;
    WebPIterator frame{};
    WebPChunkIterator icc{};
    WebPChunkIterator exif{};
    bool hasFrame = false, hasIcc = false, hasExif = false;
    ~Demux()
    {
        if (hasFrame)
            WebPDemuxReleaseIterator(&frame);
        if (hasIcc)
            WebPDemuxReleaseChunkIterator(&icc);
        if (hasExif)
            WebPDemuxReleaseChunkIterator(&exif);
        WebPDemuxDelete(demux);
    }
};

// Decodes a frame into rows of our own memory.
bool DecodeInto(const WebPData& bits, WEBP_CSP_MODE mode, BYTE* rows, int stride, std::size_t size, bool flip)
{
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return false;
    config.output.colorspace = mode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = rows;
    config.output.u.RGBA.stride = stride;
    config.output.u.RGBA.size = size;
    config.options.flip = flip ? 1 : 0;
    return WebPDecode(bits.bytes, bits.size, &config) == VP8_STATUS_OK;
}

// Decodes the frame straight into the picture's rows (bottom-up, so flipped).
bool DecodeOpaque(CPicture& picture, const WebPData& bits, ProfileToSrgb& profile)
{
    if (!DecodeInto(bits, MODE_BGR, picture.GetBits(), picture.GetRowBytes(), std::size_t(picture.GetImageSize()),
                    true))
        return false;
    for (int y = 0; y < picture.GetHeight(); ++y)
        profile.Convert(picture.GetRow(y), std::size_t(picture.GetWidth()), PixelOrder::Bgr);
    return true;
}

// Decodes a frame with transparency, or one that does not cover the canvas,
// and lays it over the background.
bool DecodeOver(CPicture& picture, const WebPIterator& frame, ProfileToSrgb& profile)
{
    const int fw = frame.width, fh = frame.height;
    const std::uint64_t bytes = std::uint64_t(fw) * std::uint64_t(fh) * 4;
    if (fw <= 0 || fh <= 0 || frame.x_offset < 0 || frame.y_offset < 0 || frame.x_offset + fw > picture.GetWidth() ||
        frame.y_offset + fh > picture.GetHeight() || bytes > 0x7FFFFFFFu)
        return false;
    std::unique_ptr<BYTE[]> bgra(new (std::nothrow) BYTE[std::size_t(bytes)]);
    if (!bgra)
        return false;
    if (!DecodeInto(frame.fragment, MODE_BGRA, bgra.get(), fw * 4, std::size_t(bytes), false))
        return false;
    profile.Convert(bgra.get(), std::size_t(fw) * std::size_t(fh), PixelOrder::Bgra);
    const DWORD background = AlphaBackground();
    const BYTE back[3] = {BYTE(background), BYTE(background >> 8), BYTE(background >> 16)};
    const int w = picture.GetWidth(), h = picture.GetHeight();
    for (int y = 0; y < h; ++y) {
        BYTE* out = picture.GetRow(h - 1 - y);
        for (int x = 0; x < w; ++x, out += 3)
            std::memcpy(out, back, 3);
    }
    for (int y = 0; y < fh; ++y) {
        const BYTE* in = bgra.get() + std::size_t(y) * std::size_t(fw) * 4;
        BYTE* out = picture.GetRow(h - 1 - (frame.y_offset + y)) + std::size_t(frame.x_offset) * 3;
        for (int x = 0; x < fw; ++x, in += 4, out += 3)
            for (int c = 0; c < 3; ++c)
                out[c] = OverBackground(in[c], in[3], back[c]);
    }
    return true;
}

bool Decode(CPicture& picture, const BYTE* data, std::size_t length, int* orientation, std::vector<BYTE>* kept)
{
    Demux d;
    const WebPData whole{data, length};
    d.demux = WebPDemux(&whole);
    if (!d.demux)
        return false;
    const std::uint32_t width = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_WIDTH);
    const std::uint32_t height = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_HEIGHT);
    d.hasFrame = WebPDemuxGetFrame(d.demux, 1, &d.frame) != 0;
    if (!d.hasFrame || !d.frame.complete || width == 0 || height == 0 || width > 0xFFFFFF || height > 0xFFFFFF)
        return false;
    if (!picture.CreateDib(int(width), int(height), 24, 1))
        return false;
    d.hasIcc = WebPDemuxGetChunk(d.demux, "ICCP", 1, &d.icc) != 0;
    d.hasExif = WebPDemuxGetChunk(d.demux, "EXIF", 1, &d.exif) != 0;
    ProfileToSrgb profile(d.hasIcc ? d.icc.chunk.bytes : nullptr, d.hasIcc ? d.icc.chunk.size : 0, false);
    const bool covers = d.frame.x_offset == 0 && d.frame.y_offset == 0 && std::uint32_t(d.frame.width) == width &&
                        std::uint32_t(d.frame.height) == height;
    const bool ok = covers && !d.frame.has_alpha ? DecodeOpaque(picture, d.frame.fragment, profile)
                                                 : DecodeOver(picture, d.frame, profile);
    if (ok && d.hasExif) {
        *orientation = ExifOrientation(d.exif.chunk.bytes, d.exif.chunk.size);
        if (d.exif.chunk.size <= kMaxKeptExif)
            kept->assign(d.exif.chunk.bytes, d.exif.chunk.bytes + d.exif.chunk.size);
    }
    return ok;
}

} // namespace

int CPicture::ReadWebp(const BYTE* data, std::size_t length)
{
    int orientation = 1;
    std::vector<BYTE> exif;
    const bool decoded = Decode(*this, data, length, &orientation, &exif);
    return UprightOrRefused(*this, decoded, orientation, std::move(exif));
}
