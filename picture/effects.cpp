#include "effects.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace {

void Pause(const EffectPauseFn& pause, DWORD ms)
{
    if (pause)
        pause(ms);
    else
        DelayMs(ms);
}

// The view's destination arithmetic: v times the zoom, truncated toward zero.
int T(const EffectLayout& lay, int v)
{
    return static_cast<int>(double(v) * lay.zoom);
}

void Part(const CPicture& pic, HDC hdc, int dx, int dy, int dcx, int dcy, int sx, int sy,
          int scx, int scy)
{
    pic.Draw(hdc, dx, dy, dcx, dcy, sx, sy, scx, scy, 0);
}

void FullDraw(const CPicture& pic, HDC hdc, const EffectLayout& lay)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    pic.Draw(hdc, lay.x0, lay.y0, T(lay, w), T(lay, h), 0, 0, w, h, 0);
}

enum class Edge { Top, Bottom, Left, Right };

void Wipe(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause, Edge edge)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int extent = (edge == Edge::Top || edge == Edge::Bottom) ? h : w;
    for (int k = 0; k <= extent; k += 12) {
        if (extent - k < 12) {
            FullDraw(pic, hdc, lay);
        } else {
            switch (edge) {
            case Edge::Top:
                Part(pic, hdc, lay.x0, lay.y0, T(lay, w), T(lay, k), 0, h - k, w, k);
                break;
            case Edge::Bottom:
                Part(pic, hdc, lay.x0, lay.y0 + T(lay, h - k), T(lay, w), T(lay, k), 0, 0, w, k);
                break;
            case Edge::Left:
                Part(pic, hdc, lay.x0, lay.y0, T(lay, k), T(lay, h), w - k, 0, k, h);
                break;
            case Edge::Right:
                Part(pic, hdc, lay.x0 + T(lay, w - k), lay.y0, T(lay, k), T(lay, h), 0, 0, k, h);
                break;
            }
        }
        Pause(pause, 10);
    }
}

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };

void CornerEntry(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause, Corner corner)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    // The upper corners step along the width only when it is strictly the
    // longer side; the lower ones also when the sides are equal.
    const bool upper = corner == Corner::TopLeft || corner == Corner::TopRight;
    const bool wide = upper ? (w > h) : (w >= h);
    int x = wide ? 12 : 9;
    int y = wide ? 9 : 12;
    const int dx = x, dy = y;
    for (;;) {
        if (wide ? (w - x < 12) : (h - y < 12)) {
            FullDraw(pic, hdc, lay);
            Pause(pause, 10);
            return;
        }
        if (wide)
            y = std::min(y, h);
        else
            x = std::min(x, w);
        switch (corner) {
        case Corner::TopLeft:
            Part(pic, hdc, lay.x0, lay.y0, T(lay, x), T(lay, y), w - x, h - y, x, y);
            break;
        case Corner::TopRight:
            Part(pic, hdc, lay.x0 + T(lay, w - x), lay.y0, T(lay, x), T(lay, y), 0, h - y, x, y);
            break;
        case Corner::BottomLeft:
            Part(pic, hdc, lay.x0, lay.y0 + T(lay, h - y), T(lay, x), T(lay, y), w - x, 0, x, y);
            break;
        case Corner::BottomRight:
            Part(pic, hdc, lay.x0 + T(lay, w - x), lay.y0 + T(lay, h - y), T(lay, x), T(lay, y), 0, 0, x, y);
            break;
        }
        Pause(pause, 10);
        x += dx;
        y += dy;
    }
}

// Stored rows that lie wholly inside the image block; a header that claims
// more rows than the block holds must not send a routine past its end.
int UsableRows(const CPicture& pic)
{
    const std::int64_t stride = pic.GetRowBytes();
    if (stride <= 0 || pic.GetHeight() <= 0 || pic.GetImageSize() <= 0)
        return 0;
    return static_cast<int>(std::min<std::int64_t>(pic.GetHeight(), pic.GetImageSize() / stride));
}

// The copy every immediate effect restores from, freed on every return.
struct SavedBytes {
    BYTE* data = nullptr;
    ~SavedBytes() { delete[] data; }
    bool Take(const CPicture& pic)
    {
        data = new (std::nothrow) BYTE[static_cast<std::size_t>(pic.GetImageSize())];
        if (!data)
            return false;
        std::memcpy(data, pic.GetBits(), static_cast<std::size_t>(pic.GetImageSize()));
        return true;
    }
};

