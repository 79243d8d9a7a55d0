// The immediate effects' cost per step: each step whitens or restores part
// of a 1920 x 1080 24-bit picture and draws it whole into a 1920 x 1080
// surface at zoom 1. The pauses between steps are skipped (a clock that
// jumps ahead), so what is timed is the work a step adds to its pause.
// "Draw" is one plain full draw of the same picture, the floor of a step.
#include "picture/effects.h"
#include "platform/clock.h"
#include "platform/surface.h"
#include "photo_picture.h"

#include <benchmark/benchmark.h>

#include <cstring>

namespace {

constexpr int kW = 1920, kH = 1080;

CPicture& Picture()
{
    return PhotoPicture(kW, kH);
}

// Every clock read is a second later than the last, so no pause waits.
struct NoPauses {
    NoPauses()
    {
        SetClockHook([this] { return now += 1000; });
    }
    ~NoPauses() { SetClockHook({}); }
    DWORD now = 0;
};

using Immediate = int (*)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);

void Step(benchmark::State& state, Immediate effect)
{
    NoPauses pauses;
    CPicture& picture = Picture();
    SurfaceDC dc(kW, kH);
    std::int64_t steps = 0;
    for (auto _ : state) {
        effect(picture, &dc, EffectLayout{}, [&steps] { ++steps; });
        benchmark::DoNotOptimize(dc.Bits());
    }
    // Seconds per step, shown in the time unit.
    state.counters["per_step"] = benchmark::Counter(double(steps), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["steps"] = benchmark::Counter(double(steps), benchmark::Counter::kAvgIterations);
}

void Draw(benchmark::State& state)
{
    CPicture& picture = Picture();
    SurfaceDC dc(kW, kH);
    for (auto _ : state) {
        picture.Draw(&dc, 0, 0, kW, kH, 0, 0, kW, kH, 0);
        benchmark::DoNotOptimize(dc.Bits());
    }
}

} // namespace

// The blinds take a few dozen steps; the mosaic and the scans thousands, so
// one run of those is plenty.
#define KORVEX_STEP(name, runs)                                                                        \
    BENCHMARK_CAPTURE(Step, name, name)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(runs) \
        ->ReportAggregatesOnly(runs > 1)
KORVEX_STEP(ShowHorizontalBlinds, 5);
KORVEX_STEP(ShowVerticalBlinds, 5);
KORVEX_STEP(ShowMosaic, 1);
KORVEX_STEP(ShowScanDown, 1);
KORVEX_STEP(ShowScanUp, 1);
BENCHMARK(Draw)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
