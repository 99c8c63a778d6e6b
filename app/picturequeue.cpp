#include "app/picturequeue.h"

#include "image/fileopen.h"
#include "runtime/handlerguard.h"

#include <QTimer>

namespace lumora::app {

void PictureQueue::add(const QStringList &paths)
{
    m_paths.insert(m_paths.end(), paths.begin(), paths.end());
    scheduleNext();
}

void PictureQueue::start(runtime::MainHost &host)
{
    m_host = &host;
    scheduleNext();
}

void PictureQueue::scheduleNext()
{
    if (!m_host || m_scheduled || m_paths.empty())
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &PictureQueue::openNext);
}

void PictureQueue::openNext()
{
    m_scheduled = false;
    if (m_paths.empty())
        return;
    const QString path = m_paths.front();
    m_paths.pop_front();
    runtime::guard(m_host->dialogs(), [&] { image::openPictureWindow(*m_host, path); });
    if (m_paths.empty())
        emit drained();
    else
        scheduleNext();
}

} // namespace lumora::app
