#include "reduce.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The weights of one target pixel sum to this. Products stay in 32 bits:
// a column sum is at most 255 << 14, kept with 6 fraction bits (>> 8) for
// the row pass, whose sum is then at most (255 << 6) << 14.
constexpr int kOneBits = 14;
constexpr std::uint32_t kOne = 1u << kOneBits;

// For every target pixel of one axis: the source pixels it covers and how
// much of each. Target pixel j spans [j * source, (j + 1) * source) and
// source pixel i spans [i * target, (i + 1) * target), both in units of
// 1 / target, so the overlaps are exact integers summing to `source`.
struct Taps {
    std::vector<int> first, count, offset;
    std::vector<std::uint16_t> weights;
    int widest = 0;

    void Make(int source, int target)
    {
        first.resize(std::size_t(target));
        count.resize(std::size_t(target));
        offset.resize(std::size_t(target));
        weights.clear();
        weights.reserve(std::size_t(source) + std::size_t(target));
        for (int j = 0; j < target; ++j) {
            const std::int64_t lo = std::int64_t(j) * source, hi = lo + source;
            const int i0 = int(lo / target), i1 = int((hi - 1) / target);
            first[std::size_t(j)] = i0;
            count[std::size_t(j)] = i1 - i0 + 1;
            offset[std::size_t(j)] = int(weights.size());
            std::uint32_t sum = 0, largest = 0;
            std::size_t largestAt = weights.size();
            for (int i = i0; i <= i1; ++i) {
                const std::int64_t overlap = std::min<std::int64_t>(std::int64_t(i + 1) * target, hi) -
                                             std::max<std::int64_t>(std::int64_t(i) * target, lo);
                const auto w = std::uint32_t((overlap * kOne + source / 2) / source);
                if (w > largest) {
                    largest = w;
                    largestAt = weights.size();
                }
                sum += w;
                weights.push_back(std::uint16_t(w));
            }
            // Rounding may leave the sum a little off: the largest share takes
            // the difference, so a flat area stays exactly flat.
            weights[largestAt] = std::uint16_t(std::int64_t(weights[largestAt]) + std::int64_t(kOne) - sum);
            widest = std::max(widest, i1 - i0 + 1);
        }
    }
};

// acc[i] (+)= weight * src[i] for n bytes.
void Accumulate(std::uint32_t* acc, const BYTE* src, std::size_t n, std::uint16_t weight, bool first)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128i w = _mm_set1_epi16(short(weight));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i lo = _mm_unpacklo_epi8(s, zero), hi = _mm_unpackhi_epi8(s, zero);
        const __m128i lol = _mm_mullo_epi16(lo, w), loh = _mm_mulhi_epu16(lo, w);
        const __m128i hil = _mm_mullo_epi16(hi, w), hih = _mm_mulhi_epu16(hi, w);
        __m128i p[4] = {_mm_unpacklo_epi16(lol, loh), _mm_unpackhi_epi16(lol, loh), _mm_unpacklo_epi16(hil, hih),
                        _mm_unpackhi_epi16(hil, hih)};
        auto* a = reinterpret_cast<__m128i*>(acc + i);
        for (int k = 0; k < 4; ++k) {
            if (!first)
                p[k] = _mm_add_epi32(p[k], _mm_loadu_si128(a + k));
            _mm_storeu_si128(a + k, p[k]);
        }
    }
#endif
    for (; i < n; ++i)
        acc[i] = (first ? 0 : acc[i]) + std::uint32_t(weight) * src[i];
}

// acc[i] (+)= wa * a[i] + wb * b[i] for n bytes: two rows in one pass.
void Accumulate2(std::uint32_t* acc, const BYTE* a, const BYTE* b, std::size_t n, std::uint16_t wa,
                 std::uint16_t wb, bool first)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    // Bytes of the two rows side by side as 16-bit pairs, each pair
    // multiplied by (wa, wb) and summed in one step.
    const __m128i w = _mm_set1_epi32(int(std::uint32_t(wa) | (std::uint32_t(wb) << 16)));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i sa = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i sb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        const __m128i lo = _mm_unpacklo_epi8(sa, sb), hi = _mm_unpackhi_epi8(sa, sb); // a0 b0 a1 b1 ...
        __m128i p[4] = {_mm_madd_epi16(_mm_unpacklo_epi8(lo, zero), w), _mm_madd_epi16(_mm_unpackhi_epi8(lo, zero), w),
                        _mm_madd_epi16(_mm_unpacklo_epi8(hi, zero), w), _mm_madd_epi16(_mm_unpackhi_epi8(hi, zero), w)};
        auto* out = reinterpret_cast<__m128i*>(acc + i);
        for (int k = 0; k < 4; ++k) {
            if (!first)
                p[k] = _mm_add_epi32(p[k], _mm_loadu_si128(out + k));
            _mm_storeu_si128(out + k, p[k]);
        }
    }
