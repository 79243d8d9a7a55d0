// Files written by our writers must open in other programs with the same
// pixels: ImageMagick for BMP, netpbm's readers for TGA, PCX and GIF (this
// ImageMagick release shows bottom-left-origin TGA files upside down, which
// netpbm and the format agree is wrong). Skipped where the tools are missing.
#include "formats/save.h"
#include "picture/picture.h"
#include "test_util.h"
#include "tools/samplegen/photo.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>

namespace {

std::string ImageMagick()
{
    for (const char* p : {"/usr/bin/convert", "/usr/local/bin/convert"})
        if (access(p, X_OK) == 0)
            return p;
    return {};
}

// Decodes a file with ImageMagick into top-down RGB triples.
bool ReadWithImageMagick(const std::string& tool, const std::string& path, int& w, int& h, Bytes& rgb)
{
    std::string cmd = tool + " '" + path + "' -depth 8 ppm:- 2>/dev/null";
    if (tool == "tgatoppm" || tool == "pcxtoppm" || tool == "giftopnm" || tool == "bmptopnm")
        cmd = tool + " '" + path + "' 2>/dev/null | ppmtoppm 2>/dev/null | pnmdepth 255";
    std::FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe)
        return false;
    int maxv = 0;
    const int got = std::fscanf(pipe, "P6 %d %d %d", &w, &h, &maxv);
    std::fgetc(pipe);
    if (got != 3 || maxv != 255) {
        pclose(pipe);
        return false;
    }
    rgb.resize(std::size_t(w) * h * 3);
    const std::size_t n = std::fread(rgb.data(), 1, rgb.size(), pipe);
    pclose(pipe);
    return n == rgb.size();
}

} // namespace

TEST(PeerCrossCheck, OurFilesShowTheSamePixels)
{
    const std::string tool = ImageMagick();
    if (tool.empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const int width = 37, height = 23;
    CPicture picture;
    ASSERT_EQ(picture.CreateDib(width, height, 24, 1), 1);
    const auto rows = MakePhotoRows(width, height, 3);
    std::memcpy(picture.GetBits(), rows.data(), rows.size());
    const bool netpbm = access("/usr/bin/tgatoppm", X_OK) == 0 && access("/usr/bin/pcxtoppm", X_OK) == 0;
    if (!netpbm)
        std::printf("netpbm missing: TGA and PCX cross-checks skipped\n");
    for (PictureFormat format : {PictureFormat::Bmp, PictureFormat::Tga}) {
        if (format == PictureFormat::Tga && !netpbm)
            continue;
        const std::string path = dir.File(std::string("x") + FormatExtension(format));
        ASSERT_EQ(SavePicture(picture, path, format), 1);
        int w = 0, h = 0;
        Bytes rgb;
        ASSERT_TRUE(ReadWithImageMagick(format == PictureFormat::Tga ? "tgatoppm" : tool, path, w, h, rgb)) << path;
        ASSERT_EQ(w, width);
        ASSERT_EQ(h, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const BYTE* p = picture.GetRow(height - 1 - y) + 3 * x;
                const std::uint8_t* q = &rgb[(std::size_t(y) * width + x) * 3];
                ASSERT_EQ(q[0], p[2]) << path << " " << x << "," << y;
                ASSERT_EQ(q[1], p[1]);
                ASSERT_EQ(q[2], p[0]);
            }
    }
    if (!netpbm)
        return;
    // PCX is 8-bit: compare against our own reading of the file we wrote.
    const std::string pcx = dir.File("x.pcx");
    ASSERT_EQ(SavePicture(picture, pcx, PictureFormat::Pcx), 1);
    CPicture back;
    ASSERT_EQ(back.LoadFile(pcx, 1, 0), 1);
    int w = 0, h = 0;
    Bytes rgb;
    ASSERT_TRUE(ReadWithImageMagick("pcxtoppm", pcx, w, h, rgb));
    ASSERT_EQ(w, width);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const RGBQUAD c = back.GetColorTable()[back.GetRow(height - 1 - y)[x]];
            const std::uint8_t* q = &rgb[(std::size_t(y) * width + x) * 3];
            ASSERT_EQ(q[0], c.rgbRed) << x << "," << y;
            ASSERT_EQ(q[1], c.rgbGreen);
            ASSERT_EQ(q[2], c.rgbBlue);
        }
}

TEST(PeerCrossCheck, OurGifShowsTheSamePixelsInNetpbm)
{
    if (access("/usr/bin/giftopnm", X_OK) != 0)
        GTEST_SKIP() << "netpbm is not installed";
    // Big enough that the string table fills and clears several times.
    TempDir dir;
    const int width = 301, height = 157;
    CPicture picture;
    ASSERT_EQ(picture.CreateDib(width, height, 24, 1), 1);
    const auto rows = MakePhotoRows(width, height, 5);
    std::memcpy(picture.GetBits(), rows.data(), rows.size());
    const std::string gif = dir.File("x.gif");
    ASSERT_EQ(SavePicture(picture, gif, PictureFormat::Gif), 1);
    CPicture back;
    ASSERT_EQ(back.LoadFile(gif, 1, 0), 1);
    int w = 0, h = 0;
    Bytes rgb;
    ASSERT_TRUE(ReadWithImageMagick("giftopnm", gif, w, h, rgb));
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const BYTE* p = back.GetRow(height - 1 - y) + 3 * x;
            const std::uint8_t* q = &rgb[(std::size_t(y) * width + x) * 3];
            ASSERT_EQ(q[0], p[2]) << x << "," << y;
            ASSERT_EQ(q[1], p[1]);
            ASSERT_EQ(q[2], p[0]);
        }
    back.ReleaseImage();
}

