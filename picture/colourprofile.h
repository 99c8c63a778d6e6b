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
// tables computed once with Little CMS: for each channel's 8-bit value, what its light adds to
// each of sRGB's linear channels (the channel's curve times its column of the matrix from the
// profile's primaries to sRGB's), and sRGB's curve back. A pixel costs three table rows added
// in one vector and three look-ups of the curve. Null for profiles that need no conversion
// (sRGB, or one Qt cannot read, which convertToSrgb leaves alone too) and for profiles of
// another kind, which convertToSrgb converts.
class RgbToSrgb final {
public:
    explicit RgbToSrgb(QByteArrayView iccProfile);

    bool isNull() const { return m_encode.empty(); }
    // Converts `width` RGB32 pixels at `row` in place; their fourth byte stays as it is.
    void convert(uchar *row, int width) const;

    // sRGB's linear red, green and blue (and a spare lane), in fixed point.
    using Linear = qint32 __attribute__((vector_size(16)));

private:
    bool build(QByteArrayView iccProfile);

    // Per source channel and value: its share of sRGB's linear light.
    alignas(16) std::array<std::array<Linear, 256>, 3> m_shares{};
    std::vector<uchar> m_encode; // every sum of shares a pixel can reach to sRGB's 8 bits
};

// Converts `image` in place from the colour space of the RGB profile `iccProfile` to sRGB.
// Profiles Qt cannot read, and sRGB itself, leave the image as it is.
void convertToSrgb(QImage &image, QByteArrayView iccProfile);

} // namespace lumora::picture
