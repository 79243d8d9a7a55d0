// A quarter turn clockwise of the pixel rows in memory. Stored rows run
// bottom-up, so pixel x of stored row y goes to stored row W - 1 - x at
// position y; only the W pixels of each row are read, never the padding.
#include "picture/picture.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Whole-byte depths in tiles of 64 x 64 pixels, so that the rows written to
// stay in cache while the old rows are read.
template <int Bytes>
void TurnTiled(const BYTE* src, std::int64_t srcStride, BYTE* dst, std::int64_t dstStride, int w, int h)
{
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < h; y0 += kTile) {
        const int y1 = y0 + kTile < h ? y0 + kTile : h;
        for (int x0 = 0; x0 < w; x0 += kTile) {
            const int x1 = x0 + kTile < w ? x0 + kTile : w;
            for (int x = x0; x < x1; ++x) {
                BYTE* d = dst + dstStride * (w - 1 - x) + std::int64_t(y0) * Bytes;
                const BYTE* s = src + srcStride * y0 + std::int64_t(x) * Bytes;
                for (int y = y0; y < y1; ++y) {
                    std::memcpy(d, s, Bytes);
                    d += Bytes;
                    s += srcStride;
                }
            }
        }
    }
}

void TurnNibbles(const BYTE* src, std::int64_t srcStride, BYTE* dst, std::int64_t dstStride, int w, int h)
{
    for (int y = 0; y < h; ++y) {
        const BYTE* s = src + srcStride * y;
        const int shift = (y & 1) ? 0 : 4;
        BYTE* d = dst + dstStride * (w - 1) + y / 2;
        for (int x = 0; x < w; ++x) {
            const int v = (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4);
            *d |= static_cast<BYTE>(v << shift);
            d -= dstStride;
        }
    }
}

void TurnBits(const BYTE* src, std::int64_t srcStride, BYTE* dst, std::int64_t dstStride, int w, int h)
{
    // Eight old rows at a time: the eight bits of one new byte come from the
    // same column of eight consecutive rows, so each new byte is written once.
    for (int y0 = 0; y0 < h; y0 += 8) {
        const int n = h - y0 < 8 ? h - y0 : 8;
        const BYTE* rows[8];
        for (int k = 0; k < n; ++k)
            rows[k] = src + srcStride * (y0 + k);
        BYTE* d = dst + dstStride * (w - 1) + y0 / 8;
        for (int xb = 0; xb < (w + 7) / 8; ++xb) {
            BYTE in[8] = {0, 0, 0, 0, 0, 0, 0, 0};
            for (int k = 0; k < n; ++k)
                in[k] = rows[k][xb];
            const int xEnd = (xb + 1) * 8 < w ? (xb + 1) * 8 : w;
            for (int x = xb * 8; x < xEnd; ++x) {
                const int bit = 7 - (x & 7);
                BYTE out = 0;
                for (int k = 0; k < n; ++k)
                    out |= static_cast<BYTE>(((in[k] >> bit) & 1) << (7 - k));
                *d |= out;
                d -= dstStride;
            }
        }
    }
}

} // namespace

int CPicture::RotateClockwise()
{
    if (!m_pBits || m_nWidth <= 0 || m_nHeight <= 0)
        return 0;
    const int d = m_nBitCount;
    if (d != 1 && d != 4 && d != 8 && d != 16 && d != 24 && d != 32)
        return 0;
    const int w = m_nWidth, h = m_nHeight;
    const std::int64_t srcStride = m_nRowBytes;
    // The old rows must lie inside the block we were given.
    if (srcStride < (std::int64_t(w) * d + 7) / 8 || srcStride * h > m_nImageSize)
        return 0;
    const std::int64_t dstStride = (std::int64_t(h) * d + 31) / 32 * 4;
    const std::int64_t size = dstStride * w;
    if (size > 0x7FFFFFFF)
        return 0;
    auto* block = static_cast<BYTE*>(d <= 4 ? std::calloc(static_cast<std::size_t>(size), 1)
                                            : std::malloc(static_cast<std::size_t>(size)));
    if (!block)
        return 0;
    // Zero the padding of the new rows: it is written out by the savers, and
    // leftover heap bytes would make the same picture save differently.
    const std::int64_t used = (std::int64_t(h) * d + 7) / 8;
    if (d > 4 && used < dstStride)
        for (int r = 0; r < w; ++r)
            std::memset(block + dstStride * r + used, 0, static_cast<std::size_t>(dstStride - used));
    switch (d) {
    case 1:
        TurnBits(m_pBits, srcStride, block, dstStride, w, h);
        break;
    case 4:
        TurnNibbles(m_pBits, srcStride, block, dstStride, w, h);
        break;
    case 8:
        TurnTiled<1>(m_pBits, srcStride, block, dstStride, w, h);
        break;
    case 16:
        TurnTiled<2>(m_pBits, srcStride, block, dstStride, w, h);
        break;
    case 24:
        TurnTiled<3>(m_pBits, srcStride, block, dstStride, w, h);
        break;
    default:
        TurnTiled<4>(m_pBits, srcStride, block, dstStride, w, h);
        break;
    }
    if (!m_bBitsBorrowed)
        std::free(m_pBits);
    m_pBits = block;
    m_nWidth = h;
    m_nHeight = w;
    m_nRowBytes = static_cast<int>(dstStride);
    m_nImageSize = static_cast<int>(size);
    m_bBitsBorrowed = 0;
    m_bRotated = 1;
    return 1;
}
