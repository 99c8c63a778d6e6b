#pragma once

#include <QRectF>
#include <QSizeF>

namespace lumora::runtime {
class PictureBox;
}

namespace lumora::print {

// The largest picture printed unstretched: 6.6875 x 9 inches, in twips.
inline constexpr double kMaxPrintWidth = 9630;
inline constexpr double kMaxPrintHeight = 12960;

// The preview sheet stands for a US Letter page with a one-inch left and top margin.
inline constexpr double kPageWidth = 12240;
inline constexpr double kPageHeight = 15840;
inline constexpr double kPageMargin = 1440;

// Where a picture box of `box` twips lands on the printed page, in twips from the top left
// corner of the printable area: at its own size, or stretched to the whole 9630 x 12960
// rectangle (whatever its proportions) as soon as either side is too large.
QRectF printRectangle(QSizeF box);

// A picture box's size in twips as it prints and shows on the preview sheet: measured at the
// standard density, as on a desktop that is not scaled, so that a picture prints at the same
// size whatever the screen's scale.
QSizeF printedSize(const runtime::PictureBox &box);

// Converts a rectangle in twips to device units of a device with the given resolution.
QRectF twipsToDevice(const QRectF &twips, double dpiX, double dpiY);

// Where a freshly opened preview paints a picture box of `picture` twips on a sheet of
// `sheet` twips. Single precision, dividing first, so the result matches what the sheet
// showed before any zoom to the last bit.
QRectF previewRectangle(QSizeF sheet, QSizeF picture);

// Where a zoom paints the picture: the scale read from the sheet before it was resized
// (`sheetBefore`), times `factor` (2 for Zoom In, 0.5 for Zoom Out), in double precision;
// the corner is handed over in single precision.
QRectF zoomedPreviewRectangle(QSizeF sheetBefore, QSizeF picture, double factor);

} // namespace lumora::print
