// The screen show, end to end in the real player under the offscreen platform:
//  - a manual step on a show of 24-megapixel JPEGs, from the click to the picture drawn,
//    while the next picture has been read ahead during the viewing of the current one,
//    against decoding one such file in the same run (target: under 0.1 x);
//  - memory over a long show: 10,000 timed steps at 1 ms over a looping list of a few
//    pictures; the peak resident size at the end against the peak after the first 100 steps
//    (target: within 10 %);
//  - a manual step to a 512-megapixel JPEG (17078 x 30000, a smaller photo enlarged on its way
//    into cjpeg) with no time to read it ahead, from the click to its middle drawn, against
//    djpeg decoding the whole file in the same run (target: at most 0.15 x), and against djpeg
//    scaling it to an eighth, which is mostly the decoding of its entropy-coded data.
#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "picture/loadpicture.h"
#include "runtime/dialogs.h"
#include "show/showplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
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

constexpr QSize kGiant(17078, 30000);

// One axis of a linear enlargement: for every output pixel the source pixel before it and the
// weight of the one after it, in 256ths.
struct Stretch {
    std::vector<int> from;
    std::vector<int> weight;
};

Stretch stretch(int source, int target)
{
    Stretch axis;
    for (int i = 0; i < target; ++i) {
        const qint64 at = qint64(i) * (source - 1) * 256 / (target - 1);
        axis.from.push_back(int(std::min<qint64>(at / 256, source - 2)));
        axis.weight.push_back(int(at - 256 * qint64(axis.from.back())));
    }
    return axis;
}

// Row `y` of `source` enlarged linearly to kGiant, as RGB bytes.
void giantRow(const QImage &source, const Stretch &xs, const Stretch &ys, int y,
              std::vector<int> &blended, char *out)
{
    const uchar *above = source.constScanLine(ys.from[size_t(y)]);
    const uchar *below = source.constScanLine(ys.from[size_t(y)] + 1);
    const int w = ys.weight[size_t(y)];
    for (size_t i = 0; i < blended.size(); ++i)
        blended[i] = above[i] * (256 - w) + below[i] * w;
    for (int x = 0; x < kGiant.width(); ++x) {
        const size_t from = 3 * size_t(xs.from[size_t(x)]);
        const int v = xs.weight[size_t(x)];
        for (size_t c = 0; c < 3; ++c)
            out[3 * x + int(c)] =
                char((blended[from + c] * (256 - v) + blended[from + 3 + c] * v + (1 << 15)) >> 16);
    }
}

// A 512-megapixel photo as a smaller one enlarged would be: a photo-like picture made by
// ImageMagick, a tenth of the size each way, stretched linearly on its way into cjpeg.
QString makeGiantPhoto(const QTemporaryDir &dir)
{
    const QString small = dir.filePath(QStringLiteral("giant-small.ppm"));
    const QString path = dir.filePath(QStringLiteral("giant.jpg"));
    if (!bench::runProgram(bench::imageMagick(),
                           {QStringLiteral("-size"), QStringLiteral("1708x3000"),
                            QStringLiteral("gradient:orange-navy"), QStringLiteral("-attenuate"),
                            QStringLiteral("0.6"), QStringLiteral("+noise"),
                            QStringLiteral("Gaussian"), small}))
        return QString();
    const QImage source = QImage(small).convertToFormat(QImage::Format_RGB888);
    QProcess cjpeg;
    cjpeg.setStandardOutputFile(path);
    cjpeg.start(QStringLiteral("cjpeg"), {QStringLiteral("-quality"), QStringLiteral("90")});
    if (source.isNull() || !cjpeg.waitForStarted())
        return QString();
    cjpeg.write(
        QStringLiteral("P6\n%1 %2\n255\n").arg(kGiant.width()).arg(kGiant.height()).toLatin1());
    const Stretch xs = stretch(source.width(), kGiant.width());
    const Stretch ys = stretch(source.height(), kGiant.height());
    std::vector<int> blended(3 * size_t(source.width()));
    QByteArray row(3 * qsizetype(kGiant.width()), '\0');
    for (int y = 0; y < kGiant.height(); ++y) {
        giantRow(source, xs, ys, y, blended, row.data());
        cjpeg.write(row);
        while (cjpeg.bytesToWrite() > (qint64(8) << 20))
            cjpeg.waitForBytesWritten(-1);
    }
    cjpeg.closeWriteChannel();
    return cjpeg.waitForFinished(-1) && cjpeg.exitCode() == 0 ? path : QString();
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

int giantStepBench(app::MainWindow &window, const QTemporaryDir &dir, bench::Report &report)
{
    std::printf("making a %d x %d JPEG with ImageMagick and cjpeg...\n", kGiant.width(),
                kGiant.height());
    std::fflush(stdout);
    const QString giant = makeGiantPhoto(dir);
    const QString before =
        makePhoto(dir, QStringLiteral("before.jpg"), 640, 480, QStringLiteral("red-blue"));
    if (giant.isEmpty() || before.isEmpty()) {
        std::fprintf(stderr, "could not make the pictures\n");
        return 1;
    }
    const auto djpegMs = [&](const QStringList &options) {
        return bench::medianMs(3, [&] {
            bench::runProgram(QStringLiteral("djpeg"),
                              options + QStringList{QStringLiteral("-ppm"),
                                                    QStringLiteral("-outfile"),
                                                    QStringLiteral("/dev/null"), giant});
        });
    };
    const double djpeg = djpegMs({});
    // Scaled to an eighth, djpeg spends its time on the entropy-coded data: the floor under a
    // step that must still read the data of every row above the middle.
    const double entropy = djpegMs({QStringLiteral("-scale"), QStringLiteral("1/8")});
    std::vector<double> steps;
    for (int run = 0; run < 3; ++run) {
        show::ShowSettings settings;
        settings.ShowFiles = {before, giant};
        window.showCommands().settings() = settings;
        show::ShowPlayer *player = window.showCommands().startShow();
        player->repaint();
        // At once: the read ahead of the giant has only just begun, and the step waits for it.
        QElapsedTimer timer;
        timer.start();
        click(*player);
        player->repaint();
        steps.push_back(double(timer.nsecsElapsed()) / 1e6);
        const runtime::PictureBox &box = player->picshow();
        const bool shown = player->ShowIndex() == 1 && box.isVisible() && box.picture().isPartial();
        player->Unload();
        QApplication::processEvents();
        if (!shown) {
            std::fprintf(stderr, "the show did not step to the middle of the giant\n");
            return 1;
        }
    }
    std::printf("djpeg, the whole 512 MP JPEG:  %8.2f ms (median of 3)\n", djpeg);
    std::printf("manual step to its middle:     %8.2f ms (median of 3)\n", median(steps));
    std::printf("djpeg -scale 1/8 (its entropy decoding): %8.2f ms (median of 3)\n", entropy);
    std::printf("ratio: %.3f (target at most 0.15)\n", median(steps) / djpeg);
    report.add({QStringLiteral("Show step to a 512 MP JPEG, its middle drawn"), median(steps),
                QStringLiteral("ms"), QStringLiteral("djpeg, whole file"), djpeg,
                bench::Target::ratioAtMost(0.15)});
    report.add({QStringLiteral("Show step to a 512 MP JPEG, its middle drawn"), median(steps),
                QStringLiteral("ms"), QStringLiteral("djpeg -scale 1/8"), entropy,
                bench::Target::none()});
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
    if (manualStepBench(window, dir, report) != 0 || giantStepBench(window, dir, report) != 0)
        return 1;
    return report.finish();
}
