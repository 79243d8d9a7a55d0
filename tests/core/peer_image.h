// Pictures made and read back by peer programs (ImageMagick, netpbm, the
// WebP tools) for the suites of the newer formats, and the colour of a
// picture's pixel at any depth.
#pragma once

#include "picture/picture.h"
#include "test_util.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline bool HaveTool(const char* name)
{
    for (const char* dir : {"/usr/bin/", "/usr/local/bin/"})
        if (access((std::string(dir) + name).c_str(), X_OK) == 0)
            return true;
    return false;
}

inline bool RunTool(const std::string& command)
{
    return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0;
}

// A binary PNM (P5 or P6, any maxval) from a command's output, as 8-bit RGB
// rows top first, samples scaled to 255 and rounded.
struct PeerImage {
    int width = 0, height = 0;
    Bytes rgb;
    std::array<int, 3> At(int x, int y) const
    {
        const std::uint8_t* p = &rgb[(std::size_t(y) * width + x) * 3];
        return {p[0], p[1], p[2]};
    }
};

inline bool ReadPnm(const std::string& command, PeerImage& out)
{
    std::FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return false;
    char kind[3] = {};
    int maxv = 0;
    const bool ok = std::fscanf(pipe, "%2s %d %d %d", kind, &out.width, &out.height, &maxv) == 4 &&
                    (kind == std::string("P5") || kind == std::string("P6")) && maxv > 0 && maxv <= 65535;
    std::fgetc(pipe);
    if (!ok) {
        pclose(pipe);
        return false;
    }
    const int channels = kind[1] == '6' ? 3 : 1, bytes = maxv > 255 ? 2 : 1;
    const std::size_t n = std::size_t(out.width) * out.height;
    Bytes raw(n * channels * bytes);
    const bool complete = std::fread(raw.data(), 1, raw.size(), pipe) == raw.size();
    pclose(pipe);
    out.rgb.resize(n * 3);
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 3; ++c) {
            const std::size_t at = (i * channels + (channels == 3 ? c : 0)) * bytes;
            const unsigned v = bytes == 2 ? (unsigned(raw[at]) << 8 | raw[at + 1]) : raw[at];
            out.rgb[i * 3 + c] = std::uint8_t((v * 255 + unsigned(maxv) / 2) / unsigned(maxv));
        }
    return complete;
}

// Red, green, blue of pixel (x, y) counted from the top-left corner.
inline std::array<int, 3> PixelRgb(const CPicture& picture, int x, int y)
{
    const BYTE* row = picture.GetRow(picture.GetHeight() - 1 - y);
    const int depth = picture.GetBitCount();
    if (depth >= 24) {
        const BYTE* p = row + std::size_t(x) * (depth / 8);
        return {p[2], p[1], p[0]};
    }
    const int index = depth == 8 ? row[x] : depth == 4 ? (row[x / 2] >> ((x & 1) ? 0 : 4)) & 15
                                                       : (row[x / 8] >> (7 - (x & 7))) & 1;
    const RGBQUAD& q = picture.GetColorTable()[index];
    return {q.rgbRed, q.rgbGreen, q.rgbBlue};
}

// The largest difference of any sample between the picture and the peer's.
inline int LargestDifference(const CPicture& picture, const PeerImage& peer)
{
    if (picture.GetWidth() != peer.width || picture.GetHeight() != peer.height)
        return 256;
    int worst = 0;
    for (int y = 0; y < peer.height; ++y)
        for (int x = 0; x < peer.width; ++x) {
            const auto a = PixelRgb(picture, x, y), b = peer.At(x, y);
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(a[c] - b[c]));
        }
    return worst;
}
