// The view's layout arithmetic, kept in plain functions: where and how large
// the picture is drawn for a factor, a picture size and a client size.
// Products and quotients are computed in double precision; a quotient that
// becomes the factor is stored as a float; sizes truncate toward zero.
#pragma once

#include <algorithm>

struct ViewLayout {
    float zoom = 1.0f;
    int offsetX = 0, offsetY = 0;
    int displayWidth = 0, displayHeight = 0;
    int clientWidth = 0, clientHeight = 0;
};

// Centres the display size in the last measured client size.
inline void CentreInClient(ViewLayout& l)
{
    l.offsetX = l.displayWidth < l.clientWidth ? l.clientWidth / 2 - l.displayWidth / 2 : 0;
    l.offsetY = l.displayHeight < l.clientHeight ? l.clientHeight / 2 - l.displayHeight / 2 : 0;
}

// Fills the width with a 4-pixel margin, or the height when that is too tall.
inline void FitCompute(ViewLayout& l, int w, int h)
{
    l.displayWidth = l.clientWidth - 4;
    l.zoom = static_cast<float>(double(l.displayWidth) / w);
    l.displayHeight = static_cast<int>(double(h) * double(l.zoom));
    l.offsetX = 0;
    l.offsetY = l.clientHeight / 2 - l.displayHeight / 2;
    if (l.displayHeight >= l.clientHeight) {
        l.displayHeight = l.clientHeight - 4;
        l.zoom = static_cast<float>(double(l.displayHeight) / h);
        l.displayWidth = static_cast<int>(double(w) * double(l.zoom));
        l.offsetY = 0;
        l.offsetX = l.clientWidth / 2 - l.displayWidth / 2;
    }
}

// A newly loaded or rotated picture: shrunk to fit, never enlarged.
inline void FitNewPicture(ViewLayout& l, int w, int h)
{
    if (w > l.clientWidth || h > l.clientHeight) {
        FitCompute(l, w, h);
    } else {
        l.displayWidth = w;
        l.displayHeight = h;
        CentreInClient(l);
        l.zoom = 1.0f;
    }
}

// A fixed factor: the display size at that factor, centred.
inline void ZoomTo(ViewLayout& l, float zoom, int w, int h)
{
    l.zoom = zoom;
    l.displayWidth = static_cast<int>(double(w) * double(zoom));
    l.displayHeight = static_cast<int>(double(h) * double(zoom));
    CentreInClient(l);
}

// Zoom out: false (and nothing but the factor changed) when the factor
// reached 0 or below.
inline bool ZoomStep(ViewLayout& l, float step, int w, int h)
{
    l.zoom = l.zoom + step;
    if (l.zoom <= 0.0f)
        return false;
    ZoomTo(l, l.zoom, w, h);
    return true;
}

// Where a picture goes on a printed page, in the page's device pixels from
// the printable area's top-left corner.
struct PageRect {
    int x = 0, y = 0, cx = 0, cy = 0;
};

// The picture at the size it has on screen at `zoom` (screen pixels of
// `screenDpi` carried over to the page's `pageDpiX` x `pageDpiY`), shrunk
// to the printable area keeping its proportions when it is larger there,
// and centred in it.
inline PageRect PrintPlacement(int w, int h, double zoom, double screenDpi, double pageDpiX, double pageDpiY,
                               int areaWidth, int areaHeight)
{
    PageRect r;
    if (w <= 0 || h <= 0 || areaWidth <= 0 || areaHeight <= 0)
        return r;
    double cx = double(w) * zoom * pageDpiX / screenDpi;
    double cy = double(h) * zoom * pageDpiY / screenDpi;
    if (!(cx > 0.0 && cy > 0.0)) { // a factor at or below zero: as large as fits
        cx = double(w) * pageDpiX;
        cy = double(h) * pageDpiY;
    }
    if (cx > areaWidth || cy > areaHeight) {
        const double scale = std::min(areaWidth / cx, areaHeight / cy);
        cx *= scale;
        cy *= scale;
    }
    r.cx = std::clamp(static_cast<int>(cx), 1, areaWidth);
    r.cy = std::clamp(static_cast<int>(cy), 1, areaHeight);
    r.x = (areaWidth - r.cx) / 2;
    r.y = (areaHeight - r.cy) / 2;
    return r;
}
