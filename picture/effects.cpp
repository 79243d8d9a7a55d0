#include "effects.h"

#include "platform/clock.h"

#include <algorithm>
#include <cmath>
#include <coroutine>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <new>
#include <utility>

namespace {

// The steps of one effect as a coroutine: each resumption draws one step and
// yields the pause in milliseconds that follows it (0 for a closing draw
// that is shown without a pause). Destroying it ends the effect where it is.
class Steps {
public:
    struct promise_type {
        int pause = 0;
        Steps get_return_object() { return Steps(std::coroutine_handle<promise_type>::from_promise(*this)); }
        std::suspend_always initial_suspend() noexcept { return {}; }
        std::suspend_always final_suspend() noexcept { return {}; }
        std::suspend_always yield_value(int ms) noexcept
        {
            pause = ms;
            return {};
        }
        void return_void() noexcept {}
        void unhandled_exception() noexcept { std::terminate(); }
    };
    Steps() = default;
    Steps(Steps&& other) noexcept : m_handle(std::exchange(other.m_handle, {})) {}
    Steps& operator=(Steps&& other) noexcept
    {
        if (this != &other) {
            if (m_handle)
                m_handle.destroy();
            m_handle = std::exchange(other.m_handle, {});
        }
        return *this;
    }
    ~Steps()
    {
        if (m_handle)
            m_handle.destroy();
    }
    // Draws the next step: its pause, or EffectRun::kDone when none is left.
    int Resume()
    {
        if (!m_handle || m_handle.done())
            return EffectRun::kDone;
        m_handle.resume();
        return m_handle.done() ? EffectRun::kDone : m_handle.promise().pause;
    }

private:
    explicit Steps(std::coroutine_handle<promise_type> handle) : m_handle(handle) {}
    std::coroutine_handle<promise_type> m_handle;
};

// v times the zoom, truncated toward zero. Clamped so that an absurd zoom
// gives an absurd rectangle rather than an undefined conversion.
int T(const EffectLayout& layout, std::int64_t v)
{
    const double d = double(v) * double(layout.zoom);
    if (!(d > double(std::numeric_limits<int>::min())))
        return std::numeric_limits<int>::min();
    if (d >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(d);
}

// The steps of one effect, each `ms` long from the start of its drawing to
// the start of the next: presenting a step takes part of its pause, so an
// effect keeps its pace on a screen that is slow to update. A step that
// overran its time is followed at once by the next.
class Pacer {
public:
    Pacer() : m_start(timeGetTime()) {}
    // The end of one step: present it, then wait out the rest of its time.
    void Step(const EffectFlushFn& flush, DWORD ms)
    {
        if (flush)
            flush();
        const DWORD spent = timeGetTime() - m_start;
        if (spent < ms)
            DelayMs(ms - spent);
        m_start = timeGetTime();
    }

private:
    DWORD m_start;
};

void FullDraw(const CPicture& pic, HDC hdc, const EffectLayout& layout)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    pic.Draw(hdc, layout.offsetX, layout.offsetY, T(layout, w), T(layout, h), 0, 0, w, h, 0);
}

// Source rectangle in picture pixels; destination at the origin plus (dx, dy)
// in picture pixels, both turned into window pixels by the zoom.
void PartDraw(const CPicture& pic, HDC hdc, const EffectLayout& layout, int dx, int dy, int sx, int sy, int scx,
              int scy)
{
    pic.Draw(hdc, layout.offsetX + T(layout, dx), layout.offsetY + T(layout, dy), T(layout, scx), T(layout, scy),
             sx, sy, scx, scy, 0);
}

enum class Edge { Top, Bottom, Left, Right };

Steps Wipe(const CPicture& pic, HDC hdc, EffectLayout layout, Edge edge)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int extent = (edge == Edge::Top || edge == Edge::Bottom) ? h : w;
    for (std::int64_t k = 0; k <= extent; k += 12) {
        const int n = static_cast<int>(k);
        if (extent - n < 12) {
            FullDraw(pic, hdc, layout);
        } else {
            switch (edge) {
            case Edge::Top: PartDraw(pic, hdc, layout, 0, 0, 0, h - n, w, n); break;
            case Edge::Bottom: PartDraw(pic, hdc, layout, 0, h - n, 0, 0, w, n); break;
            case Edge::Left: PartDraw(pic, hdc, layout, 0, 0, w - n, 0, n, h); break;
            case Edge::Right: PartDraw(pic, hdc, layout, w - n, 0, 0, 0, n, h); break;
            }
        }
        co_yield 10;
    }
}

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };

Steps CornerEntry(const CPicture& pic, HDC hdc, EffectLayout layout, Corner corner)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    // The upper corners step along the width only when it is strictly the
    // longer side; the lower ones also when the sides are equal.
    const bool upper = corner == Corner::TopLeft || corner == Corner::TopRight;
    const bool wide = upper ? (w > h) : (w >= h);
    const int stepX = wide ? 12 : 9, stepY = wide ? 9 : 12;
    // 64 bits: the counter along the shorter side keeps growing past its
    // limit until the longer one is done.
    std::int64_t x = stepX, y = stepY;
    for (;;) {
        if (wide ? (w - x < 12) : (h - y < 12)) {
            FullDraw(pic, hdc, layout);
            co_yield 10;
            co_return;
        }
        if (wide)
            y = std::min<std::int64_t>(y, h);
        else
            x = std::min<std::int64_t>(x, w);
        const int cx = static_cast<int>(x), cy = static_cast<int>(y);
        switch (corner) {
        case Corner::TopLeft: PartDraw(pic, hdc, layout, 0, 0, w - cx, h - cy, cx, cy); break;
        case Corner::TopRight: PartDraw(pic, hdc, layout, w - cx, 0, 0, h - cy, cx, cy); break;
        case Corner::BottomLeft: PartDraw(pic, hdc, layout, 0, h - cy, w - cx, 0, cx, cy); break;
        case Corner::BottomRight: PartDraw(pic, hdc, layout, w - cx, h - cy, 0, 0, cx, cy); break;
        }
        co_yield 10;
        x += stepX;
        y += stepY;
    }
}

// Limits drawing to where the stretch of a w x h picture maps its rows
// [top, bottom) and columns [left, right), a pixel more on every side.
// False (nothing limited) when the picture is drawn at no size.
bool LimitToBand(HDC hdc, const EffectLayout& layout, int w, int h, int top, int bottom, int left, int right)
{
    const int tw = T(layout, w), th = T(layout, h);
    if (tw <= 0 || th <= 0)
        return false;
    auto edge = [](int origin, double v, int size, int total) {
        return origin + static_cast<int>(std::clamp(std::floor(v * total / size), -1.0, double(total) + 1.0));
    };
    const RECT band{edge(layout.offsetX, left, w, tw) - 1, edge(layout.offsetY, top, h, th) - 1,
                    edge(layout.offsetX, right, w, tw) + 2, edge(layout.offsetY, bottom, h, th) + 2};
    hdc->LimitDrawing(&band);
    return true;
}

// A full draw of which only the part showing the picture's pixels from
// rows [top, bottom) (counted from the top) and columns [left, right) can
// differ from what the context already holds: the rest is left as it is.
void BandDraw(const CPicture& pic, HDC hdc, const EffectLayout& layout, int top, int bottom, int left, int right)
{
    const bool limited = LimitToBand(hdc, layout, pic.GetWidth(), pic.GetHeight(), top, bottom, left, right);
    FullDraw(pic, hdc, layout);
    if (limited)
        hdc->LimitDrawing(nullptr);
}

// The immediate effects work on the rows the picture's sizes describe; a
// picture whose block is smaller than those sizes say, or that holds only a
// reduced decode, is left alone.
bool Describes(const CPicture& pic)
{
    if (!pic.GetBits() || pic.GetWidth() <= 0 || pic.GetHeight() <= 0 || pic.GetBitCount() <= 0)
        return false;
    const std::int64_t stride = pic.GetRowBytes();
    return stride > 0 && stride * pic.GetHeight() <= pic.GetImageSize();
}

