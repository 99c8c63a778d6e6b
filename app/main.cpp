#include "app/appservice.h"
#include "app/commandline.h"
#include "app/desktopintake.h"
#include "app/displayplatform.h"
#include "app/mainwindow.h"
#include "app/splash.h"
#include "runtime/accessiblepicture.h"
#include "runtime/dialogs.h"
#include "runtime/handlerguard.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setApplicationVersion(QStringLiteral("1.5.6"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.lumora"));
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (lumora::app::asksForHelpOrVersion(arguments)) {
        // Answered on standard output, with no display needed; the parser ends the process.
        QCoreApplication core(argc, argv);
        lumora::app::parseCommandLine(QCoreApplication::arguments());
        return 0;
    }
    const bool throughXWayland = lumora::app::preferXWayland();
    QApplication application(argc, argv);
    lumora::runtime::installAccessiblePictures();
    if (throughXWayland)
        lumora::app::leavePlatformChoice();

    // A program already running in this session takes the pictures, and this start ends
    // before anything is shown.
    const QStringList files = lumora::app::parseCommandLine(QApplication::arguments());
    if (lumora::app::handOver(QDBusConnection::sessionBus(), files))
        return 0;
    lumora::app::DesktopIntake intake(QDBusConnection::sessionBus());
    intake.open(files);

    lumora::runtime::QtDialogs dialogs;
    std::unique_ptr<lumora::app::MainWindow> frmprin;
    auto load = [&] {
        if (frmprin)
            return;
        frmprin = std::make_unique<lumora::app::MainWindow>(dialogs);
        dialogs.setParent(frmprin.get());
    };
    auto *frmsplash = new lumora::app::Splash([&] {
        lumora::runtime::guard(dialogs, [&] {
            load();
            frmprin->showMaximized();
            intake.attach(*frmprin);
        });
    });
    // The main window is built unseen while the splash is up, drawn once off the screen so
    // that fonts, styles and icons are loaded, and given its X window: when the second is
    // over it only has to be mapped, and it follows the splash on time.
    frmsplash->whenOnScreen([&] {
        lumora::runtime::guard(dialogs, [&] {
            load();
            (void)frmprin->grab();
            (void)frmprin->winId();
        });
    });
    frmsplash->show();
    return QApplication::exec();
}
