#include "picture/dib.h"
#include "picture/octree.h"
#include "picture/picture.h"
#include "platform/dc.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <array>
#include <cstdlib>
#include <random>
#include <tuple>

namespace {

// A packed 24-bit DIB from B, G, R pixels given top row first.
HGLOBAL Make24(int width, int height, const std::vector<std::array<int, 3>>& rgbTopDown)
{
    const int stride = (width * 24 + 31) / 32 * 4;
    HGLOBAL block = GlobalAlloc(GHND, 40 + std::size_t(stride) * height);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = 24;
    BYTE* bits = DibBits(h);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto& c = rgbTopDown[std::size_t(y * width + x)];
            BYTE* p = bits + std::size_t(height - 1 - y) * stride + 3 * x;
            p[0] = BYTE(c[2]);
            p[1] = BYTE(c[1]);
            p[2] = BYTE(c[0]);
        }
    GlobalUnlock(block);
    return block;
}

std::vector<PALETTEENTRY> Entries(HPALETTE p)
{
    std::vector<PALETTEENTRY> e(GetPaletteEntries(p, 0, 0, nullptr));
    GetPaletteEntries(p, 0, UINT(e.size()), e.data());
    return e;
}

} // namespace

TEST(Octree, FewColoursComeBackExactlyInTreeOrder)
{
    // Tree order: the child index of the top bits first (red 4, green 2, blue 1).
    HGLOBAL dib = Make24(4, 1, {{{255, 0, 0}}, {{0, 0, 255}}, {{0, 255, 0}}, {{0, 0, 255}}});
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    HPALETTE p = OctreePaletteFromDib(h, 256, 8);
    ASSERT_NE(p, nullptr);
    const auto e = Entries(p);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(std::tie(e[0].peRed, e[0].peGreen, e[0].peBlue), std::make_tuple(BYTE(0), BYTE(0), BYTE(255)));
    EXPECT_EQ(e[1].peGreen, 255);
    EXPECT_EQ(e[2].peRed, 255);
    DeleteObject(p);

    HGLOBAL one = Make24(3, 3, std::vector<std::array<int, 3>>(9, {{10, 20, 30}}));
    auto* h1 = static_cast<BITMAPINFOHEADER*>(GlobalLock(one));
    HPALETTE q = OctreePaletteFromDib(h1, 256, 8);
    ASSERT_NE(q, nullptr);
    const auto e1 = Entries(q);
    ASSERT_EQ(e1.size(), 1u);
    EXPECT_EQ(std::tie(e1[0].peRed, e1[0].peGreen, e1[0].peBlue), std::make_tuple(BYTE(10), BYTE(20), BYTE(30)));
    DeleteObject(q);
    GlobalUnlock(dib);
    GlobalUnlock(one);
    FreeDib(dib);
    FreeDib(one);
}

TEST(Octree, PhotoLikePictureGivesAtMostTheLimitOfTruncatedMeans)
{
    std::mt19937 rng(7);
    const int w = 64, hgt = 48;
    std::vector<std::array<int, 3>> px;
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x)
            px.push_back({{(x * 4 + int(rng() % 9)) & 255, (y * 5 + int(rng() % 9)) & 255, int(rng() % 256)}});
    HGLOBAL dib = Make24(w, hgt, px);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    HPALETTE p = OctreePaletteFromDib(h, 16, 8);
    ASSERT_NE(p, nullptr);
    const auto e = Entries(p);
    EXPECT_LE(e.size(), 16u);
    EXPECT_GE(e.size(), 2u);
    // Every entry is inside the range of the pixels it could have averaged.
    for (const auto& c : e) {
        EXPECT_LE(c.peRed, 255);
        EXPECT_LE(c.peGreen, 255);
    }
    DeleteObject(p);
    // With a limit of one the single entry is the truncated mean of all pixels.
    HPALETTE all = OctreePaletteFromDib(h, 1, 8);
    ASSERT_NE(all, nullptr);
    const auto e1 = Entries(all);
    ASSERT_EQ(e1.size(), 1u);
    unsigned long sr = 0, sg = 0, sb = 0;
    for (const auto& c : px) {
        sr += unsigned(c[0]);
        sg += unsigned(c[1]);
        sb += unsigned(c[2]);
    }
    EXPECT_EQ(e1[0].peRed, sr / px.size());
    EXPECT_EQ(e1[0].peGreen, sg / px.size());
    EXPECT_EQ(e1[0].peBlue, sb / px.size());
    DeleteObject(all);
    GlobalUnlock(dib);
    FreeDib(dib);
}

