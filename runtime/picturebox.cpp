#include "runtime/picturebox.h"

#include "base/runtimeerror.h"
#include "picture/imagememory.h"
#include "runtime/drawingplay.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace lumora::runtime {

namespace {

// Whether a drawing of `inner` pixels, four bytes each, passes the drawing limit. Divides
// rather than multiplies: a box zoomed on and on reaches sizes whose byte count overflows.
bool beyondDrawingLimit(const QSize &inner)
{
    return qint64(inner.width()) * inner.height() > PictureBox::maxDrawingBytes() / 4;
}

// A resized box keeps what it showed: the drawing is cut, or extended in the background colour.
// The new drawing is taken from the memory budget like any other; throws when it is refused.
QImage fittedDrawing(const QImage &drawing, const QSize &inner, const QColor &back)
{
    if (inner.isEmpty())
        return QImage();
    QImage resized = picture::allocateZeroedImage(inner, drawing.format());
    resized.fill(back);
    QPainter painter(&resized);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(0, 0, drawing);
    return resized;
}

// A drawing of the box's own, with the same pixels as `shared`, before anything draws on it.
QImage ownCopy(const QImage &shared)
{
    QImage copy = picture::allocateZeroedImage(shared.size(), shared.format());
    const qsizetype rowBytes = std::min(copy.bytesPerLine(), shared.bytesPerLine());
    for (int y = 0; y < shared.height(); ++y)
        std::memcpy(copy.scanLine(y), shared.constScanLine(y), size_t(rowBytes));
    return copy;
}

// What Image() hands out when nothing was painted: the background with the box's Picture.
QImage plainImage(const QSize &inner, const QColor &back, const picture::Picture &picture,
                  const TwipScale &scale)
{
    QImage image = picture::allocateZeroedImage(inner, QImage::Format_RGB32);
    image.fill(back);
    if (!picture.isNull()) {
        QPainter painter(&image);
        picture.draw(painter, QRectF(QPointF(0, 0), picture.sizePixels(scale)));
    }
    return image;
}

bool isScrollViewport(const QWidget &widget)
{
    const auto *area = qobject_cast<const QAbstractScrollArea *>(widget.parentWidget());
    return area && area->viewport() == &widget;
}

} // namespace

qint64 PictureBox::maxDrawingBytes()
{
    return picture::MemoryBudget::process().totalBytes();
}

int borderPixels(BorderStyle style)
{
    switch (style) {
    case BorderStyle::Flat:
        return 1;
    case BorderStyle::Sunken:
        return 2;
    default:
        return 0;
    }
}

PictureBox::PictureBox(QWidget *parent, TwipScale scale, double pixelRatio)
    : QWidget(parent), m_scale(scale), m_pixelRatio(pixelRatio > 0 ? pixelRatio : 1.0)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_backColor = palette().color(QPalette::Button);
    connect(this, &PictureBox::drawingPlayed, this, &PictureBox::playFinished,
            Qt::QueuedConnection);
}

PictureBox::~PictureBox() = default;

double PictureBox::Left() const
{
    return m_scale.toTwips(x());
}
double PictureBox::Top() const
{
    return m_scale.toTwips(y());
}
double PictureBox::Width() const
{
    return m_scale.toTwips(width());
}
double PictureBox::Height() const
{
    return m_scale.toTwips(height());
}

QSize PictureBox::innerPixels() const
{
    const int frame = 2 * borderPixels(m_border);
    return {std::max(0, width() - frame), std::max(0, height() - frame)};
}

QSize PictureBox::drawingPixels() const
{
    const QSize inner = innerPixels();
    return {qRound(inner.width() * m_pixelRatio), qRound(inner.height() * m_pixelRatio)};
}

double PictureBox::ScaleWidth() const
{
    return m_scale.toTwips(innerPixels().width());
}
double PictureBox::ScaleHeight() const
{
    return m_scale.toTwips(innerPixels().height());
}

