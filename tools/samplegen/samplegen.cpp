// korvex-samplegen WIDTH HEIGHT OUT [SEED]: writes a photograph-like picture;
// the output type follows OUT's extension (any format korvex-convert writes).
// With --eight the picture is reduced to 8 bits first.
#include "formats/save.h"
#include "photo.h"
#include "picture/dib.h"
#include "picture/picture.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    bool eight = false;
    int arg = 1;
    if (argc > 1 && !std::strcmp(argv[1], "--eight")) {
        eight = true;
        ++arg;
    }
    if (argc - arg < 3) {
        std::fprintf(stderr, "usage: korvex-samplegen [--eight] WIDTH HEIGHT OUT [SEED]\n");
        return 2;
    }
    const int width = std::atoi(argv[arg]);
    const int height = std::atoi(argv[arg + 1]);
    const std::string out = argv[arg + 2];
    const unsigned seed = argc - arg > 3 ? unsigned(std::atoi(argv[arg + 3])) : 1u;
    const PictureFormat format = FormatFromPath(out);
    if (width <= 0 || height <= 0 || format == PictureFormat::Unknown) {
        std::fprintf(stderr, "korvex-samplegen: bad size or output type\n");
        return 2;
    }
    CPicture picture;
    if (!picture.CreateDib(width, height, 24, 1)) {
        std::fprintf(stderr, "korvex-samplegen: out of memory\n");
        return 1;
    }
    const auto rows = MakePhotoRows(width, height, seed);
    std::memcpy(picture.GetBits(), rows.data(), rows.size());
    if (eight) {
        CDib* dib = nullptr;
        if (!picture.CopyToDib(&dib) || !dib->ConvertBitCount(8)) {
            std::fprintf(stderr, "korvex-samplegen: conversion failed\n");
            return 1;
        }
        // Back into the picture as an 8-bit DIB with its table.
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib->GetHandle()));
        picture.CreateDib(width, height, 8, 1);
        std::memcpy(picture.GetColorTable(), reinterpret_cast<BYTE*>(h) + 40, 1024);
        std::memcpy(picture.GetBits(), reinterpret_cast<BYTE*>(h) + 40 + 1024, std::size_t(picture.GetImageSize()));
        GlobalUnlock(dib->GetHandle());
        delete dib;
    }
    if (!SavePicture(picture, out, format)) {
        std::fprintf(stderr, "korvex-samplegen: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
