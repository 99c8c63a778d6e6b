#include "image/wallpaper.h"

#include "image/activewindow.h"
#include "platform/appinfo.h"
#include "platform/form.h"
#include "platform/loadpicture.h"
#include "platform/runtimeerror.h"

namespace lumora::image {

namespace {

// Puts the arrow back however the command ends.
class HourglassOver final {
public:
    explicit HourglassOver(QWidget &form) : m_form(form)
    {
        platform::setMousePointer(m_form, platform::vbHourglass);
    }
    ~HourglassOver() { platform::setMousePointer(m_form, platform::vbArrow); }
    HourglassOver(const HourglassOver &) = delete;
    HourglassOver &operator=(const HourglassOver &) = delete;

private:
    QWidget &m_form;
};

} // namespace

QString wallpaperFilePath()
{
    return platform::joinPath(platform::App::DataPath(), QStringLiteral("visor.bmp"));
}

void setActivePictureAsWallpaper(platform::MainHost &host, const DesktopFacts &facts)
{
    ImageWindow *window = activeImageWindowOrReport(host);
    if (!window)
        return;
    const QString path = wallpaperFilePath();
    QString failure;
    {
        HourglassOver hourglass(*window);
        try {
            platform::SavePicture(window->picdibujo().Image(), path);
            // Whether the desktop took it is not reported: the file is written, and a
            // desktop that none of our ways reaches simply keeps its picture.
            setDesktopWallpaper(facts, path);
        } catch (const platform::RuntimeError &error) {
            failure = error.text();
        }
    }
    if (!failure.isEmpty())
        platform::MsgBox(
            host.dialogs(),
            QStringLiteral("The wallpaper file could not be written.\n\n%1").arg(failure),
            platform::vbCritical, QStringLiteral("Error"));
}

} // namespace lumora::image