#endif
    for (; i < n; ++i)
        acc[i] = (first ? 0 : acc[i]) + std::uint32_t(wa) * a[i] + std::uint32_t(wb) * b[i];
}

struct Source {
    const BYTE* bits;
    std::size_t stride;
    int width, height, depth;
    bool topDown;
    int firstRow; // a top-down band: the row `bits` holds
    std::uint32_t palette[256]; // BGRX bytes, little-endian

    const BYTE* Row(int y) const { return bits + std::size_t(topDown ? y - firstRow : height - 1 - y) * stride; }
    int Channels() const { return depth == 24 ? 3 : 4; }

    // Source pixels [x0, x1) of visual row y as bytes of Channels() each:
    // the row itself for 24 and 32 bits, else converted into `scratch`.
    const BYTE* Pixels(int y, int x0, int x1, std::uint32_t* scratch) const
    {
        const BYTE* row = Row(y);
        if (depth == 24 || depth == 32)
            return row + std::size_t(x0) * std::size_t(depth / 8);
        std::uint32_t* out = scratch;
        for (int x = x0; x < x1; ++x) {
            switch (depth) {
            case 1: *out++ = palette[(row[x >> 3] >> (7 - (x & 7))) & 1]; break;
            case 4: *out++ = palette[(row[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: *out++ = palette[row[x]]; break;
            default: { // 16 bits, 5-5-5
                const unsigned v = unsigned(row[2 * x] | (row[2 * x + 1] << 8));
                auto e = [](unsigned c) { return (c << 3) | (c >> 2); };
                *out++ = e(v & 31) | (e((v >> 5) & 31) << 8) | (e((v >> 10) & 31) << 16);
            }
            }
        }
        return reinterpret_cast<const BYTE*>(scratch);
    }
};

struct Job {
    const Source* src;
    const Taps* xs;
    const Taps* ys;
    std::uint32_t* out; // holds target rows from outTop on
    int width;
    int left, right;
    int outTop;
};

template <int C>
void ReduceRows(const Job& job, int top, int bottom, std::uint32_t* acc, std::uint32_t* scratch)
{
    const Source& src = *job.src;
    const Taps& xs = *job.xs;
    const Taps& ys = *job.ys;
    // The source columns the target columns need.
    const int sx0 = xs.first[std::size_t(job.left)];
    const int sx1 = xs.first[std::size_t(job.right - 1)] + xs.count[std::size_t(job.right - 1)];
    const std::size_t n = std::size_t(sx1 - sx0) * C;
    for (int r = top; r < bottom; ++r) {
        // Columns first: the weighted sum of the rows this target row covers.
        const int y0 = ys.first[std::size_t(r)], rows = ys.count[std::size_t(r)];
        const std::uint16_t* wy = ys.weights.data() + ys.offset[std::size_t(r)];
        // Sources of 24 and 32 bits are read in place and have no scratch.
        std::uint32_t* const scratch2 = scratch ? scratch + std::size_t(sx1 - sx0) : nullptr;
        int k = 0;
        for (; k + 1 < rows; k += 2)
            Accumulate2(acc, src.Pixels(y0 + k, sx0, sx1, scratch), src.Pixels(y0 + k + 1, sx0, sx1, scratch2), n,
                        wy[k], wy[k + 1], k == 0);
        if (k < rows)
            Accumulate(acc, src.Pixels(y0 + k, sx0, sx1, scratch), n, wy[k], k == 0);
        // Then along the row.
        std::uint32_t* out = job.out + std::size_t(r - job.outTop) * std::size_t(job.width);
        for (int j = job.left; j < job.right; ++j) {
            const std::uint32_t* a = acc + std::size_t(xs.first[std::size_t(j)] - sx0) * C;
            const std::uint16_t* wx = xs.weights.data() + xs.offset[std::size_t(j)];
            std::uint32_t b = 0, g = 0, red = 0;
            for (int k = 0, taps = xs.count[std::size_t(j)]; k < taps; ++k, a += C) {
                b += wx[k] * (a[0] >> 8);
                g += wx[k] * (a[1] >> 8);
                red += wx[k] * (a[2] >> 8);
            }
            constexpr int shift = 2 * kOneBits - 8;
            constexpr std::uint32_t half = 1u << (shift - 1);
            out[j] = 0xFF000000u | (((red + half) >> shift) << 16) | (((g + half) >> shift) << 8) | ((b + half) >> shift);
        }
    }
}

bool RunRows(const Job& job, int top, int bottom)
{
    const Source& src = *job.src;
    const int sx0 = job.xs->first[std::size_t(job.left)];
    const int sx1 = job.xs->first[std::size_t(job.right - 1)] + job.xs->count[std::size_t(job.right - 1)];
    const std::size_t span = std::size_t(sx1 - sx0);
    std::unique_ptr<std::uint32_t[]> acc(new (std::nothrow) std::uint32_t[span * 4]);
    std::unique_ptr<std::uint32_t[]> scratch(
        src.depth == 24 || src.depth == 32 ? nullptr : new (std::nothrow) std::uint32_t[2 * span]);
    if (!acc || (!scratch && src.depth != 24 && src.depth != 32))
        return false;
    if (src.Channels() == 3)
        ReduceRows<3>(job, top, bottom, acc.get(), scratch.get());
    else
        ReduceRows<4>(job, top, bottom, acc.get(), scratch.get());
    return true;
}

} // namespace

struct BoxReducer::Plan {
    Source src;
    Taps xs, ys;
    int width = 0, height = 0;
};

BoxReducer::BoxReducer() = default;
BoxReducer::~BoxReducer() = default;

bool BoxReducer::Prepare(const BITMAPINFOHEADER* header, const RGBQUAD* colors, int width, int height)
{
    m_plan.reset();
    if (!header)
        return false;
    std::unique_ptr<Plan> plan(new (std::nothrow) Plan);
    if (!plan)
        return false;
    Source& src = plan->src;
    src.bits = nullptr;
    src.firstRow = 0;
    src.width = header->biWidth;
    src.topDown = header->biHeight < 0;
    src.height = src.topDown ? -header->biHeight : header->biHeight;
    src.depth = header->biBitCount;
    if (src.width <= 0 || src.height <= 0 || width <= 0 || height <= 0 || width > src.width || height > src.height)
        return false;
    if (src.depth != 1 && src.depth != 4 && src.depth != 8 && src.depth != 16 && src.depth != 24 && src.depth != 32)
        return false;
    src.stride = (std::size_t(src.width) * std::size_t(src.depth) + 31) / 32 * 4;
    if (src.depth <= 8) {
        const unsigned used = header->biClrUsed ? header->biClrUsed : (1u << src.depth);
        const unsigned count = std::min(used, 1u << src.depth);
        for (unsigned i = 0; i < 256; ++i) {
            const RGBQUAD c = i < count && colors ? colors[i] : RGBQUAD{}; // beyond the table: black
            src.palette[i] = c.rgbBlue | (std::uint32_t(c.rgbGreen) << 8) | (std::uint32_t(c.rgbRed) << 16);
        }
    }
    try {
        plan->xs.Make(src.width, width);
        plan->ys.Make(src.height, height);
    } catch (const std::bad_alloc&) {
        return false;
    }
    plan->width = width;
    plan->height = height;
    m_plan = std::move(plan);
    return true;
}

bool BoxReducer::Run(const void* bits, std::uint32_t* out, int left, int top, int right, int bottom,
                     int threads) const
{
    if (!m_plan || !bits || !out)
        return false;
    Source src = m_plan->src;
    src.bits = static_cast<const BYTE*>(bits);
    left = std::max(left, 0);
    top = std::max(top, 0);
    right = std::min(right, m_plan->width);
    bottom = std::min(bottom, m_plan->height);
    if (left >= right || top >= bottom)
        return true;
    const Job job{&src, &m_plan->xs, &m_plan->ys, out, m_plan->width, left, right, 0};
    // Two halves of the rows at once when the job is worth a thread.
    const std::int64_t work = std::int64_t(bottom - top) * (right - left) * m_plan->xs.widest * m_plan->ys.widest;
    if (threads > 1 && work > 200000 && bottom - top >= 2) {
        const int middle = top + (bottom - top) / 2;
        bool upper = false;
        try {
            std::thread helper([&] { upper = RunRows(job, top, middle); });
            const bool lower = RunRows(job, middle, bottom);
            helper.join();
            return upper && lower;
        } catch (const std::system_error&) {
            // No thread to be had: do it all here.
        }
    }
    return RunRows(job, top, bottom);
}

int BoxReducer::SourceRowsFor(int row) const
{
    if (!m_plan || row < 0 || row >= m_plan->height)
        return 0;
    return m_plan->ys.first[std::size_t(row)] + m_plan->ys.count[std::size_t(row)];
}

int BoxReducer::FirstSourceRow(int row) const
{
    if (!m_plan || row < 0 || row >= m_plan->height)
        return 0;
    return m_plan->ys.first[std::size_t(row)];
}

bool BoxReducer::RunBand(const void* band, int firstRow, std::uint32_t* out, int row) const
{
    if (!m_plan || !band || !out || !m_plan->src.topDown || row < 0 || row >= m_plan->height ||
        FirstSourceRow(row) < firstRow)
        return false;
    Source src = m_plan->src;
    src.bits = static_cast<const BYTE*>(band);
    src.firstRow = firstRow;
    const Job job{&src, &m_plan->xs, &m_plan->ys, out, m_plan->width, 0, m_plan->width, row};
    return RunRows(job, row, row + 1);
}

bool ReduceDib(const BITMAPINFOHEADER* header, const RGBQUAD* colors, const void* bits, int width, int height,
               std::uint32_t* out, int threads)
{
    BoxReducer reducer;
    return reducer.Prepare(header, colors, width, height) && reducer.Run(bits, out, 0, 0, width, height, threads);
}
