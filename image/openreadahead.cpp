#include "image/openreadahead.h"

#include <QFileInfo>

namespace lumora::image {

namespace {

// The same file by whatever path it was named: typed, relative or chosen in the list.
QString canonical(const QString &path)
{
    return path.isEmpty() ? QString() : QFileInfo(path).canonicalFilePath();
}

} // namespace

void OpenReadAhead::point(const QString &path)
{
    const QString file = QFileInfo(path).isFile() ? canonical(path) : QString();
    if (m_load && file == m_load->path())
        return;
    m_load.reset();
    if (!file.isEmpty())
        m_load = std::make_unique<PictureLoad>(file, m_options);
}

std::unique_ptr<PictureLoad> OpenReadAhead::take(const QString &path)
{
    if (m_load && canonical(path) == m_load->path())
        return std::move(m_load);
    m_load.reset();
    return std::make_unique<PictureLoad>(path, m_options);
}

} // namespace lumora::image
