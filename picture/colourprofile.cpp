#include "picture/colourprofile.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <lcms2.h>
#include <limits>

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

// Each channel's curve, from its 8-bit value to linear light in 1/kLinearOne.
using Curves = std::array<std::array<qint32, 256>, 3>;
// sRGB's linear light from the profile's: rows of sRGB's channels, in 1/(1 << kMatrixShift).
using Matrix = std::array<qint32, 9>;
using Shares = std::array<std::array<RgbToSrgb::Linear, 256>, 3>;

// sRGB's own curve, from linear light to 8 bits.
uchar srgbEncode(int linear)
{
    const double v = double(std::clamp(linear, 0, kLinearOne)) / kLinearOne;
    const double e = v <= 0.0031308 ? 12.92 * v : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
    return uchar(std::lround(std::clamp(e, 0.0, 1.0) * 255));
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
bool readMatrix(cmsHPROFILE source, Matrix &matrix)
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

bool readCurves(cmsHPROFILE source, Curves &linear)
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

// The darkest and brightest linear light, in 1/kLinearOne, that any pixel reaches in any of
// sRGB's channels before it is clamped: colours outside sRGB's gamut fall below 0 or above
// kLinearOne. `most` is the largest sum of shares, rounding half included.
struct Reach {
    qint64 lowest = 0;
    qint64 highest = kLinearOne;
    qint64 most = 0;
};

Reach reachOf(const Curves &linear, const Matrix &matrix)
{
    Reach reach;
    for (size_t row = 0; row < 3; ++row) {
        qint64 low = 1 << (kMatrixShift - 1);
        qint64 high = low;
        for (size_t column = 0; column < 3; ++column) {
            const auto [least, greatest] =
                std::minmax_element(linear[column].begin(), linear[column].end());
            const qint64 weight = matrix[row * 3 + column];
            low += std::min(weight * *least, weight * *greatest);
            high += std::max(weight * *least, weight * *greatest);
        }
        reach.lowest = std::min(reach.lowest, low >> kMatrixShift);
        reach.highest = std::max(reach.highest, high >> kMatrixShift);
        reach.most = std::max(reach.most, high);
    }
    return reach;
}

// Each channel's value as the light it adds to sRGB's three linear channels. Blue's shares
// carry the half that rounds the sum, and the bias that makes the darkest sum index the
// encoding table's first entry: the table spans every sum a pixel can reach, so a pixel needs
// no clamping. False when the sums could overflow 32 bits, which no real profile comes near
// (ProPhoto's matrix rows sum to about 3, where 8 would still fit).
bool fillTables(const Curves &linear, const Matrix &matrix, Shares &shares,
                std::vector<uchar> &encode)
{
    const Reach reach = reachOf(linear, matrix);
    const qint64 bias = -reach.lowest * (1 << kMatrixShift);
    if (reach.most + bias > std::numeric_limits<qint32>::max())
        return false;
    for (size_t channel = 0; channel < 3; ++channel) {
        const qint64 offset = channel == 2 ? bias + (1 << (kMatrixShift - 1)) : 0;
        for (size_t value = 0; value < 256; ++value) {
            const qint64 light = linear[channel][value];
            shares[channel][value] =
                RgbToSrgb::Linear{qint32(matrix[channel] * light + offset),
                                  qint32(matrix[3 + channel] * light + offset),
                                  qint32(matrix[6 + channel] * light + offset), 0};
        }
    }
    encode.resize(size_t(reach.highest - reach.lowest + 1));
    for (size_t i = 0; i < encode.size(); ++i)
        encode[i] = srgbEncode(int(qint64(i) + reach.lowest));
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
    build(iccProfile);
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
    Curves linear{};
    Matrix matrix{};
    const bool read = cmsGetColorSpace(source) == cmsSigRgbData && cmsIsMatrixShaper(source) &&
                      readCurves(source, linear) && readMatrix(source, matrix);
    cmsCloseProfile(source);
    return read && fillTables(linear, matrix, m_shares, m_encode);
}

void RgbToSrgb::convert(uchar *row, int width) const
{
    const Linear *red = m_shares[0].data();
    const Linear *green = m_shares[1].data();
    const Linear *blue = m_shares[2].data();
    const uchar *encode = m_encode.data();
    auto *pixels = reinterpret_cast<quint32 *>(row);
    for (int x = 0; x < width; ++x) {
        const quint32 p = pixels[x];
        const Linear light =
            (red[(p >> 16) & 0xFF] + green[(p >> 8) & 0xFF] + blue[p & 0xFF]) >> kMatrixShift;
        pixels[x] = (p & 0xFF000000u) | quint32(encode[light[0]]) << 16 |
                    quint32(encode[light[1]]) << 8 | quint32(encode[light[2]]);
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
