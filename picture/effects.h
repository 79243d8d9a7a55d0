// Transition effects. The load effects slide or assemble the picture into a
// device context part by part; the immediate effects whiten and restore the
// picture's own bytes, redrawing it whole after every step. Both kinds take
// what the view would give them, so they run (and are tested) without a GUI.
#pragma once

#include "picture/picture.h"
#include "platform/windef.h"

#include <functional>

// Where and how large the view shows the picture: destination sizes are
// picture sizes times zoom, truncated toward zero, from origin (x0, y0).
struct EffectLayout {
    double zoom = 1.0;
    int x0 = 0;
    int y0 = 0;
};

// Called for every pause with its length in ms. The GUI flushes the step just
// drawn to the screen and then waits; empty means DelayMs.
using EffectPauseFn = std::function<void(DWORD ms)>;

// Load effects, numbered 1 to 10 as the view's menu selects them. Each ends
// with the whole picture drawn.
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

void EffectMosaic(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromTop(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromBottom(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromRight(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromTopLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromTopRight(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromBottomLeft(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});
void EffectFromBottomRight(const CPicture& pic, HDC hdc, const EffectLayout& lay,
                           const EffectPauseFn& pause = {});
void EffectBlinds(const CPicture& pic, HDC hdc, const EffectLayout& lay, const EffectPauseFn& pause = {});

// Plays load effect `number`; returns 0 (drawing nothing) for a number
// outside 1..10 or a picture without an image.
int PlayLoadEffect(int number, const CPicture& pic, HDC hdc, const EffectLayout& lay,
                   const EffectPauseFn& pause = {});

// Block side of the load mosaic and slat count of the load blinds.
int MosaicBlockSide(int width, int height);
int BlindsSlatCount(int width);

// Immediate effects. `fullDraw` draws the whole picture where the view shows
// it; it is called after every step of both phases. Every pixel byte is back
// as it was when they return. They return 0 and do nothing when the picture
// holds no image or the copy of its bytes cannot be allocated.
using EffectDrawFn = std::function<void()>;
int ShowHorizontalBlinds(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause = {});
int ShowVerticalBlinds(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause = {});
int ShowMosaic(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause = {});
int ShowScanDown(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause = {});
int ShowScanUp(CPicture& pic, const EffectDrawFn& fullDraw, const EffectPauseFn& pause = {});
