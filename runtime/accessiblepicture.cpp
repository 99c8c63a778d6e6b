#include "runtime/accessiblepicture.h"

#include "runtime/picturebox.h"

#include <QAccessibleWidget>
#include <QFileInfo>

namespace lumora::runtime {

namespace {

constexpr char kReadAsPicture[] = "lumoraReadAsPicture";

// A picture box is a widget of its own class with no children, which Qt would read as an
// unnamed filler; it reads as an image instead.
QAccessibleInterface *pictureInterface(const QString &, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (!qobject_cast<PictureBox *>(object) && !object->property(kReadAsPicture).toBool())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Graphic);
}

} // namespace

void installAccessiblePictures()
{
    QAccessible::installFactory(pictureInterface);
}

void readAsPicture(QWidget &widget)
{
    widget.setProperty(kReadAsPicture, true);
}

QString pictureSizeText(const picture::Picture &picture, const TwipScale &scale)
{
    if (picture.isNull())
        return QStringLiteral("No picture");
    const QSize size = picture.sizePixels(scale);
    return QStringLiteral("%1 \u00D7 %2 pixels").arg(size.width()).arg(size.height());
}

void describePicture(QWidget &box, const QString &path, const PictureBox &source)
{
    box.setAccessibleName(QFileInfo(path).fileName());
    box.setAccessibleDescription(pictureSizeText(source.picture(), source.pictureScale()));
}

} // namespace lumora::runtime
