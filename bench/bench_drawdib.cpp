// One full draw of a 1920 x 1080 viewport from a 6000 x 4000 24-bit picture,
// at the fit factor and at 2.0 scrolled to the middle, against
// QPainter::drawImage of the same source and destination rectangles.
#include "picture/picture.h"
#include "platform/surface.h"
#include "photo_picture.h"

#include <benchmark/benchmark.h>

#ifdef KORVEX_BENCH_HAS_QT
#include <QImage>
#include <QPainter>
#endif

#include <cstring>

namespace {

constexpr int kW = 6000, kH = 4000, kVW = 1920, kVH = 1080;

CPicture& Picture()
{
    return PhotoPicture(kW, kH);
}

struct Placement {
    int x, y, cx, cy; // destination in logical coordinates
    int originX, originY;
};

Placement Fit()
{
    const float zoom = float(double(kVW - 4) / kW);
    const int cy = int(double(kH) * zoom);
    return {0, kVH / 2 - cy / 2 > 0 ? kVH / 2 - cy / 2 : 0, int(double(kW) * zoom), cy, 0, 0};
}

Placement Double()
{
    return {0, 0, 2 * kW, 2 * kH, kW - kVW / 2, kH - kVH / 2};
}

void Ours(benchmark::State& state, Placement p)
{
    CPicture& picture = Picture();
    SurfaceDC dc(kVW, kVH);
    dc.SetViewportOrigin(p.originX, p.originY);
    for (auto _ : state) {
        picture.Draw(&dc, p.x, p.y, p.cx, p.cy, 0, 0, kW, kH, 0);
        benchmark::DoNotOptimize(dc.Bits());
    }
}

#ifdef KORVEX_BENCH_HAS_QT
void QtDrawImage(benchmark::State& state, Placement p)
{
    static QImage source = [] {
        QImage img(kW, kH, QImage::Format_RGB888);
        const CPicture& pic = Picture();
        for (int y = 0; y < kH; ++y) {
            const BYTE* row = pic.GetRow(kH - 1 - y);
            uchar* out = img.scanLine(y);
            for (int x = 0; x < kW; ++x) {
                out[3 * x] = row[3 * x + 2];
                out[3 * x + 1] = row[3 * x + 1];
                out[3 * x + 2] = row[3 * x];
            }
        }
        return img;
    }();
    QImage target(kVW, kVH, QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter painter(&target);
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.translate(-p.originX, -p.originY);
        painter.drawImage(QRect(p.x, p.y, p.cx, p.cy), source, QRect(0, 0, kW, kH));
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}
#endif

} // namespace

BENCHMARK_CAPTURE(Ours, fit, Fit())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Ours, zoom2_middle, Double())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#ifdef KORVEX_BENCH_HAS_QT
BENCHMARK_CAPTURE(QtDrawImage, fit, Fit())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(QtDrawImage, zoom2_middle, Double())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#endif
BENCHMARK_MAIN();
