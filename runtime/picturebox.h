#pragma once

#include "picture/picture.h"
#include "picture/rowarrival.h"
#include "runtime/twips.h"

#include <QColor>
#include <QImage>
#include <QWidget>
#include <memory>
#include <vector>

namespace lumora::runtime {

class DrawingPlay;

enum class BorderStyle {
    None,   // no frame
    Flat,   // a flat one-pixel frame
    Sunken, // the classic 3D frame, two pixels on each side
};

int borderPixels(BorderStyle style);

// The classic picture box. Its lengths are twips; it shows its `Picture` at its inner top
// left corner and keeps what is painted on it in a persistent drawing (`Image`) that
// survives repaints. The drawing is allocated only when something is painted, so resizing
// a cleared box costs nothing.
//
// On a scaled desktop (`pixelRatio` above 1) the box is placed and sized in the screen's
// pixels, as every form is, but its drawing has the screen's device pixels and pictures are
// measured in them: a photo is shown one picture pixel to one device pixel.
class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr, TwipScale scale = screenScale(),
                        double pixelRatio = screenPixelRatio());
    ~PictureBox() override;
    PictureBox(const PictureBox &) = delete;
    PictureBox &operator=(const PictureBox &) = delete;

    // The largest persistent drawing we allocate: the whole memory budget that pictures and
    // drawings share (picture::MemoryBudget). Painting a drawing beyond it fails at once with a
    // run-time error, before anything is allocated; one within it fails the same way when the
    // budget has no room left for it beside the pictures and drawings it holds.
    static qint64 maxDrawingBytes();

    const TwipScale &scale() const { return m_scale; }
    double pixelRatio() const { return m_pixelRatio; }
    // Twips per device pixel: the scale pictures and the drawing are measured in.
    TwipScale pictureScale() const { return TwipScale(m_scale.twipsPerPixel() / m_pixelRatio); }

    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    double ScaleWidth() const;
    double ScaleHeight() const;
    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);
    void Move(double left, double top, double width, double height);
    QSize innerPixels() const;
    // The inside in device pixels: the size of the drawing and of `Image`.
    QSize drawingPixels() const;

    BorderStyle borderStyle() const { return m_border; }
    void setBorderStyle(BorderStyle style);
    bool AutoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    QColor BackColor() const { return m_backColor; }
    void setBackColor(const QColor &color);
    bool Visible() const { return isVisibleTo(parentWidget()); }

    const picture::Picture &picture() const { return m_picture; }
    void setPicture(const picture::Picture &picture);
    // An auto-sized box takes the size of a picture of `devicePixels` whose reading has begun,
    // holding no picture until it is given one.
    void fitToArrivingPicture(QSize devicePixels);

    // Shows the rows of `arrival` at the top left as they are finished, over the background,
    // until stopArriving; `arrival` must outlive that. The drawing is left alone meanwhile.
    void showArriving(picture::RowArrival *arrival);
    // Takes the bands finished since the last call and paints them.
    void rowsArrived();
    void stopArriving();
    bool isArriving() const { return m_arrival != nullptr; }

    // What is drawn on the box: the background colour, its Picture and the persistent
    // drawing, at the box's inner size in device pixels (`drawingPixels`). Null while the box
    // holds a partial picture and nothing drawn: its pixels are not all there.
    QImage Image() const;
    void Cls();
    // A partial picture is refused with a run-time error, as a null one is. A metafile the
    // user sees only part of is played there first and shown; the whole drawing is then
    // played on a worker thread, and every reader of the drawing waits for it.
    void PaintPicture(const picture::Picture &picture, double x, double y);
    void PaintPicture(const picture::Picture &picture, double x, double y, double width,
                      double height);
    // Whether the drawing is still being played on a worker thread.
    bool isPlaying() const { return m_play != nullptr; }

signals:
    // Play number `play` on the worker thread is over: sent from that thread.
    void drawingPlayed(quint64 play);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void fitToPicture();
    void fitDrawingToBox();
    void paintInto(const picture::Picture &picture, const QRectF &targetPixels);
    // Whether painting `picture` at `targetPixels` on the cleared box would give exactly the
    // drawing it was decoded into (see picture::LoadOptions).
    bool showsCanvas(const picture::Picture &picture, const QRectF &targetPixels) const;
    // `covered`: the next paint writes every pixel opaquely, so the background need not be
    // filled first.
    QImage &drawing(bool covered = false);
    void drawFrame(QPainter &painter) const;
    void paintArrivedRows(QPainter &painter, const QRectF &dirtyInner) const;
    void fitToSize(QSize devicePixels);
    // The part of the drawing the user can see, in device pixels: the box cut to the viewport
    // of the scroll area it lies in, or else to its window.
    QRect visibleDrawingRect() const;
    // The visible part of a metafile's drawing worth playing first; empty when the user sees
    // all of it, so that it is played once, as a whole.
    QRect previewRect(const picture::Picture &picture, const QRectF &targetPixels) const;
    void playVisibleFirst(const picture::Picture &picture, const QRectF &targetPixels,
                          const QRect &visible);
    // Play number `play` on the worker is over: its drawing becomes the box's.
    void playFinished(quint64 play);
    // Waits for a play still running and takes its drawing.
    void settlePlay();

    TwipScale m_scale;
    double m_pixelRatio;
    BorderStyle m_border = BorderStyle::None;
    bool m_autoSize = false;
    QColor m_backColor = QColor(0xE0, 0xE0, 0xE0);
    picture::Picture m_picture;
    QImage m_drawing; // null while nothing was painted since the last Cls
    // A play on a worker thread owns the drawing until it is over: every reader of the
    // drawing waits for it and takes the drawing back first.
    std::unique_ptr<DrawingPlay> m_play;
    quint64 m_plays = 0; // the number of the latest
    QImage m_preview;    // the visible part, played first, shown while the play runs
    QPoint m_previewAt;
    picture::RowArrival *m_arrival = nullptr;
    std::vector<bool> m_arrivedRows; // device rows of the arriving picture shown so far
};

} // namespace lumora::runtime
