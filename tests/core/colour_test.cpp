#include "formats/packrows.h"
#include "picture/dib.h"
#include "picture/octree.h"
#include "picture/picture.h"
#include "platform/dc.h"
#include "test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>
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
    // 16 bits without bitfields: 31 reads as 255 (its top bits repeated below).
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
    EXPECT_EQ(e[0].peRed, 255);
    EXPECT_EQ(e[0].peBlue, 255);
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

namespace {

// The octree as plainly as it can be written: every pixel walks from the
// root, the deepest level's newest node is merged first, leaves are read in
// child order. The quantizer must give exactly this palette.
class PlainOctree {
public:
    explicit PlainOctree(UINT limit) : m_limit(limit) {}

    void Add(int r, int g, int b)
    {
        std::unique_ptr<Node>* slot = &m_root;
        for (int level = 0;; ++level) {
            if (!*slot) {
                *slot = std::make_unique<Node>();
                (*slot)->leaf = level == 8;
                if ((*slot)->leaf)
                    ++m_leaves;
                else
                    m_reducible[level].push_back(slot->get());
            }
            Node* n = slot->get();
            if (n->leaf) {
                ++n->count;
                n->sum[0] += unsigned(r);
                n->sum[1] += unsigned(g);
                n->sum[2] += unsigned(b);
                break;
            }
            const int bit = 7 - level;
            slot = &n->child[((r >> bit) & 1) << 2 | ((g >> bit) & 1) << 1 | ((b >> bit) & 1)];
        }
        while (m_leaves > m_limit) {
            int level = 7;
            while (level > 0 && m_reducible[level].empty())
                --level;
            Node* n = m_reducible[level].back();
            m_reducible[level].pop_back();
            for (auto& c : n->child)
                if (c) {
                    n->count += c->count;
                    for (int i = 0; i < 3; ++i)
                        n->sum[i] += c->sum[i];
                    c.reset();
                    --m_leaves;
                }
            n->leaf = true;
            ++m_leaves;
        }
    }

    std::vector<std::array<int, 3>> Palette() const
    {
        std::vector<std::array<int, 3>> out;
        Collect(m_root.get(), out);
        return out;
    }

private:
    struct Node {
        bool leaf = false;
        unsigned count = 0;
        unsigned sum[3] = {0, 0, 0};
        std::unique_ptr<Node> child[8];
    };
    static void Collect(const Node* n, std::vector<std::array<int, 3>>& out)
    {
        if (!n)
            return;
        if (n->leaf) {
            out.push_back({{int(n->sum[0] / n->count), int(n->sum[1] / n->count), int(n->sum[2] / n->count)}});
            return;
        }
        for (const auto& c : n->child)
            Collect(c.get(), out);
    }
    UINT m_limit;
    UINT m_leaves = 0;
    std::unique_ptr<Node> m_root;
    std::vector<Node*> m_reducible[8];
};

} // namespace

