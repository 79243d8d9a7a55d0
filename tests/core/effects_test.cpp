#include "picture/effects.h"
#include "picture/picture.h"
#include "platform/clock.h"
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// A clock that stands still until DelayMs waits, and then moves 1 ms per
// wait, so that every draw can be stamped with the pauses before it.
class FakeClock {
public:
    explicit FakeClock(DWORD start = 1000) : now(start)
    {
        SetClockHook([this] {
            ++reads;
            return now;
        });
        SetDelayIdleHook([this] { ++now; });
    }
    ~FakeClock()
    {
        SetClockHook({});
        SetDelayIdleHook({});
    }
    DWORD now;
    int reads = 0;
};

struct Call {
    int x, y, cx, cy;    // destination
    int xs, ys, cxs, cys; // source
    DWORD at;             // fake time of the call
    bool operator==(const Call& o) const
    {
        return x == o.x && y == o.y && cx == o.cx && cy == o.cy && xs == o.xs && ys == o.ys && cxs == o.cxs &&
               cys == o.cys;
    }
};

std::ostream& operator<<(std::ostream& os, const Call& c)
{
    return os << "dst(" << c.x << "," << c.y << "," << c.cx << "," << c.cy << ") src(" << c.xs << "," << c.ys
              << "," << c.cxs << "," << c.cys << ") @" << c.at;
}

Call C(int x, int y, int cx, int cy, int xs, int ys, int cxs, int cys)
{
    return {x, y, cx, cy, xs, ys, cxs, cys, 0};
}

// Logs every stretch; optionally snapshots the picture's bytes as drawn.
class RecordingDC : public DeviceContext {
public:
    explicit RecordingDC(const FakeClock& clock, std::size_t snapshotBytes = 0)
        : m_clock(clock), m_snapshotBytes(snapshotBytes)
    {
    }
    BOOL StretchDibBits(int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER*, const RGBQUAD*,
                        const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc, UINT) override
    {
        calls.push_back({xDst, yDst, cxDst, cyDst, xSrc, ySrc, cxSrc, cySrc, m_clock.now});
        if (m_snapshotBytes) {
            const auto* b = static_cast<const std::uint8_t*>(bits);
            snapshots.emplace_back(b, b + m_snapshotBytes);
        }
        return TRUE;
    }
    std::vector<Call> calls;
    std::vector<std::vector<std::uint8_t>> snapshots;

private:
    const FakeClock& m_clock;
    std::size_t m_snapshotBytes;
};

std::unique_ptr<CPicture> MakePicture(int w, int h, int bits)
{
    auto p = std::make_unique<CPicture>();
    EXPECT_EQ(p->CreateDib(w, h, bits, 1), 1);
    // A pattern without 0xFF, so whitened bytes are told from kept ones.
    for (int i = 0; i < p->GetImageSize(); ++i)
        p->GetBits()[i] = std::uint8_t((i * 7 + 3) % 255);
    return p;
}

using LoadFn = void (*)(const CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);

struct Drawn {
    std::vector<Call> calls;
    std::vector<DWORD> flushes;
    DWORD elapsed;
};

Drawn PlayLoad(LoadFn fn, int w, int h, EffectLayout layout = {1.0f, 5, 7})
{
    const auto pic = MakePicture(w, h, 24);
    FakeClock clock;
    RecordingDC dc(clock);
    Drawn run;
    fn(*pic, &dc, layout, [&] { run.flushes.push_back(clock.now); });
    run.calls = dc.calls;
    run.elapsed = clock.now - 1000;
    return run;
}

Call Full(int w, int h, int x0 = 5, int y0 = 7)
{
    return C(x0, y0, w, h, 0, 0, w, h);
}

} // namespace

