// Sizes of device-independent bitmaps and the reading of masked pixel
// channels: one checked place for the row stride, the image size limit and
// the depths a bitmap may have.
#pragma once

#include "platform/windef.h"

#include <cstdint>

// Largest pixel block a bitmap may have, header excluded.
constexpr std::uint64_t kDibImageLimit = 0x7FFFFFFF;

constexpr bool DibDepthAllowed(int bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

// Bytes of one stored row: whole 32-bit words.
constexpr std::uint64_t DibStride(std::uint64_t width, unsigned bitCount)
{
    return (width * bitCount + 31) / 32 * 4;
}

// Pixels a bitmap may have at most. Unbounded but for the fuzz targets, which
// cap what they accept so that each input decodes quickly.
inline std::uint64_t g_dibPixelLimit = ~std::uint64_t(0);

inline void SetDibPixelLimit(std::uint64_t pixels)
{
    g_dibPixelLimit = pixels;
}

struct DibLayout {
    int rowBytes = 0;
    int imageBytes = 0;
};

// The stride and image size of a width x height bitmap, or false when a size
// is not positive, the depth is not allowed or the image passes the limit.
// Only the magnitude of the height counts (top-down bitmaps store it negative).
inline bool DibSizeFor(std::int64_t width, std::int64_t height, int bitCount, DibLayout* out = nullptr)
{
    if (height < 0)
        height = -height;
    constexpr auto kLimit = static_cast<std::int64_t>(kDibImageLimit);
    if (width <= 0 || height <= 0 || width > kLimit || height > kLimit || !DibDepthAllowed(bitCount))
        return false;
    if (std::uint64_t(width) * std::uint64_t(height) > g_dibPixelLimit)
        return false;
    const std::uint64_t stride = DibStride(std::uint64_t(width), unsigned(bitCount));
    const std::uint64_t image = stride * std::uint64_t(height);
    if (image > kDibImageLimit)
        return false;
    if (out) {
        out->rowBytes = static_cast<int>(stride);
        out->imageBytes = static_cast<int>(image);
    }
    return true;
}

// One colour channel under a bit mask, widened to 8 bits by repeating its
// top bits below them, so that a full channel of any width reads 255.
class MaskedChannel {
public:
    MaskedChannel() = default;
    explicit MaskedChannel(DWORD mask) : m_mask(mask)
    {
        for (DWORD m = mask; m && !(m & 1); m >>= 1)
            ++m_shift;
        for (DWORD m = mask; m; m &= m - 1)
            ++m_bits;
    }
    bool Present() const { return m_mask != 0; }
    BYTE operator()(DWORD word) const
    {
        if (!m_mask)
            return 0;
        const DWORD c = (word & m_mask) >> m_shift;
        if (m_bits >= 8)
            return BYTE(c >> (m_bits - 8));
        DWORD v = c << (8 - m_bits);
        for (int have = m_bits; have < 8; have += m_bits)
            v |= v >> m_bits;
        return BYTE(v);
    }

private:
    DWORD m_mask = 0;
    int m_shift = 0;
    int m_bits = 0;
};
