#include "show/showend.h"

#include "picture/loadpicture.h"
#include "runtime/accessiblepicture.h"
#include "runtime/errortrap.h"
#include "runtime/form.h"

namespace lumora::show {

image::ImageWindow *openAtShowEnd(runtime::MainHost &host, const QString &path, ShowEnd how)
{
    runtime::ErrorTrap trap;
    image::ImageWindow *window = image::ImageWindow::Load(host);
    window->setCaption(path);
    runtime::PictureBox &pictrans = window->pictrans();
    runtime::PictureBox &picdibujo = window->picdibujo();
    const bool afterLast = how == ShowEnd::AfterLast;
    trap.run([&] { pictrans.setPicture(picture::LoadPicture(path)); });
    trap.run([&] { picdibujo.setHeight(afterLast ? pictrans.Height() : pictrans.ScaleHeight()); });
    trap.run([&] { picdibujo.setWidth(afterLast ? pictrans.Width() : pictrans.ScaleWidth()); });
    trap.run([&] { picdibujo.PaintPicture(pictrans.picture(), 0, 0); });
    runtime::describePicture(picdibujo, path, pictrans);
    trap.run([&] {
        const double width = afterLast ? picdibujo.ScaleWidth() : picdibujo.Width();
        const double height = afterLast ? picdibujo.ScaleHeight() : picdibujo.Height();
        runtime::moveForm(*window, 0, 0, width, height, picdibujo.scale());
    });
    trap.run([&] { host.StatBar().setText(2, path); });
    window->Show();
    return window;
}

} // namespace lumora::show