void PictureBox::setLeft(double twips)
{
    move(m_scale.toPixels(twips), y());
}
void PictureBox::setTop(double twips)
{
    move(x(), m_scale.toPixels(twips));
}

void PictureBox::setWidth(double twips)
{
    const int pixels = m_scale.toPixels(twips);
    if (pixels < 0)
        throw RuntimeError(errors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    resize(pixels, height());
}

void PictureBox::setHeight(double twips)
{
    const int pixels = m_scale.toPixels(twips);
    if (pixels < 0)
        throw RuntimeError(errors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    resize(width(), pixels);
}

void PictureBox::Move(double left, double top, double width, double height)
{
    setLeft(left);
    setTop(top);
    setWidth(width);
    setHeight(height);
}

void PictureBox::setBorderStyle(BorderStyle style)
{
    m_border = style;
    fitToPicture();
    update();
}

void PictureBox::setAutoSize(bool on)
{
    m_autoSize = on;
    fitToPicture();
}

void PictureBox::setBackColor(const QColor &color)
{
    m_backColor = color;
    update();
}

void PictureBox::setPicture(const picture::Picture &picture)
{
    m_picture = picture;
    fitToPicture();
    update();
}

void PictureBox::fitToPicture()
{
    if (!m_autoSize || m_picture.isNull())
        return;
    fitToSize(m_picture.sizePixels(pictureScale()));
}

void PictureBox::fitToArrivingPicture(QSize devicePixels)
{
    if (m_autoSize)
        fitToSize(devicePixels);
}

void PictureBox::fitToSize(QSize device)
{
    const int frame = 2 * borderPixels(m_border);
    // Rounded up, so that a picture of an odd number of device pixels fits whole.
    const QSize screen(int(std::ceil(device.width() / m_pixelRatio)),
                       int(std::ceil(device.height() / m_pixelRatio)));
    resize(screen + QSize(frame, frame));
}

void PictureBox::Cls()
{
    settlePlay();
    m_drawing = QImage();
    update();
}

QImage &PictureBox::drawing(bool covered)
{
    settlePlay();
    const QSize inner = drawingPixels();
    if (inner.isEmpty())
        throw RuntimeError(errors::InvalidPropertyValue,
                           QStringLiteral("Cannot draw on a picture box of zero pixels"));
    if (beyondDrawingLimit(inner))
        throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    if (m_drawing.size() == inner) {
        // The drawing may still be the pixels of a picture decoded into it: copied on write.
        if (!m_drawing.isDetached())
            m_drawing = ownCopy(m_drawing);
        return m_drawing;
    }
    // The old drawing goes before the new one is allocated when nothing of it is kept, so a
    // zoom never holds both.
    const QImage previous = covered ? QImage() : std::exchange(m_drawing, QImage());
    m_drawing = QImage();
    // Fresh huge pages for big drawings: a 24-megapixel drawing costs far less to touch, and
    // File Open and Zoom In spend most of their time touching new memory. Throws Out of memory.
    QImage fresh = picture::allocateZeroedImage(inner, QImage::Format_RGB32);
    if (!covered) {
        fresh.fill(m_backColor);
        QPainter painter(&fresh);
        if (!previous.isNull())
            painter.drawImage(0, 0, previous); // a resized box keeps what it showed
        else if (!m_picture.isNull())
            m_picture.draw(painter, QRectF(QPointF(0, 0), m_picture.sizePixels(pictureScale())));
    }
    m_drawing = std::move(fresh);
    return m_drawing;
}

bool PictureBox::showsCanvas(const picture::Picture &picture, const QRectF &targetPixels) const
{
    const QImage &canvas = picture.canvas();
    if (canvas.isNull() || !m_drawing.isNull() || !m_picture.isNull() || !picture.isOpaque() ||
        canvas.size() != drawingPixels())
        return false;
    return targetPixels == QRectF(QPointF(0, 0), QSizeF(picture.raster().size())) &&
           canvas.pixel(canvas.width() - 1, canvas.height() - 1) == m_backColor.rgb();
}

void PictureBox::paintInto(const picture::Picture &picture, const QRectF &targetPixels)
{
    // A partial picture is only ever shown: painted, its missing part would pass for the file's.
    if (picture.isNull() || picture.isPartial())
        throw RuntimeError(errors::InvalidPicture, QStringLiteral("Invalid picture"));
    settlePlay();
    if (showsCanvas(picture, targetPixels)) {
        // Painting the picture over the background gives exactly the drawing it was decoded
        // into: share those pixels until something draws on the box.
        m_drawing = picture.canvas();
        update();
        return;
    }
    // A zoom paints an opaque bitmap over the whole box: filling the fresh drawing with the
    // background first would only touch every page twice.
    const QRectF inner(QPointF(0, 0), QSizeF(drawingPixels()));
    const bool covered = picture.isOpaque() && targetPixels.contains(inner) &&
                         QRectF(targetPixels.toRect()) == targetPixels;
    const QRect visible = previewRect(picture, targetPixels);
    if (!visible.isEmpty()) {
        playVisibleFirst(picture, targetPixels, visible);
        return;
    }
    QImage &image = drawing(covered);
    QPainter painter(&image);
    picture.draw(painter, targetPixels);
    painter.end();
    update();
}

// Geometry rather than what the screen shows now, so that a window about to be shown has its
// visible part too. The form around the box is left out: it is fitted to the box afterwards.
QRect PictureBox::visibleDrawingRect() const
{
    QRect seen = rect();
    QPoint offset(0, 0);
    for (const QWidget *w = this; !w->isWindow() && w->parentWidget(); w = w->parentWidget()) {
        offset += w->pos();
        const QWidget &parent = *w->parentWidget();
        if (isScrollViewport(parent) || parent.isWindow()) {
            seen &= parent.rect().translated(-offset);
            break;
        }
    }
    const int b = borderPixels(m_border);
    const QRectF inner = QRectF(seen.translated(-b, -b) & QRect(QPoint(0, 0), innerPixels()));
    const QRectF device(inner.topLeft() * m_pixelRatio, inner.size() * m_pixelRatio);
    return device.toAlignedRect() & QRect(QPoint(0, 0), drawingPixels());
}

// Bitmaps are drawn fast enough whole; so is a metafile the user sees all of.
QRect PictureBox::previewRect(const picture::Picture &picture, const QRectF &targetPixels) const
{
    if (!picture.isVector() || !parentWidget())
        return {};
    const QRect whole = targetPixels.toAlignedRect() & QRect(QPoint(0, 0), drawingPixels());
    const QRect visible = visibleDrawingRect() & whole;
    return visible == whole ? QRect() : visible;
}

// Records such as flood fills read back what was drawn, so the visible part played alone may
// differ from the same part of a whole play: it is only a preview, and the drawing is played
// whole from the state the preview started from.
void PictureBox::playVisibleFirst(const picture::Picture &picture, const QRectF &targetPixels,
                                  const QRect &visible)
{
    // A cleared box is the background alone: the worker fills it in, so that touching a big
    // fresh drawing does not hold back the preview.
    const bool cleared = m_drawing.isNull() && m_picture.isNull();
    const QImage &whole = drawing(cleared);
    if (cleared) {
        m_preview = QImage(visible.size(), whole.format());
        m_preview.fill(m_backColor);
    } else {
        m_preview = whole.copy(visible);
    }
    m_previewAt = visible.topLeft();
    {
        QPainter painter(&m_preview);
        painter.translate(-QPointF(visible.topLeft()));
        painter.setClipRect(visible);
        picture.draw(painter, targetPixels);
    }
    const int b = borderPixels(m_border);
    const QRectF device(visible);
    const QRectF screen(device.topLeft() / m_pixelRatio, device.size() / m_pixelRatio);
    repaint(screen.toAlignedRect().translated(b, b));
    const QColor background = cleared ? m_backColor : QColor();
    const quint64 play = ++m_plays;
    m_play =
        std::make_unique<DrawingPlay>(std::exchange(m_drawing, QImage()), background, picture,
                                      targetPixels, [this, play] { emit drawingPlayed(play); });
}

// A notice can come after a reader took the drawing and a new play began: that one goes on.
void PictureBox::playFinished(quint64 play)
{
    if (m_play && play == m_plays)
        settlePlay();
}

void PictureBox::settlePlay()
{
    if (!m_play)
        return;
    const bool waits = !m_play->isFinished();
    if (waits)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_drawing = m_play->take();
    m_play.reset();
    if (waits)
        QGuiApplication::restoreOverrideCursor();
    m_preview = QImage();
    update();
}

void PictureBox::PaintPicture(const picture::Picture &picture, double x, double y)
{
    const TwipScale devicePixels = pictureScale();
    const double tpp = devicePixels.twipsPerPixel();
    paintInto(picture, QRectF(QPointF(x / tpp, y / tpp), picture.sizePixels(devicePixels)));
}

void PictureBox::PaintPicture(const picture::Picture &picture, double x, double y, double width,
                              double height)
{
    const double tpp = pictureScale().twipsPerPixel();
    paintInto(picture, QRectF(x / tpp, y / tpp, width / tpp, height / tpp));
}

QImage PictureBox::Image() const
{
    // Handing out the drawing waits for it to be whole; the box itself is never const.
    const_cast<PictureBox *>(this)->settlePlay();
    const QSize inner = drawingPixels();
    if (!m_drawing.isNull() && m_drawing.size() == inner)
        return m_drawing;
    if (inner.isEmpty() || beyondDrawingLimit(inner))
        return QImage();
    if (m_drawing.isNull() && m_picture.isPartial())
        return QImage(); // the picture is not all there to be handed out
    try {
        return m_drawing.isNull() ? plainImage(inner, m_backColor, m_picture, pictureScale())
                                  : fittedDrawing(m_drawing, inner, m_backColor);
    } catch (const RuntimeError &) {
        return QImage(); // the budget has no room for it: there is nothing to hand out
    }
}

void PictureBox::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitDrawingToBox();
}

// A hidden box gets no resize events, so every reader of the drawing fits it first.
void PictureBox::fitDrawingToBox()
{
    if (m_play && m_play->size() == drawingPixels())
        return; // the play's drawing fits: painting shows its preview meanwhile
    settlePlay();
    if (m_drawing.isNull() || m_drawing.size() == drawingPixels())
        return;
    try {
        m_drawing = fittedDrawing(m_drawing, drawingPixels(), m_backColor);
    } catch (const RuntimeError &) {
        // No room for a refitted copy: the old drawing stays, painted cut to the box over the
        // background, which shows the same.
    }
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    fitDrawingToBox();
    QPainter painter(this);
    const int b = borderPixels(m_border);
    const QRect dirty = event->rect();
    painter.fillRect(dirty, m_backColor);
    painter.save();
    painter.setClipRect(QRect(QPoint(b, b), innerPixels()));
    painter.translate(b, b);
    // The drawing and the picture are in device pixels: each is laid on the screen at its
    // size divided by the ratio, which the painter maps back one to one.
    const double ratio = m_pixelRatio;
    if (m_arrival) {
        paintArrivedRows(painter, QRectF(dirty.translated(-b, -b)));
    } else if (m_play) {
        const QRectF at(QPointF(m_previewAt) / ratio, QSizeF(m_preview.size()) / ratio);
        painter.drawImage(at, m_preview);
    } else if (!m_drawing.isNull()) {
        const QRectF dirtyInner(dirty.translated(-b, -b));
        const QRectF source = QRectF(dirtyInner.topLeft() * ratio, dirtyInner.size() * ratio)
                                  .intersected(QRectF(m_drawing.rect()));
        painter.drawImage(QRectF(source.topLeft() / ratio, source.size() / ratio), m_drawing,
                          source);
    } else if (!m_picture.isNull()) {
        const QSizeF device(m_picture.sizePixels(pictureScale()));
        m_picture.draw(painter, QRectF(QPointF(0, 0), device / ratio));
    }
    painter.restore();
    drawFrame(painter);
}

void PictureBox::showArriving(picture::RowArrival *arrival)
{
    m_arrival = arrival;
    m_arrivedRows.assign(size_t(std::max(0, arrival->pictureSize().height())), false);
    rowsArrived();
}

void PictureBox::rowsArrived()
{
    if (!m_arrival)
        return;
    const int b = borderPixels(m_border);
    for (const picture::RowBand &band : m_arrival->takeBands()) {
        const int first = std::clamp(band.first, 0, int(m_arrivedRows.size()));
        const int end = std::clamp(band.end(), first, int(m_arrivedRows.size()));
        std::fill(m_arrivedRows.begin() + first, m_arrivedRows.begin() + end, true);
        const int top = int(std::floor(first / m_pixelRatio));
        const int bottom = int(std::ceil(end / m_pixelRatio));
        update(QRect(b, b + top, innerPixels().width(), bottom - top));
    }
}

void PictureBox::stopArriving()
{
    m_arrival = nullptr;
    m_arrivedRows.clear();
    update();
}

// Runs of finished rows are laid on the screen as the drawing is; the rest keeps the
// background the caller filled.
void PictureBox::paintArrivedRows(QPainter &painter, const QRectF &dirtyInner) const
{
    const double ratio = m_pixelRatio;
    m_arrival->read([&](const QImage &pixels) {
        const QRectF device = QRectF(dirtyInner.topLeft() * ratio, dirtyInner.size() * ratio)
                                  .intersected(QRectF(QPointF(0, 0), m_arrival->pictureSize()))
                                  .intersected(QRectF(pixels.rect()));
        const int last = std::min(int(std::ceil(device.bottom())), int(m_arrivedRows.size()));
        for (int y = int(std::floor(device.top())); y < last;) {
            if (!m_arrivedRows[size_t(y)]) {
                ++y;
                continue;
            }
            int end = y;
            while (end < last && m_arrivedRows[size_t(end)])
                ++end;
            const QRectF source(device.left(), y, device.width(), end - y);
            painter.drawImage(QRectF(source.topLeft() / ratio, source.size() / ratio), pixels,
                              source);
            y = end;
        }
    });
}

void PictureBox::drawFrame(QPainter &painter) const
{
    const QRect r = rect();
    switch (m_border) {
    case BorderStyle::Flat:
        painter.setPen(Qt::black);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        break;
    case BorderStyle::Sunken: {
        const QPalette &pal = palette();
        painter.setPen(pal.color(QPalette::Mid));
        painter.drawLine(r.topLeft(), r.topRight());
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(pal.color(QPalette::Light));
        painter.drawLine(r.bottomLeft(), r.bottomRight());
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.setPen(pal.color(QPalette::Dark));
        painter.drawLine(r.topLeft() + QPoint(1, 1), r.topRight() + QPoint(-1, 1));
        painter.drawLine(r.topLeft() + QPoint(1, 1), r.bottomLeft() + QPoint(1, -1));
        painter.setPen(pal.color(QPalette::Midlight));
        painter.drawLine(r.bottomLeft() + QPoint(1, -1), r.bottomRight() + QPoint(-1, -1));
        painter.drawLine(r.topRight() + QPoint(-1, 1), r.bottomRight() + QPoint(-1, -1));
        break;
    }
    case BorderStyle::None:
        break;
    }
}

} // namespace lumora::runtime
