#pragma once

#include "picture/picture.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <functional>
#include <future>

namespace lumora::runtime {

// A picture painted into a drawing on a pooled worker thread, whose font caches stay warm from
// one play to the next. The drawing belongs to the play until it is taken back: nothing else
// may share its pixels meanwhile, or the painter would copy them.
class DrawingPlay final {
public:
    // A valid `background` is filled in first, over the whole drawing. `finished` runs on the
    // worker thread just before the drawing can be taken, never after.
    DrawingPlay(QImage drawing, QColor background, picture::Picture picture, QRectF target,
                std::function<void()> finished);
    // Waits for the play: the worker may not outlive what it paints for.
    ~DrawingPlay();
    DrawingPlay(const DrawingPlay &) = delete;
    DrawingPlay &operator=(const DrawingPlay &) = delete;

    bool isFinished() const;
    QSize size() const { return m_size; }
    // Waits for the play and gives the drawing back.
    QImage take();

private:
    QSize m_size;
    std::future<QImage> m_drawing;
};

} // namespace lumora::runtime