TEST(Clock, DelayMsWaitsOnTheClockAndSurvivesItsWrap)
{
    {
        FakeClock clock;
        DelayMs(0);
        EXPECT_EQ(clock.reads, 2); // start and one more, even for no wait
        DelayMs(25);
        EXPECT_EQ(clock.now, 1025u);
    }
    {
        FakeClock clock(0xFFFFFFFAu); // six before the wrap
        DelayMs(10);
        EXPECT_EQ(clock.now, 4u);
    }
    {
        // A reading below the start is a difference of almost 2^32 ms: the
        // wait is over, it is not negative.
        DWORD t = 50;
        SetClockHook([&] { return t == 50 ? t++ : 40u; });
        DelayMs(100);
        SetClockHook({});
    }
    const auto start = std::chrono::steady_clock::now();
    DelayMs(15);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(14));
}

TEST(LoadEffects, EdgeWipesOverTwentyFourPixelsTakeThreeSteps)
{
    // k = 0 (empty), 12 (half), 24 (the full draw), 10 ms after each.
    struct Case {
        LoadFn fn;
        int w, h;
        Call empty, half;
    } cases[] = {
        {EffectFromTop, 30, 24, C(5, 7, 30, 0, 0, 24, 30, 0), C(5, 7, 30, 12, 0, 12, 30, 12)},
        {EffectFromBottom, 30, 24, C(5, 31, 30, 0, 0, 0, 30, 0), C(5, 19, 30, 12, 0, 0, 30, 12)},
        {EffectFromLeft, 24, 30, C(5, 7, 0, 30, 24, 0, 0, 30), C(5, 7, 12, 30, 12, 0, 12, 30)},
        {EffectFromRight, 24, 30, C(29, 7, 0, 30, 0, 0, 0, 30), C(17, 7, 12, 30, 0, 0, 12, 30)},
    };
    for (const Case& c : cases) {
        const Drawn run = PlayLoad(c.fn, c.w, c.h);
        ASSERT_EQ(run.calls.size(), 3u);
        EXPECT_EQ(run.calls[0], c.empty);
        EXPECT_EQ(run.calls[1], c.half);
        EXPECT_EQ(run.calls[2], Full(c.w, c.h));
        EXPECT_EQ(run.calls[1].at - run.calls[0].at, 10u);
        EXPECT_EQ(run.flushes, (std::vector<DWORD>{1000, 1010, 1020}));
        EXPECT_EQ(run.elapsed, 30u);
    }
    // 600 pixels: 51 steps, the last one full.
    const Drawn wide = PlayLoad(EffectFromLeft, 600, 2);
    ASSERT_EQ(wide.calls.size(), 51u);
    EXPECT_EQ(wide.calls[49], C(5, 7, 588, 2, 12, 0, 588, 2));
    EXPECT_EQ(wide.calls[50], Full(600, 2));
    EXPECT_EQ(wide.elapsed, 510u);
}

TEST(LoadEffects, ShowingAStepTakesPartOfItsPause)
{
    // A screen that needs 4 ms to show each step: the steps still start 10 ms
    // apart; one that needs 25 ms is followed by the next step at once.
    for (const DWORD show : {4u, 25u}) {
        const auto pic = MakePicture(30, 24, 24);
        FakeClock clock;
        RecordingDC dc(clock);
        EffectFromTop(*pic, &dc, EffectLayout{}, [&] { clock.now += show; });
        ASSERT_EQ(dc.calls.size(), 3u);
        const DWORD step = show < 10 ? 10 : show;
        EXPECT_EQ(dc.calls[1].at - dc.calls[0].at, step);
        EXPECT_EQ(dc.calls[2].at - dc.calls[1].at, step);
    }
}