bool Ready(const CPicture& pic)
{
    return pic.HasImage() && UsableRows(pic) > 0;
}

// Whitens (restore false) or restores a byte range of stored row `row`.
void Touch(CPicture& pic, const SavedBytes& saved, bool restore, int row, std::int64_t offset, std::int64_t count)
{
    const std::int64_t at = std::int64_t(row) * pic.GetRowBytes() + offset;
    if (restore)
        std::memcpy(pic.GetBits() + at, saved.data + at, static_cast<std::size_t>(count));
    else
        std::memset(pic.GetBits() + at, 0xFF, static_cast<std::size_t>(count));
}

int ScanRows(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause, bool down)
{
    const int rows = UsableRows(pic);
    const int stride = pic.GetRowBytes();
    SavedBytes saved;
    if (!saved.Take(pic))
        return 0;
    for (int phase = 0; phase < 2; ++phase) {
        for (int n = 0; n < pic.GetHeight(); ++n) {
            const int row = down ? pic.GetHeight() - 1 - n : n;
            if (row < rows)
                Touch(pic, saved, phase == 1, row, 0, stride);
            if (fullDraw)
                fullDraw();
            Pause(pause, 10);
        }
    }
    return 1;
}

} // namespace

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

void EffectMosaic(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int a = MosaicBlockSide(w, h);
    const int cols = w > 0 ? w / a : 0, rows = h > 0 ? h / a : 0;
    const std::int64_t cells = std::int64_t(cols) * rows;
    if (cells > 0) {
        auto* marks = new (std::nothrow) BYTE[static_cast<std::size_t>(cells)]();
        if (marks) {
            std::srand(static_cast<unsigned>(std::time(nullptr)));
            for (std::int64_t n = 0; n < cells; ++n) {
                int col, row;
                do {
                    col = std::rand() % cols;
                    row = std::rand() % rows;
                } while (marks[std::int64_t(row) * cols + col]);
                marks[std::int64_t(row) * cols + col] = 1;
                Part(pic, hdc, lay.x0 + T(lay, a * col), lay.y0 + T(lay, a * row), T(lay, a), T(lay, a),
                     a * col, a * row, a, a);
                Pause(pause, 1);
            }
            delete[] marks;
        }
    }
    FullDraw(pic, hdc, lay);
}

void EffectFromTop(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    Wipe(pic, hdc, lay, pause, Edge::Top);
}

void EffectFromBottom(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    Wipe(pic, hdc, lay, pause, Edge::Bottom);
}

void EffectFromLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    Wipe(pic, hdc, lay, pause, Edge::Left);
}

void EffectFromRight(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    Wipe(pic, hdc, lay, pause, Edge::Right);
}

void EffectFromTopLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    CornerEntry(pic, hdc, lay, pause, Corner::TopLeft);
}

void EffectFromTopRight(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    CornerEntry(pic, hdc, lay, pause, Corner::TopRight);
}

void EffectFromBottomLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    CornerEntry(pic, hdc, lay, pause, Corner::BottomLeft);
}

void EffectFromBottomRight(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    CornerEntry(pic, hdc, lay, pause, Corner::BottomRight);
}

void EffectBlinds(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int n = BlindsSlatCount(w);
    const int s = w / n;
    for (int j = 0; j <= s; ++j) {
        for (int i = 0; i < n; ++i) {
            const int xi = static_cast<int>(std::int64_t(w) * i / n);
            Part(pic, hdc, lay.x0 + T(lay, xi), lay.y0, T(lay, j), T(lay, h), xi, 0, j, h);
        }
        Pause(pause, 10);
    }
    FullDraw(pic, hdc, lay);
}

int PlayLoadEffect(int number, const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause)
{
    using Fn = void (*)(const CPicture&, HDC, const EffectLayout&, const EffectPauseFn&);
    static const Fn table[EFFECT_COUNT] = {EffectMosaic,       EffectFromTop,        EffectFromBottom,
                                           EffectFromLeft,     EffectFromRight,      EffectFromTopLeft,
                                           EffectFromTopRight, EffectFromBottomLeft, EffectFromBottomRight,
                                           EffectBlinds};
    if (number < 1 || number > EFFECT_COUNT || !pic.HasImage())
        return 0;
    table[number - 1](pic, hdc, lay, pause);
    return 1;
}

