// The least a Qt program can do to start as Lumora does: a borderless splash-type window of
// the splash's size, and a second later a maximized main window in its place. What it takes
// from exec to each window on the screen is the floor for the real program's start-up.
#include <QApplication>
#include <QMainWindow>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

class PlainSplash final : public QWidget {
public:
    PlainSplash() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    {
        setFixedSize(305, 206);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x20, 0x40, 0x80));
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    PlainSplash splash;
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Reference"));
    QTimer::singleShot(1000, &splash, [&] {
        window.showMaximized();
        splash.close();
    });
    splash.show();
    return QApplication::exec();
}
