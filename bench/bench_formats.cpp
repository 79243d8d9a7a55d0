// In-process decode costs of the readers that take a file held in memory,
// against a plain copy of the same bytes into fresh memory (the floor).
#include "picture/picture.h"
#include "tools/samplegen/photo.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>

namespace {

constexpr int kWidth = 6000, kHeight = 4000;

const std::vector<std::uint8_t>& RawTga()
{
    static const std::vector<std::uint8_t> file = [] {
        const auto rows = MakePhotoRows(kWidth, kHeight);
        std::vector<std::uint8_t> f(18 + rows.size(), 0);
        f[2] = 2;
        f[12] = std::uint8_t(kWidth);
        f[13] = std::uint8_t(kWidth >> 8);
        f[14] = std::uint8_t(kHeight);
        f[15] = std::uint8_t(kHeight >> 8);
        f[16] = 24;
        std::memcpy(f.data() + 18, rows.data(), rows.size()); // stride = width * 3 here
        return f;
    }();
    return file;
}

void BM_ReadTgaRaw(benchmark::State& state)
{
    const auto& file = RawTga();
    for (auto _ : state) {
        CPicture picture;
        benchmark::DoNotOptimize(picture.ReadTga(file.data(), file.size(), 1));
    }
}

void BM_CopyIntoFreshMemory(benchmark::State& state)
{
    const auto& file = RawTga();
    for (auto _ : state) {
        auto* p = static_cast<std::uint8_t*>(std::malloc(file.size()));
        std::memcpy(p, file.data(), file.size());
        benchmark::DoNotOptimize(p);
        std::free(p);
    }
}

} // namespace

BENCHMARK(BM_ReadTgaRaw)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_CopyIntoFreshMemory)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
