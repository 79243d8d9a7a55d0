#include "formats/orientation.h"

#include "picture/picture.h"

#include <libexif/exif-data.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace {

const BYTE kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// A block in either form in the APP1 form libexif reads, or empty when it
// is too short to hold a TIFF header.
std::vector<BYTE> InApp1Form(const BYTE* data, std::size_t size)
{
    if (!data || size < 8 || size > 0xFFFFFFFFu - sizeof kExifHeader)
        return {};
    std::vector<BYTE> block;
    block.reserve(size + sizeof kExifHeader);
    if (std::memcmp(data, kExifHeader, sizeof kExifHeader) != 0)
        block.assign(kExifHeader, kExifHeader + sizeof kExifHeader);
    block.insert(block.end(), data, data + size);
    return block;
}

// The block read as it is (the tags the standard asks for are not added),
// or null.
ExifData* ReadExif(const std::vector<BYTE>& block, ExifMem* mem)
{
    if (block.size() < sizeof kExifHeader + 8)
        return nullptr;
    ExifData* exif = exif_data_new_mem(mem);
    if (!exif)
        return nullptr;
    exif_data_unset_option(exif, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_load_data(exif, block.data(), unsigned(block.size()));
    return exif;
}

struct ExifMemRelease {
    void operator()(ExifMem* mem) const { exif_mem_unref(mem); }
};
struct ExifDataRelease {
    void operator()(ExifData* exif) const { exif_data_unref(exif); }
};

// Replaces the tag in `ifd` by one number of `format` (SHORT or LONG).
bool PutNumber(ExifData* exif, ExifMem* mem, ExifIfd ifd, ExifTag tag, ExifFormat format, std::uint32_t value)
{
    ExifContent* content = exif->ifd[ifd];
    if (ExifEntry* old = exif_content_get_entry(content, tag))
        exif_content_remove_entry(content, old);
    ExifEntry* entry = exif_entry_new_mem(mem);
    if (!entry)
        return false;
    const unsigned size = exif_format_get_size(format);
    entry->data = static_cast<unsigned char*>(exif_mem_alloc(mem, size));
    if (!entry->data) {
        exif_entry_unref(entry);
        return false;
    }
    entry->tag = tag;
    entry->format = format;
    entry->components = 1;
    entry->size = size;
    const ExifByteOrder order = exif_data_get_byte_order(exif);
    if (format == EXIF_FORMAT_SHORT)
        exif_set_short(entry->data, order, ExifShort(value));
    else
        exif_set_long(entry->data, order, value);
    exif_content_add_entry(content, entry);
    exif_entry_unref(entry);
    return true;
}

// A pixel size tag, where the block has one, says `value`: as a SHORT when
// it was one and the value fits, as a LONG otherwise.
bool PutPixelSize(ExifData* exif, ExifMem* mem, ExifTag tag, int value)
{
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_EXIF], tag);
    if (!entry)
        return true;
    const bool shortFits = entry->format == EXIF_FORMAT_SHORT && value <= 0xFFFF;
    return PutNumber(exif, mem, EXIF_IFD_EXIF, tag, shortFits ? EXIF_FORMAT_SHORT : EXIF_FORMAT_LONG,
                     std::uint32_t(value));
}

} // namespace

int ExifOrientation(const BYTE* data, std::size_t size)
{
    std::unique_ptr<ExifMem, ExifMemRelease> mem(exif_mem_new_default());
    if (!mem)
        return 1;
    std::unique_ptr<ExifData, ExifDataRelease> exif(ReadExif(InApp1Form(data, size), mem.get()));
    if (!exif)
        return 1;
    int orientation = 1;
    ExifEntry* entry = exif_content_get_entry(exif->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->data && entry->size >= 2) {
        const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
        if (value >= 1 && value <= 8)
            orientation = value;
    }
    return orientation;
}

std::vector<BYTE> ExifForSaving(const std::vector<BYTE>& kept, int width, int height)
{
    const std::vector<BYTE> block = InApp1Form(kept.data(), kept.size());
    // libexif reads anything; only a TIFF header makes it an EXIF block. Of
    // a longer block than a segment holds it reads the start and drops the
    // rest without a word, so such a block is not read at all.
    const std::size_t at = sizeof kExifHeader;
    if (block.size() < at + 8 || block.size() > kMaxExifSegment + 1 || width <= 0 || height <= 0 ||
        (std::memcmp(&block[at], "II*\0", 4) != 0 && std::memcmp(&block[at], "MM\0*", 4) != 0))
        return {};
    std::unique_ptr<ExifMem, ExifMemRelease> mem(exif_mem_new_default());
    if (!mem)
        return {};
    std::unique_ptr<ExifData, ExifDataRelease> exif(ReadExif(block, mem.get()));
    if (!exif || (!exif->ifd[EXIF_IFD_0]->count && !exif->ifd[EXIF_IFD_EXIF]->count && !exif->ifd[EXIF_IFD_GPS]->count))
        return {};
    ExifData* e = exif.get();
    // The pixels are saved upright, and a thumbnail would show them as they
    // were.
    ExifContent* thumbnailIfd = e->ifd[EXIF_IFD_1];
    while (thumbnailIfd->count)
        exif_content_remove_entry(thumbnailIfd, thumbnailIfd->entries[thumbnailIfd->count - 1]);
    exif_mem_free(mem.get(), e->data);
    e->data = nullptr;
    e->size = 0;
    if (!PutNumber(e, mem.get(), EXIF_IFD_0, EXIF_TAG_ORIENTATION, EXIF_FORMAT_SHORT, 1) ||
        !PutPixelSize(e, mem.get(), EXIF_TAG_PIXEL_X_DIMENSION, width) ||
        !PutPixelSize(e, mem.get(), EXIF_TAG_PIXEL_Y_DIMENSION, height))
        return {};
    unsigned char* saved = nullptr;
    unsigned int savedSize = 0;
    exif_data_save_data(e, &saved, &savedSize);
    std::vector<BYTE> result;
    if (saved && savedSize >= at + 8 && savedSize <= kMaxExifSegment)
        result.assign(saved, saved + savedSize);
    exif_mem_free(mem.get(), saved);
    return result;
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

int UprightOrRefused(CPicture& picture, bool decoded, int orientation, std::vector<BYTE> exif)
{
    picture.m_exif.clear();
    if (!decoded) {
        picture.Clear();
        return 0;
    }
    if (!OrientPicture(picture, orientation))
        return 0;
    picture.m_exif = std::move(exif);
    return 1;
}