TEST(Octree, BitDepthsAndLimits)
{
    // 16 bits without bitfields: 31 reads as 248 (shifted, not replicated).
    BITMAPINFO info{};
    info.bmiHeader = {40, 1, 1, 1, 16, 0, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP s16 = CreateDIBSection(GetDC(nullptr), &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    static_cast<BYTE*>(bits)[0] = 0xFF;
    static_cast<BYTE*>(bits)[1] = 0x7F;
    HPALETTE p = OctreePaletteFromBitmap(s16, 256, 8);
    ASSERT_NE(p, nullptr);
    const auto e = Entries(p);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].peRed, 248);
    EXPECT_EQ(e[0].peBlue, 248);
    DeleteObject(p);
    EXPECT_EQ(OctreePaletteFromBitmap(s16, 256, 9), nullptr);
    DeleteObject(s16);
    EXPECT_EQ(OctreePaletteFromBitmap(nullptr, 256, 8), nullptr);
}

TEST(Dib, HeaderArithmetic)
{
    HGLOBAL block = GlobalAlloc(GHND, 40 + 64 + 16);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    *h = {40, 5, 3, 1, 8, 0, 0, 0, 0, 16, 0};
    EXPECT_EQ(DibNumColors(h), 16);
    EXPECT_EQ(DibPaletteSize(h), 64u);
    EXPECT_EQ(DibBits(h) - reinterpret_cast<BYTE*>(h), 104);
    EXPECT_EQ(DibRowBytes(h), 8u);
    EXPECT_EQ(DibSize(h), 40u + 64u + 24u);
    EXPECT_EQ(h->biSizeImage, 24u); // written into the header
    h->biBitCount = 24;
    h->biClrUsed = 0;
    EXPECT_EQ(DibNumColors(h), 0);
    EXPECT_EQ(DibBits(h) - reinterpret_cast<BYTE*>(h), 40);
    GlobalUnlock(block);
    FreeDib(block);
}

TEST(Dib, ConversionsBetweenDepthsKeepTheColours)
{
    // Four colours that survive every depth: exact in 5-5-5 and among the
    // first sixteen static colours the 4-bit default table takes.
    const std::vector<std::array<int, 3>> px = {{{0, 0, 0}}, {{255, 0, 0}}, {{0, 255, 0}}, {{255, 255, 0}}};
    HGLOBAL src = Make24(4, 1, px);
    for (int depth : {32, 24, 16, 8, 4}) {
        SCOPED_TRACE(depth);
        HGLOBAL to = ConvertDib(src, depth, nullptr);
        ASSERT_NE(to, nullptr);
        HGLOBAL back = ConvertDib(to, 24, nullptr);
        ASSERT_NE(back, nullptr);
        auto* a = static_cast<BITMAPINFOHEADER*>(GlobalLock(src));
        auto* b = static_cast<BITMAPINFOHEADER*>(GlobalLock(back));
        EXPECT_EQ(b->biBitCount, 24);
        EXPECT_EQ(DibBits(b) - reinterpret_cast<BYTE*>(b), 40);
        EXPECT_EQ(0, std::memcmp(DibBits(a), DibBits(b), 12));
        GlobalUnlock(src);
        GlobalUnlock(back);
        FreeDib(to);
        FreeDib(back);
    }
    // 1 bit: red and green are nearer black, yellow nearer white.
    HGLOBAL mono = ConvertDib(src, 1, nullptr);
    auto* m = static_cast<BITMAPINFOHEADER*>(GlobalLock(mono));
    EXPECT_EQ(DibBits(m)[0], 0x10);
    GlobalUnlock(mono);
    FreeDib(mono);
    FreeDib(src);
}

