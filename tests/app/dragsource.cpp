// A file manager's part in a drop, as a real X client: a small window that starts a drag of
// the URLs given on its command line when the mouse is pressed on it (xdotool moves and
// releases the mouse), then prints what the target did with it ("copy" or "ignore"). It stays
// until it is ended, since the target fetches the dropped data after the drop.
#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

#include <cstdio>

namespace {

class DragSource final : public QWidget {
public:
    explicit DragSource(QList<QUrl> urls) : m_urls(std::move(urls))
    {
        setWindowTitle(QStringLiteral("drag source"));
        setWindowFlag(Qt::WindowStaysOnTopHint);
        setFixedSize(120, 120);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, Qt::darkMagenta);
        setPalette(pal);
        setAutoFillBackground(true);
    }

protected:
    void mousePressEvent(QMouseEvent *) override
    {
        auto *drag = new QDrag(this);
        auto *data = new QMimeData;
        data->setUrls(m_urls);
        drag->setMimeData(data);
        const Qt::DropAction done = drag->exec(Qt::CopyAction);
        std::printf("%s\n", done == Qt::CopyAction ? "copy" : "ignore");
        std::fflush(stdout);
    }

private:
    QList<QUrl> m_urls;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QList<QUrl> urls;
    for (const QString &argument : QApplication::arguments().mid(1))
        urls << QUrl(argument);
    DragSource source(urls);
    source.move(1140, 880);
    source.show();
    return QApplication::exec();
}
