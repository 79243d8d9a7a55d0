#include "formats/colourprofile.h"

#include <lcms2.h>

#include <cstring>

namespace {

DWORD g_background = 0xFFFFFF;

cmsHPROFILE Srgb()
{
    static cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    return srgb;
}

// Most cameras tag their pictures with sRGB itself; converting those would
// only cost time.
bool NamedSrgb(cmsHPROFILE profile)
{
    char name[64] = {};
    cmsGetProfileInfoASCII(profile, cmsInfoDescription, "en", "US", name, sizeof name);
    return std::strncmp(name, "sRGB", 4) == 0;
}

cmsUInt32Number LcmsFormat(PixelOrder order)
{
    switch (order) {
    case PixelOrder::Rgb: return TYPE_RGB_8;
    case PixelOrder::Rgba: return TYPE_RGBA_8;
    case PixelOrder::Bgr: return TYPE_BGR_8;
    case PixelOrder::Bgra: return TYPE_BGRA_8;
    default: return 0;
    }
}

int BytesPerPixel(PixelOrder order)
{
    switch (order) {
    case PixelOrder::Grey: return 1;
    case PixelOrder::GreyAlpha: return 2;
    case PixelOrder::Rgb:
    case PixelOrder::Bgr: return 3;
    default: return 4;
    }
}

} // namespace

void SetAlphaBackground(DWORD rgb)
{
    g_background = rgb & 0xFFFFFF;
}

DWORD AlphaBackground()
{
    return g_background;
}

ProfileToSrgb::ProfileToSrgb(const BYTE* icc, std::size_t size, bool greyPicture) : m_grey(greyPicture)
{
    if (!icc || size < 132 || size > 0xFFFFFFFFu)
        return;
    cmsHPROFILE profile = cmsOpenProfileFromMem(icc, cmsUInt32Number(size));
    if (!profile)
        return;
    // The header's colour space is any 32-bit value the file holds, often
    // none of the library's named signatures: kept as the number it is.
    const cmsUInt32Number space = cmsGetColorSpace(profile);
    const bool fits = space == cmsUInt32Number(greyPicture ? cmsSigGrayData : cmsSigRgbData);
    if (!fits || NamedSrgb(profile)) {
        cmsCloseProfile(profile);
        return;
    }
    if (greyPicture) {
        // 256 grey levels are all a grey picture can hold: convert them once.
        cmsHTRANSFORM t = cmsCreateTransform(profile, TYPE_GRAY_8, Srgb(), TYPE_RGB_8, INTENT_PERCEPTUAL, 0);
        if (!t) {
            cmsCloseProfile(profile);
            return;
        }
        BYTE levels[256];
        BYTE rgb[256 * 3];
        for (int i = 0; i < 256; ++i)
            levels[i] = BYTE(i);
        cmsDoTransform(t, levels, rgb, 256);
        cmsDeleteTransform(t);
        for (int i = 0; i < 256; ++i)
            m_greyLut[i] = rgb[i * 3 + 1];
    }
    m_profile = profile;
}

ProfileToSrgb::~ProfileToSrgb()
{
    if (m_transform)
        cmsDeleteTransform(m_transform);
    if (m_profile)
        cmsCloseProfile(m_profile);
}

void ProfileToSrgb::Convert(BYTE* pixels, std::size_t count, PixelOrder order)
{
    if (!m_profile || !count)
        return;
    const int bytes = BytesPerPixel(order);
    if (m_grey) {
        const bool alpha = order == PixelOrder::GreyAlpha || order == PixelOrder::Rgba || order == PixelOrder::Bgra;
        const int colour = alpha ? bytes - 1 : bytes;
        for (std::size_t i = 0; i < count; ++i, pixels += bytes)
            for (int c = 0; c < colour; ++c)
                pixels[c] = m_greyLut[pixels[c]];
        return;
    }
    if (order == PixelOrder::Grey || order == PixelOrder::GreyAlpha)
        return; // an RGB profile says nothing about grey pixels
    if (!m_transform || m_order != order) {
        if (m_transform)
            cmsDeleteTransform(m_transform);
        const cmsUInt32Number format = LcmsFormat(order);
        const cmsUInt32Number flags = bytes == 4 ? cmsFLAGS_COPY_ALPHA : 0;
        m_transform = cmsCreateTransform(m_profile, format, Srgb(), format, INTENT_PERCEPTUAL, flags);
        m_order = order;
        if (!m_transform)
            return;
    }
    // lcms counts pixels in 32 bits.
    constexpr std::size_t kChunk = 1u << 24;
    for (std::size_t done = 0; done < count; done += kChunk) {
        const std::size_t n = count - done < kChunk ? count - done : kChunk;
        BYTE* p = pixels + done * std::size_t(bytes);
        cmsDoTransform(m_transform, p, p, cmsUInt32Number(n));
    }
}