int ShowHorizontalBlinds(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause)
{
    if (!Ready(pic))
        return 0;
    SavedBytes saved;
    if (!saved.Take(pic))
        return 0;
    const int w = pic.GetWidth(), h = pic.GetHeight();
    const int rows = UsableRows(pic);
    const int bands = (w > 160 && h > 160) ? 20 : 10;
    const int groups = (h + bands - 1) / bands;
    for (int phase = 0; phase < 2; ++phase) {
        for (int i = 0; i < bands; ++i) {
            for (int j = 0; j < groups; ++j) {
                const std::int64_t row = std::int64_t(j) * bands + i;
                if (row < rows)
                    Touch(pic, saved, phase == 1, static_cast<int>(row), 0, pic.GetRowBytes());
            }
            if (fullDraw)
                fullDraw();
            Pause(pause, 100);
        }
    }
    return 1;
}

int ShowVerticalBlinds(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause)
{
    if (!Ready(pic))
        return 0;
    const int depth = pic.GetBitCount();
    if (depth != 1 && depth != 4 && depth != 8 && depth != 16 && depth != 24 && depth != 32)
        return 0;
    SavedBytes saved;
    if (!saved.Take(pic))
        return 0;
    const int rows = UsableRows(pic);
    const std::int64_t stride = pic.GetRowBytes();
    const int slats = (pic.GetWidth() + 15) / 16;
    const int slatBytes = 2 * depth; // 16 pixels
    const int unit = depth > 8 ? depth / 8 : 1;
    for (int phase = 0; phase < 2; ++phase) {
        for (int o = 0; o < slatBytes; o += unit) {
            for (int s = 0; s < slats; ++s) {
                const std::int64_t at = std::int64_t(s) * slatBytes + o;
                if (at + unit > stride)
                    continue;
                for (int row = 0; row < rows; ++row)
                    Touch(pic, saved, phase == 1, row, at, unit);
            }
            if (fullDraw)
                fullDraw();
            Pause(pause, 100);
        }
    }
    return 1;
}

int ShowMosaic(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause)
{
    if (!Ready(pic) || pic.GetBitCount() <= 0)
        return 0;
    const int rows = UsableRows(pic);
    const std::int64_t stride = pic.GetRowBytes();
    const std::int64_t blockBytes = 4 * std::int64_t(pic.GetBitCount()); // 32 pixels
    const int bc = static_cast<int>((stride + blockBytes - 1) / blockBytes);
    const int br = (pic.GetHeight() + 31) / 32;
    const std::int64_t blocks = std::int64_t(br) * bc;
    auto* marks = new (std::nothrow) BYTE[static_cast<std::size_t>(blocks)]();
    if (!marks)
        return 0;
    SavedBytes saved;
    if (!saved.Take(pic)) {
        delete[] marks;
        return 0;
    }
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    for (int phase = 0; phase < 2; ++phase) {
        const bool restore = phase == 1;
        for (std::int64_t n = 0; n < blocks; ++n) {
            int r, c;
            do {
                r = std::rand() % br;
                c = std::rand() % bc;
            } while (marks[std::int64_t(r) * bc + c] != (restore ? 1 : 0));
            marks[std::int64_t(r) * bc + c] = restore ? 0 : 1;
            const std::int64_t offset = blockBytes * c;
            const std::int64_t count = std::min(blockBytes, stride - offset);
            for (int y = 32 * r; y < 32 * r + 32 && y < pic.GetHeight(); ++y)
                if (y < rows)
                    Touch(pic, saved, restore, y, offset, count);
            if (fullDraw)
                fullDraw();
            Pause(pause, 10);
        }
    }
    delete[] marks;
    return 1;
}

int ShowScanDown(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause)
{
    if (!Ready(pic))
        return 0;
    return ScanRows(pic, fullDraw, pause, true);
}

int ShowScanUp(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause)
{
    if (!Ready(pic))
        return 0;
    return ScanRows(pic, fullDraw, pause, false);
}
