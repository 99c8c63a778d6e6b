// The set-up dialog in a folder of 10,000 pictures: the time from opening the folder to the
// file list filled and painted (target: under 0.5 s), next to a bare listing of the folder
// by QDir in the same run.
#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "runtime/dialogs.h"
#include "show/screendialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumora;
using bench::median;

namespace {

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("many"));
    QDir().mkpath(big);
    const char *extensions[] = {"jpg", "GIF", "bmp", "wmf", "png"};
    for (int i = 0; i < 10000; ++i) {
        QFile file(QStringLiteral("%1/photo %2.%3")
                       .arg(big)
                       .arg(i, 5, 10, QLatin1Char('0'))
                       .arg(QLatin1String(extensions[i % 4])));
        file.open(QIODevice::WriteOnly);
    }
    for (int i = 0; i < 500; ++i) { // files the pattern leaves out
        QFile file(
            QStringLiteral("%1/note %2.%3").arg(big).arg(i).arg(QLatin1String(extensions[4])));
        file.open(QIODevice::WriteOnly);
    }

    runtime::QtDialogs dialogs;
    app::MainWindow window(dialogs);
    window.show();
    show::ScreenDialog *dialog = show::ScreenDialog::Load(window, window.showCommands().settings());
    dialog->Show();
    QApplication::processEvents();

    std::vector<double> bare, ours, open;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer timer;
        timer.start();
        QDir listing(big, QStringLiteral("*.jpg *.gif *.bmp *.wmf"), QDir::Name | QDir::IgnoreCase,
                     QDir::Files);
        const qsizetype count = listing.entryList().size();
        bare.push_back(elapsedMs(timer));

        timer.restart();
        const qsizetype matched = show::matchingFiles(big, show::ScreenDialog::kPattern).size();
        ours.push_back(elapsedMs(timer));

        dialog->Dir1_Open(dir.path());
        QApplication::processEvents();
        timer.restart();
        dialog->Dir1_Open(big);
        dialog->repaint();
        open.push_back(elapsedMs(timer));
        if (dialog->File1().ListCount() != 10000 || count != 10000 || matched != 10000) {
            std::fprintf(stderr, "listed %d files, not 10000\n", dialog->File1().ListCount());
            return 1;
        }
    }
    std::printf("QDir listing of 10,000 matching files:   %7.1f ms (median of %zu)\n", median(bare),
                bare.size());
    std::printf("the file list's own listing and sorting: %7.1f ms (median of %zu)\n", median(ours),
                ours.size());
    std::printf("open the folder, file list painted:      %7.1f ms (median of %zu)\n", median(open),
                open.size());
    dialog->Unload();
    bench::Report report;
    report.add({QStringLiteral("Show set-up, folder of 10,000 pictures"), median(open),
                QStringLiteral("ms"), QStringLiteral("QDir listing"), median(bare),
                bench::Target::valueAtMost(500)});
    return report.finish();
}
