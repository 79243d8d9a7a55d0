#include "picture/picture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

// Pixel (x, y) as seen, y counted from the top, whatever the depth.
std::uint32_t PixelAt(const CPicture& p, int x, int y)
{
    const BYTE* row = p.GetRow(p.GetHeight() - 1 - y);
    switch (p.GetBitCount()) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 1;
    case 4: return x % 2 ? row[x / 2] & 0x0F : row[x / 2] >> 4;
    default: {
        const int n = p.GetBitCount() / 8;
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = v << 8 | row[x * n + i];
        return v;
    }
    }
}

// Varied pixels, zero padding (bits and bytes past each row's pixels).
std::unique_ptr<CPicture> MakeVaried(int w, int h, int depth)
{
    auto p = std::make_unique<CPicture>();
    EXPECT_EQ(p->CreateDib(w, h, depth, 1), 1);
    std::uint32_t state = 12345u + unsigned(depth);
    for (int y = 0; y < h; ++y) {
        BYTE* row = p->GetRow(y);
        for (int x = 0; x < w; ++x) {
            state = state * 1103515245u + 12345u;
            const unsigned v = state >> 8;
            switch (depth) {
            case 1: row[x / 8] |= BYTE((v & 1) << (7 - x % 8)); break;
            case 4: row[x / 2] |= BYTE(x % 2 ? v & 0x0F : (v & 0x0F) << 4); break;
            default:
                for (int i = 0; i < depth / 8; ++i)
                    row[x * depth / 8 + i] = BYTE(v >> (8 * i));
            }
        }
    }
    return p;
}

std::vector<BYTE> BytesOf(const CPicture& p)
{
    return {p.GetBits(), p.GetBits() + p.GetImageSize()};
}

const int kDepths[] = {1, 4, 8, 16, 24, 32};

} // namespace

TEST(Rotate, QuarterTurnMovesEveryPixelClockwiseAtEveryDepth)
{
    // Odd sizes cross byte, nibble, block and tile boundaries; 8 x 12 has no
    // row padding at 24 bits, so a block load there would leave the picture.
    for (int depth : kDepths) {
        for (auto [w, h] : {std::pair{13, 7}, std::pair{70, 131}, std::pair{1, 9}, std::pair{9, 1}, std::pair{8, 12}, std::pair{133, 130}}) {
            SCOPED_TRACE(::testing::Message() << depth << " bits " << w << "x" << h);
            const auto before = MakeVaried(w, h, depth);
            auto pic = MakeVaried(w, h, depth);
            ASSERT_EQ(pic->RotateClockwise(), 1);
            ASSERT_EQ(pic->GetWidth(), h);
            ASSERT_EQ(pic->GetHeight(), w);
            ASSERT_EQ(pic->GetBitCount(), depth);
            ASSERT_EQ(pic->GetRowBytes(), (h * depth + 31) / 32 * 4);
            ASSERT_EQ(pic->GetImageSize(), pic->GetRowBytes() * w);
            // The old top-left goes to the top-right: (x, y) -> (h - 1 - y, x).
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(PixelAt(*pic, h - 1 - y, x), PixelAt(*before, x, y)) << x << "," << y;
            // Four turns: the same bytes, padding included.
            for (int i = 0; i < 3; ++i)
                ASSERT_EQ(pic->RotateClockwise(), 1);
            EXPECT_EQ(pic->GetWidth(), w);
            EXPECT_EQ(pic->GetRowBytes(), before->GetRowBytes());
            EXPECT_EQ(BytesOf(*pic), BytesOf(*before));
        }
    }
}

TEST(Rotate, OneBitTenByThree)
{
    CPicture pic;
    ASSERT_EQ(pic.CreateDib(10, 3, 1, 1), 1);
    pic.GetColorTable()[0] = {1, 2, 3, 0};
    pic.GetColorTable()[1] = {4, 5, 6, 0};
    RGBQUAD* table = pic.GetColorTable();
    // Every pixel set, and the padding too: padding must not be carried over.
    std::memset(pic.GetBits(), 0xFF, std::size_t(pic.GetImageSize()));
    ASSERT_EQ(pic.RotateClockwise(), 1);
    EXPECT_EQ(pic.GetWidth(), 3);
    EXPECT_EQ(pic.GetHeight(), 10);
    EXPECT_EQ(pic.GetRowBytes(), 4);
    EXPECT_EQ(pic.GetImageSize(), 40);
    EXPECT_EQ(pic.GetColorCount(), 2);
    EXPECT_EQ(pic.GetColorTable(), table);
    EXPECT_EQ(table[1].rgbBlue, 4);
    EXPECT_EQ(table[1].rgbRed, 6);
    for (int row = 0; row < 10; ++row) {
        const BYTE* r = pic.GetRow(row);
        EXPECT_EQ(r[0], 0xE0) << row;
        EXPECT_EQ(r[1] | r[2] | r[3], 0) << row;
    }
    EXPECT_EQ(pic.m_bRotated, 1);
    EXPECT_EQ(pic.m_bBitsBorrowed, 0);
    EXPECT_NE(pic.m_hBitmap, nullptr); // the section stays held until the next release
}

