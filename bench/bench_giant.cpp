// Pictures as big as the machine holds, and files that only declare them.
//
// File Open of a 512-megapixel JPEG (17078 x 30000, made by cjpeg from a gradient this
// program writes) against djpeg, with the peak resident memory it added against its decoded
// size; Save As of that picture as a 1.5 GB BMP against djpeg's decoding it to BMP, both
// synced to the disk. Then files of a few hundred bytes that declare the most their format allows
// (a JPEG of 65,500 x 65,500, a GIF whose screen and frame are 65,535 x 65,535, a BMP of 2^31 - 1
// square): how long the refusal takes and the peak memory it added. Last, the bottom right
// corner of a 65,000 x 9,000 picture (2.3 GB, pixels past 2^31 bytes) drawn at its place:
// the pixels must be the picture's.
//
// Usage: bench_giant [runs]   (default 3; needs cjpeg, djpeg, convert, about 5 GB of memory
// and 2 GB of disk)
#include "base/runtimeerror.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "picture/imagememory.h"
#include "picture/loadpicture.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <cstdio>

using namespace lumora;
using namespace lumora::picture;
using lumora::bench::Report;
using lumora::bench::Target;

namespace {

constexpr QSize kGiant(17078, 30000);

// A gradient written as PPM into cjpeg: red across, green down.
bool makeGradientJpeg(const QString &path)
{
    QProcess cjpeg;
    cjpeg.setStandardOutputFile(path);
    cjpeg.start(QStringLiteral("cjpeg"), {QStringLiteral("-quality"), QStringLiteral("90")});
    if (!cjpeg.waitForStarted())
        return false;
    cjpeg.write(
        QStringLiteral("P6\n%1 %2\n255\n").arg(kGiant.width()).arg(kGiant.height()).toLatin1());
    QByteArray row(3 * qsizetype(kGiant.width()), '\0');
    for (int y = 0; y < kGiant.height(); ++y) {
        for (int x = 0; x < kGiant.width(); ++x) {
            row[3 * x] = char(x * 255 / (kGiant.width() - 1));
            row[3 * x + 1] = char(y * 255 / (kGiant.height() - 1));
            row[3 * x + 2] = char(128);
        }
        cjpeg.write(row);
        while (cjpeg.bytesToWrite() > (qint64(8) << 20))
            cjpeg.waitForBytesWritten(-1);
    }
    cjpeg.closeWriteChannel();
    return cjpeg.waitForFinished(-1) && cjpeg.exitCode() == 0;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Small files that declare the biggest pictures their formats allow.
struct Declared {
    const char *name;
    QByteArray bytes;
};

QByteArray declaredJpeg(const QByteArray &small)
{
    QByteArray jpeg = small;
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    qToBigEndian(quint16(65500), jpeg.data() + sof + 5);
    qToBigEndian(quint16(65500), jpeg.data() + sof + 7);
    return jpeg;
}

QByteArray declaredGif()
{
    // A 1 x 1 GIF: the screen and frame then declare 65,535 x 65,535.
    QByteArray gif = QByteArray::fromHex("474946383961010001008000000000ffffff2c00000000010001"
                                         "000002024401003b");
    for (const qsizetype at : {6, 19 + 5}) {
        qToLittleEndian(quint16(65535), gif.data() + at);
        qToLittleEndian(quint16(65535), gif.data() + at + 2);
    }
    return gif;
}

QByteArray declaredBmp()
{
    QByteArray bmp(14 + 40 + 12, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    auto *p = reinterpret_cast<uchar *>(bmp.data());
    qToLittleEndian<quint32>(54, p + 10);
    qToLittleEndian<quint32>(40, p + 14);
    qToLittleEndian<qint32>(0x7FFFFFFF, p + 18);
    qToLittleEndian<qint32>(0x7FFFFFFF, p + 22);
    qToLittleEndian<quint16>(1, p + 26);
    qToLittleEndian<quint16>(24, p + 28);
    return bmp;
}

void giantOpenAndSave(int runs, const QTemporaryDir &dir, Report &report)
{
    const QString jpeg = dir.filePath(QStringLiteral("giant.jpg"));
    const QString bmp = dir.filePath(QStringLiteral("giant.bmp"));
    std::printf("Making a %d x %d JPEG with cjpeg...\n", kGiant.width(), kGiant.height());
    if (!makeGradientJpeg(jpeg)) {
        std::printf("cjpeg failed\n");
        return;
    }
    LoadOptions options;
    options.strip = {2, qRgb(0xE0, 0xE0, 0xE0)};
    const double open = bench::medianMs(runs, [&] { LoadPicture(jpeg, options); });
    const double djpeg = bench::medianMs(runs, [&] {
        bench::runProgram(QStringLiteral("djpeg"),
                          {"-ppm", "-outfile", QStringLiteral("/dev/null"), jpeg});
    });
    bench::resetPeakRss();
    const qint64 before = bench::residentKiB();
    const Picture picture = LoadPicture(jpeg, options);
    const double peak = double(bench::peakRssKiB() - before) * 1024;
    const double decoded = double(imageBytes(picture.canvas().size(), QImage::Format_RGB32));
    report.add({QStringLiteral("File Open, JPEG 17078x30000 (512 MP)"), open, "ms", "djpeg", djpeg,
                Target::none()});
    report.add({QStringLiteral("File Open peak memory, 512 MP JPEG"), peak / 1e6, "MB",
                "decoded size", decoded / 1e6, Target::ratioAtMost(1.10)});

    bench::resetPeakRss();
    const qint64 beforeSave = bench::residentKiB();
    const double save = bench::timeMs([&] { SavePicture(picture.canvas(), bmp); });
    const double saveAdded = double(bench::peakRssKiB() - beforeSave) * 1024;
    const double bmpBytes = double(QFile(bmp).size());
    // ImageMagick's pixel cache refuses pictures this big: djpeg writes the BMP instead.
    const double reference = bench::timeMs([&] {
        bench::runProgram(QStringLiteral("djpeg"), {"-bmp", "-outfile", bmp, jpeg});
        bench::runProgram(QStringLiteral("sync"), {bmp});
    });
    QFile::remove(bmp);
    report.add({QStringLiteral("Save As BMP, 512 MP (%1 GB)").arg(bmpBytes / 1e9, 0, 'f', 2), save,
                "ms", "djpeg -bmp + sync", reference, Target::none()});
    report.add({QStringLiteral("Save As BMP peak memory added, 512 MP"), saveAdded / 1e6, "MB",
                "decoded size", decoded / 1e6, Target::ratioAtMost(0.05)});
}

void declaredGiants(int runs, const QByteArray &smallJpeg, Report &report)
{
    const Declared files[] = {{"JPEG 65500 x 65500", declaredJpeg(smallJpeg)},
                              {"GIF 65535 x 65535", declaredGif()},
                              {"BMP 2^31-1 square", declaredBmp()}};
    for (const Declared &file : files) {
        bool refused = false;
        bench::resetPeakRss();
        const qint64 before = bench::residentKiB();
        const double ms = bench::medianMs(runs, [&] {
            try {
                decodePicture(file.bytes);
            } catch (const RuntimeError &) {
                refused = true;
            }
        });
        const double added = double(bench::peakRssKiB() - before) * 1024;
        if (!refused)
            std::printf("%s was not refused\n", file.name);
        report.add({QStringLiteral("Refusing a declared %1 (%2 bytes)")
                        .arg(QLatin1String(file.name))
                        .arg(file.bytes.size()),
                    refused ? ms : 1e9, "ms", "-", 0, Target::valueAtMost(100)});
        report.add({QStringLiteral("Refusal peak memory added, %1").arg(QLatin1String(file.name)),
                    added / 1e6, "MB", "-", 0, Target::valueAtMost(50)});
    }
}

// The corner of a picture whose last rows lie past 2^31 bytes, drawn where it belongs in a
// small drawing, as a picture box paints the part of its drawing a window shows.
void cornerPastTwoGigabytes(Report &report)
{
    const QSize size(65000, 9000);
    QImage image = allocateZeroedImage(size, QImage::Format_RGB32);
    for (int y = size.height() - 100; y < size.height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = size.width() - 200; x < size.width(); ++x)
            row[x] = qRgb(x & 255, y & 255, (x ^ y) & 255);
    }
    QImage shown(200, 100, QImage::Format_RGB32);
    const QRect source(size.width() - 200, size.height() - 100, 200, 100);
    const double ms = bench::timeMs([&] {
        QPainter painter(&shown);
        painter.drawImage(QPoint(0, 0), image, source);
    });
    int wrong = 0;
    for (int y = 0; y < 100; ++y) {
        for (int x = 0; x < 200; ++x)
            wrong += shown.pixel(x, y) != image.pixel(source.x() + x, source.y() + y);
    }
    report.add(
        {QStringLiteral("Wrong pixels drawn from past 2^31 bytes (in %1 ms)").arg(ms, 0, 'f', 2),
         double(wrong), "px", "-", 0, Target::valueAtMost(0)});
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    QTemporaryDir dir;
    Report report;
    const QString small = dir.filePath(QStringLiteral("small.jpg"));
    if (!bench::runProgram(bench::imageMagick(), {"-size", "64x64", "plasma:", small}))
        return 1;
    declaredGiants(std::max(runs, 5), readFile(small), report);
    cornerPastTwoGigabytes(report);
    giantOpenAndSave(runs, dir, report);
    return report.finish();
}
