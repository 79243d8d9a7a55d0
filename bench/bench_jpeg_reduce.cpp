// Decoding a 24-megapixel JPEG for a view that shows it fitted into
// 1916 x 1004 device pixels (a maximized window on a 1920 x 1080 screen):
// at the library's reduction, averaged to the size shown as the rows come,
// against decoding it whole as anything that needs every pixel does.
#include "formats/jpegfile.h"
#include "tools/samplegen/photo.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

const std::string& PhotoJpeg()
{
    static const std::string path = [] {
        const std::string p = "/tmp/korvex-bench-jpeg-" + std::to_string(getpid()) + ".jpg";
        const auto rows = MakePhotoRows(kWidth, kHeight); // bottom-up BGR
        const std::size_t stride = std::size_t(kWidth) * 3, padded = rows.size() / kHeight;
        std::vector<BYTE> rgb(stride * kHeight);
        for (int y = 0; y < kHeight; ++y)
            for (std::size_t i = 0; i < stride; i += 3) {
                const BYTE* in = rows.data() + std::size_t(kHeight - 1 - y) * padded + i;
                BYTE* out = rgb.data() + std::size_t(y) * stride + i;
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        JpegFile writer;
        writer.WriteRgb(p, rgb.data(), kWidth, kHeight, TRUE, 75);
        return p;
    }();
    return path;
}

void BM_JpegWhole(benchmark::State& state)
{
    const std::string& path = PhotoJpeg();
    for (auto _ : state) {
        JpegFile file;
        benchmark::DoNotOptimize(file.Load(path));
    }
}

void BM_JpegFitted(benchmark::State& state)
{
    const std::string& path = PhotoJpeg();
    const ShownSizeFn fitted = [](int, int, int* w, int* h) {
        *w = 1506; // 6000 x 4000 at 1004 / 4000
        *h = 1004;
    };
    for (auto _ : state) {
        JpegFile file;
        benchmark::DoNotOptimize(file.Load(path, fitted));
    }
}

} // namespace

BENCHMARK(BM_JpegWhole)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_JpegFitted)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    std::remove(PhotoJpeg().c_str());
    return 0;
}