namespace {

// The colour the picture shows at (x, y from the top).
std::array<int, 3> Shown(const CPicture& p, int x, int y)
{
    const BYTE* row = p.GetRow(p.GetHeight() - 1 - y);
    const int depth = p.GetBitCount();
    if (depth <= 8) {
        const int perByte = 8 / depth;
        const int index = (row[x / perByte] >> ((perByte - 1 - x % perByte) * depth)) & ((1 << depth) - 1);
        const RGBQUAD c = p.GetColorTable()[index];
        return {c.rgbRed, c.rgbGreen, c.rgbBlue};
    }
    if (depth == 16) {
        const int w = row[2 * x] | (row[2 * x + 1] << 8);
        auto widen = [](int c) { return (c << 3) | (c >> 2); };
        return {widen((w >> 10) & 31), widen((w >> 5) & 31), widen(w & 31)};
    }
    const BYTE* q = row + x * depth / 8;
    return {q[2], q[1], q[0]};
}

} // namespace

// Every depth we hold, written as BMP and TGA, reads back in ImageMagick and
// netpbm as shown here; the 8-bit writers' files as our own reader reads them.
// 5-bit channels may differ by one: scaling and bit repetition both map 31 to
// 255 but round a few values in between apart.
TEST(PeerCrossCheck, EveryDepthWeWriteReadsTheSameElsewhere)
{
    const std::string magick = ImageMagick();
    const bool netpbm = access("/usr/bin/tgatoppm", X_OK) == 0 && access("/usr/bin/bmptopnm", X_OK) == 0;
    if (magick.empty() || !netpbm)
        GTEST_SKIP() << "ImageMagick or netpbm is not installed";
    TempDir dir;
    const int width = 13, height = 5;
    std::mt19937 random(7);
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        CPicture picture;
        ASSERT_EQ(picture.CreateDib(width, height, depth, 1), 1);
        for (int i = 0; i < picture.GetImageSize(); ++i)
            picture.GetBits()[i] = BYTE(random());
        for (int i = 0; i < picture.GetColorCount(); ++i)
            picture.GetColorTable()[i] = RGBQUAD{BYTE(random()), BYTE(random()), BYTE(random()), 0};
        struct Check {
            PictureFormat format;
            std::string tool;
        };
        const Check checks[] = {{PictureFormat::Bmp, magick}, {PictureFormat::Bmp, "bmptopnm"},
                                {PictureFormat::Tga, "tgatoppm"}, {PictureFormat::Pcx, "pcxtoppm"},
                                {PictureFormat::Gif, "giftopnm"}};
        for (const Check& c : checks) {
            const std::string path = dir.File(std::to_string(depth) + FormatExtension(c.format));
            SCOPED_TRACE(path + " " + c.tool);
            ASSERT_EQ(SavePicture(picture, path, c.format), 1);
            CPicture own;
            const bool eightBit = c.format == PictureFormat::Pcx || c.format == PictureFormat::Gif;
            if (eightBit) {
                ASSERT_EQ(own.LoadFile(path, 1, 0), 1);
            }
            const CPicture& expected = eightBit ? own : picture;
            int w = 0, h = 0;
            Bytes rgb;
            ASSERT_TRUE(ReadWithImageMagick(c.tool, path, w, h, rgb));
            ASSERT_EQ(w, width);
            ASSERT_EQ(h, height);
            const int tolerance = depth == 16 && !eightBit ? 1 : 0;
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const auto want = Shown(expected, x, y);
                    const std::uint8_t* q = &rgb[(std::size_t(y) * width + x) * 3];
                    for (int k = 0; k < 3; ++k)
                        ASSERT_LE(std::abs(q[k] - want[k]), tolerance) << x << "," << y << " channel " << k;
                }
            own.ReleaseImage();
        }
    }
}

// Bitmap variants other programs write, made by ImageMagick here, read as
// ImageMagick reads them.
TEST(PeerCrossCheck, BitmapVariantsReadAsImageMagickReadsThem)
{
    const std::string magick = ImageMagick();
    if (magick.empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    TempDir dir;
    const std::string source = dir.File("s.ppm");
    ASSERT_EQ(std::system((magick + " -size 23x9 gradient:red-blue -fill yellow -draw 'point 3,4' '" + source + "'").c_str()), 0);
    const struct {
        const char* name;
        const char* options; // the header and coding each gives
        const char* coder;
    } variants[] = {
        {"v5-alpha.bmp", "-alpha set -channel A -fx 'i/w' +channel", ""},
        {"v5-565.bmp", "-define bmp:subtype=RGB565", ""},
        {"rle8.bmp", "-colors 50 -type Palette -compress RLE", "BMP3:"},
        {"core.bmp", "-type TrueColor", "BMP2:"},
    };
    for (const auto& v : variants) {
        SCOPED_TRACE(v.name);
        const std::string path = dir.File(v.name);
        ASSERT_EQ(std::system((magick + " '" + source + "' " + v.options + " " + v.coder + "'" + path + "'").c_str()), 0);
        CPicture ours;
        ASSERT_EQ(ours.LoadFile(path, 1, 0), 1);
        int w = 0, h = 0;
        Bytes rgb;
        ASSERT_TRUE(ReadWithImageMagick(magick, path, w, h, rgb));
        ASSERT_EQ(w, ours.GetWidth());
        ASSERT_EQ(h, ours.GetHeight());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const auto want = Shown(ours, x, y);
                const std::uint8_t* q = &rgb[(std::size_t(y) * w + x) * 3];
                ASSERT_EQ((std::array<int, 3>{q[0], q[1], q[2]}), want) << x << "," << y;
            }
    }
}
