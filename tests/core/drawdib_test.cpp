#include "picture/picture.h"
#include "platform/drawdib.h"
#include "platform/surface.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace {

constexpr std::uint32_t kBlack = 0xFF000000u;

std::uint32_t Rgb(int r, int g, int b)
{
    return 0xFF000000u | (std::uint32_t(r) << 16) | (std::uint32_t(g) << 8) | std::uint32_t(b);
}

CPicture* Load(const Bytes& file)
{
    auto* p = new CPicture;
    EXPECT_EQ(p->ReadBmp(file.data(), file.size(), 1, 0), 1);
    return p;
}

// 2 x 2 pictures whose pixels as seen are: top row A B, bottom row C D.
struct Quad {
    Bytes file;
    std::uint32_t a, b, c, d;
};

std::vector<Quad> Quads()
{
    std::vector<Quad> q;
    Bytes t2;
    Put32(t2, 0x000000);
    Put32(t2, 0xFFFFFF);
    // 1 bit: rows bottom first; bits from the most significant.
    q.push_back({MakeBmp(2, 2, 1, t2, {0x40, 0, 0, 0, 0x80, 0, 0, 0}), Rgb(255, 255, 255), kBlack, kBlack,
                 Rgb(255, 255, 255)});
    Bytes t16;
    for (int i = 0; i < 16; ++i)
        Put32(t16, std::uint32_t(i * 16) << 16); // red ramp
    q.push_back({MakeBmp(2, 2, 4, t16, {0x23, 0, 0, 0, 0x01, 0, 0, 0}), Rgb(0, 0, 0), Rgb(16, 0, 0), Rgb(32, 0, 0),
                 Rgb(48, 0, 0)});
    Bytes t256;
    for (int i = 0; i < 256; ++i)
        Put32(t256, std::uint32_t(i)); // blue ramp
    q.push_back({MakeBmp(2, 2, 8, t256, {7, 8, 0, 0, 5, 6, 0, 0}), Rgb(0, 0, 5), Rgb(0, 0, 6), Rgb(0, 0, 7), Rgb(0, 0, 8)});
    // 16 bits 5-5-5: red 31, green 31, blue 31, grey 16.
    q.push_back({MakeBmp(2, 2, 16, {}, {0x1F, 0x00, 0x10, 0x42, 0x00, 0x7C, 0xE0, 0x03}), Rgb(255, 0, 0),
                 Rgb(0, 255, 0), Rgb(0, 0, 255), Rgb(132, 132, 132)});
    q.push_back({MakeBmp(2, 2, 24, {}, {3, 2, 1, 6, 5, 4, 0, 0, 9, 8, 7, 12, 11, 10, 0, 0}), Rgb(7, 8, 9),
                 Rgb(10, 11, 12), Rgb(1, 2, 3), Rgb(4, 5, 6)});
    q.push_back({MakeBmp(2, 2, 32, {}, {3, 2, 1, 99, 6, 5, 4, 99, 9, 8, 7, 99, 12, 11, 10, 99}), Rgb(7, 8, 9),
                 Rgb(10, 11, 12), Rgb(1, 2, 3), Rgb(4, 5, 6)});
    return q;
}

} // namespace

TEST(DrawDib, EveryDepthStretchedByTwo)
{
    for (const Quad& q : Quads()) {
        std::unique_ptr<CPicture> p(Load(q.file));
        SCOPED_TRACE(p->GetBitCount());
        SurfaceDC dc(6, 6);
        ASSERT_EQ(p->Draw(&dc, 1, 1, 4, 4, 0, 0, 2, 2, 0), 1);
        EXPECT_EQ(dc.Pixel(0, 0), kBlack); // outside the destination
        EXPECT_EQ(dc.Pixel(1, 1), q.a);
        EXPECT_EQ(dc.Pixel(2, 2), q.a);
        EXPECT_EQ(dc.Pixel(3, 1), q.b);
        EXPECT_EQ(dc.Pixel(4, 2), q.b);
        EXPECT_EQ(dc.Pixel(1, 3), q.c);
        EXPECT_EQ(dc.Pixel(4, 4), q.d);
        EXPECT_EQ(dc.Pixel(5, 5), kBlack);
        // Shrunk to one pixel: the four colours' average, halves rounded up.
        SurfaceDC one(1, 1);
        p->Draw(&one, 0, 0, 1, 1, 0, 0, 2, 2, 0);
        std::uint32_t mean = 0xFF000000u;
        for (int shift : {0, 8, 16}) {
            const std::uint32_t sum = ((q.a >> shift) & 255) + ((q.b >> shift) & 255) + ((q.c >> shift) & 255) +
                                      ((q.d >> shift) & 255);
            mean |= ((sum + 2) / 4) << shift;
        }
        EXPECT_EQ(one.Pixel(0, 0), mean);
    }
}

