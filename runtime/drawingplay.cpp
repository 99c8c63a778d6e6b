#include "runtime/drawingplay.h"

#include <QPainter>
#include <chrono>
#include <exception>
#include <system_error>

namespace lumora::runtime {

DrawingPlay::DrawingPlay(QImage drawing, QColor background, picture::Picture picture,
                         QRectF target, std::function<void()> finished)
    : m_size(drawing.size()), m_canvas(std::move(drawing)), m_background(background),
      m_picture(std::move(picture)), m_target(target),
      m_finished(std::move(finished)), m_drawing(m_result.get_future())
{
    try {
        m_worker = std::thread([this] { run(); });
    } catch (const std::system_error &) {
        run(); // no thread to be had: the caller waits, as it did before there were workers
    }
}

DrawingPlay::~DrawingPlay()
{
    if (m_worker.joinable())
        m_worker.join();
}

// A play that fails part way leaves the drawing as far as it got, as a play on the caller's
// thread would; the failure has nobody to go to on the worker.
void DrawingPlay::run()
{
    if (m_background.isValid())
        m_canvas.fill(m_background);
    try {
        QPainter painter(&m_canvas);
        m_picture.draw(painter, m_target);
    } catch (const std::exception &) {
    }
    m_result.set_value(std::exchange(m_canvas, QImage()));
    m_finished();
}

bool DrawingPlay::isFinished() const
{
    return !m_drawing.valid() ||
           m_drawing.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

QImage DrawingPlay::take()
{
    return m_drawing.valid() ? m_drawing.get() : QImage();
}

} // namespace lumora::runtime