TEST(LoadEffects, CornerEntryOnAWidePicture)
{
    // 480 x 300 from the top left: x = 12 ... 468 partial, y = 9k up to 300;
    // x = 480 is the full draw.
    const Drawn run = PlayLoad(EffectFromTopLeft, 480, 300);
    ASSERT_EQ(run.calls.size(), 40u);
    for (int k = 1; k <= 39; ++k) {
        const int x = 12 * k, y = 9 * k < 300 ? 9 * k : 300;
        EXPECT_EQ(run.calls[k - 1], C(5, 7, x, y, 480 - x, 300 - y, x, y)) << k;
        EXPECT_EQ(run.calls[k - 1].at, 1000u + 10u * (k - 1));
    }
    EXPECT_EQ(run.calls[32].cy, 297);
    EXPECT_EQ(run.calls[33].cy, 300);
    EXPECT_EQ(run.calls[39], Full(480, 300));
    EXPECT_EQ(run.elapsed, 400u);

    // The other corners place the same sizes at their own corner.
    const Drawn tr = PlayLoad(EffectFromTopRight, 480, 300);
    EXPECT_EQ(tr.calls[1], C(5 + 456, 7, 24, 18, 0, 282, 24, 18));
    const Drawn bl = PlayLoad(EffectFromBottomLeft, 480, 300);
    EXPECT_EQ(bl.calls[1], C(5, 7 + 282, 24, 18, 456, 0, 24, 18));
    const Drawn br = PlayLoad(EffectFromBottomRight, 480, 300);
    EXPECT_EQ(br.calls[1], C(5 + 456, 7 + 282, 24, 18, 0, 0, 24, 18));
    EXPECT_EQ(br.calls.size(), 40u);
}

TEST(LoadEffects, CornerEntryOnASquareAndOnSmallPictures)
{
    // Upper corners: 9 columns and 12 rows per step; y = 240 ends it.
    const Drawn tl = PlayLoad(EffectFromTopLeft, 240, 240);
    ASSERT_EQ(tl.calls.size(), 20u);
    for (int k = 1; k <= 19; ++k)
        EXPECT_EQ(tl.calls[k - 1], C(5, 7, 9 * k, 12 * k, 240 - 9 * k, 240 - 12 * k, 9 * k, 12 * k)) << k;
    EXPECT_EQ(tl.calls[19], Full(240, 240));
    const Drawn tr = PlayLoad(EffectFromTopRight, 240, 240);
    EXPECT_EQ(tr.calls[0], C(5 + 231, 7, 9, 12, 0, 228, 9, 12));

    // Lower corners: 12 columns and 9 rows per step.
    const Drawn br = PlayLoad(EffectFromBottomRight, 240, 240);
    ASSERT_EQ(br.calls.size(), 20u);
    for (int k = 1; k <= 19; ++k)
        EXPECT_EQ(br.calls[k - 1], C(5 + 240 - 12 * k, 7 + 240 - 9 * k, 12 * k, 9 * k, 0, 0, 12 * k, 9 * k)) << k;
    const Drawn bl = PlayLoad(EffectFromBottomLeft, 240, 240);
    EXPECT_EQ(bl.calls[0], C(5, 7 + 231, 12, 9, 228, 0, 12, 9));

    // Tall picture: the width is limited once the rows still grow.
    const Drawn tall = PlayLoad(EffectFromTopLeft, 20, 100);
    ASSERT_EQ(tall.calls.size(), 8u); // y = 12 ... 84, then 96 is full
    EXPECT_EQ(tall.calls[1], C(5, 7, 18, 24, 2, 76, 18, 24));
    EXPECT_EQ(tall.calls[2], C(5, 7, 20, 36, 0, 64, 20, 36));

    // A stepping side under 24 pixels: the first step is the full draw.
    for (LoadFn fn : {EffectFromTopLeft, EffectFromTopRight, EffectFromBottomLeft, EffectFromBottomRight}) {
        const Drawn run = PlayLoad(fn, 23, 10);
        ASSERT_EQ(run.calls.size(), 1u);
        EXPECT_EQ(run.calls[0], Full(23, 10));
        EXPECT_EQ(run.elapsed, 10u);
    }
}