TEST(Dib, SixteenBitExpansionAndNearestColourTie)
{
    // A 16-bit 5-5-5 pixel of (16, 8, 31) expands as (c << 3) | (c >> 2).
    HGLOBAL block = GlobalAlloc(GHND, 40 + 4);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    *h = {40, 1, 1, 1, 16, 0, 0, 0, 0, 0, 0};
    const WORD w = WORD((16 << 10) | (8 << 5) | 31);
    DibBits(h)[0] = BYTE(w);
    DibBits(h)[1] = BYTE(w >> 8);
    GlobalUnlock(block);
    HGLOBAL deep = ConvertDib(block, 24, nullptr);
    auto* d = static_cast<BITMAPINFOHEADER*>(GlobalLock(deep));
    EXPECT_EQ(DibBits(d)[2], (16 << 3) | (16 >> 2));
    EXPECT_EQ(DibBits(d)[1], (8 << 3) | (8 >> 2));
    EXPECT_EQ(DibBits(d)[0], 255);
    GlobalUnlock(deep);
    FreeDib(deep);
    FreeDib(block);

    // Grey 128 is as near to 120 as to 136: the lower index wins.
    LOGPALETTE* log = static_cast<LOGPALETTE*>(std::calloc(1, 4 + 4 * 2));
    log->palVersion = 0x300;
    log->palNumEntries = 2;
    log->palPalEntry[0] = {136, 136, 136, 0};
    log->palPalEntry[1] = {120, 120, 120, 0};
    HPALETTE pal = CreatePalette(log);
    std::free(log);
    HGLOBAL grey = Make24(1, 1, {{{128, 128, 128}}});
    HGLOBAL eight = ConvertDib(grey, 8, pal);
    auto* e = static_cast<BITMAPINFOHEADER*>(GlobalLock(eight));
    EXPECT_EQ(DibBits(e)[0], 0);
    GlobalUnlock(eight);
    FreeDib(eight);
    FreeDib(grey);
    DeleteObject(pal);
}

TEST(CDibClass, AttachQueriesAndConversions)
{
    CDib dib;
    EXPECT_STREQ(dib.GetRuntimeClass(), "CDib");
    EXPECT_TRUE(dib.IsEmpty());
    EXPECT_EQ(dib.Attach(nullptr), 0);
    EXPECT_EQ(dib.ConvertBitCount(8), 0);
    std::vector<std::array<int, 3>> px;
    for (int i = 0; i < 300; ++i)
        px.push_back({{i % 256, (i * 7) % 256, (i * 13) % 256}});
    ASSERT_EQ(dib.Attach(Make24(30, 10, px)), 1);
    EXPECT_EQ(dib.GetWidth(), 30);
    EXPECT_EQ(dib.GetHeight(), 10);
    EXPECT_EQ(dib.GetBitCount(), 24);
    EXPECT_EQ(dib.GetRowBytes(), 92);
    EXPECT_EQ(dib.GetPalette(), nullptr);
    EXPECT_NE(dib.GetBitmap(), nullptr);
    ASSERT_EQ(dib.ChangeBitCount(8), 1);
    EXPECT_EQ(dib.GetBitCount(), 8);
    EXPECT_NE(dib.GetPalette(), nullptr);
    HGLOBAL before = dib.GetHandle();
    EXPECT_EQ(dib.ConvertBitCount(8), 1);
    EXPECT_EQ(dib.GetHandle(), before); // unchanged
    ASSERT_EQ(dib.ConvertBitCount(24), 1);
    EXPECT_EQ(dib.GetBitCount(), 24);
}

TEST(CDibClass, BlockThatCannotBecomeASectionIsKept)
{
    HGLOBAL block = GlobalAlloc(GHND, 40 + 8);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    *h = {40, 1, 1, 1, 7, 0, 0, 0, 0, 0, 0}; // no such depth
    GlobalUnlock(block);
    CDib dib;
    EXPECT_EQ(dib.Attach(block), 0);
    EXPECT_EQ(dib.GetHandle(), block);
    EXPECT_EQ(dib.GetBitmap(), nullptr);
}

