#include "app/mainwindow.h"
#include "app/splash.h"
#include "platform/dialogs.h"
#include "platform/handlerguard.h"

#include <QApplication>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumora"));
    QApplication::setApplicationVersion(QStringLiteral("1.5.6"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.lumora"));

    lumora::platform::QtDialogs dialogs;
    std::unique_ptr<lumora::app::MainWindow> frmprin;
    auto *frmsplash = new lumora::app::Splash([&] {
        lumora::platform::guard(dialogs, [&] {
            frmprin = std::make_unique<lumora::app::MainWindow>(dialogs);
            dialogs.setParent(frmprin.get());
            frmprin->showMaximized();
        });
    });
    frmsplash->show();
    return QApplication::exec();
}
