#pragma once

#include "picture/picture.h"

#include <QColor>
#include <QImage>
#include <QRectF>
#include <functional>
#include <future>
#include <thread>

namespace lumora::runtime {

// A picture painted into a drawing on a worker thread. The drawing belongs to the play until
// it is taken back: nothing else may share its pixels meanwhile, or the painter would copy them.
class DrawingPlay final {
public:
    // A valid `background` is filled in first, over the whole drawing. `finished` runs on the
    // worker thread once the drawing can be taken.
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
    void run();

    QSize m_size;
    QImage m_canvas;
    QColor m_background;
    picture::Picture m_picture;
    QRectF m_target;
    std::function<void()> m_finished;
    std::promise<QImage> m_result;
    std::future<QImage> m_drawing;
    std::thread m_worker;
};

} // namespace lumora::runtime
