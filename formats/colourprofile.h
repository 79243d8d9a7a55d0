// Embedded colour profiles (ICC) turned into sRGB when a picture is loaded,
// so that a wide-gamut photo shows the colours it was meant to have.
#pragma once

#include "platform/windef.h"

#include <cstddef>

enum class PixelOrder { Grey, GreyAlpha, Rgb, Rgba, Bgr, Bgra };

class ProfileToSrgb {
public:
    // `greyPicture` says which kind of profile fits the pixels; a profile of
    // the other kind, one that cannot be read, or an sRGB profile leaves the
    // object inactive and the pixels untouched.
    ProfileToSrgb(const BYTE* icc, std::size_t size, bool greyPicture);
    ~ProfileToSrgb();
    ProfileToSrgb(const ProfileToSrgb&) = delete;
    ProfileToSrgb& operator=(const ProfileToSrgb&) = delete;

    bool Active() const { return m_profile != nullptr; }
    // Converts `count` pixels in place; alpha bytes are kept. Grey pictures
    // stay grey (r = g = b), so their pixels may come in any order.
    void Convert(BYTE* pixels, std::size_t count, PixelOrder order);

private:
    void* m_profile = nullptr;   // the embedded profile
    void* m_transform = nullptr; // to sRGB, for m_order
    PixelOrder m_order = PixelOrder::Grey;
    bool m_grey = false;
    BYTE m_greyLut[256] = {};
};

// The background transparent pixels are shown over (0x00RRGGBB): the view
// sets its own; the default, for tools without a view, is white.
void SetAlphaBackground(DWORD rgb);
DWORD AlphaBackground();

// `alpha` over the background: one channel of the composite.
inline BYTE OverBackground(unsigned value, unsigned alpha, unsigned background)
{
    return BYTE((value * alpha + background * (255 - alpha) + 127) / 255);
}
