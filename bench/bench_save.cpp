// File Save As of a 24-megapixel picture to BMP, end to end through the real command: the
// dialog's answer, the active window's drawing written to a temporary file, flushed and
// renamed over the target. Timed in the same run against the floor of writing as many bytes
// (fresh memory filled by memcpy) and against ImageMagick writing the same picture as a 24-bit
// BMP from its own memory-mapped cache (MPC), so that its reading costs next to nothing, and
// synced to the disk as Save As does. No target: the figures say where the time goes.
//
// Usage: bench_save [runs]   (default 7 runs of each; needs ImageMagick)
#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "tests/support/scripteddialogs.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

using namespace lumora;

namespace {

// A photo-like 6000 x 4000 JPEG: a gradient with grain, as a camera would give.
bool makePhoto(const QString &path)
{
    return bench::runProgram(bench::imageMagick(),
                             {QStringLiteral("-size"), QStringLiteral("6000x4000"),
                              QStringLiteral("gradient:orange-navy"), QStringLiteral("-attenuate"),
                              QStringLiteral("0.4"), QStringLiteral("+noise"),
                              QStringLiteral("Gaussian"), QStringLiteral("-quality"),
                              QStringLiteral("90"), path});
}

// Save As makes sure the file is on the disk before it replaces the old one; ImageMagick
// does not, so its file is synced here, inside its time.
void syncToDisk(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadWrite))
        ::fsync(file.handle());
}

double saveAsMs(app::MainWindow &frame, testing::ScriptedDialogs &dialogs, const QString &target)
{
    QFile::remove(target);
    dialogs.fileAnswers.enqueue(target);
    return bench::timeMs([&] { frame.mnufilesaveas_Click(); });
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.jpg"));
    const QString cache = dir.filePath(QStringLiteral("photo.mpc"));
    const QString ours = dir.filePath(QStringLiteral("ours.bmp"));
    const QString theirs = dir.filePath(QStringLiteral("theirs.bmp"));
    const QString im = bench::imageMagick();
    std::printf("making a 6000 x 4000 JPEG with %s...\n", qPrintable(im));
    std::fflush(stdout);
    if (!makePhoto(photo) || !bench::runProgram(im, {photo, cache}))
        return 1;

    testing::ScriptedDialogs dialogs;
    app::MainWindow frame(dialogs);
    frame.setEndAction([] {});
    frame.resize(1280, 1000);
    frame.show();
    image::openPictureWindow(frame, photo);

    saveAsMs(frame, dialogs, ours); // warms the code and the file system
    if (!dialogs.messages.isEmpty() || !QFileInfo::exists(ours)) {
        std::fprintf(stderr, "Save As failed: %s\n",
                     dialogs.messages.isEmpty() ? "no file" : qPrintable(dialogs.messages[0].text));
        return 1;
    }
    const qint64 bytes = QFileInfo(ours).size();
    const std::vector<char> source(size_t(bytes), 1);
    const QStringList imArguments = {cache, QStringLiteral("-type"), QStringLiteral("truecolor"),
                                     QStringLiteral("BMP3:") + theirs};
    std::vector<double> saves, copies, magick;
    for (int run = 0; run < runs; ++run) {
        saves.push_back(saveAsMs(frame, dialogs, ours));
        copies.push_back(bench::freshCopyMs(size_t(bytes), source.data()));
        QFile::remove(theirs);
        magick.push_back(bench::timeMs([&] {
            bench::runProgram(im, imArguments);
            syncToDisk(theirs);
        }));
    }
    const double save = bench::median(saves), copy = bench::median(copies),
                 other = bench::median(magick);
    std::printf("medians of %d runs: Save As %.1f ms, memcpy of %.1f MB %.1f ms, ImageMagick "
                "%.1f ms (its file %.1f MB)\n",
                runs, save, double(bytes) / 1e6, copy, other,
                double(QFileInfo(theirs).size()) / 1e6);

    bench::Report report;
    report.add({QStringLiteral("Save As BMP, 24 MP"), save, QStringLiteral("ms"),
                QStringLiteral("memcpy of the bytes"), copy, bench::Target::none()});
    report.add({QStringLiteral("Save As BMP, 24 MP"), save, QStringLiteral("ms"),
                QStringLiteral("ImageMagick + fsync"), other, bench::Target::none()});
    return report.finish();
}
