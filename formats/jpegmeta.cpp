#include "formats/jpegmeta.h"

#include "formats/colourprofile.h"
#include "formats/orientation.h"
#include "formats/packrows.h"
#include "picture/dib.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

JpegMetadata::~JpegMetadata()
{
    std::free(icc);
}

void KeepMetadataMarkers(jpeg_decompress_struct* info)
{
    jpeg_save_markers(info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(info, JPEG_APP0 + 2, 0xFFFF);
}

void CaptureMetadata(jpeg_decompress_struct* info, JpegMetadata* meta)
{
    meta->grey = info->jpeg_color_space == JCS_GRAYSCALE;
    for (jpeg_saved_marker_ptr m = info->marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && !std::memcmp(m->data, "Exif\0\0", 6)) {
            meta->orientation = ExifOrientation(m->data, m->data_length);
            meta->exif.assign(m->data, m->data + m->data_length);
            break;
        }
    JOCTET* icc = nullptr;
    unsigned length = 0;
    if (jpeg_read_icc_profile(info, &icc, &length)) {
        meta->icc = icc;
        meta->iccLength = length;
    }
}

HGLOBAL ApplyMetadata(HGLOBAL block, const JpegMetadata& meta)
{
    ProfileToSrgb profile(meta.icc, meta.iccLength, meta.grey);
    const bool turn = meta.orientation > 1 && meta.orientation <= 8;
    if (!profile.Active() && !turn)
        return block;
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    const int w = DibWidth(h), height = DibHeight(h);
    const std::size_t stride = DibRowBytes(h);
    BYTE* bits = DibBits(h);
    for (int y = 0; y < height; ++y)
        profile.Convert(bits + stride * std::size_t(y), std::size_t(w), PixelOrder::Bgr);
    if (!turn) {
        GlobalUnlock(block);
        return block;
    }
    const bool swap = OrientationSwapsSides(meta.orientation);
    HGLOBAL upright = AllocDib24(swap ? height : w, swap ? w : height);
    if (upright) {
        auto* u = static_cast<BITMAPINFOHEADER*>(GlobalLock(upright));
        OrientPixels(bits, std::ptrdiff_t(stride), w, height, 24, meta.orientation, DibBits(u),
                     std::ptrdiff_t(DibRowBytes(u)));
        GlobalUnlock(upright);
    }
    GlobalUnlock(block);
    GlobalFree(block);
    return upright;
}
