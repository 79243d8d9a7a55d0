// Transition effects. The load effects slide or assemble the picture into a
// device context part by part; the immediate effects whiten and restore the
// picture's own bytes, redrawing it whole after every step. Both kinds take
// what the view would give them, so they run (and are tested) without a GUI.
//
// How the view calls them:
//   - hdc: where to draw. For a load effect the paint's surface; for an
//     immediate effect the client-area surface without scroll adjustment.
//   - layout: the view's zoom (m_fZoom) and drawing origin (m_nOffsetX,
//     m_nOffsetY). A destination size is a picture size times the zoom,
//     computed in double and truncated toward zero, as the plain paint does.
//   - flush: called once after every step's drawing (the closing full draw
//     included), before the pause that follows it. The view repaints the
//     window synchronously from the surface there, so each step is seen.
//     Empty means nothing to present (a DC that is the screen itself).
// The functions below play an effect to its end, pausing with DelayMs, a
// wait on timeGetTime; tests replace the clock (SetClockHook,
// SetDelayIdleHook) so that effects run without real waiting. EffectRun
// plays the same draws one step at a time, for a window that keeps taking
// events between the steps and may end the effect early.
#pragma once

#include "picture/picture.h"
#include "platform/windef.h"

#include <cstdint>
#include <functional>
#include <memory>

struct EffectLayout {
    float zoom = 1.0f;
    int offsetX = 0;
    int offsetY = 0;
};

using EffectFlushFn = std::function<void()>;

// Load effects, numbered 1 to 10 as the view's menu selects them.
enum {
    EFFECT_NONE = 0,
    EFFECT_MOSAIC = 1,
    EFFECT_FROM_TOP,
    EFFECT_FROM_BOTTOM,
    EFFECT_FROM_LEFT,
    EFFECT_FROM_RIGHT,
    EFFECT_FROM_TOP_LEFT,
    EFFECT_FROM_TOP_RIGHT,
    EFFECT_FROM_BOTTOM_LEFT,
    EFFECT_FROM_BOTTOM_RIGHT,
    EFFECT_BLINDS,
    EFFECT_COUNT = 10
};

// Each ends with the whole picture drawn; a picture without an image draws
// nothing.
void EffectMosaic(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromTop(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromBottom(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromRight(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromTopLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromTopRight(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
void EffectFromBottomLeft(const CPicture& pic, HDC hdc, const EffectLayout& layout,
                          const EffectFlushFn& flush = {});
void EffectFromBottomRight(const CPicture& pic, HDC hdc, const EffectLayout& layout,
                           const EffectFlushFn& flush = {});
void EffectBlinds(const CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});

// Plays load effect `number`; returns 0, drawing nothing, for a number
// outside 1..10 or a picture without an image (the caller then draws plainly).
// An effect that would take too long (below) is a single full draw.
int PlayLoadEffect(int number, const CPicture& pic, HDC hdc, const EffectLayout& layout,
                   const EffectFlushFn& flush = {});

// The pauses of load effect `number` on a width x height picture, in
// milliseconds; an effect whose pauses exceed kLongestLoadEffectMs is not
// played: its run (and PlayLoadEffect) draws the picture whole at once.
std::int64_t LoadEffectPauseMs(int number, int width, int height);
constexpr std::int64_t kLongestLoadEffectMs = 10000;

enum class ImmediateEffect { HorizontalBlinds, VerticalBlinds, Mosaic, ScanDown, ScanUp };

// One effect in progress. Next() draws a step and returns the pause that
// belongs after it (0 for a closing draw shown without one), kDone once the
// effect is over; the caller presents each step and keeps the pauses,
// measured from the start of a step's drawing to the start of the next.
// Stop() ends it at once with the picture whole: a load effect makes its
// full draw; an immediate one first puts back every byte it saved, so that
// the picture ends exactly as it began. Destroying a run stops it.
class EffectRun {
public:
    static constexpr int kDone = -1;

    EffectRun();
    EffectRun(EffectRun&&) noexcept;
    EffectRun& operator=(EffectRun&&) noexcept;
    ~EffectRun();

    // Not playing when there is nothing to play: a number outside 1..10 or
    // a picture without an image; for an immediate effect whatever makes
    // its routine return 0.
    static EffectRun Load(int number, const CPicture& pic, HDC hdc, const EffectLayout& layout);
    static EffectRun Immediate(ImmediateEffect which, CPicture& pic, HDC hdc, const EffectLayout& layout);

    bool Playing() const;
    int Next();
    void Stop();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Block side of the load mosaic and slat count of the load blinds.
int MosaicBlockSide(int width, int height);
int BlindsSlatCount(int width);

// Immediate effects: whiten a growing pattern of the pixel bytes, then copy
// them back in the same pattern, with a full draw into hdc after every step.
// Every pixel byte is as it was when they return. They return 0 and change
// nothing when the picture holds no image, its sizes do not describe its
// block, or the copy of its bytes cannot be allocated.
int ShowHorizontalBlinds(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
int ShowVerticalBlinds(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
int ShowMosaic(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
int ShowScanDown(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
int ShowScanUp(CPicture& pic, HDC hdc, const EffectLayout& layout, const EffectFlushFn& flush = {});
