#include "picture/colourprofile.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>
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

// Linear light in 14 bits: fine enough that sRGB's steepest part, near black, loses less than
// a level; the matrix in 14 fractional bits.
constexpr int kLinearOne = (1 << 14) - 1;
constexpr int kMatrixShift = 14;

// sRGB's own curve, from linear light to 8 bits.
std::vector<uchar> srgbEncodeTable()
{
    std::vector<uchar> table(kLinearOne + 1);
    for (int i = 0; i <= kLinearOne; ++i) {
        const double v = double(i) / kLinearOne;
        const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
        table[size_t(i)] = uchar(std::lround(std::clamp(e, 0.0, 1.0) * 255));
    }
    return table;
}

// sRGB's primaries and white with straight-line curves: what the matrix maps into.
cmsHPROFILE linearSrgb()
{
    const cmsCIExyY white{0.3127, 0.3290, 1.0};
    const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
    cmsToneCurve *line = cmsBuildGamma(nullptr, 1.0);
    cmsToneCurve *curves[3] = {line, line, line};
    cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
    cmsFreeToneCurve(line);
    return profile;
}

// The source's linear light to sRGB's, as Little CMS computes it (relative colorimetric, the
// white adapted): column j is where the pure primary j lands.
bool readMatrix(cmsHPROFILE source, std::array<qint32, 9> &matrix)
{
    cmsHPROFILE target = linearSrgb();
    cmsHTRANSFORM transform = target
                                  ? cmsCreateTransform(source, TYPE_RGB_FLT, target, TYPE_RGB_FLT,
                                                       INTENT_RELATIVE_COLORIMETRIC, 0)
                                  : nullptr;
    if (target)
        cmsCloseProfile(target);
    if (!transform)
        return false;
    const float primaries[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    float landed[9] = {};
    cmsDoTransform(transform, primaries, landed, 3);
    cmsDeleteTransform(transform);
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column)
            matrix[size_t(row * 3 + column)] =
                qint32(std::lround(landed[column * 3 + row] * (1 << kMatrixShift)));
    }
    return true;
}

bool readCurves(cmsHPROFILE source, std::array<std::array<qint32, 256>, 3> &linear)
{
    const cmsTagSignature tags[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    for (size_t c = 0; c < 3; ++c) {
        const auto *curve = static_cast<const cmsToneCurve *>(cmsReadTag(source, tags[c]));
        if (!curve)
            return false;
        for (int i = 0; i < 256; ++i) {
            const float v = cmsEvalToneCurveFloat(curve, float(i) / 255);
            linear[c][size_t(i)] = qint32(std::lround(std::clamp(v, 0.0f, 1.0f) * kLinearOne));
        }
    }
    return true;
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

RgbToSrgb::RgbToSrgb(QByteArrayView iccProfile)
{
    if (build(iccProfile))
        m_encode = srgbEncodeTable();
}

bool RgbToSrgb::build(QByteArrayView iccProfile)
{
    if (iccProfile.isEmpty())
        return false;
    // Exactly the profiles convertToSrgb converts.
    const QColorSpace space = QColorSpace::fromIccProfile(iccProfile.toByteArray());
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return false;
    cmsHPROFILE source =
        cmsOpenProfileFromMem(iccProfile.data(), cmsUInt32Number(iccProfile.size()));
    if (!source)
        return false;
    const bool built = cmsGetColorSpace(source) == cmsSigRgbData && cmsIsMatrixShaper(source) &&
                       readCurves(source, m_linear) && readMatrix(source, m_matrix);
    cmsCloseProfile(source);
    return built;
}

void RgbToSrgb::convert(uchar *row, int width) const
{
    const auto encode = [this](qint64 sum) {
        const qint64 v = (sum + (1 << (kMatrixShift - 1))) >> kMatrixShift;
        return quint32(m_encode[size_t(std::clamp<qint64>(v, 0, kLinearOne))]);
    };
    const std::array<qint32, 9> &m = m_matrix;
    auto *pixels = reinterpret_cast<quint32 *>(row);
    for (int x = 0; x < width; ++x) {
        const quint32 p = pixels[x];
        const qint64 r = m_linear[0][(p >> 16) & 0xFF];
        const qint64 g = m_linear[1][(p >> 8) & 0xFF];
        const qint64 b = m_linear[2][p & 0xFF];
        pixels[x] = (p & 0xFF000000u) | encode(m[0] * r + m[1] * g + m[2] * b) << 16 |
                    encode(m[3] * r + m[4] * g + m[5] * b) << 8 |
                    encode(m[6] * r + m[7] * g + m[8] * b);
    }
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
