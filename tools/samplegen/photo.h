// Photograph-like test pictures: smooth gradients, sensor-like noise and hard
// edges (discs and bars), so that codecs and the quantizer see the statistics
// of real photos rather than flat colour.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// Bottom-up 24-bit rows (B, G, R), stride padded to 4 bytes.
inline std::vector<std::uint8_t> MakePhotoRows(int width, int height, unsigned seed = 1)
{
    const std::size_t stride = (std::size_t(width) * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> rows(stride * std::size_t(height));
    std::uint32_t state = seed * 2654435761u + 12345u;
    auto noise = [&state]() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return int(state % 13) - 6;
    };
    const double cx1 = width * 0.3, cy1 = height * 0.4, r1 = std::min(width, height) * 0.18;
    const double cx2 = width * 0.7, cy2 = height * 0.6, r2 = std::min(width, height) * 0.25;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + stride * std::size_t(height - 1 - y);
        const double fy = double(y) / height;
        for (int x = 0; x < width; ++x) {
            const double fx = double(x) / width;
            double r = 40 + 170 * fx + 30 * std::sin(fy * 9.0);
            double g = 60 + 120 * fy + 40 * std::cos(fx * 7.0);
            double b = 150 - 100 * fx * fy + 50 * std::sin((fx + fy) * 5.0);
            const double d1 = std::hypot(x - cx1, y - cy1), d2 = std::hypot(x - cx2, y - cy2);
            if (d1 < r1) {
                r = 230 - 60 * d1 / r1;
                g = 190 - 80 * d1 / r1;
                b = 60;
            } else if (d2 < r2) {
                r = 30;
                g = 90 + 100 * d2 / r2;
                b = 200 - 50 * d2 / r2;
            }
            if ((x / std::max(1, width / 12)) % 5 == 0 && y > height * 0.8) {
                r *= 0.4;
                g *= 0.4;
                b *= 0.4;
            }
            auto clamp = [](double v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            row[3 * x] = clamp(b + noise());
            row[3 * x + 1] = clamp(g + noise());
            row[3 * x + 2] = clamp(r + noise());
        }
    }
    return rows;
}
