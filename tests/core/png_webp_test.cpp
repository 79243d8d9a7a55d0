// PNG and WebP files made by peer programs load with the pixels those
// programs' own readers show; pictures saved as PNG read back the same in
// netpbm. Transparent pixels lie over white (the default background).
// Skipped where the tools are missing.
#include "formats/save.h"
#include "peer_image.h"

#include <gtest/gtest.h>

namespace {

const char* const kSource = "-size 37x23 gradient:red-blue -swirl 120";
const char* const kAlpha = "-alpha set -channel A -fx i/w +channel";

// IHDR's bit depth and colour type.
std::pair<int, int> PngKind(const std::string& path)
{
    const Bytes b = ReadFileBytes(path);
    return b.size() > 25 ? std::pair<int, int>{b[24], b[25]} : std::pair<int, int>{-1, -1};
}

} // namespace

TEST(PngRead, EveryColourTypeAndDepthAsNetpbmShowsIt)
{
    if (!HaveTool("convert") || !HaveTool("pngtopnm") || !HaveTool("pnmtopng"))
        GTEST_SKIP() << "ImageMagick or netpbm is not installed";
    TempDir dir;
    const std::string a = kAlpha;
    struct Case {
        const char* name;
        std::string make; // %s: the file
        int pngDepth, pngType, bitCount;
    } cases[] = {
        {"grey1", "-colorspace gray -define png:color-type=0 -define png:bit-depth=1", 1, 0, 1},
        {"grey2", "-colorspace gray -define png:color-type=0 -define png:bit-depth=2", 2, 0, 4},
        {"grey4", "-colorspace gray -define png:color-type=0 -define png:bit-depth=4", 4, 0, 4},
        {"grey8", "-colorspace gray -define png:color-type=0 -define png:bit-depth=8", 8, 0, 8},
        {"grey16", "-colorspace gray -define png:color-type=0 -depth 16", 16, 0, 8},
        {"greyalpha8", "-colorspace gray " + a + " -define png:color-type=4 -depth 8", 8, 4, 8},
        {"greyalpha16", "-colorspace gray " + a + " -define png:color-type=4 -depth 16", 16, 4, 8},
        {"rgb8", "-depth 8 -define png:color-type=2", 8, 2, 24},
        {"rgb16", "-depth 16 -define png:color-type=2", 16, 2, 24},
        {"rgba8", a + " -depth 8 -define png:color-type=6", 8, 6, 24},
        {"rgba16", a + " -depth 16 -define png:color-type=6", 16, 6, 24},
        {"rgba8-interlaced", a + " -depth 8 -define png:color-type=6 -interlace PNG", 8, 6, 24},
        {"grey1-interlaced", "-colorspace gray -define png:color-type=0 -define png:bit-depth=1 -interlace PNG", 1, 0,
         1},
        {"palette8", "-colors 200 -define png:color-type=3 -define png:bit-depth=8", 8, 3, 8},
        // netpbm picks the smallest palette depth for few colours.
        {"palette1", "-colors 2|", 1, 3, 1},
        {"palette2", "-colors 4|", 2, 3, 4},
        {"palette4-interlaced", "-colors 16|-interlace", 4, 3, 4},
        {"palette2-transparent", "-colors 4|-transparent=rgb:c1/00/3d", 2, 3, 4},
    };
    for (const Case& c : cases) {
        const std::string path = dir.File(std::string(c.name) + ".png");
        const std::size_t bar = c.make.find('|');
        const bool made = bar == std::string::npos
                              ? RunTool(std::string("convert ") + kSource + " " + c.make + " '" + path + "'")
                              : RunTool(std::string("convert ") + kSource + " " + c.make.substr(0, bar) +
                                    " -depth 8 ppm:- | pnmtopng " + c.make.substr(bar + 1) + " > '" + path + "'");
        ASSERT_TRUE(made) << c.name;
        ASSERT_EQ(PngKind(path), std::make_pair(c.pngDepth, c.pngType)) << c.name;
        MessageRecorder recorder;
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(path, 1, 0), 1) << c.name;
        picture.MarkBitsBorrowed();
        EXPECT_TRUE(recorder.messages.empty()) << c.name;
        EXPECT_EQ(picture.GetBitCount(), c.bitCount) << c.name;
        PeerImage peer;
        ASSERT_TRUE(ReadPnm("pngtopnm -mix -background=rgb:ff/ff/ff '" + path + "' | ppmtoppm", peer)) << c.name;
        EXPECT_LE(LargestDifference(picture, peer), 1) << c.name;
    }
}

