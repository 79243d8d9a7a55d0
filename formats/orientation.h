// The EXIF orientation of a photo and the turning that makes it stand as
// the camera saw it.
#pragma once

#include "platform/windef.h"

#include <cstddef>

// The orientation (1 to 8) recorded in an EXIF block: the payload of a JPEG
// APP1 segment ("Exif\0\0" and a TIFF header) or a bare TIFF header, as PNG
// and WebP hold it. 1 (upright) when there is none or it cannot be read.
int ExifOrientation(const BYTE* data, std::size_t size);

// Orientations 5 to 8 stand the picture on its side.
inline bool OrientationSwapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

// Copies a w x h picture of `bitCount` bits a pixel (1, 4, 8, 24 or 32),
// rows bottom-up `srcStride` bytes apart, into `dst` (rows bottom-up
// `dstStride` bytes apart, of the upright size, zeroed for 1 and 4 bits),
// turned and mirrored as `orientation` asks.
void OrientPixels(const BYTE* src, std::ptrdiff_t srcStride, int w, int h, int bitCount, int orientation, BYTE* dst,
                  std::ptrdiff_t dstStride);

class CPicture;

// Turns a picture that owns a DIB section (8 bits or fewer with its colour
// table, 24 or 32 bits) upright: a new section of the upright size replaces
// the old one. Nonzero on success; 0 leaves the picture empty.
int OrientPicture(CPicture& picture, int orientation);
// The end of a reader: a decoded picture turned upright (nonzero), or a
// refused one emptied (0).
int UprightOrRefused(CPicture& picture, bool decoded, int orientation);
