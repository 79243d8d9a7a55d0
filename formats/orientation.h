// The EXIF orientation of a photo and the turning that makes it stand as
// the camera saw it.
#pragma once

#include "platform/windef.h"

#include <cstddef>
#include <vector>

// The orientation (1 to 8) recorded in an EXIF block: the payload of a JPEG
// APP1 segment ("Exif\0\0" and a TIFF header) or a bare TIFF header, as PNG
// and WebP hold it. 1 (upright) when there is none or it cannot be read.
int ExifOrientation(const BYTE* data, std::size_t size);

// The most of an EXIF block a picture keeps from its file; larger blocks
// (only PNG and WebP can hold them) are not kept.
constexpr std::size_t kMaxKeptExif = 4u << 20;
// The most an APP1 segment holds after its length: "Exif\0\0" and the TIFF
// block. Saved blocks are held to this whatever the format.
constexpr std::size_t kMaxExifSegment = 65533;

// An EXIF block kept from a file (either form above), rewritten for a
// picture of width x height saved upright: Orientation 1, no thumbnail,
// PixelXDimension/PixelYDimension the new size. Returned in the APP1 form;
// empty when the block cannot be read (whole) or the result would not fit a
// segment.
std::vector<BYTE> ExifForSaving(const std::vector<BYTE>& kept, int width, int height);

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
// The end of a reader: a decoded picture turned upright, keeping the file's
// EXIF block (nonzero), or a refused one emptied (0).
int UprightOrRefused(CPicture& picture, bool decoded, int orientation, std::vector<BYTE> exif = {});