TEST(DrawDib, PartialSourceShrinkClipAndScroll)
{
    const Quad q = Quads()[4]; // 24 bits
    std::unique_ptr<CPicture> p(Load(q.file));
    {
        // The right column only, from the top-left counted source rectangle.
        SurfaceDC dc(2, 2);
        p->Draw(&dc, 0, 0, 2, 2, 1, 0, 1, 2, 0);
        EXPECT_EQ(dc.Pixel(0, 0), q.b);
        EXPECT_EQ(dc.Pixel(1, 1), q.d);
    }
    {
        // Shrinking 2 x 2 to 1 x 1 draws the four pixels' average (halves up).
        SurfaceDC dc(1, 1);
        p->Draw(&dc, 0, 0, 1, 1, 0, 0, 2, 2, 0);
        EXPECT_EQ(dc.Pixel(0, 0), Rgb(6, 7, 8));
    }
    {
        // Clip: only the right half of the surface changes.
        SurfaceDC dc(4, 4);
        dc.SetClip(2, 0, 4, 4);
        p->Draw(&dc, 0, 0, 4, 4, 0, 0, 2, 2, 0);
        EXPECT_EQ(dc.Pixel(0, 0), kBlack);
        EXPECT_EQ(dc.Pixel(2, 0), q.b);
        EXPECT_EQ(dc.Pixel(3, 3), q.d);
        // What reaches the screen is what was drawn, inside the clip, once.
        const RECT dirty = dc.TakeDirty();
        EXPECT_EQ((std::array<LONG, 4>{dirty.left, dirty.top, dirty.right, dirty.bottom}),
                  (std::array<LONG, 4>{2, 0, 4, 4}));
        EXPECT_EQ(dc.TakeDirty().right, 0);
    }
    {
        // Scrolled by one pixel each way: logical (1, 1) is device (0, 0).
        SurfaceDC dc(3, 3);
        dc.SetViewportOrigin(1, 1);
        dc.TakeDirty();
        p->Draw(&dc, 1, 1, 1, 1, 0, 0, 2, 2, 0);
        p->Draw(&dc, 2, 3, 1, 1, 0, 0, 2, 2, 0);
        const RECT dirty = dc.TakeDirty(); // device pixels, both draws
        EXPECT_EQ((std::array<LONG, 4>{dirty.left, dirty.top, dirty.right, dirty.bottom}),
                  (std::array<LONG, 4>{0, 0, 2, 3}));
        // Draws far apart stay apart; one touching another joins it.
        p->Draw(&dc, 1, 1, 1, 1, 0, 0, 2, 2, 0);
        p->Draw(&dc, 3, 3, 1, 1, 0, 0, 2, 2, 0);
        p->Draw(&dc, 3, 2, 1, 1, 0, 0, 2, 2, 0);
        const std::vector<RECT> rects = dc.TakeDirtyRects();
        ASSERT_EQ(rects.size(), 2u);
        EXPECT_EQ((std::array<LONG, 4>{rects[1].left, rects[1].top, rects[1].right, rects[1].bottom}),
                  (std::array<LONG, 4>{2, 1, 3, 3}));
        EXPECT_TRUE(dc.TakeDirtyRects().empty());
        p->Draw(&dc, 0, 0, 4, 4, 0, 0, 2, 2, 0);
        EXPECT_EQ(dc.Pixel(0, 0), q.a);
        EXPECT_EQ(dc.Pixel(1, 0), q.b);
        EXPECT_EQ(dc.Pixel(2, 2), q.d);
    }
    {
        // Zero or negative destination sizes draw nothing.
        SurfaceDC dc(2, 2);
        p->Draw(&dc, 0, 0, 0, 2, 0, 0, 2, 2, 0);
        p->Draw(&dc, 0, 0, 2, -2, 0, 0, 2, 2, 0);
        EXPECT_EQ(dc.Pixel(0, 0), kBlack);
    }
    {
        // Stretching 2 to 3 columns maps each column exactly: 0, 0, 1.
        SurfaceDC dc(3, 1);
        p->Draw(&dc, 0, 0, 3, 1, 0, 0, 2, 1, 0);
        EXPECT_EQ(dc.Pixel(0, 0), q.a);
        EXPECT_EQ(dc.Pixel(1, 0), q.a);
        EXPECT_EQ(dc.Pixel(2, 0), q.b);
    }
}

TEST(DrawDib, SixteenEntryTableAndDeeperPictureAfterIt)
{
    Bytes t16;
    for (int i = 0; i < 16; ++i)
        Put32(t16, 0x00FF00);
    // Indexes 3 and 200: the second is beyond the 16 colours and draws black.
    std::unique_ptr<CPicture> eight(Load(MakeBmp(2, 1, 8, t16, {3, 200, 0, 0}, 16)));
    EXPECT_EQ(eight->GetColorCount(), 16);
    SurfaceDC dc(2, 1);
    dc.Fill(0xFFFFFFFFu);
    eight->Draw(&dc, 0, 0, 2, 1, 0, 0, 2, 1, 0);
    EXPECT_EQ(dc.Pixel(0, 0), Rgb(0, 255, 0));
    EXPECT_EQ(dc.Pixel(1, 0), kBlack);
    // The shared header still says 16 colours; a 24-bit picture draws right.
    const Quad q = Quads()[4];
    std::unique_ptr<CPicture> deep(Load(q.file));
    SurfaceDC dc2(2, 2);
    deep->Draw(&dc2, 0, 0, 2, 2, 0, 0, 2, 2, 0);
    EXPECT_EQ(dc2.Pixel(0, 0), q.a);
    EXPECT_EQ(dc2.Pixel(1, 1), q.d);
    EXPECT_EQ(DrawDibOpenCount(), 1); // one handle for the process
}
