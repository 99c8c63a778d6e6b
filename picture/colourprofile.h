#pragma once

#include <QByteArrayView>
#include <QImage>

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

// Converts `image` in place from the colour space of the RGB profile `iccProfile` to sRGB.
// Profiles Qt cannot read, and sRGB itself, leave the image as it is.
void convertToSrgb(QImage &image, QByteArrayView iccProfile);

} // namespace lumora::picture
