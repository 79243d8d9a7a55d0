// A quarter turn clockwise of the pixel rows in memory. Stored rows run
// bottom-up, so pixel x of stored row y goes to stored row W - 1 - x at
// position y; only the W pixels of each row are read, never the padding.
#include "picture/picture.h"
#include "platform/dibformat.h"
#include "platform/largeblock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KORVEX_ROTATE_X86 1
#include <immintrin.h>
#endif

namespace {

struct Planes {
    const BYTE* src;
    std::int64_t srcStride;
    BYTE* dst;
    std::int64_t dstStride;
    int w, h; // of the old picture
};

// One pixel of whole bytes, the reference move every kernel's edges fall back to.
template <int Bytes>
inline void MovePixel(const Planes& p, int x, int y)
{
    std::memcpy(p.dst + p.dstStride * (p.w - 1 - x) + std::int64_t(y) * Bytes,
                p.src + p.srcStride * y + std::int64_t(x) * Bytes, Bytes);
}

// Whole-byte depths in tiles, so that the rows written to stay in cache
// while the old rows are read.
template <int Bytes>
void TurnTiled(const Planes& p)
{
    constexpr int kTile = 64;
    for (int y0 = 0; y0 < p.h; y0 += kTile) {
        const int y1 = std::min(y0 + kTile, p.h);
        for (int x0 = 0; x0 < p.w; x0 += kTile) {
            const int x1 = std::min(x0 + kTile, p.w);
            for (int x = x0; x < x1; ++x) {
                BYTE* d = p.dst + p.dstStride * (p.w - 1 - x) + std::int64_t(y0) * Bytes;
                const BYTE* s = p.src + p.srcStride * y0 + std::int64_t(x) * Bytes;
                for (int y = y0; y < y1; ++y) {
                    std::memcpy(d, s, Bytes);
                    d += Bytes;
                    s += p.srcStride;
                }
            }
        }
    }
}

#ifdef KORVEX_ROTATE_X86
constexpr int kSimdTile = 128;

// 4 x 4 blocks of 32-bit pixels: four rows in, a register transpose, four
// rows out. SSE2 is part of every x86-64 processor.
void Turn32(const Planes& p)
{
    for (int y0 = 0; y0 < p.h; y0 += kSimdTile) {
        const int y1 = std::min(y0 + kSimdTile, p.h);
        for (int x0 = 0; x0 < p.w; x0 += kSimdTile) {
            const int x1 = std::min(x0 + kSimdTile, p.w);
            int y = y0;
            for (; y + 4 <= y1; y += 4) {
                int x = x0;
                for (; x + 4 <= x1; x += 4) {
                    const BYTE* s = p.src + p.srcStride * y + std::int64_t(x) * 4;
                    const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
                    const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p.srcStride));
                    const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * p.srcStride));
                    const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * p.srcStride));
                    const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpackhi_epi32(r0, r1);
                    const __m128i t2 = _mm_unpacklo_epi32(r2, r3), t3 = _mm_unpackhi_epi32(r2, r3);
                    BYTE* d = p.dst + p.dstStride * (p.w - 1 - x) + std::int64_t(y) * 4;
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi64(t0, t2));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - p.dstStride), _mm_unpackhi_epi64(t0, t2));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - 2 * p.dstStride), _mm_unpacklo_epi64(t1, t3));
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(d - 3 * p.dstStride), _mm_unpackhi_epi64(t1, t3));
                }
                for (; x < x1; ++x)
                    for (int k = 0; k < 4; ++k)
                        MovePixel<4>(p, x, y + k);
            }
            for (; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    MovePixel<4>(p, x, y);
        }
    }
}

