#include "picture/colourprofile.h"

#include <QColorSpace>
#include <lcms2.h>

namespace lumora::picture {

namespace {

// From about here a colour transform's precomputed tables cost less than going without them.
constexpr qint64 kPixelsWorthTables = 250'000;

// Qt tells an sRGB profile however it is written down (curves as tables or formulas); such a
// profile needs no conversion at all.
bool isSrgb(QByteArrayView iccProfile)
{
    const QColorSpace space = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    return space.isValid() && space == QColorSpace(QColorSpace::SRgb);
}

} // namespace

IccToSrgb::IccToSrgb(QByteArrayView iccProfile, Input input, qint64 pixels)
{
    if (iccProfile.isEmpty())
        return;
    cmsHPROFILE source =
        cmsOpenProfileFromMem(iccProfile.data(), cmsUInt32Number(iccProfile.size()));
    if (!source)
        return;
    if (cmsGetColorSpace(source) == cmsSigCmykData) {
        cmsHPROFILE srgb = cmsCreate_sRGBProfile();
        const cmsUInt32Number format = input == Input::Cmyk ? TYPE_CMYK_8 : TYPE_CMYK_8_REV;
        const cmsUInt32Number flags = pixels < kPixelsWorthTables ? cmsFLAGS_NOOPTIMIZE : 0;
        m_transform =
            cmsCreateTransform(source, format, srgb, TYPE_BGRA_8, INTENT_PERCEPTUAL, flags);
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(source);
}

IccToSrgb::~IccToSrgb()
{
    if (m_transform)
        cmsDeleteTransform(m_transform);
}

void IccToSrgb::convert(const uchar *in, uchar *out, int width) const
{
    cmsDoTransform(m_transform, in, out, cmsUInt32Number(width));
    // Little CMS leaves the fourth byte alone; RGB32 wants it opaque.
    auto *pixels = reinterpret_cast<quint32 *>(out);
    for (int x = 0; x < width; ++x)
        pixels[x] |= 0xFF000000u;
}

void convertToSrgb(QImage &image, QByteArrayView iccProfile)
{
    if (iccProfile.isEmpty() || isSrgb(iccProfile))
        return;
    // Qt spreads the work over the processor's cores and knows premultiplied alpha.
    const QColorSpace source = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    if (!source.isValid())
        return;
    image.setColorSpace(source);
    image.convertToColorSpace(QColorSpace::SRgb);
}

} // namespace lumora::picture
