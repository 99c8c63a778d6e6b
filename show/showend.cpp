#include "show/showend.h"

#include "platform/errortrap.h"
#include "platform/form.h"
#include "platform/loadpicture.h"

namespace lumora::show {

image::ImageWindow *openAtShowEnd(platform::MainHost &host, const QString &path, ShowEnd how)
{
    platform::ErrorTrap trap;
    image::ImageWindow *window = image::ImageWindow::Load(host);
    window->setCaption(path);
    platform::PictureBox &pictrans = window->pictrans();
    platform::PictureBox &picdibujo = window->picdibujo();
    const bool afterLast = how == ShowEnd::AfterLast;
    trap.run([&] { pictrans.setPicture(platform::LoadPicture(path)); });
    trap.run([&] { picdibujo.setHeight(afterLast ? pictrans.Height() : pictrans.ScaleHeight()); });
    trap.run([&] { picdibujo.setWidth(afterLast ? pictrans.Width() : pictrans.ScaleWidth()); });
    trap.run([&] { picdibujo.PaintPicture(pictrans.picture(), 0, 0); });
    trap.run([&] {
        const double width = afterLast ? picdibujo.ScaleWidth() : picdibujo.Width();
        const double height = afterLast ? picdibujo.ScaleHeight() : picdibujo.Height();
        platform::moveForm(*window, 0, 0, width, height, picdibujo.scale());
    });
    trap.run([&] { host.StatBar().setText(2, path); });
    window->Show();
    return window;
}

} // namespace lumora::show
