#include "formats/packrows.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

namespace {

BYTE* MallocCopy(const BYTE* data, std::size_t n)
{
    auto* p = static_cast<BYTE*>(std::malloc(n));
    std::memcpy(p, data, n);
    return p;
}

} // namespace

// A 2 x 2 picture: rows come out bottom-up, pixels as B, G, R, each row padded
// from 6 to 8 bytes with zeros; a 1 x 1 picture has a stride of 4.
TEST(PackRows, ReordersSwapsAndPads)
{
    const BYTE rgb[] = {1, 2, 3, 4, 5, 6, /* top */ 7, 8, 9, 10, 11, 12 /* bottom */};
    HGLOBAL block = PackRowsToDib(MallocCopy(rgb, sizeof rgb), 2, 2);
    ASSERT_NE(block, nullptr);
    ASSERT_EQ(GlobalSize(block), 40u + 16u);
    auto* p = static_cast<BYTE*>(GlobalLock(block));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(p);
    EXPECT_EQ(h->biSize, 40u);
    EXPECT_EQ(h->biWidth, 2);
    EXPECT_EQ(h->biHeight, 2);
    EXPECT_EQ(h->biBitCount, 24);
    const BYTE rows[] = {9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0};
    EXPECT_EQ(std::memcmp(p + 40, rows, sizeof rows), 0);
    GlobalUnlock(block);
    GlobalFree(block);

    const BYTE one[] = {10, 20, 30};
    block = PackRowsToDib(MallocCopy(one, 3), 1, 1);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(GlobalSize(block), 44u);
    GlobalFree(block);
}

TEST(PackRows, RefusesSizesThatDoNotFit)
{
    EXPECT_EQ(PackRowsToDib(nullptr, 1, 1), nullptr);
    EXPECT_EQ(PackRowsToDib(static_cast<BYTE*>(std::malloc(3)), 0, 1), nullptr);
    EXPECT_EQ(PackRowsToDib(static_cast<BYTE*>(std::malloc(3)), 40000, 40000), nullptr);
}
