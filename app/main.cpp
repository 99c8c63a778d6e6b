#include "app/displayplatform.h"
#include "app/mainwindow.h"
#include "app/splash.h"
#include "runtime/dialogs.h"
#include "runtime/handlerguard.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    const bool throughXWayland = lumora::app::preferXWayland();
    QApplication application(argc, argv);
    if (throughXWayland)
        lumora::app::leavePlatformChoice();
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setApplicationVersion(QStringLiteral("1.5.6"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.lumora"));

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