// 8 x 8 blocks of 8-bit pixels: eight 8-byte rows in, three rounds of
// interleaving, eight 8-byte columns out.
void Turn8(const Planes& p)
{
    for (int y0 = 0; y0 < p.h; y0 += kSimdTile) {
        const int y1 = std::min(y0 + kSimdTile, p.h);
        for (int x0 = 0; x0 < p.w; x0 += kSimdTile) {
            const int x1 = std::min(x0 + kSimdTile, p.w);
            int y = y0;
            for (; y + 8 <= y1; y += 8) {
                int x = x0;
                for (; x + 8 <= x1; x += 8) {
                    const BYTE* s = p.src + p.srcStride * y + x;
                    __m128i r[8];
                    for (int k = 0; k < 8; ++k)
                        r[k] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + k * p.srcStride));
                    const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpacklo_epi8(r[2], r[3]);
                    const __m128i a2 = _mm_unpacklo_epi8(r[4], r[5]), a3 = _mm_unpacklo_epi8(r[6], r[7]);
                    const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
                    const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
                    // Each holds two columns of eight rows: x + 2i and x + 2i + 1.
                    const __m128i cols[4] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                                             _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3)};
                    BYTE* d = p.dst + p.dstStride * (p.w - 1 - x) + y;
                    for (int i = 0; i < 4; ++i) {
                        _mm_storel_epi64(reinterpret_cast<__m128i*>(d - (2 * i) * p.dstStride), cols[i]);
                        _mm_storel_epi64(reinterpret_cast<__m128i*>(d - (2 * i + 1) * p.dstStride),
                                         _mm_srli_si128(cols[i], 8));
                    }
                }
                for (; x < x1; ++x)
                    for (int k = 0; k < 8; ++k)
                        MovePixel<1>(p, x, y + k);
            }
            for (; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    MovePixel<1>(p, x, y);
        }
    }
}

// 4 x 4 blocks of 24-bit pixels: each row's 12 bytes are spread to 32-bit
// lanes, transposed, and packed back. A 16-byte load reads 4 bytes past the
// block's pixels, so blocks whose load would leave the row move pixel by pixel.
__attribute__((target("ssse3"))) void Turn24Ssse3(const Planes& p)
{
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    for (int y0 = 0; y0 < p.h; y0 += kSimdTile) {
        const int y1 = std::min(y0 + kSimdTile, p.h);
        for (int x0 = 0; x0 < p.w; x0 += kSimdTile) {
            const int x1 = std::min(x0 + kSimdTile, p.w);
            int y = y0;
            for (; y + 4 <= y1; y += 4) {
                int x = x0;
                for (; x + 4 <= x1 && std::int64_t(x) * 3 + 16 <= p.srcStride; x += 4) {
                    const BYTE* s = p.src + p.srcStride * y + std::int64_t(x) * 3;
                    // (Written out: a lambda would not inherit the target.)
                    const __m128i r0 = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s)), spread);
                    const __m128i r1 = _mm_shuffle_epi8(
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + p.srcStride)), spread);
                    const __m128i r2 = _mm_shuffle_epi8(
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 2 * p.srcStride)), spread);
                    const __m128i r3 = _mm_shuffle_epi8(
                        _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 3 * p.srcStride)), spread);
                    const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpackhi_epi32(r0, r1);
                    const __m128i t2 = _mm_unpacklo_epi32(r2, r3), t3 = _mm_unpackhi_epi32(r2, r3);
                    const __m128i cols[4] = {_mm_unpacklo_epi64(t0, t2), _mm_unpackhi_epi64(t0, t2),
                                             _mm_unpacklo_epi64(t1, t3), _mm_unpackhi_epi64(t1, t3)};
                    BYTE* d = p.dst + p.dstStride * (p.w - 1 - x) + std::int64_t(y) * 3;
                    for (int k = 0; k < 4; ++k) {
                        const __m128i packed = _mm_shuffle_epi8(cols[k], pack);
                        BYTE* out = d - k * p.dstStride;
                        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), packed);
                        const std::int32_t tail = _mm_cvtsi128_si32(_mm_srli_si128(packed, 8));
                        std::memcpy(out + 8, &tail, 4);
                    }
                }
                for (; x < x1; ++x)
                    for (int k = 0; k < 4; ++k)
                        MovePixel<3>(p, x, y + k);
            }
            for (; y < y1; ++y)
                for (int x = x0; x < x1; ++x)
                    MovePixel<3>(p, x, y);
        }
    }
}
#endif

void Turn24(const Planes& p)
{
#ifdef KORVEX_ROTATE_X86
    if (__builtin_cpu_supports("ssse3")) {
        Turn24Ssse3(p);
        return;
    }
#endif
    TurnTiled<3>(p);
}