TEST(LoadEffects, MosaicDrawsEveryBlockOnceThenTheWhole)
{
    struct Case {
        int w, h, side;
    } cases[] = {{150, 900, 10}, {500, 300, 20}, {500, 500, 30}, {161, 161, 20}, {401, 401, 30}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        const Drawn run = PlayLoad(EffectMosaic, c.w, c.h);
        const int cols = c.w / c.side, rows = c.h / c.side;
        ASSERT_EQ(run.calls.size(), std::size_t(cols * rows + 1));
        std::set<std::pair<int, int>> seen;
        for (int n = 0; n < cols * rows; ++n) {
            const Call& k = run.calls[n];
            ASSERT_EQ(k.xs % c.side, 0);
            ASSERT_EQ(k.ys % c.side, 0);
            ASSERT_LT(k.xs / c.side, cols);
            ASSERT_LT(k.ys / c.side, rows);
            ASSERT_EQ(k, C(5 + k.xs, 7 + k.ys, c.side, c.side, k.xs, k.ys, c.side, c.side));
            EXPECT_EQ(k.at, 1000u + n); // 1 ms between blocks
            seen.insert({k.xs, k.ys});
        }
        EXPECT_EQ(seen.size(), std::size_t(cols * rows));
        EXPECT_EQ(run.calls.back(), Full(c.w, c.h));
    }
    const Drawn tiny = PlayLoad(EffectMosaic, 5, 5);
    ASSERT_EQ(tiny.calls.size(), 1u);
    EXPECT_EQ(tiny.calls[0], Full(5, 5));
    EXPECT_EQ(tiny.elapsed, 0u);
}

TEST(LoadEffects, BlindsSlatCounts)
{
    struct Case {
        int w, slats;
    } cases[] = {{640, 16}, {800, 16}, {1024, 16}, {1000, 10}, {401, 16}, {359, 2}, {37, 18}, {1, 18}, {17, 17}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        EXPECT_EQ(BlindsSlatCount(c.w), c.slats);
        // Seen in the drawing: slats x (width / slats + 1) steps, the full draw.
        const Drawn run = PlayLoad(EffectBlinds, c.w, 3);
        const int width = c.w / c.slats;
        ASSERT_EQ(run.calls.size(), std::size_t(c.slats * (width + 1) + 1));
        for (int i = 0; i < c.slats; ++i)
            EXPECT_EQ(run.calls[i].xs, c.w * i / c.slats);
        EXPECT_EQ(run.calls.back(), Full(c.w, 3));
        EXPECT_EQ(run.elapsed, 10u * (width + 1)); // one pause per width, not per slat
    }

    const Drawn run = PlayLoad(EffectBlinds, 640, 20);
    ASSERT_EQ(run.calls.size(), 41u * 16 + 1);
    EXPECT_EQ(run.calls[16 * 7 + 3], C(5 + 120, 7, 7, 20, 120, 0, 7, 20)); // j = 7, slat 3
    EXPECT_EQ(run.calls[16 * 40 + 15], C(5 + 600, 7, 40, 20, 600, 0, 40, 20));
    EXPECT_EQ(run.calls[16 * 40 + 15].at, 1400u);

    // One pixel wide: 18 empty slats, one step, then the full draw.
    const Drawn one = PlayLoad(EffectBlinds, 1, 20);
    ASSERT_EQ(one.calls.size(), 19u);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(one.calls[i], C(5, 7, 0, 20, 0, 0, 0, 20));
    EXPECT_EQ(one.elapsed, 10u);
}