// The saved pixel bytes, and the two things a phase does with a byte range.
class Saved {
public:
    bool Take(const CPicture& pic)
    {
        m_size = static_cast<std::size_t>(pic.GetImageSize());
        m_data.reset(new (std::nothrow) BYTE[m_size]);
        if (!m_data)
            return false;
        std::memcpy(m_data.get(), pic.GetBits(), m_size);
        m_bits = pic.GetBits();
        return true;
    }
    // Whitens (restore false) or restores `count` bytes of stored row `row`
    // from byte `offset`.
    void Touch(CPicture& pic, bool restore, int row, std::int64_t offset, std::int64_t count) const
    {
        const std::size_t at = static_cast<std::size_t>(std::int64_t(row) * pic.GetRowBytes() + offset);
        if (restore)
            std::memcpy(pic.GetBits() + at, m_data.get() + at, static_cast<std::size_t>(count));
        else
            std::memset(pic.GetBits() + at, 0xFF, static_cast<std::size_t>(count));
        pic.PixelsChanged(row, offset, count);
    }
    // Puts every saved byte back at once; a picture that no longer holds
    // the block the bytes came from is not written to.
    void RestoreAll(CPicture& pic) const
    {
        if (!m_data || pic.GetBits() != m_bits || static_cast<std::size_t>(pic.GetImageSize()) != m_size)
            return;
        std::memcpy(pic.GetBits(), m_data.get(), m_size);
        pic.PixelsReplaced();
    }

private:
    std::unique_ptr<BYTE[]> m_data;
    std::size_t m_size = 0;
    const BYTE* m_bits = nullptr;
};

Steps ScanRows(CPicture& pic, HDC hdc, EffectLayout layout, const Saved& saved, bool down)
{
    const int h = pic.GetHeight();
    for (int phase = 0; phase < 2; ++phase) {
        for (int n = 0; n < h; ++n) {
            const int row = down ? h - 1 - n : n;
            saved.Touch(pic, phase == 1, row, 0, pic.GetRowBytes());
            // The first draw puts the whole picture in place; then only the
            // changed row can differ.
            if (phase == 0 && n == 0)
                FullDraw(pic, hdc, layout);
            else
                BandDraw(pic, hdc, layout, h - 1 - row, h - row, 0, pic.GetWidth());
            co_yield 10;
        }
    }
}

Steps LoadMosaic(const CPicture& pic, HDC hdc, EffectLayout layout)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int a = MosaicBlockSide(w, h);
    const int cols = std::max(w, 0) / a, rows = std::max(h, 0) / a;
    const std::int64_t cells = std::int64_t(cols) * rows;
    std::unique_ptr<BYTE[]> marks(cells > 0 ? new (std::nothrow) BYTE[static_cast<std::size_t>(cells)]() : nullptr);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (marks) {
        for (std::int64_t n = 0; n < cells; ++n) {
            int col, row;
            do {
                col = std::rand() % cols;
                row = std::rand() % rows;
            } while (marks[std::int64_t(row) * cols + col]);
            marks[std::int64_t(row) * cols + col] = 1;
            PartDraw(pic, hdc, layout, a * col, a * row, a * col, a * row, a, a);
            co_yield 1;
        }
    }
    marks.reset();
    FullDraw(pic, hdc, layout);
    co_yield 0;
}

Steps LoadBlinds(const CPicture& pic, HDC hdc, EffectLayout layout)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int n = BlindsSlatCount(w);
    const int s = w / n;
    for (int j = 0; j <= s; ++j) {
        for (int i = 0; i < n; ++i) {
            const int xi = static_cast<int>(std::int64_t(w) * i / n);
            // Of a slat j columns wide only its newest column is new.
            LimitToBand(hdc, layout, w, h, 0, h, xi + j - 1, xi + j);
            PartDraw(pic, hdc, layout, xi, 0, xi, 0, j, h);
        }
        hdc->LimitDrawing(nullptr);
        co_yield 10; // one pause per width, not per slat
    }
    FullDraw(pic, hdc, layout);
    co_yield 0;
}

Steps HorizontalBlinds(CPicture& pic, HDC hdc, EffectLayout layout, const Saved& saved)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int bands = (w > 160 && h > 160) ? 20 : 10;
    const int groups = static_cast<int>((std::int64_t(h) + bands - 1) / bands);
    for (int phase = 0; phase < 2; ++phase) {
        for (int i = 0; i < bands; ++i) {
            for (int j = 0; j < groups; ++j) {
                const std::int64_t row = std::int64_t(j) * bands + i;
                if (row < h)
                    saved.Touch(pic, phase == 1, static_cast<int>(row), 0, pic.GetRowBytes());
            }
            FullDraw(pic, hdc, layout);
            co_yield 100;
        }
    }
}

