#include "formats/orientation.h"

#include "picture/picture.h"

#include <libexif/exif-data.h>

#include <cstring>
#include <memory>
#include <new>
#include <vector>

int ExifOrientation(const BYTE* data, std::size_t size)
{
    static const BYTE kHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (!data || size < 8 || size > 0xFFFFFFFFu)
        return 1;
    // libexif wants the JPEG form: give a bare TIFF block its header.
    std::vector<BYTE> withHeader;
    if (std::memcmp(data, kHeader, sizeof kHeader) != 0) {
        withHeader.assign(kHeader, kHeader + sizeof kHeader);
        withHeader.insert(withHeader.end(), data, data + size);
        data = withHeader.data();
        size = withHeader.size();
    }
    ExifData* exif = exif_data_new();
    if (!exif)
        return 1;
    // Read what is there; do not add the tags the standard asks for.
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, data, unsigned(size));
    int orientation = 1;
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data && entry->size >= 2) {
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif));
        if (value >= 1 && value <= 8)
            orientation = value;
    }
    exif_data_unref(exif);
    return orientation;
}

namespace {

// Where upright pixel (x, y) comes from, both counted from the top-left
// corner: source = origin + x * alongX + y * alongY.
struct Walk {
    long originX, originY;
    long xx, xy; // source step for one upright column
    long yx, yy; // source step for one upright row
};

Walk WalkFor(int orientation, long w, long h)
{
    switch (orientation) {
    case 2: return {w - 1, 0, -1, 0, 0, 1};     // mirrored left to right
    case 3: return {w - 1, h - 1, -1, 0, 0, -1}; // upside down
    case 4: return {0, h - 1, 1, 0, 0, -1};     // mirrored top to bottom
    case 5: return {0, 0, 0, 1, 1, 0};          // mirrored along the diagonal
    case 6: return {0, h - 1, 0, -1, 1, 0};     // lying with its top to the right
    case 7: return {w - 1, h - 1, 0, -1, -1, 0}; // mirrored along the other diagonal
    case 8: return {w - 1, 0, 0, 1, -1, 0};     // lying with its top to the left
    default: return {0, 0, 1, 0, 0, 1};
    }
}

template <int Bits>
inline unsigned GetPixel(const BYTE* row, long x)
{
    if constexpr (Bits == 1)
        return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    else
        return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u;
}

template <int Bits>
inline void PutPixel(BYTE* row, long x, unsigned v)
{
    if constexpr (Bits == 1)
        row[x >> 3] = BYTE(row[x >> 3] | (v << (7 - (x & 7))));
    else
        row[x >> 1] = BYTE(row[x >> 1] | (v << ((x & 1) ? 0 : 4)));
}

template <int Bits>
void Orient(const BYTE* src, std::ptrdiff_t srcStride, long w, long h, const Walk& walk, BYTE* dst,
            std::ptrdiff_t dstStride, long uw, long uh)
{
    for (long y = 0; y < uh; ++y) {
        BYTE* out = dst + dstStride * (uh - 1 - y);
        long sx = walk.originX + y * walk.yx;
        long sy = walk.originY + y * walk.yy;
        for (long x = 0; x < uw; ++x, sx += walk.xx, sy += walk.xy) {
            const BYTE* in = src + srcStride * (h - 1 - sy);
            if constexpr (Bits >= 8) {
                constexpr int n = Bits / 8;
                std::memcpy(out + x * n, in + sx * n, n);
            } else {
                PutPixel<Bits>(out, x, GetPixel<Bits>(in, sx));
            }
        }
    }
    (void)w;
}

} // namespace

void OrientPixels(const BYTE* src, std::ptrdiff_t srcStride, int w, int h, int bitCount, int orientation, BYTE* dst,
                  std::ptrdiff_t dstStride)
{
    const Walk walk = WalkFor(orientation, w, h);
    const bool swap = OrientationSwapsSides(orientation);
    const long uw = swap ? h : w, uh = swap ? w : h;
    switch (bitCount) {
    case 1: Orient<1>(src, srcStride, w, h, walk, dst, dstStride, uw, uh); break;
    case 4: Orient<4>(src, srcStride, w, h, walk, dst, dstStride, uw, uh); break;
    case 8: Orient<8>(src, srcStride, w, h, walk, dst, dstStride, uw, uh); break;
    case 24: Orient<24>(src, srcStride, w, h, walk, dst, dstStride, uw, uh); break;
    case 32: Orient<32>(src, srcStride, w, h, walk, dst, dstStride, uw, uh); break;
    default: break;
    }
}

int OrientPicture(CPicture& picture, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return 1;
    const int w = picture.GetWidth(), h = picture.GetHeight(), depth = picture.GetBitCount();
    const int colours = picture.GetColorCount();
    const std::ptrdiff_t stride = picture.GetRowBytes();
    RGBQUAD table[256];
    if (depth <= 8)
        std::memcpy(table, picture.GetColorTable(), sizeof(RGBQUAD) << depth);
    std::unique_ptr<BYTE[]> old(new (std::nothrow) BYTE[std::size_t(picture.GetImageSize())]);
    if (!old) {
        picture.Clear();
        return 0;
    }
    std::memcpy(old.get(), picture.GetBits(), std::size_t(picture.GetImageSize()));
    const bool swap = OrientationSwapsSides(orientation);
    if (!picture.CreateDib(swap ? h : w, swap ? w : h, depth, 1))
        return 0;
    if (depth <= 8) {
        std::memcpy(picture.GetColorTable(), table, sizeof(RGBQUAD) << depth);
        picture.m_nColors = colours;
    }
    OrientPixels(old.get(), stride, w, h, depth, orientation, picture.GetBits(), picture.GetRowBytes());
    return 1;
}

int UprightOrRefused(CPicture& picture, bool decoded, int orientation)
{
    if (!decoded) {
        picture.Clear();
        return 0;
    }
    return OrientPicture(picture, orientation);
}
