#include "image/fileopen.h"

#include "platform/errortrap.h"
#include "platform/form.h"
#include "platform/loadpicture.h"

namespace lumora::image {

using platform::ErrorTrap;

void mnufileopen_Click(platform::MainHost &host)
{
    ErrorTrap trap;
    platform::CommonDialog &dialog = host.dlgcomondialog();
    dialog.DialogTitle = QStringLiteral("Open File");
    dialog.Filter = kOpenFilter;
    dialog.Flags = platform::cdl::HideReadOnly;
    dialog.FileName = QString();
    trap.run([&] { dialog.ShowOpen(); });
    const QString path = dialog.FileName;
    if (path.size() < 1)
        return;
    openPictureWindow(host, path);
}

ImageWindow *openPictureWindow(platform::MainHost &host, const QString &path)
{
    ErrorTrap trap;
    ImageWindow *window = ImageWindow::Load(host);
    window->setCaption(path);
    const platform::TwipScale &scale = window->picdibujo().scale();
    const platform::FormMetrics frame = platform::measureForm(*window, scale);
    const int borderWidth = trap.value([&] { return platform::roundHalfEven32(frame.Width - frame.ScaleWidth); }, 0);
    const int borderHeight = trap.value([&] { return platform::roundHalfEven32(frame.Height - frame.ScaleHeight); }, 0);

    platform::PictureBox &pictrans = window->pictrans();
    platform::PictureBox &picdibujo = window->picdibujo();
    trap.run([&] { pictrans.setPicture(platform::LoadPicture(path)); });
    trap.run([&] { picdibujo.setHeight(pictrans.Height()); });
    trap.run([&] { picdibujo.setWidth(pictrans.Width()); });
    trap.run([&] { picdibujo.PaintPicture(pictrans.picture(), 0, 0); });
    trap.run([&] {
        platform::moveForm(*window, 0, 0, double(picdibujo.Width()) + borderWidth,
                           double(picdibujo.Height()) + borderHeight, scale);
    });
    trap.run([&] { host.StatBar().setText(2, path); });
    window->Show();
    return window;
}

} // namespace lumora::image