TEST(LoadEffects, ZoomedDestinationsTruncate)
{
    // T(v) is v times the float factor in double, truncated: 0.7f is a bit
    // below 0.7, so 10 gives 6 and 20 gives 13.
    const EffectLayout zoomed{0.7f, 3, 4};
    const Drawn wipe = PlayLoad(EffectFromBottom, 10, 34, zoomed);
    ASSERT_EQ(wipe.calls.size(), 3u);
    // k = 12: dst y = 4 + T(22) = 4 + 15 (15.399..), height T(12) = 8.
    EXPECT_EQ(wipe.calls[1], C(3, 4 + 15, 6, 8, 0, 0, 10, 12));
    // k = 24 leaves 10 rows: the full draw, T(34) = 23.
    EXPECT_EQ(wipe.calls[2], C(3, 4, 6, 23, 0, 0, 10, 34));

    const Drawn mosaic = PlayLoad(EffectMosaic, 20, 20, zoomed);
    ASSERT_EQ(mosaic.calls.size(), 5u);
    for (int n = 0; n < 4; ++n) {
        const Call& k = mosaic.calls[n];
        EXPECT_EQ(k.x, 3 + (k.xs ? 6 : 0));
        EXPECT_EQ(k.y, 4 + (k.ys ? 6 : 0));
        EXPECT_EQ(k.cx, 6);
        EXPECT_EQ(k.cy, 6);
    }
    EXPECT_EQ(mosaic.calls[4], C(3, 4, 13, 13, 0, 0, 20, 20));

    const Drawn doubled = PlayLoad(EffectFromTopRight, 40, 30, {2.5f, 0, 0});
    EXPECT_EQ(doubled.calls[0], C(70, 0, 30, 22, 0, 21, 12, 9));
}

TEST(LoadEffects, PlayLoadEffectByNumber)
{
    const auto pic = MakePicture(30, 24, 8);
    FakeClock clock;
    RecordingDC dc(clock);
    EXPECT_EQ(PlayLoadEffect(0, *pic, &dc, {}), 0);
    EXPECT_EQ(PlayLoadEffect(11, *pic, &dc, {}), 0);
    CPicture empty;
    EXPECT_EQ(PlayLoadEffect(2, empty, &dc, {}), 0);
    EffectMosaic(empty, &dc, {});
    EXPECT_TRUE(dc.calls.empty());
    EXPECT_EQ(clock.now, 1000u);

    EXPECT_EQ(PlayLoadEffect(EFFECT_FROM_TOP, *pic, &dc, {}), 1);
    EXPECT_EQ(dc.calls.size(), 3u);

    // A picture whose effect would hold the window for minutes (a wipe down
    // 30000 rows, 25,000 steps of 10 ms) is drawn whole at once.
    const auto tall = MakePicture(1, 30000, 8);
    dc.calls.clear();
    const DWORD start = clock.now;
    EXPECT_EQ(PlayLoadEffect(EFFECT_FROM_TOP, *tall, &dc, {}), 1);
    EXPECT_EQ(dc.calls, std::vector<Call>{Full(1, 30000, 0, 0)});
    EXPECT_EQ(clock.now, start);
    // The pauses counted are the effects' own: a 1920 x 1080 picture plays
    // every one of them.
    EXPECT_EQ(LoadEffectPauseMs(EFFECT_MOSAIC, 1920, 1080), 64 * 36);
    EXPECT_EQ(LoadEffectPauseMs(EFFECT_FROM_LEFT, 1920, 1080), 161 * 10);
    for (int n = 1; n <= EFFECT_COUNT; ++n)
        EXPECT_LE(LoadEffectPauseMs(n, 1920, 1080), kLongestLoadEffectMs) << n;
    EXPECT_GT(LoadEffectPauseMs(EFFECT_MOSAIC, 26000, 26000), kLongestLoadEffectMs);
    for (int n = 1; n <= EFFECT_COUNT; ++n) {
        dc.calls.clear();
        EXPECT_EQ(PlayLoadEffect(n, *pic, &dc, {}), 1);
        ASSERT_FALSE(dc.calls.empty());
        EXPECT_EQ(dc.calls.back(), Full(30, 24, 0, 0)) << n;
    }
}

namespace {

using ImmediateFn = int (*)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);

struct Immediate {
    std::vector<Call> calls;
    std::vector<std::vector<std::uint8_t>> snapshots; // the bytes at each draw
    std::vector<DWORD> flushes;
    DWORD elapsed;
    bool restored;
};

