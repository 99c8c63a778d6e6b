// Zoom on a 12-megapixel picture, end to end (clear, resize, paint into the kept drawing,
// move the window), against two references measured in the same run:
//  - Zoom In against the floor of any zoom: fresh memory of the output's size, filled by
//    copying as many bytes into it (target: within 2 x);
//  - Zoom Out against decoding the picture (target: under 0.5 x).
#include "app/mainwindow.h"
#include "bench/benchreport.h"
#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "picture/loadpicture.h"
#include "runtime/dialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lumora;
using bench::median;
using bench::timeMs;

namespace {

constexpr int kRuns = 7;

// A photo-like 4000 x 3000 JPEG: smooth gradients with grain, so it decodes at a real speed.
QString makePicture(const QTemporaryDir &dir)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(42);
    for (int y = 0; y < image.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(random.bounded(24));
            row[x] = qRgb((x / 16 + grain) & 255, (y / 12 + grain) & 255, ((x + y) / 28) & 255);
        }
    }
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    QImageWriter writer(path, "jpeg");
    writer.setQuality(90);
    return writer.write(image) ? path : QString();
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = makePicture(dir);
    if (path.isEmpty()) {
        std::fprintf(stderr, "could not write the test picture\n");
        return 1;
    }
    runtime::QtDialogs dialogs;
    app::MainWindow frame(dialogs);
    frame.setEndAction([] {});
    frame.resize(1280, 1000);
    frame.show();
    image::ImageWindow *window = image::openPictureWindow(frame, path);
    const QSize opened = window->picdibujo().innerPixels();
    frame.mnueditzoomin_Click();
    const QSize zoomedIn = window->picdibujo().innerPixels();
    frame.mnueditzoomout_Click();

    const size_t outBytes = size_t(zoomedIn.width()) * zoomedIn.height() * 4;
    std::vector<char> source(outBytes, 1);

    std::vector<double> zoomIn, zoomOut, floor, decode;
    QSize zoomedOut;
    for (int run = 0; run < kRuns; ++run) {
        floor.push_back(bench::freshCopyMs(outBytes, source.data()));
        zoomIn.push_back(timeMs([&] { frame.mnueditzoomin_Click(); }));
        frame.mnueditzoomout_Click(); // back to the opened size
        zoomOut.push_back(timeMs([&] { frame.mnueditzoomout_Click(); }));
        zoomedOut = window->picdibujo().innerPixels();
        frame.mnueditzoomin_Click();
        decode.push_back(timeMs([&] { (void)picture::LoadPicture(path); }));
    }
    const double in = median(zoomIn), out = median(zoomOut), fl = median(floor),
                 dec = median(decode);
    std::printf("picture 4000 x 3000 JPEG, box %d x %d; medians of %d runs\n", opened.width(),
                opened.height(), kRuns);
    std::printf("Zoom In  to %d x %d: %7.1f ms; floor (fresh %zu MB + copy) %7.1f ms: %.2f x "
                "(target under 2)\n",
                zoomedIn.width(), zoomedIn.height(), in, outBytes >> 20, fl, in / fl);
    std::printf("Zoom Out to %d x %d: %7.1f ms; decoding the picture %7.1f ms: %.2f x "
                "(target under 0.5)\n",
                zoomedOut.width(), zoomedOut.height(), out, dec, out / dec);
    bench::Report report;
    report.add({QStringLiteral("Zoom In, 12 MP to 48 MP"), in, QStringLiteral("ms"),
                QStringLiteral("fresh memory + memcpy"), fl, bench::Target::ratioAtMost(2)});
    report.add({QStringLiteral("Zoom Out, 12 MP to 3 MP"), out, QStringLiteral("ms"),
                QStringLiteral("decoding the JPEG"), dec, bench::Target::ratioAtMost(0.5)});
    return report.finish();
}
