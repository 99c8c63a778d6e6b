#include "runtime/form.h"

#include "base/runtimeerror.h"

#include <QMdiSubWindow>

namespace lumora::runtime {

namespace {
const char *const kPointerProperty = "lumoraMousePointer";
}

QWidget &formFrame(QWidget &client)
{
    if (auto *sub = qobject_cast<QMdiSubWindow *>(client.parentWidget()))
        return *sub;
    return *client.window();
}

const QWidget &formFrame(const QWidget &client)
{
    return formFrame(const_cast<QWidget &>(client));
}

FormMetrics measureForm(const QWidget &client, const TwipScale &scale)
{
    const QWidget &frame = formFrame(client);
    // A top-level window's frame belongs to the window manager; its size includes it.
    const QRect outer = frame.isWindow() ? frame.frameGeometry() : frame.geometry();
    // A child window lays out its client only when shown, so its inner size comes from its
    // own frame margins, which are right from the moment it is created.
    QSize inner = client.size();
    if (!frame.isWindow()) {
        const QMargins m = frame.contentsMargins();
        inner = outer.size().shrunkBy(m).expandedTo(QSize(0, 0));
    }
    FormMetrics m;
    m.Left = scale.toTwips(outer.x());
    m.Top = scale.toTwips(outer.y());
    m.Width = scale.toTwips(outer.width());
    m.Height = scale.toTwips(outer.height());
    m.ScaleWidth = scale.toTwips(inner.width());
    m.ScaleHeight = scale.toTwips(inner.height());
    return m;
}

void moveForm(QWidget &client, double left, double top, double width, double height,
              const TwipScale &scale)
{
    QWidget &frame = formFrame(client);
    if (frame.isMaximized() || frame.isMinimized())
        throw RuntimeError(
            384, QStringLiteral("A form can't be moved or sized while minimized or maximized"));
    const int w = scale.toPixels(width);
    const int h = scale.toPixels(height);
    if (w < 0 || h < 0)
        throw RuntimeError(errors::InvalidPropertyValue, QStringLiteral("Invalid property value"));
    frame.setGeometry(scale.toPixels(left), scale.toPixels(top), w, h);
}

void setMousePointer(QWidget &form, int pointer)
{
    form.setProperty(kPointerProperty, pointer);
    switch (pointer) {
    case vbHourglass:
        form.setCursor(Qt::WaitCursor);
        break;
    case vbArrow:
        form.setCursor(Qt::ArrowCursor);
        break;
    default:
        form.unsetCursor();
        break;
    }
}

int mousePointer(const QWidget &form)
{
    return form.property(kPointerProperty).isValid() ? form.property(kPointerProperty).toInt()
                                                     : vbDefault;
}

QFont formFont(double points, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

} // namespace lumora::runtime