TEST(CDibClass, SerializeRoundTripAndRefusal)
{
    TempDir dir;
    CDib dib;
    ASSERT_EQ(dib.Attach(Make24(2, 2, {{{1, 2, 3}}, {{4, 5, 6}}, {{7, 8, 9}}, {{10, 11, 12}}})), 1);
    {
        std::FILE* f = std::fopen(dir.File("d.bmp").c_str(), "wb");
        CArchive ar(f, CArchive::store);
        EXPECT_EQ(dib.Serialize(ar), 1);
        std::fclose(f);
    }
    const Bytes file = ReadFileBytes(dir.File("d.bmp"));
    ASSERT_EQ(file.size(), 14u + 40u + 16u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[10], 54);
    CDib back;
    {
        std::FILE* f = std::fopen(dir.File("d.bmp").c_str(), "rb");
        CArchive ar(f, CArchive::load);
        EXPECT_EQ(back.Serialize(ar), 1);
        std::fclose(f);
    }
    EXPECT_EQ(0, std::memcmp(back.GetBits(), dib.GetBits(), 16));
    WriteFileBytes(dir.File("x.bmp"), {'X', 'M', 0, 0});
    CDib none;
    std::FILE* f = std::fopen(dir.File("x.bmp").c_str(), "rb");
    CArchive ar(f, CArchive::load);
    EXPECT_EQ(none.Serialize(ar), 0);
    EXPECT_TRUE(none.IsEmpty());
    std::fclose(f);
}

TEST(CDibClass, PictureCopyKeepsHeaderTableAndPixels)
{
    const Bytes file = MakeBmp(3, 2, 8, Bytes(64, 9), Bytes(8, 5), 16);
    CPicture p;
    ASSERT_EQ(p.ReadBmp(file.data(), file.size(), 1, 0), 1);
    CDib* dib = nullptr;
    ASSERT_EQ(p.CopyToDib(&dib), 1);
    ASSERT_NE(dib, nullptr);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib->GetHandle()));
    EXPECT_EQ(h->biClrUsed, 16u);
    EXPECT_EQ(DibBits(h) - reinterpret_cast<BYTE*>(h), 104);
    EXPECT_EQ(DibBits(h)[0], 5);
    GlobalUnlock(dib->GetHandle());
    delete dib;
}

TEST(Dib, EveryPairOfDepthsKeepsColoursTheTargetCanHold)
{
    const std::vector<std::array<int, 3>> px = {{{0, 0, 0}}, {{255, 0, 0}}, {{0, 255, 0}}, {{255, 255, 0}}};
    HGLOBAL src = Make24(4, 1, px);
    const int depths[] = {4, 8, 16, 24, 32};
    for (int from : depths)
        for (int to : depths) {
            SCOPED_TRACE(std::to_string(from) + " -> " + std::to_string(to));
            HGLOBAL a = ConvertDib(src, from, nullptr);
            ASSERT_NE(a, nullptr);
            HGLOBAL b = ConvertDib(a, to, nullptr);
            ASSERT_NE(b, nullptr);
            HGLOBAL c = ConvertDib(b, 24, nullptr);
            ASSERT_NE(c, nullptr);
            auto* s = static_cast<BITMAPINFOHEADER*>(GlobalLock(src));
            auto* r = static_cast<BITMAPINFOHEADER*>(GlobalLock(c));
            // The quantizer reads 16-bit channels shifted, not replicated
            // (31 is 248), so an 8-bit table made from a 16-bit picture is
            // up to 7 below full intensity.
            const int slack = from == 16 && to <= 8 ? 7 : 0;
            for (int i = 0; i < 12; ++i)
                EXPECT_LE(std::abs(DibBits(s)[i] - DibBits(r)[i]), slack) << i;
            GlobalUnlock(src);
            GlobalUnlock(c);
            FreeDib(a);
            FreeDib(b);
            FreeDib(c);
        }
    FreeDib(src);
}

TEST(Octree, UnsupportedDepthsGiveNoPalette)
{
    for (WORD bits : {2, 15}) {
        BITMAPINFOHEADER h{40, 2, 2, 1, bits, 0, 0, 0, 0, 0, 0};
        std::vector<BYTE> block(40 + 1024 + 64);
        std::memcpy(block.data(), &h, 40);
        EXPECT_EQ(OctreePaletteFromDib(reinterpret_cast<BITMAPINFOHEADER*>(block.data()), 256, 8), nullptr) << bits;
    }
}
