// One full draw of a 1920 x 1080 viewport from a 6000 x 4000 24-bit picture,
// at the fit factor and at 2.0 scrolled to the middle, against
// QPainter::drawImage of the same source and destination rectangles.
// At the fit factor: the first draw (the smooth reduction made, then drawn),
// later draws (from the kept reduction) and the plain nearest-neighbour
// stretch that shrinking used before; the first draw also reports the
// reduction's error against a double-precision area average.
#include "app/ViewLayout.h"
#include "picture/picture.h"
#include "platform/surface.h"
#include "photo_picture.h"

#include <benchmark/benchmark.h>

#ifdef KORVEX_BENCH_HAS_QT
#include <QImage>
#include <QPainter>
#endif

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

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
    // The view's own fit rule for a 1920 x 1080 client area.
    ViewLayout l;
    l.clientWidth = kVW;
    l.clientHeight = kVH;
    FitCompute(l, kW, kH);
    return {l.offsetX, l.offsetY, int(double(kW) * l.zoom), int(double(kH) * l.zoom), 0, 0};
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

// The exact area average of the picture at the fit size, separably in
// doubles, compared with what the first draw put on the surface.
void CompareWithExact(const CPicture& pic, const SurfaceDC& dc, const Placement& p, benchmark::State& state)
{
    const int tw = p.cx, th = p.cy;
    auto weights = [](int source, int target, int j, int i) {
        const double lo = double(j) * source / target, hi = double(j + 1) * source / target;
        return std::max(0.0, std::min(hi, i + 1.0) - std::max(lo, double(i)));
    };
    std::vector<double> columns(std::size_t(kW) * 3 * th, 0.0); // rows reduced first
    for (int j = 0; j < th; ++j)
        for (int y = int(double(j) * kH / th); y < kH && y < int(double(j + 1) * kH / th) + 1; ++y) {
            const double w = weights(kH, th, j, y);
            if (w <= 0)
                continue;
            const BYTE* row = pic.GetRow(kH - 1 - y);
            double* out = columns.data() + std::size_t(j) * kW * 3;
            for (int x = 0; x < 3 * kW; ++x)
                out[x] += w * row[x];
        }
    double worst = 0, squares = 0;
    const double area = double(kW) / tw * double(kH) / th;
    for (int j = 0; j < th; ++j)
        for (int i = 0; i < tw; ++i)
            for (int c = 0; c < 3; ++c) {
                double sum = 0;
                for (int x = int(double(i) * kW / tw); x < kW && x < int(double(i + 1) * kW / tw) + 1; ++x)
                    sum += weights(kW, tw, i, x) * columns[(std::size_t(j) * kW + x) * 3 + c];
                const double exact = sum / area;
                const double drawn = (dc.Pixel(p.x + i, p.y + j) >> (8 * c)) & 255;
                worst = std::max(worst, std::fabs(drawn - exact));
                squares += (drawn - exact) * (drawn - exact);
            }
    state.counters["max_error"] = worst;
    state.counters["rms_error"] = std::sqrt(squares / (3.0 * tw * th));
    // For comparing with other tools: the source and our fit as PPM files.
    if (const char* dump = std::getenv("KORVEX_BENCH_DUMP")) {
        const std::string base(dump);
        if (FILE* f = std::fopen((base + "-source.ppm").c_str(), "wb")) {
            std::fprintf(f, "P6\n%d %d\n255\n", kW, kH);
            std::vector<BYTE> rgb(std::size_t(kW) * 3);
            for (int y = 0; y < kH; ++y) {
                const BYTE* row = pic.GetRow(kH - 1 - y);
                for (int x = 0; x < kW; ++x)
                    for (int c = 0; c < 3; ++c)
                        rgb[std::size_t(x) * 3 + c] = row[x * 3 + 2 - c];
                std::fwrite(rgb.data(), 1, rgb.size(), f);
            }
            std::fclose(f);
        }
        if (FILE* f = std::fopen((base + "-fit.ppm").c_str(), "wb")) {
            std::fprintf(f, "P6\n%d %d\n255\n", tw, th);
            for (int j = 0; j < th; ++j)
                for (int i = 0; i < tw; ++i) {
                    const std::uint32_t v = dc.Pixel(p.x + i, p.y + j);
                    const BYTE rgb[3] = {BYTE(v >> 16), BYTE(v >> 8), BYTE(v)};
                    std::fwrite(rgb, 1, 3, f);
                }
            std::fclose(f);
        }
    }
}

// The first draw at a new factor: the reduction is made, then drawn.
void OursFirst(benchmark::State& state, Placement p)
{
    CPicture& picture = Picture();
    SurfaceDC dc(kVW, kVH);
    for (auto _ : state) {
        picture.PixelsReplaced(); // forget the kept reduction
        picture.Draw(&dc, p.x, p.y, p.cx, p.cy, 0, 0, kW, kH, 0);
        benchmark::DoNotOptimize(dc.Bits());
    }
    CompareWithExact(picture, dc, p, state);
}

// The nearest-neighbour stretch straight from the picture (how every
// shrinking draw was made before the reduction).
void NearestNeighbour(benchmark::State& state, Placement p)
{
    CPicture& picture = Picture();
    SurfaceDC dc(kVW, kVH);
    BITMAPINFOHEADER header;
    header.biSize = 40;
    header.biWidth = kW;
    header.biHeight = kH;
    header.biBitCount = 24;
    for (auto _ : state) {
        dc.StretchDibBits(p.x, p.y, p.cx, p.cy, &header, nullptr, picture.GetBits(), 0, 0, kW, kH, 0);
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

BENCHMARK_CAPTURE(OursFirst, fit_first_draw, Fit())->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(NearestNeighbour, fit, Fit())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Ours, fit, Fit())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(Ours, zoom2_middle, Double())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#ifdef KORVEX_BENCH_HAS_QT
BENCHMARK_CAPTURE(QtDrawImage, fit, Fit())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_CAPTURE(QtDrawImage, zoom2_middle, Double())->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);
#endif
BENCHMARK_MAIN();
