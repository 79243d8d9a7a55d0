#include "formats/lzw.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> DecodeAll(const std::vector<BYTE>& data, int minCodeSize, std::size_t capacity = 64)
{
    static LzwDecoder decoder; // large tables: keep them off the stack
    std::vector<int> out;
    if (!decoder.Start(data.data(), data.size(), minCodeSize))
        return {-2};
    std::vector<BYTE> indices(capacity + LzwDecoder::kSlack);
    const std::size_t n = decoder.Decode(indices.data(), capacity);
    out.assign(indices.begin(), indices.begin() + std::ptrdiff_t(n));
    return out;
}

} // namespace

// Codes (3 bits, then 4 once code 7 is assigned): clear, 1, 1, 6, end, packed
// LSB first into 0x4C 0x5C. Split into 1-byte sub-blocks, every code straddles
// a block boundary and must still decode the same.
TEST(Lzw, DecodesAcrossSubBlocksAndWidthStep)
{
    const std::vector<int> expect = {1, 1, 1, 1};
    EXPECT_EQ(DecodeAll({2, 0x4C, 0x5C, 0}, 2), expect);
    EXPECT_EQ(DecodeAll({1, 0x4C, 1, 0x5C, 0}, 2), expect);
}

// clear, 1, 6 where 6 is the code about to be assigned (string + own first byte).
TEST(Lzw, CodeEqualToNextFree)
{
    // LSB first: 001 100 011 101 -> 0x8C 0x0B
    const std::vector<int> expect = {1, 1, 1};
    EXPECT_EQ(DecodeAll({2, 0x8C, 0x0B, 0}, 2), expect);
    // cut short by the end of the picture inside that string
    EXPECT_EQ(DecodeAll({2, 0x8C, 0x0B, 0}, 2, 2), (std::vector<int>{1, 1}));
    EXPECT_EQ(DecodeAll({2, 0x4C, 0x5C, 0}, 2, 3), (std::vector<int>{1, 1, 1}));
}

TEST(Lzw, RefusesBadCodeSizesAndStopsOnTruncation)
{
    EXPECT_EQ(DecodeAll({1, 0}, 1), std::vector<int>{-2});
    EXPECT_EQ(DecodeAll({1, 0}, 12), std::vector<int>{-2});
    // a length byte promising more than the data holds yields nothing
    EXPECT_TRUE(DecodeAll({9, 0x4C}, 2).empty());
    // a code beyond the next free one ends the decode
    EXPECT_EQ(DecodeAll({2, 0xCC, 0x01, 0}, 2), std::vector<int>{1});
}

// clear, 1, 2, 6 ("12"), 8: the code being defined, "12" plus its own first
// byte, "121"; taking the previous string's last byte instead gives "122".
// Code 8 and the end code are 4 bits wide (code 7 was assigned before).
TEST(Lzw, CodeBeingDefinedTakesTheFirstByteOfThePreviousString)
{
    EXPECT_EQ(DecodeAll({3, 0x8C, 0x8C, 0x05, 0}, 2), (std::vector<int>{1, 2, 1, 2, 1, 2, 1}));
}