TEST(Octree, SameAsThePlainWalkWhateverTheMergesFree)
{
    // Pictures whose merges reach the top levels while most pixels land in
    // leaves a few levels down: uniform noise under small limits, tight
    // clusters that later spread out, and a noisy gradient under 236.
    std::mt19937 rng(11);
    struct Case {
        int kind;
        UINT limit;
    };
    for (const Case c : {Case{0, 2}, Case{0, 8}, Case{0, 64}, Case{1, 8}, Case{1, 236}, Case{2, 16}, Case{2, 236}}) {
        const int w = 97, h = 61;
        std::vector<std::array<int, 3>> px;
        for (int i = 0; i < w * h; ++i) {
            const int x = i % w, y = i / w;
            if (c.kind == 0) {
                px.push_back({{int(rng() % 256), int(rng() % 256), int(rng() % 256)}});
            } else if (c.kind == 1) {
                // A few clusters first, then the whole cube.
                const int spread = i < w * h / 2 ? 6 : 256;
                const int centre = int(i / 700 % 5) * 50;
                px.push_back({{(centre + int(rng() % spread)) & 255, (centre * 3 + int(rng() % spread)) & 255,
                               (255 - centre + int(rng() % spread)) & 255}});
            } else {
                px.push_back({{(x * 2 + int(rng() % 17)) & 255, (y * 4 + int(rng() % 17)) & 255, (x + y + int(rng() % 9)) & 255}});
            }
        }
        PlainOctree plain(c.limit);
        // The quantizer walks the stored rows: bottom row first.
        for (int y = h - 1; y >= 0; --y)
            for (int x = 0; x < w; ++x) {
                const auto& p = px[std::size_t(y * w + x)];
                plain.Add(p[0], p[1], p[2]);
            }
        HGLOBAL dib = Make24(w, h, px);
        HPALETTE made = OctreePaletteFromDib(static_cast<BITMAPINFOHEADER*>(GlobalLock(dib)), c.limit, 8);
        ASSERT_NE(made, nullptr);
        std::vector<std::array<int, 3>> got;
        for (const auto& e : Entries(made))
            got.push_back({{e.peRed, e.peGreen, e.peBlue}});
        EXPECT_EQ(got, plain.Palette()) << "kind " << c.kind << " limit " << c.limit;
        DeleteObject(made);
        GlobalUnlock(dib);
        FreeDib(dib);
    }
}

TEST(Dib, SectionOverCallerMemoryKeepsItAndLeavesItToTheCaller)
{
    std::vector<std::uint32_t> memory(1 + 4 * 2, 0x5A5A5A5Au); // one word ahead, then 4 x 2 pixels of 32 bits
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = 4;
    info.bmiHeader.biHeight = 2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    const int live = LiveDibSectionCount();
    void* bits = nullptr;
    HBITMAP s = CreateDIBSection(GetDC(nullptr), &info, DIB_RGB_COLORS, &bits, memory.data(), 4);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(bits, memory.data() + 1);
    EXPECT_EQ(static_cast<std::uint32_t*>(bits)[0], 0x5A5A5A5Au) << "the contents stay as they were";
    static_cast<std::uint32_t*>(bits)[7] = 7;
    EXPECT_EQ(memory[8], 7u);
    EXPECT_EQ(CreateDIBSection(GetDC(nullptr), &info, DIB_RGB_COLORS, &bits, memory.data(), 2), nullptr)
        << "an offset off a 4-byte boundary";
    DeleteObject(s); // the vector still owns the memory: a free here would be caught as a double free
    EXPECT_EQ(LiveDibSectionCount(), live);
}

TEST(Dib, ConversionFromAShortBlockReadsOnlyWhatItHolds)
{
    // A header promising 64 x 64 pixels over a block that holds one row.
    HGLOBAL block = GlobalAlloc(GHND, 40 + 64 * 3);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    h->biSize = 40;
    h->biWidth = 64;
    h->biHeight = 64;
    h->biPlanes = 1;
    h->biBitCount = 24;
    std::memset(DibBits(h), 200, 64 * 3);
    GlobalUnlock(block);
    HPALETTE halftone = CreateHalftonePalette(nullptr);
    HGLOBAL eight = ConvertDib(block, 8, halftone);
    ASSERT_NE(eight, nullptr);
    FreeDib(eight);
    DeleteObject(halftone);
    FreeDib(block);
}

// More than 2^24 pixels of one colour in one leaf: the sums need 64 bits.
TEST(Octree, FlatAreaOfMoreThanTwoToTheTwentyFourPixels)
{
    const int side = 4097; // 16,785,409 pixels
    HGLOBAL block = AllocDib24(side, side);
    ASSERT_NE(block, nullptr);
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    std::memset(DibBits(h), 0xFF, std::size_t(DibRowBytes(h)) * side);
    HPALETTE palette = OctreePaletteFromDib(h, 256, 8);
    ASSERT_NE(palette, nullptr);
    const auto e = Entries(palette);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ((std::array<int, 3>{e[0].peRed, e[0].peGreen, e[0].peBlue}), (std::array<int, 3>{255, 255, 255}));
    DeleteObject(palette);
    GlobalUnlock(block);
    GlobalFree(block);
}
