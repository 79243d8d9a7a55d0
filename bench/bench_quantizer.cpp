// The octree quantizer and the whole reduction to 8 bits on a 24-megapixel
// photograph-like picture. Also reports the mean squared error of the 8-bit
// result against the original.
#include "picture/dib.h"
#include "picture/octree.h"
#include "tools/samplegen/photo.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

HGLOBAL PhotoDib()
{
    static const std::vector<std::uint8_t> rows = MakePhotoRows(kWidth, kHeight);
    HGLOBAL block = GlobalAlloc(GHND, 40 + rows.size());
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    *h = {40, kWidth, kHeight, 1, 24, 0, 0, 0, 0, 0, 0};
    std::memcpy(DibBits(h), rows.data(), rows.size());
    GlobalUnlock(block);
    return block;
}

void BM_OctreePalette(benchmark::State& state)
{
    HGLOBAL dib = PhotoDib();
    auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib));
    for (auto _ : state) {
        HPALETTE p = OctreePaletteFromDib(h, 256, 8);
        benchmark::DoNotOptimize(p);
        DeleteObject(p);
    }
    GlobalUnlock(dib);
    FreeDib(dib);
}

void BM_ChangeBitCount8(benchmark::State& state)
{
    double mse = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CDib dib;
        dib.Attach(PhotoDib());
        state.ResumeTiming();
        dib.ChangeBitCount(8);
        state.PauseTiming();
        // Error against the original, through the palette.
        static const std::vector<std::uint8_t> rows = MakePhotoRows(kWidth, kHeight);
        auto* h = static_cast<BITMAPINFOHEADER*>(GlobalLock(dib.GetHandle()));
        const auto* table = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<BYTE*>(h) + 40);
        const BYTE* bits = DibBits(h);
        const std::size_t s24 = (kWidth * 3 + 3) / 4 * 4, s8 = (kWidth + 3) / 4 * 4;
        double sum = 0;
        for (int y = 0; y < kHeight; y += 7)
            for (int x = 0; x < kWidth; ++x) {
                const RGBQUAD& c = table[bits[y * s8 + x]];
                const std::uint8_t* o = &rows[y * s24 + 3 * x];
                const double db = c.rgbBlue - o[0], dg = c.rgbGreen - o[1], dr = c.rgbRed - o[2];
                sum += (db * db + dg * dg + dr * dr) / 3;
            }
        mse = sum / (double(kWidth) * ((kHeight + 6) / 7));
        GlobalUnlock(dib.GetHandle());
        state.ResumeTiming();
    }
    state.counters["mse"] = mse;
}

} // namespace

BENCHMARK(BM_OctreePalette)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_ChangeBitCount8)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
