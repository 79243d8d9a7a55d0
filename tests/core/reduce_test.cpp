#include "picture/picture.h"
#include "platform/reduce.h"
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<CPicture> Picture24(int w, int h, std::uint32_t (*rgb)(int x, int y))
{
    auto p = std::make_unique<CPicture>();
    EXPECT_EQ(p->CreateDib(w, h, 24, 1), 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            BYTE* px = p->GetRow(h - 1 - y) + 3 * x; // stored rows run bottom-up
            const std::uint32_t c = rgb(x, y);
            px[0] = BYTE(c);
            px[1] = BYTE(c >> 8);
            px[2] = BYTE(c >> 16);
        }
    return p;
}

std::vector<std::uint32_t> Reduce(const CPicture& p, int w, int h)
{
    BITMAPINFOHEADER header;
    header.biSize = 40;
    header.biWidth = p.GetWidth();
    header.biHeight = p.GetHeight();
    header.biBitCount = WORD(p.GetBitCount());
    std::vector<std::uint32_t> out(std::size_t(w) * h);
    EXPECT_TRUE(ReduceDib(&header, nullptr, p.GetBits(), w, h, out.data()));
    return out;
}

} // namespace

// Exact area averages: 5 -> 2 cuts the middle pixel in halves, so target 0
// is (s0 + s1 + s2 / 2) / 2.5 and target 1 is (s2 / 2 + s3 + s4) / 2.5 on
// each axis; the blue channel is a sum of a column and a row term, green is
// flat, red is a checkerboard of 0 and 254 halved exactly.
TEST(Reduce, ExactAreaAveragesWithSplitBorderPixels)
{
    const auto p = Picture24(5, 5, [](int x, int y) -> std::uint32_t {
        return std::uint32_t(10 * (x + 1) + 10 * y) | (77u << 8);
    });
    const std::vector<std::uint32_t> r = Reduce(*p, 2, 2);
    EXPECT_EQ(r[0], 0xFF004D00u | (18 + 8));
    EXPECT_EQ(r[1], 0xFF004D00u | (42 + 8));
    EXPECT_EQ(r[2], 0xFF004D00u | (18 + 32));
    EXPECT_EQ(r[3], 0xFF004D00u | (42 + 32));

    const auto checker = Picture24(6, 4, [](int x, int y) -> std::uint32_t { return (x + y) % 2 ? 254u << 16 : 0; });
    for (std::uint32_t c : Reduce(*checker, 3, 2))
        EXPECT_EQ(c, 0xFF7F0000u);
}

// Odd sizes against a plain double-precision area average: within one level.
TEST(Reduce, OddSizesMatchPlainAreaAverage)
{
    const auto p = Picture24(13, 7, [](int x, int y) -> std::uint32_t {
        return std::uint32_t((x * 37 + y * 91) % 256) | std::uint32_t((x * y * 13) % 256) << 8 |
               std::uint32_t((x * 7 + y * 200) % 256) << 16;
    });
    for (auto [tw, th] : {std::pair{3, 2}, {7, 7}, {1, 1}, {13, 3}, {12, 6}}) {
        const std::vector<std::uint32_t> r = Reduce(*p, tw, th);
        for (int j = 0; j < th; ++j)
            for (int i = 0; i < tw; ++i)
                for (int shift : {0, 8, 16}) {
                    double sum = 0;
                    for (int y = 0; y < 7; ++y)
                        for (int x = 0; x < 13; ++x) {
                            // The part of source pixel (x, y) inside target (i, j).
                            const double ox = std::max(0.0, std::min(x + 1.0, (i + 1) * 13.0 / tw) - std::max(double(x), i * 13.0 / tw));
                            const double oy = std::max(0.0, std::min(y + 1.0, (j + 1) * 7.0 / th) - std::max(double(y), j * 7.0 / th));
                            const BYTE* px = p->GetRow(6 - y) + 3 * x;
                            sum += ox * oy * px[shift / 8];
                        }
                    const double mean = sum / (13.0 / tw * 7.0 / th);
                    EXPECT_NEAR(double((r[std::size_t(j * tw + i)] >> shift) & 255), mean, 0.51)
                        << tw << "x" << th << " at " << i << "," << j << " channel " << shift;
                }
    }
}

// Shrinking onto a surface draws the average, whole or in parts as the
// effects draw; pixels changed in place are drawn anew; at 1.0 and above
// pixels stay exact.
TEST(Reduce, ShrunkDrawsAverageAndFollowChanges)
{
    const auto stripes = Picture24(40, 20, [](int x, int) -> std::uint32_t { return x % 2 ? 0xFFFFFF : 0; });
    SurfaceDC dc(20, 10);
    stripes->BeginDraw(20, 10);
    stripes->Draw(&dc, 0, 0, 10, 10, 0, 0, 20, 20, 0); // the left half, as an effect step draws it
    EXPECT_EQ(dc.Pixel(3, 5), 0xFF808080u);
    stripes->Draw(&dc, 0, 0, 20, 10, 0, 0, 40, 20, 0);
    EXPECT_EQ(dc.Pixel(19, 9), 0xFF808080u);

    // Whiten the bottom stored row in place: the top target row is made again.
    std::fill_n(stripes->GetRow(0), 3 * 40, BYTE(0xFF));
    stripes->PixelsChanged(0, 0, 3 * 40);
    stripes->Draw(&dc, 0, 0, 20, 10, 0, 0, 40, 20, 0);
    EXPECT_EQ(dc.Pixel(0, 9), 0xFFBFBFBFu); // (0 + 255 + 255 + 255) / 4
    EXPECT_EQ(dc.Pixel(0, 8), 0xFF808080u);

    SurfaceDC big(80, 40);
    stripes->Draw(&big, 0, 0, 80, 40, 0, 0, 40, 20, 0);
    EXPECT_EQ(big.Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(big.Pixel(2, 0), 0xFFFFFFFFu);
}
