#pragma once

#include <QByteArrayView>
#include <QImage>
#include <array>
#include <vector>

namespace lumora::picture {

// A colour transform from a CMYK ICC profile to sRGB, by Little CMS (Qt 6.4 reads only RGB
// profiles), over rows of pixels. Null when the profile is unreadable or not a CMYK profile.
class IccToSrgb final {
public:
    enum class Input {
        Cmyk,         // 255 is full ink
        CmykInverted, // as Photoshop writes it, 255 is no ink
    };

    // `pixels` is how many pixels will go through: Little CMS takes a while to prepare its
    // fast tables (0.1 s for a CMYK profile), which only big pictures repay.
    IccToSrgb(QByteArrayView iccProfile, Input input, qint64 pixels);
    ~IccToSrgb();
    IccToSrgb(const IccToSrgb &) = delete;
    IccToSrgb &operator=(const IccToSrgb &) = delete;

    bool isNull() const { return m_transform == nullptr; }
    // Converts `width` pixels at `in` into opaque RGB32 pixels at `out` (`in` may be `out`).
    void convert(const uchar *in, uchar *out, int width) const;

private:
    void *m_transform = nullptr;
};

// A colour transform from an RGB ICC profile of the matrix-and-curves kind (what cameras and
// editors write: Adobe RGB, ProPhoto, Display P3...) to sRGB, for 8-bit RGB32 pixels, in
// tables computed once with Little CMS: each channel's curve to linear light, the matrix
// from the profile's primaries to sRGB's, and sRGB's curve back. A row costs a few table
// look-ups a pixel, a fifth of Little CMS's own 8-bit transform. Null for profiles that need
// no conversion (sRGB, or one Qt cannot read, which convertToSrgb leaves alone too) and for
// profiles of another kind, which convertToSrgb converts.
class RgbToSrgb final {
public:
    explicit RgbToSrgb(QByteArrayView iccProfile);

    bool isNull() const { return m_encode.empty(); }
    // Converts `width` RGB32 pixels at `row` in place; their fourth byte stays as it is.
    void convert(uchar *row, int width) const;

private:
    bool build(QByteArrayView iccProfile);

    std::array<std::array<qint32, 256>, 3> m_linear{}; // per channel, in 1/kLinearOne
    std::array<qint32, 9> m_matrix{};                  // rows of sRGB, in 1/kMatrixOne
    std::vector<uchar> m_encode;                       // linear light to sRGB's 8 bits
};

// Converts `image` in place from the colour space of the RGB profile `iccProfile` to sRGB.
// Profiles Qt cannot read, and sRGB itself, leave the image as it is.
void convertToSrgb(QImage &image, QByteArrayView iccProfile);

} // namespace lumora::picture
