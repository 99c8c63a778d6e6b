#include "image/wallpaper.h"

#include "base/runtimeerror.h"
#include "image/activewindow.h"
#include "picture/loadpicture.h"
#include "runtime/appinfo.h"
#include "runtime/form.h"

namespace lumora::image {

namespace {

// Puts the arrow back however the command ends.
class HourglassOver final {
public:
    explicit HourglassOver(QWidget &form) : m_form(form)
    {
        runtime::setMousePointer(m_form, runtime::vbHourglass);
    }
    ~HourglassOver() { runtime::setMousePointer(m_form, runtime::vbArrow); }
    HourglassOver(const HourglassOver &) = delete;
    HourglassOver &operator=(const HourglassOver &) = delete;

private:
    QWidget &m_form;
};

} // namespace

QString wallpaperFilePath()
{
    return runtime::joinPath(runtime::App::DataPath(), QStringLiteral("visor.bmp"));
}

void setActivePictureAsWallpaper(runtime::MainHost &host, const DesktopFacts &facts)
{
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    const QString path = wallpaperFilePath();
    QString failure;
    {
        HourglassOver hourglass(*window);
        try {
            picture::SavePicture(window->picdibujo().Image(), path);
            // Whether the desktop took it is not reported: the file is written, and a
            // desktop that none of our ways reaches simply keeps its picture.
            setDesktopWallpaper(facts, path);
        } catch (const RuntimeError &error) {
            failure = error.text();
        }
    }
    if (!failure.isEmpty())
        runtime::MsgBox(
            host.dialogs(),
            QStringLiteral("The wallpaper file could not be written.\n\n%1").arg(failure),
            runtime::vbCritical, QStringLiteral("Error"));
}

} // namespace lumora::image