TEST(Rotate, TwoPixelsClockwiseCounterClockwiseAndHalf)
{
    const BYTE a[3] = {1, 2, 3}, b[3] = {4, 5, 6};
    auto make = [&] {
        auto p = std::make_unique<CPicture>();
        EXPECT_EQ(p->CreateDib(2, 1, 24, 1), 1);
        std::memcpy(p->GetBits(), a, 3);
        std::memcpy(p->GetBits() + 3, b, 3);
        return p;
    };
    auto turn = [](CPicture& p, int n) {
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(p.RotateClockwise(), 1);
    };
    // Stored rows run bottom-up: row 1 is the top one as seen.
    auto cw = make();
    turn(*cw, 1);
    ASSERT_EQ(cw->GetWidth(), 1);
    ASSERT_EQ(cw->GetHeight(), 2);
    EXPECT_EQ(std::memcmp(cw->GetRow(1), a, 3), 0);
    EXPECT_EQ(std::memcmp(cw->GetRow(0), b, 3), 0);
    EXPECT_EQ(cw->GetRow(0)[3], 0); // padding written as zero

    auto ccw = make();
    turn(*ccw, 3);
    EXPECT_EQ(std::memcmp(ccw->GetRow(1), b, 3), 0);
    EXPECT_EQ(std::memcmp(ccw->GetRow(0), a, 3), 0);

    auto half = make();
    turn(*half, 2);
    ASSERT_EQ(half->GetWidth(), 2);
    EXPECT_EQ(std::memcmp(half->GetBits(), b, 3), 0);
    EXPECT_EQ(std::memcmp(half->GetBits() + 3, a, 3), 0);
}

TEST(Rotate, BorrowedBlocksAreLeftToTheirOwner)
{
    // Pixels that belong to someone else (a codec's decode): the first turn
    // leaves them alone, the later ones free the picture's own blocks.
    std::vector<BYTE> foreign(8, 0);
    foreign[0] = 0x11;
    CPicture pic;
    pic.m_pBits = foreign.data();
    pic.m_nWidth = 2;
    pic.m_nHeight = 1;
    pic.m_nBitCount = 24;
    pic.m_nRowBytes = 8;
    pic.m_nImageSize = 8;
    pic.MarkBitsBorrowed();
    ASSERT_EQ(pic.RotateClockwise(), 1);
    EXPECT_NE(pic.GetBits(), foreign.data());
    EXPECT_EQ(pic.m_bBitsBorrowed, 0);
    EXPECT_EQ(pic.GetRow(1)[0], 0x11);
    ASSERT_EQ(pic.RotateClockwise(), 1);
    EXPECT_EQ(foreign[0], 0x11);
}

TEST(Rotate, RefusesWhatItCannotTurn)
{
    CPicture empty;
    EXPECT_EQ(empty.RotateClockwise(), 0);
    EXPECT_FALSE(empty.HasImage());
    EXPECT_EQ(empty.m_bRotated, 0);

    // Sizes that promise more than the block holds, or an unknown depth.
    auto pic = MakeVaried(8, 8, 8);
    const std::vector<BYTE> before = BytesOf(*pic);
    BYTE* bits = pic->GetBits();
    pic->m_nImageSize = 63;
    EXPECT_EQ(pic->RotateClockwise(), 0);
    pic->m_nImageSize = 64;
    pic->m_nRowBytes = 4;
    EXPECT_EQ(pic->RotateClockwise(), 0);
    pic->m_nRowBytes = 8;
    pic->m_nBitCount = 2;
    EXPECT_EQ(pic->RotateClockwise(), 0);
    pic->m_nBitCount = 8;
    EXPECT_EQ(pic->GetBits(), bits);
    EXPECT_EQ(pic->GetWidth(), 8);
    EXPECT_EQ(pic->m_bRotated, 0);
    EXPECT_EQ(BytesOf(*pic), before);
}
