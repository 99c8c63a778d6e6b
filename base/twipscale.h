#pragma once

#include <QSize>
#include <cmath>

namespace lumora {

inline constexpr int kTwipsPerInch = 1440;

// Converts between twips and device pixels for one screen resolution. The classic runtime
// rounds a length set in twips to the nearest whole pixel, so a picture box's size in twips
// is always a multiple of the twips per pixel.
class TwipScale final {
public:
    explicit constexpr TwipScale(double twipsPerPixel = 15.0) : m_tpp(twipsPerPixel) {}
    static TwipScale fromDpi(double dpi) { return TwipScale(kTwipsPerInch / dpi); }

    constexpr double twipsPerPixel() const { return m_tpp; }
    int toPixels(double twips) const { return static_cast<int>(std::lround(twips / m_tpp)); }
    double toTwips(double pixels) const { return pixels * m_tpp; }
    QSize toPixels(double w, double h) const { return {toPixels(w), toPixels(h)}; }

private:
    double m_tpp;
};

} // namespace lumora