Immediate PlayImmediate(ImmediateFn fn, CPicture& pic)
{
    const std::vector<std::uint8_t> before(pic.GetBits(), pic.GetBits() + pic.GetImageSize());
    FakeClock clock;
    RecordingDC dc(clock, std::size_t(pic.GetImageSize()));
    Immediate r;
    EXPECT_EQ(fn(pic, &dc, {1.0f, 5, 7}, [&] { r.flushes.push_back(clock.now); }), 1);
    r.calls = dc.calls;
    r.snapshots = dc.snapshots;
    r.elapsed = clock.now - 1000;
    r.restored = std::memcmp(before.data(), pic.GetBits(), before.size()) == 0;
    for (const Call& c : r.calls)
        EXPECT_EQ(c, Full(pic.GetWidth(), pic.GetHeight()));
    EXPECT_EQ(r.flushes.size(), r.calls.size());
    return r;
}

bool AllWhite(const std::vector<std::uint8_t>& b)
{
    for (std::uint8_t v : b)
        if (v != 0xFF)
            return false;
    return true;
}

const int kDepths[] = {1, 4, 8, 16, 24, 32};

} // namespace

TEST(ImmediateEffects, EveryDepthRestoredAfterTheStatedSteps)
{
    for (int depth : kDepths) {
        SCOPED_TRACE(depth);
        auto pic = MakePicture(37, 45, depth);
        const int stride = pic->GetRowBytes();

        Immediate r = PlayImmediate(ShowHorizontalBlinds, *pic);
        EXPECT_TRUE(r.restored);
        ASSERT_EQ(r.calls.size(), 20u); // 10 bands, narrow picture
        EXPECT_EQ(r.elapsed, 2000u);
        EXPECT_TRUE(AllWhite(r.snapshots[9]));
        // Step 0 whitens stored rows 0, 10, 20, 30, 40 only, padding included.
        for (int row = 0; row < 45; ++row) {
            const auto* b = r.snapshots[0].data() + row * stride;
            EXPECT_EQ(b[0] == 0xFF && b[stride - 1] == 0xFF, row % 10 == 0) << row;
        }

        r = PlayImmediate(ShowVerticalBlinds, *pic);
        EXPECT_TRUE(r.restored);
        const std::size_t steps = depth == 1 ? 2 : depth == 4 ? 8 : 16;
        ASSERT_EQ(r.calls.size(), 2 * steps);
        EXPECT_EQ(r.elapsed, 200u * steps);
        // Whitened: every whole unit of the three slats (48 pixels of bytes)
        // that lies inside the row.
        const int unit = depth > 8 ? depth / 8 : 1;
        const int slatBytes = 2 * depth;
        for (int at = 0; at < stride; ++at) {
            const bool inside = at < 3 * slatBytes && (at / unit + 1) * unit <= stride;
            EXPECT_EQ(r.snapshots[steps - 1][std::size_t(44 * stride + at)] == 0xFF, inside) << at;
        }

        r = PlayImmediate(ShowMosaic, *pic);
        EXPECT_TRUE(r.restored);
        ASSERT_EQ(r.calls.size(), 8u); // 2 x 2 blocks at every depth here
        EXPECT_EQ(r.elapsed, 80u);
        EXPECT_TRUE(AllWhite(r.snapshots[3]));

        r = PlayImmediate(ShowScanDown, *pic);
        EXPECT_TRUE(r.restored);
        ASSERT_EQ(r.calls.size(), 90u);
        EXPECT_EQ(r.elapsed, 900u);
        EXPECT_TRUE(AllWhite({r.snapshots[0].begin() + 44 * stride, r.snapshots[0].end()}));
        EXPECT_FALSE(AllWhite({r.snapshots[0].begin() + 43 * stride, r.snapshots[0].end()}));
        EXPECT_TRUE(AllWhite(r.snapshots[44]));
        // Restoring runs from the top too: the bottom row comes back last.
        EXPECT_TRUE(AllWhite({r.snapshots[88].begin(), r.snapshots[88].begin() + stride}));

        r = PlayImmediate(ShowScanUp, *pic);
        EXPECT_TRUE(r.restored);
        ASSERT_EQ(r.calls.size(), 90u);
        EXPECT_TRUE(AllWhite({r.snapshots[0].begin(), r.snapshots[0].begin() + stride}));
        EXPECT_FALSE(AllWhite({r.snapshots[0].begin(), r.snapshots[0].begin() + 2 * stride}));
    }
}