Steps VerticalBlinds(CPicture& pic, HDC hdc, EffectLayout layout, const Saved& saved)
{
    const int depth = pic.GetBitCount();
    const int h = pic.GetHeight();
    const std::int64_t stride = pic.GetRowBytes();
    const int slats = static_cast<int>((std::int64_t(pic.GetWidth()) + 15) / 16);
    const int slatBytes = 2 * depth; // 16 pixels
    const int unit = depth > 8 ? depth / 8 : 1;
    for (int phase = 0; phase < 2; ++phase) {
        for (int o = 0; o < slatBytes; o += unit) {
            for (int s = 0; s < slats; ++s) {
                const std::int64_t at = std::int64_t(s) * slatBytes + o;
                if (at + unit > stride)
                    break; // later slats lie further right still
                for (int row = 0; row < h; ++row)
                    saved.Touch(pic, phase == 1, row, at, unit);
            }
            FullDraw(pic, hdc, layout);
            co_yield 100;
        }
    }
}

Steps ImmediateMosaic(CPicture& pic, HDC hdc, EffectLayout layout, const Saved& saved,
                      std::unique_ptr<BYTE[]> marks)
{
    const int h = pic.GetHeight();
    const std::int64_t stride = pic.GetRowBytes();
    const std::int64_t blockBytes = 4 * std::int64_t(pic.GetBitCount()); // 32 pixels
    const int bc = static_cast<int>((stride + blockBytes - 1) / blockBytes);
    const int br = static_cast<int>((std::int64_t(h) + 31) / 32);
    const std::int64_t blocks = std::int64_t(br) * bc;
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (int phase = 0; phase < 2; ++phase) {
        const bool restore = phase == 1;
        // Whitening picks unmarked blocks, restoring marked ones.
        const BYTE wanted = restore ? 1 : 0;
        for (std::int64_t n = 0; n < blocks; ++n) {
            int r, c;
            do {
                r = std::rand() % br;
                c = std::rand() % bc;
            } while (marks[std::int64_t(r) * bc + c] != wanted);
            marks[std::int64_t(r) * bc + c] = restore ? 0 : 1;
            const std::int64_t offset = blockBytes * c;
            const std::int64_t count = std::min(blockBytes, stride - offset);
            for (int y = 32 * r; y < 32 * r + 32 && y < h; ++y)
                saved.Touch(pic, restore, y, offset, count);
            if (phase == 0 && n == 0) {
                FullDraw(pic, hdc, layout);
            } else {
                const int depth = pic.GetBitCount();
                BandDraw(pic, hdc, layout, h - std::min(32 * r + 32, h), h - 32 * r,
                         static_cast<int>(offset * 8 / depth), static_cast<int>(((offset + count) * 8 + depth - 1) / depth));
            }
            co_yield 10;
        }
    }
}

Steps AtOnce(const CPicture& pic, HDC hdc, EffectLayout layout)
{
    FullDraw(pic, hdc, layout);
    co_yield 0;
}

// Plays a run to its end, pacing it on the clock.
void PlayAll(EffectRun run, const EffectFlushFn& flush, Pacer& pace)
{
    for (int pause; (pause = run.Next()) != EffectRun::kDone;) {
        if (pause == 0) {
            if (flush)
                flush();
        } else {
            pace.Step(flush, static_cast<DWORD>(pause));
        }
    }
}

} // namespace

// What a run draws on and the steps it has left. An immediate effect's
// saved bytes live here, beside the steps that use them.
struct EffectRun::State {
    CPicture* pic = nullptr;
    HDC hdc = nullptr;
    EffectLayout layout;
    Saved saved;
    bool immediate = false;
    Steps steps;
};

EffectRun::EffectRun() = default;
EffectRun::EffectRun(EffectRun&&) noexcept = default;
EffectRun& EffectRun::operator=(EffectRun&& other) noexcept
{
    if (this != &other) {
        Stop();
        m_state = std::move(other.m_state);
    }
    return *this;
}

EffectRun::~EffectRun()
{
    Stop();
}