TEST(PngWrite, PalettesGreyAndColourReadBackInNetpbm)
{
    if (!HaveTool("convert") || !HaveTool("pngtopnm"))
        GTEST_SKIP() << "ImageMagick or netpbm is not installed";
    TempDir dir;
    for (const char* make : {"-colors 2 -type palette BMP3:", "-colors 16 -type palette BMP3:", "-colors 100 BMP3:",
                             "-colorspace gray -type grayscale BMP3:", "BMP3:"}) {
        const std::string bmp = dir.File("in.bmp"), png = dir.File("out.png");
        ASSERT_TRUE(RunTool(std::string("convert ") + kSource + " -compress none " + make + bmp)) << make;
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(bmp, 1, 0), 1) << make;
        picture.MarkBitsBorrowed();
        ASSERT_EQ(SavePicture(picture, png, PictureFormat::Png), 1) << make;
        PeerImage peer;
        ASSERT_TRUE(ReadPnm("pngtopnm '" + png + "' | ppmtoppm", peer)) << make;
        EXPECT_EQ(LargestDifference(picture, peer), 0) << make;
        // Palette pictures stay palette files, grey ones grey files.
        const int depth = picture.GetBitCount();
        EXPECT_EQ(PngKind(png).first, depth <= 8 ? depth : 8) << make;
    }
}

TEST(WebpRead, LossyLosslessTransparentAndAnimatedAsDwebpShowsThem)
{
    if (!HaveTool("convert") || !HaveTool("cwebp") || !HaveTool("dwebp") || !HaveTool("img2webp"))
        GTEST_SKIP() << "ImageMagick or the WebP tools are not installed";
    TempDir dir;
    const std::string opaque = dir.File("opaque.png"), clear = dir.File("clear.png"), other = dir.File("other.png");
    ASSERT_TRUE(RunTool(std::string("convert ") + kSource + " '" + opaque + "'"));
    ASSERT_TRUE(RunTool(std::string("convert ") + kSource + " " + kAlpha + " '" + clear + "'"));
    ASSERT_TRUE(RunTool("convert -size 37x23 xc:green '" + other + "'"));
    const struct {
        const char* name;
        std::string make;
    } cases[] = {
        {"lossless", "cwebp -lossless '" + opaque + "' -o"},
        {"lossy", "cwebp -q 80 '" + opaque + "' -o"},
        {"lossless-alpha", "cwebp -lossless '" + clear + "' -o"},
        {"lossy-alpha", "cwebp -q 80 '" + clear + "' -o"},
        {"animated", "img2webp -lossless '" + opaque + "' '" + other + "' -o"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.File(std::string(c.name) + ".webp");
        ASSERT_TRUE(RunTool(c.make + " '" + path + "'")) << c.name;
        MessageRecorder recorder;
        CPicture picture;
        ASSERT_EQ(picture.LoadFile(path, 1, 0), 1) << c.name;
        picture.MarkBitsBorrowed();
        EXPECT_TRUE(recorder.messages.empty()) << c.name;
        EXPECT_EQ(picture.GetBitCount(), 24);
        // dwebp cannot read animations: its peer is the first frame alone.
        std::string still = path;
        if (std::string(c.name) == "animated") {
            still = dir.File("first.webp");
            ASSERT_TRUE(RunTool("cwebp -lossless '" + opaque + "' -o '" + still + "'"));
        }
        const std::string pam = dir.File("peer.pam");
        ASSERT_TRUE(RunTool("dwebp '" + still + "' -pam -o '" + pam + "'")) << c.name;
        PeerImage peer;
        ASSERT_TRUE(ReadPnm("convert '" + pam + "' -background white -flatten -depth 8 ppm:-", peer)) << c.name;
        EXPECT_LE(LargestDifference(picture, peer), 1) << c.name;
    }
}