void TurnNibbles(const Planes& p)
{
    // Two old rows at a time: pixel x of rows y and y + 1 make the whole new
    // byte y / 2 of new row W - 1 - x, so each new byte is written once.
    for (int y = 0; y < p.h; y += 2) {
        const BYTE* even = p.src + p.srcStride * y;
        const BYTE* odd = y + 1 < p.h ? even + p.srcStride : nullptr;
        BYTE* d = p.dst + p.dstStride * (p.w - 1) + y / 2;
        for (int x = 0; x < p.w; ++x) {
            const int shift = (x & 1) ? 0 : 4;
            const int high = (even[x / 2] >> shift) & 0x0F;
            const int low = odd ? (odd[x / 2] >> shift) & 0x0F : 0;
            *d = static_cast<BYTE>(high << 4 | low);
            d -= p.dstStride;
        }
    }
}

// Transposes an 8 x 8 bit matrix held as eight bytes, row 0 in the most
// significant byte and column 0 in each byte's top bit.
inline std::uint64_t TransposeBits(std::uint64_t x)
{
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

void TurnBits(const Planes& p)
{
    // Eight old rows at a time: one byte from each is an 8 x 8 bit block
    // whose transpose gives one byte of eight new rows.
    for (int y0 = 0; y0 < p.h; y0 += 8) {
        const int n = std::min(p.h - y0, 8);
        const BYTE* rows[8];
        for (int k = 0; k < n; ++k)
            rows[k] = p.src + p.srcStride * (y0 + k);
        BYTE* d = p.dst + p.dstStride * (p.w - 1) + y0 / 8;
        for (int xb = 0; xb < (p.w + 7) / 8; ++xb) {
            std::uint64_t block = 0;
            for (int k = 0; k < n; ++k)
                block |= std::uint64_t(rows[k][xb]) << (56 - 8 * k);
            block = TransposeBits(block);
            // Bits of pixels past the row's end are padding: not moved.
            const int count = std::min(8, p.w - xb * 8);
            for (int j = 0; j < count; ++j) {
                *d = static_cast<BYTE>(block >> (56 - 8 * j));
                d -= p.dstStride;
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
    if (!DibDepthAllowed(d))
        return 0;
    const int w = m_nWidth, h = m_nHeight;
    const std::int64_t srcStride = m_nRowBytes;
    // The old rows must lie inside the block we were given.
    if (srcStride < (std::int64_t(w) * d + 7) / 8 || srcStride * h > m_nImageSize)
        return 0;
    DibLayout turned;
    if (!DibSizeFor(h, w, d, &turned))
        return 0;
    const std::int64_t dstStride = turned.rowBytes;
    const std::int64_t size = turned.imageBytes;
    auto* block = static_cast<BYTE*>(AllocLargeBlock(static_cast<std::size_t>(size)));
    if (!block)
        return 0;
    // 1 and 4 bits are ORed into a zeroed block. For whole bytes, zero the
    // padding of the new rows: the savers write it out, and leftover heap
    // bytes would make the same picture save differently.
    const std::int64_t used = (std::int64_t(h) * d + 7) / 8;
    if (d <= 4)
        std::memset(block, 0, static_cast<std::size_t>(size));
    else if (used < dstStride)
        for (int r = 0; r < w; ++r)
            std::memset(block + dstStride * r + used, 0, static_cast<std::size_t>(dstStride - used));
    const Planes planes{m_pBits, srcStride, block, dstStride, w, h};
    switch (d) {
    case 1: TurnBits(planes); break;
    case 4: TurnNibbles(planes); break;
    case 8:
#ifdef KORVEX_ROTATE_X86
        Turn8(planes);
#else
        TurnTiled<1>(planes);
#endif
        break;
    case 16: TurnTiled<2>(planes); break;
    case 24: Turn24(planes); break;
    default:
#ifdef KORVEX_ROTATE_X86
        Turn32(planes);
#else
        TurnTiled<4>(planes);
#endif
        break;
    }
    if (!m_bBitsBorrowed)
        std::free(m_pBits);
    PixelsReplaced();
    m_pBits = block;
    m_nWidth = h;
    m_nHeight = w;
    m_nRowBytes = static_cast<int>(dstStride);
    m_nImageSize = static_cast<int>(size);
    m_bBitsBorrowed = 0;
    m_bRotated = 1;
    return 1;
}