bool EffectRun::Playing() const
{
    return m_state != nullptr;
}

int EffectRun::Next()
{
    if (!m_state)
        return kDone;
    const int pause = m_state->steps.Resume();
    if (pause == kDone)
        m_state.reset();
    return pause;
}

void EffectRun::Stop()
{
    if (!m_state)
        return;
    // Whatever the unfinished step had under way ends with its frame.
    m_state->steps = Steps();
    if (m_state->immediate)
        m_state->saved.RestoreAll(*m_state->pic);
    FullDraw(*m_state->pic, m_state->hdc, m_state->layout);
    m_state.reset();
}

EffectRun EffectRun::Load(int number, const CPicture& pic, HDC hdc, const EffectLayout& layout)
{
    EffectRun run;
    if (number < 1 || number > EFFECT_COUNT || !pic.HasImage())
        return run;
    run.m_state = std::make_unique<State>();
    State& st = *run.m_state;
    st.pic = const_cast<CPicture*>(&pic); // a load effect only draws it
    st.hdc = hdc;
    st.layout = layout;
    // A picture that would keep the window waiting too long (a mosaic of a
    // very large photo, a wipe down a picture tens of thousands of rows
    // high) is shown at once instead.
    if (LoadEffectPauseMs(number, pic.GetWidth(), pic.GetHeight()) > kLongestLoadEffectMs) {
        st.steps = AtOnce(pic, hdc, layout);
        return run;
    }
    switch (number) {
    case EFFECT_MOSAIC: st.steps = LoadMosaic(pic, hdc, layout); break;
    case EFFECT_FROM_TOP: st.steps = Wipe(pic, hdc, layout, Edge::Top); break;
    case EFFECT_FROM_BOTTOM: st.steps = Wipe(pic, hdc, layout, Edge::Bottom); break;
    case EFFECT_FROM_LEFT: st.steps = Wipe(pic, hdc, layout, Edge::Left); break;
    case EFFECT_FROM_RIGHT: st.steps = Wipe(pic, hdc, layout, Edge::Right); break;
    case EFFECT_FROM_TOP_LEFT: st.steps = CornerEntry(pic, hdc, layout, Corner::TopLeft); break;
    case EFFECT_FROM_TOP_RIGHT: st.steps = CornerEntry(pic, hdc, layout, Corner::TopRight); break;
    case EFFECT_FROM_BOTTOM_LEFT: st.steps = CornerEntry(pic, hdc, layout, Corner::BottomLeft); break;
    case EFFECT_FROM_BOTTOM_RIGHT: st.steps = CornerEntry(pic, hdc, layout, Corner::BottomRight); break;
    default: st.steps = LoadBlinds(pic, hdc, layout); break;
    }
    return run;
}

EffectRun EffectRun::Immediate(ImmediateEffect which, CPicture& pic, HDC hdc, const EffectLayout& layout)
{
    EffectRun run;
    const int depth = pic.GetBitCount();
    if (which == ImmediateEffect::VerticalBlinds && depth != 1 && depth != 4 && depth != 8 && depth != 16 &&
        depth != 24 && depth != 32)
        return run;
    if (!Describes(pic))
        return run;
    std::unique_ptr<BYTE[]> marks;
    if (which == ImmediateEffect::Mosaic) {
        const std::int64_t blockBytes = 4 * std::int64_t(depth);
        const std::int64_t blocks =
            ((std::int64_t(pic.GetHeight()) + 31) / 32) * ((pic.GetRowBytes() + blockBytes - 1) / blockBytes);
        marks.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(blocks)]());
        if (!marks)
            return run;
    }
    auto st = std::make_unique<State>();
    if (!st->saved.Take(pic))
        return run;
    st->pic = &pic;
    st->hdc = hdc;
    st->layout = layout;
    st->immediate = true;
    switch (which) {
    case ImmediateEffect::HorizontalBlinds: st->steps = HorizontalBlinds(pic, hdc, layout, st->saved); break;
    case ImmediateEffect::VerticalBlinds: st->steps = VerticalBlinds(pic, hdc, layout, st->saved); break;
    case ImmediateEffect::Mosaic: st->steps = ImmediateMosaic(pic, hdc, layout, st->saved, std::move(marks)); break;
    case ImmediateEffect::ScanDown: st->steps = ScanRows(pic, hdc, layout, st->saved, true); break;
    case ImmediateEffect::ScanUp: st->steps = ScanRows(pic, hdc, layout, st->saved, false); break;
    }
    run.m_state = std::move(st);
    return run;
}

