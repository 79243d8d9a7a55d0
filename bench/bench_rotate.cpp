// A quarter turn clockwise of a 6000 x 4000 picture at 1, 4, 8, 24 and 32
// bits, against a plain memcpy of the same number of bytes (into a block
// kept between runs, and into a new block each run, as the turn allocates)
// and against QImage::transformed by 90 degrees of the same pixels.
#include "picture/picture.h"

#include <benchmark/benchmark.h>

#ifdef KORVEX_BENCH_HAS_QT
#include <QImage>
#include <QTransform>
#endif

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

namespace {

constexpr int kW = 6000, kH = 4000;

int Stride(int depth)
{
    return (kW * depth + 31) / 32 * 4;
}

// The source pixels of each depth: varied bytes, made once.
const std::vector<BYTE>& Source(int depth)
{
    static std::map<int, std::vector<BYTE>> sources;
    auto& bytes = sources[depth];
    if (bytes.empty()) {
        bytes.resize(std::size_t(Stride(depth)) * kH);
        std::uint32_t state = 7;
        for (BYTE& b : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            b = BYTE(state);
        }
    }
    return bytes;
}

void Ours(benchmark::State& state)
{
    const int depth = int(state.range(0));
    const std::vector<BYTE>& source = Source(depth);
    CPicture picture;
    for (auto _ : state) {
        // Point the picture at the unturned source again; the turn leaves a
        // borrowed block alone and returns a block of its own, freed below.
        picture.m_pBits = const_cast<BYTE*>(source.data());
        picture.m_nWidth = kW;
        picture.m_nHeight = kH;
        picture.m_nBitCount = depth;
        picture.m_nRowBytes = Stride(depth);
        picture.m_nImageSize = int(source.size());
        picture.MarkBitsBorrowed();
        if (!picture.RotateClockwise()) {
            state.SkipWithError("rotation refused");
            break;
        }
        benchmark::DoNotOptimize(picture.m_pBits);
        std::free(picture.m_pBits);
    }
    picture.m_pBits = nullptr;
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.size()));
}

void Memcpy(benchmark::State& state)
{
    const std::vector<BYTE>& source = Source(int(state.range(0)));
    std::vector<BYTE> target(source.size());
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), source.size());
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.size()));
}

void AllocCopy(benchmark::State& state)
{
    const std::vector<BYTE>& source = Source(int(state.range(0)));
    for (auto _ : state) {
        auto* target = static_cast<BYTE*>(std::malloc(source.size()));
        std::memcpy(target, source.data(), source.size());
        benchmark::DoNotOptimize(target);
        benchmark::ClobberMemory();
        std::free(target);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.size()));
}

#ifdef KORVEX_BENCH_HAS_QT
void QtTransformed(benchmark::State& state)
{
    const int depth = int(state.range(0));
    const QImage::Format format = depth == 1    ? QImage::Format_Mono
                                  : depth == 8  ? QImage::Format_Grayscale8
                                  : depth == 24 ? QImage::Format_RGB888
                                                : QImage::Format_RGB32;
    QImage image(kW, kH, format);
    const std::vector<BYTE>& source = Source(depth);
    for (int y = 0; y < kH; ++y)
        std::memcpy(image.scanLine(y), source.data() + std::size_t(Stride(depth)) * y,
                    std::size_t(image.bytesPerLine() < Stride(depth) ? image.bytesPerLine() : Stride(depth)));
    const QTransform quarter = QTransform().rotate(90);
    for (auto _ : state) {
        const QImage turned = image.transformed(quarter);
        benchmark::DoNotOptimize(turned.constBits());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(source.size()));
}
#endif

void Depths(benchmark::internal::Benchmark* b)
{
    for (int depth : {1, 4, 8, 24, 32})
        b->Arg(depth);
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
}

#ifdef KORVEX_BENCH_HAS_QT
void QtDepths(benchmark::internal::Benchmark* b)
{
    for (int depth : {1, 8, 24, 32})
        b->Arg(depth);
    b->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true)->UseRealTime();
}
#endif

} // namespace

BENCHMARK(Ours)->Apply(Depths);
BENCHMARK(Memcpy)->Apply(Depths);
BENCHMARK(AllocCopy)->Apply(Depths);
#ifdef KORVEX_BENCH_HAS_QT
BENCHMARK(QtTransformed)->Apply(QtDepths);
#endif
BENCHMARK_MAIN();
