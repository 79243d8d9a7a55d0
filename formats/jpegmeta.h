// What a JPEG says about its pixels beyond the pixels themselves: the EXIF
// orientation (APP1) and the colour profile (APP2, possibly in several
// pieces), and applying both to the decoded picture.
#pragma once

#include "platform/globalmem.h"
#include "platform/windef.h"

#include <vector>

struct jpeg_decompress_struct;

struct JpegMetadata {
    BYTE* icc = nullptr; // std::malloc'd by the library
    unsigned iccLength = 0;
    int orientation = 1;
    std::vector<BYTE> exif; // the APP1 "Exif" payload, as it stands
    bool grey = false;
    JpegMetadata() = default;
    ~JpegMetadata();
    JpegMetadata(const JpegMetadata&) = delete;
    JpegMetadata& operator=(const JpegMetadata&) = delete;
};

// Before jpeg_read_header: keep the segments that hold them.
void KeepMetadataMarkers(jpeg_decompress_struct* info);
// After jpeg_read_header.
void CaptureMetadata(jpeg_decompress_struct* info, JpegMetadata* meta);
// Applies profile and orientation to a decoded 24-bit DIB block. Returns the
// block that now holds the picture (a new one when the sides swap, the old
// one freed), or null (the block freed) when memory ran out.
HGLOBAL ApplyMetadata(HGLOBAL block, const JpegMetadata& meta);