TEST(ImmediateEffects, EveryStepShowsWhatAFullDrawWould)
{
    // The steps after the first redraw only the band they changed; the
    // screen must still equal a full draw of the picture as it is.
    using Fn = int (*)(CPicture&, HDC, const EffectLayout&, const EffectFlushFn&);
    for (const Fn fn : {Fn(ShowScanDown), Fn(ShowScanUp), Fn(ShowMosaic)}) {
        for (const float zoom : {0.7f, 1.6f}) {
            const auto pic = MakePicture(37, 45, 24);
            FakeClock clock;
            SurfaceDC dc(80, 90), ref(80, 90);
            const int cx = int(37 * double(zoom)), cy = int(45 * double(zoom));
            int steps = 0, wrong = 0;
            fn(*pic, &dc, EffectLayout{zoom, 3, 2}, [&] {
                ++steps;
                ref.Fill(0xFF000000u);
                pic->Draw(&ref, 3, 2, cx, cy, 0, 0, 37, 45, 0);
                wrong += !std::equal(dc.Bits(), dc.Bits() + 80 * 90, ref.Bits());
            });
            EXPECT_GT(steps, 2);
            EXPECT_EQ(wrong, 0) << zoom;
        }
    }
}

TEST(ImmediateEffects, MosaicBlocksAndWideBands)
{
    // 30 pixels of 8 bits: stride 32 is one block column, so each step
    // whitens whole rows (32 of them, or the 13 of the last block row).
    auto pic = MakePicture(30, 45, 8);
    Immediate r = PlayImmediate(ShowMosaic, *pic);
    EXPECT_TRUE(r.restored);
    ASSERT_EQ(r.calls.size(), 4u);
    int whiteRows = 0;
    for (int row = 0; row < 45; ++row) {
        const std::vector<std::uint8_t> bytes(r.snapshots[0].begin() + row * 32,
                                              r.snapshots[0].begin() + row * 32 + 32);
        whiteRows += AllWhite(bytes);
        EXPECT_TRUE(AllWhite(bytes) || bytes[0] != 0xFF) << row;
    }
    EXPECT_TRUE(whiteRows == 32 || whiteRows == 13) << whiteRows;

    // 100 x 70 at 24 bits: stride 300 in blocks of 96 bytes, the last 12
    // wide; three block rows. Every whitening step adds exactly one block.
    pic = MakePicture(100, 70, 24);
    r = PlayImmediate(ShowMosaic, *pic);
    EXPECT_TRUE(r.restored);
    ASSERT_EQ(r.calls.size(), 2u * 4 * 3);
    std::set<int> sizes;
    std::size_t whiteBefore = 0;
    for (int step = 0; step < 12; ++step) {
        std::size_t white = 0;
        for (std::uint8_t v : r.snapshots[std::size_t(step)])
            white += v == 0xFF;
        sizes.insert(int(white - whiteBefore));
        whiteBefore = white;
    }
    EXPECT_EQ(sizes, (std::set<int>{32 * 96, 32 * 12, 6 * 96, 6 * 12}));
    EXPECT_EQ(whiteBefore, 70u * 300);

    // Both sides over 160: 20 bands, 40 steps of 100 ms.
    pic = MakePicture(170, 161, 8);
    r = PlayImmediate(ShowHorizontalBlinds, *pic);
    EXPECT_TRUE(r.restored);
    EXPECT_EQ(r.calls.size(), 40u);
    EXPECT_EQ(r.elapsed, 4000u);
}

