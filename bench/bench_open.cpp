// File Open without the dialog, timed against the reference decoders in the same run:
// LoadPicture of a 24-megapixel JPEG, a 6000 x 4000 24-bit BMP and a 2000 x 1500 GIF, painted
// at (0, 0) into a light grey (w + 2) x (h + 2) drawing as the image window does; `djpeg` to
// PPM on /dev/null for the JPEG, ImageMagick for the GIF and the BMP; and the JPEG again with
// an Adobe RGB profile, converted to sRGB. The pictures are made
// with ImageMagick in a temporary folder first. Prints a table of median times, ratios and the
// peak resident memory each open added, against the picture's decoded size.
//
// Usage: bench_open [runs]   (default 7 runs of each; needs convert, djpeg, colord-data)
#include "platform/loadpicture.h"
#include "platform/rasterdecoder.h"
#include "platform/runtimeerror.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lumora::platform;

namespace {

QString imageMagick()
{
    const QString real = QStandardPaths::findExecutable(QStringLiteral("convert-im6.q16"));
    return real.isEmpty() ? QStringLiteral("convert") : real;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        std::fprintf(stderr, "failed: %s %s\n", qPrintable(program),
                     qPrintable(arguments.join(QLatin1Char(' '))));
        return false;
    }
    return true;
}

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Starts a new peak: the kernel's high-water mark of resident memory goes back to now.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// What File Open does once the path is chosen: load, make the light grey drawing of two
// pixels more each way, paint the picture at (0, 0). The drawing comes from
// allocateZeroedImage (huge pages) as the picture box makes it, or for comparison is a plain
// QImage.
struct Opened {
    Picture picture;
    QImage drawing;
};

QImage newDrawing(QSize size, bool hugePages)
{
    return hugePages ? allocateZeroedImage(size, QImage::Format_RGB32)
                     : QImage(size, QImage::Format_RGB32);
}

void paint(Opened &opened, bool hugePages)
{
    const QImage &raster = opened.picture.raster();
    opened.drawing = newDrawing(raster.size() + QSize(2, 2), hugePages);
    opened.drawing.fill(QColor(0xE0, 0xE0, 0xE0));
    QPainter painter(&opened.drawing);
    opened.picture.draw(painter, QRectF(0, 0, raster.width(), raster.height()));
}

Opened fileOpen(const QString &path, bool hugePages)
{
    Opened opened;
    opened.picture = LoadPicture(path);
    paint(opened, hugePages);
    return opened;
}

struct Row {
    const char *name;
    QString path;
    QString reference; // what the reference is
    QString program;
    QStringList arguments;
};

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    QTemporaryDir dir;
    const QString im = imageMagick();
    const QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    const QString bmp = dir.filePath(QStringLiteral("photo.bmp"));
    const QString gif = dir.filePath(QStringLiteral("photo.gif"));
    const QString adobe = dir.filePath(QStringLiteral("photo-adobe.jpg"));
    const QString profile = QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    std::printf("Making the pictures with %s...\n", qPrintable(im));
    // A photo-like picture: smooth fractal shapes with film-grain noise, 4:2:0 at quality 90.
    if (!run(im, {"-seed",
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
        !run(im, {jpeg, "-type", "truecolor", "BMP3:" + bmp}) ||
        !run(im, {jpeg, "-resize", "2000x1500!", "-colors", "256", gif}) ||
        !run(im, {jpeg, "-profile", profile, "-sampling-factor", "2x2", "-quality", "90", adobe}))
        return 1;

    const QString devNull = QStringLiteral("/dev/null");
    const Row rows[] = {
        {"JPEG 6000x4000", jpeg, "djpeg", "djpeg", {"-ppm", "-outfile", devNull, jpeg}},
        {"BMP 6000x4000 24-bit", bmp, "ImageMagick", im, {bmp, "ppm:" + devNull}},
        {"GIF 2000x1500", gif, "ImageMagick", im, {gif, "ppm:" + devNull}},
        // djpeg leaves the colours as they are: the difference is the conversion to sRGB.
        {"JPEG 6000x4000 AdobeRGB", adobe, "djpeg", "djpeg", {"-ppm", "-outfile", devNull, adobe}},
    };
    std::printf("\nmedian of %d runs, times in ms; File Open = LoadPicture + drawing + paint\n"
                "%-22s %8s %8s %8s %8s  %-11s %6s  %8s %6s   %s\n",
                runs, "picture", "load", "open", "open*", "ref", "reference", "ratio", "ratio*",
                "peak", "peak added / decoded size");
    for (const Row &row : rows) {
        try {
            fileOpen(row.path, false); // warms the page cache and the code
            const double load = medianMs(runs, [&] { LoadPicture(row.path); });
            const double open = medianMs(runs, [&] { fileOpen(row.path, true); });
            const double openPlain = medianMs(runs, [&] { fileOpen(row.path, false); });
            const double reference = medianMs(runs, [&] { run(row.program, row.arguments); });
            resetPeak();
            const qint64 before = statusKiB("VmRSS:");
            Opened opened = fileOpen(row.path, true);
            const qint64 peak = (statusKiB("VmHWM:") - before) * 1024;
            const double decoded = double(opened.picture.raster().sizeInBytes());
            std::printf("%-22s %8.1f %8.1f %8.1f %8.1f  %-11s %5.2fx  %7.2fx   %.1f MB / %.1f MB "
                        "= %.2fx\n",
                        row.name, load, open, openPlain, reference, qPrintable(row.reference),
                        open / reference, openPlain / reference, double(peak) / 1e6, decoded / 1e6,
                        double(peak) / decoded);
        } catch (const RuntimeError &e) {
            std::printf("%-22s failed: %s\n", row.name, qPrintable(e.text()));
            return 1;
        }
    }
    std::printf("open*: the same with the drawing a plain QImage instead of allocateZeroedImage's "
                "huge pages\n");

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
    return 0;
}