int MosaicBlockSide(int width, int height)
{
    if (width <= 160 || height <= 160)
        return 10;
    if (width <= 400 || height <= 400)
        return 20;
    return 30;
}

int BlindsSlatCount(int width)
{
    for (int i = 18; i >= 2; --i)
        if (width % i == 0)
            return i;
    // No divisor: the slat count leaving the fewest columns over, the larger
    // count winning a tie.
    int best = 2;
    for (int i = 2; i <= 18; ++i)
        if (width % i <= width % best)
            best = i;
    return best;
}

namespace {

void PlayLoad(int number, const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    Pacer pace;
    PlayAll(EffectRun::Load(number, pic, hdc, layout), flush, pace);
}

int PlayImmediate(ImmediateEffect which, CPicture& pic, HDC hdc, const EffectLayout& layout,
                  const EffectFlushFn& flush)
{
    Pacer pace;
    EffectRun run = EffectRun::Immediate(which, pic, hdc, layout);
    if (!run.Playing())
        return 0;
    PlayAll(std::move(run), flush, pace);
    return 1;
}

} // namespace

void EffectMosaic(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_MOSAIC, pic, hdc, layout, flush);
}

void EffectFromTop(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_TOP, pic, hdc, layout, flush);
}

void EffectFromBottom(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_BOTTOM, pic, hdc, layout, flush);
}

void EffectFromLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_LEFT, pic, hdc, layout, flush);
}

void EffectFromRight(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_RIGHT, pic, hdc, layout, flush);
}

void EffectFromTopLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_TOP_LEFT, pic, hdc, layout, flush);
}

void EffectFromTopRight(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_TOP_RIGHT, pic, hdc, layout, flush);
}

void EffectFromBottomLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_BOTTOM_LEFT, pic, hdc, layout, flush);
}

void EffectFromBottomRight(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_FROM_BOTTOM_RIGHT, pic, hdc, layout, flush);
}

void EffectBlinds(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    PlayLoad(EFFECT_BLINDS, pic, hdc, layout, flush);
}

std::int64_t LoadEffectPauseMs(int number, int width, int height)
{
    const std::int64_t w = std::max(width, 0), h = std::max(height, 0);
    switch (number) {
    case EFFECT_MOSAIC: {
        const int a = MosaicBlockSide(width, height);
        return (w / a) * (h / a);
    }
    case EFFECT_FROM_TOP:
    case EFFECT_FROM_BOTTOM: return (h / 12 + 1) * 10;
    case EFFECT_FROM_LEFT:
    case EFFECT_FROM_RIGHT: return (w / 12 + 1) * 10;
    case EFFECT_FROM_TOP_LEFT:
    case EFFECT_FROM_TOP_RIGHT:
    case EFFECT_FROM_BOTTOM_LEFT:
    case EFFECT_FROM_BOTTOM_RIGHT: return (std::max(w, h) / 12 + 1) * 10;
    case EFFECT_BLINDS: return (w / BlindsSlatCount(width) + 1) * 10;
    default: return 0;
    }
}

int PlayLoadEffect(int number, const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    if (number < 1 || number > EFFECT_COUNT || !pic.HasImage())
        return 0;
    PlayLoad(number, pic, hdc, layout, flush);
    return 1;
}

int ShowHorizontalBlinds(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    return PlayImmediate(ImmediateEffect::HorizontalBlinds, pic, hdc, layout, flush);
}

int ShowVerticalBlinds(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    return PlayImmediate(ImmediateEffect::VerticalBlinds, pic, hdc, layout, flush);
}

int ShowMosaic(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    return PlayImmediate(ImmediateEffect::Mosaic, pic, hdc, layout, flush);
}

int ShowScanDown(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    return PlayImmediate(ImmediateEffect::ScanDown, pic, hdc, layout, flush);
}

int ShowScanUp(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush)
{
    return PlayImmediate(ImmediateEffect::ScanUp, pic, hdc, layout, flush);
}
