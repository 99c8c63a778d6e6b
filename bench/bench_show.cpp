// The screen show, end to end in the real player under the offscreen platform:
//  - a manual step on a show of 24-megapixel JPEGs, from the click to the picture drawn,
//    while the next picture has been read ahead during the viewing of the current one,
//    against decoding one such file in the same run (target: under 0.1 x);
//  - memory over a long show: 10,000 timed steps at 1 ms over a looping list of a few
//    pictures; the peak resident size at the end against the peak after the first 100 steps
//    (target: within 10 %).
#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "picture/loadpicture.h"
#include "runtime/dialogs.h"
#include "show/showplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumora;
using bench::median;

namespace {

// A photo-like JPEG made by ImageMagick: a gradient with noise, so it decodes at a real speed.
QString makePhoto(const QTemporaryDir &dir, const QString &name, int width, int height,
                  const QString &colours)
{
    const QString path = dir.filePath(name);
    const bool made = bench::runProgram(
        bench::imageMagick(),
        {QStringLiteral("-size"), QStringLiteral("%1x%2").arg(width).arg(height),
         QStringLiteral("gradient:") + colours, QStringLiteral("-attenuate"), QStringLiteral("0.4"),
         QStringLiteral("+noise"), QStringLiteral("Gaussian"), QStringLiteral("-quality"),
         QStringLiteral("90"), path});
    return made ? path : QString();
}

void click(QWidget &widget)
{
    const QPointF at(5, widget.height() - 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget.mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget.mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QApplication::sendEvent(&widget, &release);
}

int manualStepBench(app::MainWindow &window, const QTemporaryDir &dir, bench::Report &report)
{
    std::printf("making three 6000 x 4000 JPEGs with ImageMagick...\n");
    std::fflush(stdout);
    const QStringList photos = {
        makePhoto(dir, QStringLiteral("a.jpg"), 6000, 4000, QStringLiteral("red-blue")),
        makePhoto(dir, QStringLiteral("b.jpg"), 6000, 4000, QStringLiteral("green-yellow")),
        makePhoto(dir, QStringLiteral("c.jpg"), 6000, 4000, QStringLiteral("white-black"))};
    if (photos.contains(QString())) {
        std::fprintf(stderr, "could not make the pictures\n");
        return 1;
    }
    std::vector<double> decode;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        const picture::Picture picture = picture::LoadPicture(photos[i % 3]);
        decode.push_back(double(timer.nsecsElapsed()) / 1e6);
    }

    show::ShowSettings settings;
    for (int i = 0; i < 10; ++i)
        settings.ShowFiles << photos[i % 3];
    window.showCommands().settings() = settings;
    show::ShowPlayer *player = window.showCommands().startShow();
    player->repaint();
    std::vector<double> steps;
    for (int i = 1; i < settings.ShowFiles.size(); ++i) {
        // The user looks at the picture; meanwhile the next one is read.
        while (!player->readAhead().isReady())
            QThread::msleep(2);
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        click(*player);
        player->repaint();
        steps.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (player->ShowIndex() != i || !player->picshow().isVisible()) {
            std::fprintf(stderr, "the show did not step to %d\n", i);
            return 1;
        }
    }
    player->Unload();
    QApplication::processEvents();
    const double ratio = median(steps) / median(decode);
    std::printf("decode one 24 MP JPEG:        %8.2f ms (median of %zu)\n", median(decode),
                decode.size());
    std::printf("manual step, click to drawn:  %8.2f ms (median of %zu, worst %.2f)\n",
                median(steps), steps.size(), *std::max_element(steps.begin(), steps.end()));
    std::printf("ratio: %.3f (target under 0.1)\n", ratio);
    report.add({QStringLiteral("Show manual step, 24 MP JPEGs"), median(steps),
                QStringLiteral("ms"), QStringLiteral("decoding one"), median(decode),
                bench::Target::ratioAtMost(0.1)});
    return 0;
}

void memoryBench(app::MainWindow &window, const QTemporaryDir &dir, bench::Report &report)
{
    show::ShowSettings settings;
    settings.ShowFiles = {
        makePhoto(dir, QStringLiteral("m1.jpg"), 640, 480, QStringLiteral("red-blue")),
        makePhoto(dir, QStringLiteral("m2.jpg"), 800, 600, QStringLiteral("green-black")),
        makePhoto(dir, QStringLiteral("m3.jpg"), 1024, 768, QStringLiteral("white-red"))};
    settings.ShowAuto = 1;
    settings.ShowInterval = 1;
    settings.ShowLoop = 1;
    window.showCommands().settings() = settings;
    show::ShowPlayer *player = window.showCommands().startShow();
    int fired = 0;
    long after100 = 0;
    QObject::connect(&player->tmrtiepo(), &runtime::Timer::fired, [&] {
        if (++fired == 100)
            after100 = bench::peakRssKiB();
    });
    QElapsedTimer timer;
    timer.start();
    while (fired < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const double seconds = double(timer.elapsed()) / 1000.0;
    const long atEnd = bench::peakRssKiB();
    player->Unload();
    QApplication::processEvents();
    const double growth = double(atEnd - after100) / double(after100);
    std::printf("long show: 10000 timed steps in %.1f s; peak RSS after 100 steps %ld KiB, "
                "at the end %ld KiB: %+.1f %% (target within 10 %%)\n",
                seconds, after100, atEnd, growth * 100.0);
    report.add({QStringLiteral("Show peak memory after 10,000 timed steps"), double(atEnd) / 1024,
                QStringLiteral("MiB"), QStringLiteral("after 100 steps"), double(after100) / 1024,
                bench::Target::ratioAtMost(1.1)});
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    runtime::QtDialogs dialogs;
    app::MainWindow window(dialogs);
    window.resize(1000, 750);
    window.show();
    bench::Report report;
    memoryBench(window, dir, report);
    if (manualStepBench(window, dir, report) != 0)
        return 1;
    return report.finish();
}
