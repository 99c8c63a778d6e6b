#include "runtime/drawingplay.h"

#include <QPainter>
#include <QThreadPool>
#include <chrono>
#include <exception>
#include <memory>

namespace lumora::runtime {

namespace {

struct Job {
    QImage canvas;
    QColor background;
    picture::Picture picture;
    QRectF target;
    std::function<void()> finished;
    std::promise<QImage> result;
};

// A play that fails part way leaves the drawing as far as it got, as a play on the caller's
// thread would; the failure has nobody to go to on the worker.
void run(Job &job)
{
    if (job.background.isValid())
        job.canvas.fill(job.background);
    try {
        QPainter painter(&job.canvas);
        job.picture.draw(painter, job.target);
    } catch (const std::exception &) {
    }
    job.finished();
    job.result.set_value(std::exchange(job.canvas, QImage()));
}

} // namespace

DrawingPlay::DrawingPlay(QImage drawing, QColor background, picture::Picture picture, QRectF target,
                         std::function<void()> finished)
    : m_size(drawing.size())
{
    auto job = std::make_shared<Job>(
        Job{std::move(drawing), background, std::move(picture), target, std::move(finished), {}});
    m_drawing = job->result.get_future();
    QThreadPool::globalInstance()->start([job] { run(*job); });
}

DrawingPlay::~DrawingPlay()
{
    if (m_drawing.valid())
        m_drawing.wait();
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
