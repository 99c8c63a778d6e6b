// File Open without the dialog, timed against the reference decoders in the same run:
// LoadPicture of a 24-megapixel JPEG, a 6000 x 4000 24-bit BMP and a 2000 x 1500 GIF, shown
// at (0, 0) in a light grey (w + 2) x (h + 2) drawing as the image window does (a JPEG is
// decoded straight into it, the others are painted into a new one); `djpeg` to
// PPM on /dev/null for the JPEG, ImageMagick for the GIF and the BMP; and the JPEG again with
// an Adobe RGB profile, converted to sRGB. The pictures are made
// with ImageMagick in a temporary folder first. Prints a table of median times, ratios and the
// peak resident memory each open added, against the picture's decoded size.
//
// Usage: bench_open [runs]   (default 7 runs of each; needs convert, djpeg, colord-data)
#include "base/runtimeerror.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "picture/imagememory.h"
#include "picture/loadpicture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lumora;
using namespace lumora::picture;
using lumora::bench::medianMs;
using lumora::bench::runProgram;

namespace {

// What File Open does once the path is chosen: load into the light grey drawing of two
// pixels more each way when the reader can, else paint the picture at (0, 0) into a new one
// as the picture box does.
struct Opened {
    Picture picture;
    QImage drawing;
};

Opened fileOpen(const QString &path)
{
    Opened opened;
    LoadOptions options;
    options.strip = {2, qRgb(0xE0, 0xE0, 0xE0)};
    opened.picture = LoadPicture(path, options);
    opened.drawing = opened.picture.canvas();
    if (opened.drawing.isNull()) {
        const QImage &raster = opened.picture.raster();
        opened.drawing = allocateZeroedImage(raster.size() + QSize(2, 2), QImage::Format_RGB32);
        opened.drawing.fill(QColor(0xE0, 0xE0, 0xE0));
        QPainter painter(&opened.drawing);
        opened.picture.draw(painter, QRectF(0, 0, raster.width(), raster.height()));
    }
    return opened;
}

struct Sample {
    const char *name;
    QString path;
    QString reference; // what the reference is
    QString program;
    QStringList arguments;
    lumora::bench::Target time;
    double peakRatio; // the peak added against the decoded size
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir dir;
    const QString im = lumora::bench::imageMagick();
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    const QString bmp = dir.filePath(QStringLiteral("photo.bmp"));
    const QString gif = dir.filePath(QStringLiteral("photo.gif"));
    const QString adobe = dir.filePath(QStringLiteral("photo-adobe.jpg"));
    const QString profile = QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    std::printf("Making the pictures with %s...\n", qPrintable(im));
    // A photo-like picture: smooth fractal shapes with film-grain noise, 4:2:0 at quality 90.
    if (!runProgram(im, {"-seed",
                         "7",
                         "-size",
                         "1500x1000",
                         "plasma:fractal",
                         "-resize",
                         "6000x4000!",
                         "(",
                         "-size",
                         "6000x4000",
                         "xc:gray50",
                         "-seed",
                         "3",
                         "-attenuate",
                         "0.5",
                         "+noise",
                         "Gaussian",
                         ")",
                         "-compose",
                         "overlay",
                         "-composite",
                         "-sampling-factor",
                         "2x2",
                         "-quality",
                         "90",
                         jpeg}) ||
        !runProgram(im, {jpeg, "-type", "truecolor", "BMP3:" + bmp}) ||
        !runProgram(im, {jpeg, "-resize", "2000x1500!", "-colors", "256", gif}) ||
        !runProgram(
            im, {jpeg, "-profile", profile, "-sampling-factor", "2x2", "-quality", "90", adobe}))
        return 1;

    const QString devNull = QStringLiteral("/dev/null");
    const lumora::bench::Target none = lumora::bench::Target::none();
    const Sample samples[] = {
        // A JPEG is decoded into the drawing: one copy of the pixels. The others are painted
        // into a drawing of their own next to the picture.
        {"JPEG 6000x4000", jpeg, "djpeg", "djpeg", {"-ppm", "-outfile", devNull, jpeg}, none, 1.1},
        {"BMP 6000x4000 24-bit", bmp, "ImageMagick", im, {bmp, "ppm:" + devNull}, none, 2.2},
        {"GIF 2000x1500", gif, "ImageMagick", im, {gif, "ppm:" + devNull}, none, 2.2},
        // djpeg leaves the colours as they are: the difference is the conversion to sRGB.
        {"JPEG 6000x4000 AdobeRGB",
         adobe,
         "djpeg",
         "djpeg",
         {"-ppm", "-outfile", devNull, adobe},
         lumora::bench::Target::ratioAtMost(1.2),
         1.1},
    };
    std::printf("\nmedian of %d runs, times in ms; File Open = LoadPicture + drawing\n"
                "%-22s %8s %8s %8s  %-11s %6s   %s\n",
                runs, "picture", "load", "open", "ref", "reference", "ratio",
                "peak added / decoded size");
    lumora::bench::Report report;
    for (const Sample &row : samples) {
        try {
            fileOpen(row.path); // warms the page cache and the code
            const double load = medianMs(runs, [&] { LoadPicture(row.path); });
            const double open = medianMs(runs, [&] { fileOpen(row.path); });
            const double reference =
                medianMs(runs, [&] { runProgram(row.program, row.arguments); });
            lumora::bench::resetPeakRss();
            const qint64 before = lumora::bench::residentKiB();
            Opened opened = fileOpen(row.path);
            const qint64 peak = (lumora::bench::peakRssKiB() - before) * 1024;
            const QImage &raster = opened.picture.raster();
            const double decoded = double(raster.width()) * raster.height() * 4;
            std::printf("%-22s %8.1f %8.1f %8.1f  %-11s %5.2fx   %.1f MB / %.1f MB = %.2fx\n",
                        row.name, load, open, reference, qPrintable(row.reference),
                        open / reference, double(peak) / 1e6, decoded / 1e6,
                        double(peak) / decoded);
            report.add({QStringLiteral("File Open, %1").arg(QLatin1String(row.name)), open,
                        QStringLiteral("ms"), row.reference, reference, row.time});
            // The picture and the drawing it shows in (one buffer for a JPEG), little else.
            report.add({QStringLiteral("File Open peak memory, %1").arg(QLatin1String(row.name)),
                        double(peak) / 1e6, QStringLiteral("MB"), QStringLiteral("decoded size"),
                        decoded / 1e6, lumora::bench::Target::ratioAtMost(row.peakRatio)});
        } catch (const RuntimeError &e) {
            std::printf("%-22s failed: %s\n", row.name, qPrintable(e.text()));
            return 1;
        }
    }

    // Bombs: how long a refusal takes, before any pixel is allocated.
    std::printf("\nrefusals (median of %d)\n", runs);
    QFile file(jpeg);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QByteArray bomb = file.readAll();
    const qsizetype sof = bomb.indexOf("\xFF\xC0");
    bomb[sof + 5] = char(0xFD); // height and width 0xFD.., about 65000 each
    bomb[sof + 7] = char(0xFD);
    const double refusal = medianMs(runs, [&] {
        try {
            decodePicture(bomb);
        } catch (const RuntimeError &) {
        }
    });
    std::printf("%-24s %9.3f ms\n", "JPEG of 64768 x 64768", refusal);
    return report.finish();
}
