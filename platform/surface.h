// A drawing surface of RGB32 pixels (0xFFRRGGBB, rows top-down), the target
// the view's paint draws into. Logical coordinates are offset by the
// viewport origin (scrolling); only pixels inside the clip rectangle are
// ever touched, so a draw costs what is visible.
#pragma once

#include "dc.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

class SurfaceDC : public DeviceContext {
public:
    SurfaceDC() = default;
    SurfaceDC(int width, int height) { Resize(width, height); }

    // Every pixel `colour` afterwards. A surface whose memory cannot be had
    // is left empty (0 x 0).
    void Resize(int width, int height, std::uint32_t colour = 0xFF000000u);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    std::uint32_t* Bits() { return m_pixels.get(); }
    const std::uint32_t* Bits() const { return m_pixels.get(); }
    std::uint32_t Pixel(int x, int y) const { return m_pixels.get()[std::size_t(y) * std::size_t(m_width) + std::size_t(x)]; }

    // Logical (0, 0) maps to device (-origin.x, -origin.y).
    void SetViewportOrigin(int x, int y)
    {
        m_originX = x;
        m_originY = y;
    }
    // Device rectangle outside which nothing is drawn (defaults to the surface).
    void SetClip(int left, int top, int right, int bottom);
    void ResetClip() { SetClip(0, 0, m_width, m_height); }
    void LimitDrawing(const RECT* logical) override;
    void Fill(std::uint32_t colour);
    // The device rectangle drawn since the last call (empty when nothing
    // was), so that only that part needs to reach the screen.
    RECT TakeDirty();
    // The same as a few rectangles (none when nothing was drawn): draws far
    // apart, such as the slats of blinds, stay apart.
    std::vector<RECT> TakeDirtyRects();
    void FillRect(int left, int top, int right, int bottom, std::uint32_t colour); // logical coordinates

    BOOL StretchDibBits(int xDst, int yDst, int cxDst, int cyDst, const BITMAPINFOHEADER* header,
                        const RGBQUAD* colors, const void* bits, int xSrc, int ySrc, int cxSrc, int cySrc,
                        UINT flags) override;
    bool HoldsPixels() const override { return true; }

private:
    struct FreeBlock {
        void operator()(std::uint32_t* p) const { std::free(p); }
    };
    // A window's worth of pixels is megabytes: a large block, so that its
    // first touch is a few huge-page faults rather than thousands.
    std::unique_ptr<std::uint32_t[], FreeBlock> m_pixels;
    std::size_t m_count = 0;
    int m_width = 0;
    int m_height = 0;
    int m_originX = 0;
    int m_originY = 0;
    RECT m_clip;       // what is drawn: the clip, cut to the limit
    RECT m_setClip;    // the clip as set
    bool m_bLimited = false;
    RECT m_limit;      // device pixels
    void ApplyClip();
    std::vector<RECT> m_dirty;
    void AddDirty(int left, int top, int right, int bottom);
    std::vector<int> m_xmap; // reused between draws
};