TEST(ImmediateEffects, RefuseWhatTheyCannotWorkOn)
{
    FakeClock clock;
    RecordingDC dc(clock);
    CPicture empty;
    for (ImmediateFn fn : {ShowHorizontalBlinds, ShowVerticalBlinds, ShowMosaic, ShowScanDown, ShowScanUp})
        EXPECT_EQ(fn(empty, &dc, {}, {}), 0);

    // Sizes that promise more rows than the block holds.
    auto pic = MakePicture(8, 8, 8);
    pic->m_nImageSize = 7 * 8;
    const std::vector<std::uint8_t> before(pic->GetBits(), pic->GetBits() + 64);
    for (ImmediateFn fn : {ShowHorizontalBlinds, ShowVerticalBlinds, ShowMosaic, ShowScanDown, ShowScanUp})
        EXPECT_EQ(fn(*pic, &dc, {}, {}), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(pic->GetBits(), pic->GetBits() + 64), before);
    EXPECT_TRUE(dc.calls.empty());
    EXPECT_EQ(clock.now, 1000u);
    pic->m_nImageSize = 64;
}

TEST(EffectRuns, StoppedPartWayEndWithThePictureWhole)
{
    // An immediate effect stopped in its whitening or its restoring phase
    // puts every byte back; its last draw shows the picture as it began.
    const ImmediateEffect kinds[] = {ImmediateEffect::HorizontalBlinds, ImmediateEffect::VerticalBlinds,
                                     ImmediateEffect::Mosaic, ImmediateEffect::ScanDown, ImmediateEffect::ScanUp};
    for (int depth : {1, 8, 24}) {
        for (ImmediateEffect kind : kinds) {
            auto pic = MakePicture(70, 75, depth);
            int total = 0;
            {
                FakeClock clock;
                RecordingDC dc(clock);
                for (EffectRun run = EffectRun::Immediate(kind, *pic, &dc, {}); run.Next() != EffectRun::kDone;)
                    ++total;
            }
            // The first step, and a step of the restoring phase.
            for (int steps : {1, total / 2 + 1}) {
                SCOPED_TRACE(testing::Message() << depth << " " << int(kind) << " " << steps);
                const std::vector<std::uint8_t> before(pic->GetBits(), pic->GetBits() + pic->GetImageSize());
                FakeClock clock;
                RecordingDC dc(clock, before.size());
                EffectRun run = EffectRun::Immediate(kind, *pic, &dc, {1.0f, 5, 7});
                ASSERT_TRUE(run.Playing());
                for (int i = 0; i < steps; ++i)
                    ASSERT_NE(run.Next(), EffectRun::kDone);
                EXPECT_NE(dc.snapshots.back(), before); // whitened bytes were on show
                run.Stop();
                EXPECT_FALSE(run.Playing());
                EXPECT_EQ(std::vector<std::uint8_t>(pic->GetBits(), pic->GetBits() + pic->GetImageSize()), before);
                EXPECT_EQ(dc.calls.back(), Full(70, 75));
                EXPECT_EQ(dc.snapshots.back(), before);
            }
        }
    }

    // A load effect stopped after two steps makes its full draw at once.
    for (int number = 1; number <= EFFECT_COUNT; ++number) {
        SCOPED_TRACE(number);
        const auto pic = MakePicture(240, 180, 24);
        FakeClock clock;
        RecordingDC dc(clock);
        EffectRun run = EffectRun::Load(number, *pic, &dc, {1.0f, 5, 7});
        ASSERT_NE(run.Next(), EffectRun::kDone);
        ASSERT_NE(run.Next(), EffectRun::kDone);
        run.Stop();
        EXPECT_EQ(dc.calls.back(), Full(240, 180));
        EXPECT_EQ(run.Next(), EffectRun::kDone);
        EXPECT_EQ(clock.now, 1000u); // a run never waits itself
    }
}
