#include "formats/gifcodec.h"
#include "picture/dib.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string WriteTemp(const std::vector<BYTE>& bytes)
{
    char name[] = "/tmp/korvex_gif_XXXXXX";
    const int fd = mkstemp(name);
    std::FILE* f = fdopen(fd, "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return name;
}

// 1 x 1 (or w x h) image, 2-entry global table red/green, codes
// clear,1,1,6,end (four pixels of index 1) at code size 2.
std::vector<BYTE> SmallGif(const char* version, BYTE aspect, int w, int h, bool interlaced)
{
    std::vector<BYTE> g = {'G', 'I', 'F', BYTE(version[0]), BYTE(version[1]), BYTE(version[2]), BYTE(w), 0, BYTE(h), 0,
                           0x80, 0, aspect, 255, 0, 0, 0, 255, 0};
    // a comment extension before the image
    for (BYTE b : std::vector<BYTE>{0x21, 0xFE, 2, 'h', 'i', 0})
        g.push_back(b);
    for (BYTE b : std::vector<BYTE>{',', 0, 0, 0, 0, BYTE(w), 0, BYTE(h), 0, BYTE(interlaced ? 0x40 : 0), 2, 2, 0x4C, 0x5C, 0, ';'})
        g.push_back(b);
    return g;
}

} // namespace

TEST(GifRead, FirstImageBecomesBottomUpDib)
{
    for (const char* v : {"87a", "89a"}) {
        const std::string path = WriteTemp(SmallGif(v, 0, 1, 1, false));
        GifCodec codec;
        ASSERT_EQ(codec.Load(path), 1) << codec.GetLastError();
        ASSERT_NE(codec.GetDib(), nullptr);
        EXPECT_EQ(codec.GetDib()->GetRowBytes(), 4);
        const BYTE* px = codec.GetDib()->GetBits();
        EXPECT_EQ(px[0], 0);
        EXPECT_EQ(px[1], 255);
        EXPECT_EQ(px[2], 0);
        EXPECT_EQ(codec.GetLastError(), "No Error");
        std::remove(path.c_str());
    }
}

TEST(GifRead, WarningsAndRefusals)
{
    GifCodec codec;
    std::string path = WriteTemp(SmallGif("89a", 7, 1, 1, false));
    EXPECT_EQ(codec.Load(path), 1);
    EXPECT_EQ(codec.GetLastError(), "Non-square pixels in GIF image.\nIgnoring that fact...");
    std::remove(path.c_str());

    path = WriteTemp(SmallGif("88a", 0, 1, 1, false));
    EXPECT_EQ(codec.Load(path), 0);
    EXPECT_EQ(codec.GetLastError(), "Error, Bad GIF Version number");
    std::remove(path.c_str());

    std::vector<BYTE> g = SmallGif("89a", 0, 1, 1, false);
    g.resize(19); // screen and table only
    path = WriteTemp(g);
    EXPECT_EQ(codec.Load(path), 0);
    EXPECT_EQ(codec.GetLastError(), "Unexpected EOF in GIF.\nGiving up");
    std::remove(path.c_str());

    path = WriteTemp(SmallGif("89a", 0, 0, 1, false));
    EXPECT_EQ(codec.Load(path), 0);
    std::remove(path.c_str());
}

// Four pixels on a 1 x 4 picture land in every row whether interlaced or not.
TEST(GifRead, InterlacedFillsEveryRow)
{
    const std::string path = WriteTemp(SmallGif("89a", 0, 1, 4, true));
    GifCodec codec;
    ASSERT_EQ(codec.Load(path), 1);
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(codec.GetDib()->GetBits()[row * 4 + 1], 255) << row;
    std::remove(path.c_str());
}
