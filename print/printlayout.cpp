#include "print/printlayout.h"

#include "runtime/picturebox.h"
#include "runtime/twips.h"

namespace lumora::print {

QRectF printRectangle(QSizeF box)
{
    if (box.width() > kMaxPrintWidth || box.height() > kMaxPrintHeight)
        return {0, 0, kMaxPrintWidth, kMaxPrintHeight};
    return {QPointF(0, 0), box};
}

QSizeF printedSize(const runtime::PictureBox &box)
{
    return QSizeF(box.Width(), box.Height()) * box.pixelRatio();
}

QRectF twipsToDevice(const QRectF &twips, double dpiX, double dpiY)
{
    const double sx = dpiX / kTwipsPerInch;
    const double sy = dpiY / kTwipsPerInch;
    return {twips.x() * sx, twips.y() * sy, twips.width() * sx, twips.height() * sy};
}

QRectF previewRectangle(QSizeF sheet, QSizeF picture)
{
    const float sx = float(sheet.width()) / float(kPageWidth);
    const float sy = float(sheet.height()) / float(kPageHeight);
    const float x = sx * float(kPageMargin);
    const float y = sy * float(kPageMargin);
    const float w = sx * float(picture.width());
    const float h = sy * float(picture.height());
    return {x, y, w, h};
}

QRectF zoomedPreviewRectangle(QSizeF sheetBefore, QSizeF picture, double factor)
{
    const double sx = sheetBefore.width() / kPageWidth;
    const double sy = sheetBefore.height() / kPageHeight;
    const float x = float(kPageMargin * sx * factor);
    const float y = float(kPageMargin * sy * factor);
    return {x, y, picture.width() * sx * factor, picture.height() * sy * factor};
}

} // namespace lumora::print
