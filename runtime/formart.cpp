#include "runtime/formart.h"

#include <QFileInfo>

namespace lumora::runtime {

ArtFile artFile(const QString &path, double screenRatio)
{
    if (screenRatio <= 1)
        return {path, 1};
    const QFileInfo file(path);
    const QString suffix = file.suffix();
    QString fine = path;
    fine.insert(path.size() - (suffix.isEmpty() ? 0 : suffix.size() + 1), QStringLiteral("@2x"));
    if (!QFileInfo::exists(fine))
        return {path, 1};
    return {fine, 2};
}

QPixmap artPixmap(const QString &path, double screenRatio)
{
    const ArtFile art = artFile(path, screenRatio);
    QPixmap pixmap(art.path);
    pixmap.setDevicePixelRatio(art.pixelRatio);
    return pixmap;
}

} // namespace lumora::runtime
