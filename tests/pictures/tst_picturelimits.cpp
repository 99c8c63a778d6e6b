// Decompression bombs, small files that declare big pictures, and big pictures.
//
// Memory is measured, not timed: each case runs in a child process whose address space may
// grow only by a stated headroom (RLIMIT_AS). A reader that allocated the declared picture
// before refusing it would fail with "Out of memory" (error 7) there instead of refusing the
// file as invalid (error 481); one that allocated more than one bitmap of the declared size
// would not fit. The child also reports how much resident memory the decode added.
#include "picture/imagememory.h"
#include "picture/loadpicture.h"
#include "picture/memorybudget.h"

#include "base/runtimeerror.h"
#include "tests/pictures/picturecompare.h"
#include "tests/support/imagemagick.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define LUMORA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LUMORA_ASAN 1
#endif
#endif

using namespace lumora;
using namespace lumora;
using namespace lumora::picture;

namespace {

constexpr qint64 kMiB = qint64(1) << 20;

QString corpus(const QString &relative)
{
    return QStringLiteral(LUMORA_PICTURE_CORPUS "/") + relative;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
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

// What a decode in the child came to.
struct Report {
    QString outcome; // "decoded", "refused", "crashed"
    int error = 0;
    QSize size;
    qint64 residentGrowth = 0; // bytes
    qint64 peakGrowth = 0;     // bytes, of the peak resident size over the decode
    QImage sample;             // a few pixels, for the parent to check
};

// Runs `load` in a child process allowed `headroom` more bytes of address space.
Report runLimited(qint64 headroom, const std::function<Picture()> &load,
                  const QList<QPoint> &samplePoints = {})
{
    int channel[2];
    if (pipe(channel) != 0)
        qFatal("pipe");
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        // The memory budget is sized before the limit, from the machine: these cases measure
        // what the readers themselves allocate, not the budget's share of a tight limit.
        MemoryBudget::process();
        const rlim_t limit = rlim_t(statusKiB("VmSize:") * 1024 + headroom);
        const rlimit bound{limit, limit};
        setrlimit(RLIMIT_AS, &bound);
        const qint64 before = statusKiB("VmRSS:");
        QByteArray message;
        try {
            const QImage image = load().raster();
            const qint64 growth = (statusKiB("VmRSS:") - before) * 1024;
            message = "decoded " + QByteArray::number(image.width()) + ' ' +
                      QByteArray::number(image.height()) + ' ' + QByteArray::number(growth);
            for (const QPoint &p : samplePoints)
                message += ' ' + QByteArray::number(image.pixel(p));
        } catch (const RuntimeError &e) {
            message = "refused " + QByteArray::number(e.number());
        } catch (...) {
            message = "refused -1";
        }
        message += ' ' + QByteArray::number((statusKiB("VmHWM:") - before) * 1024);
        const ssize_t written = write(channel[1], message.constData(), size_t(message.size()));
        _exit(written == message.size() ? 0 : 1);
    }
    close(channel[1]);
    QByteArray message;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        message.append(buffer, n);
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    Report report;
    const QList<QByteArray> words = message.split(' ');
    if (!WIFEXITED(status) || words.size() < 2) {
        report.outcome = QStringLiteral("crashed");
    } else if (words[0] == "refused") {
        report.outcome = QStringLiteral("refused");
        report.error = words[1].toInt();
        report.peakGrowth = words[2].toLongLong();
    } else {
        report.outcome = QStringLiteral("decoded");
        report.size = QSize(words[1].toInt(), words[2].toInt());
        report.residentGrowth = words[3].toLongLong();
        report.sample = QImage(int(samplePoints.size()), 1, QImage::Format_ARGB32);
        for (int i = 0; i < samplePoints.size(); ++i)
            report.sample.setPixel(i, 0, QRgb(words[4 + i].toUInt()));
    }
    return report;
}

Report decodeLimited(const QByteArray &bytes, qint64 headroom)
{
    return runLimited(headroom, [&] { return decodePicture(bytes); });
}

void patchBigEndian16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToBigEndian(value, bytes.data() + at);
}

void patchLittleEndian32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray jpegWithFrame(int width, int height, const char *file = "j-baseline-420.jpg",
                         char frameMarker = char(0xC0))
{
    QByteArray jpeg = readFile(corpus(QString::fromLatin1(file)));
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF") + frameMarker);
    patchBigEndian16(jpeg, sof + 5, quint16(height));
    patchBigEndian16(jpeg, sof + 7, quint16(width));
    return jpeg;
}

QByteArray progressiveWithScans(int scans)
{
    const QByteArray progressive = readFile(corpus(QStringLiteral("j-progressive.jpg")));
    const qsizetype lastScan = progressive.lastIndexOf("\xFF\xDA");
    const qsizetype eoi = progressive.lastIndexOf("\xFF\xD9");
    QByteArray bomb = progressive.left(eoi);
    const QByteArray scan = progressive.mid(lastScan, eoi - lastScan);
    for (int i = int(progressive.count("\xFF\xDA")); i < scans; ++i)
        bomb += scan;
    return bomb + "\xFF\xD9";
}

// A minimal RLE8 BMP: a two-colour table, one run of `run` pixels, then the end of the
// picture; everything else is left undefined.
QByteArray rleBmp(int width, int height, int run)
{
    QByteArray bmp(14 + 40 + 8, '\0');
    bmp[0] = 'B';
    bmp[1] = 'M';
    patchLittleEndian32(bmp, 10, 14 + 40 + 8);
    patchLittleEndian32(bmp, 14, 40);
    patchLittleEndian32(bmp, 18, quint32(width));
    patchLittleEndian32(bmp, 22, quint32(height));
    bmp[26] = 1;                     // planes
    bmp[28] = 8;                     // bits per pixel
    patchLittleEndian32(bmp, 30, 1); // RLE8
    patchLittleEndian32(bmp, 46, 2); // colours
    patchLittleEndian32(bmp, 58, 0x00FF0000u);
    bmp += char(run);
    bmp += char(1);
    bmp += QByteArray("\x00\x01", 2);
    return bmp;
}

QByteArray gifWithScreen(int width, int height)
{
    QByteArray gif = readFile(corpus(QStringLiteral("g-basic.gif")));
    qToLittleEndian(quint16(width), gif.data() + 6);
    qToLittleEndian(quint16(height), gif.data() + 8);
    return gif;
}

// The first frame's descriptor: after the screen, its colour table and any extensions.
qsizetype gifFrameAt(const QByteArray &gif)
{
    qsizetype at = 13 + ((gif[10] & 0x80) ? 3 * (2 << (gif[10] & 7)) : 0);
    while (gif[at] == 0x21) {
        for (at += 2; gif[at] != 0; at += 1 + uchar(gif[at])) {
        }
        ++at;
    }
    return at;
}

// The screen and the first frame both `width` x `height`, the frame's data as it was.
QByteArray gifWithFrame(int width, int height, QByteArray gif = {})
{
    if (gif.isEmpty())
        gif = readFile(corpus(QStringLiteral("g-basic.gif")));
    const qsizetype frame = gifFrameAt(gif);
    for (const qsizetype at : {qsizetype(6), frame + 5}) {
        qToLittleEndian(quint16(width), gif.data() + at);
        qToLittleEndian(quint16(height), gif.data() + at + 2);
    }
    return gif;
}

QByteArray bmpWithSize(int width, int height)
{
    QByteArray bmp = readFile(corpus(QStringLiteral("b-24bit.bmp")));
    patchLittleEndian32(bmp, 18, quint32(width));
    patchLittleEndian32(bmp, 22, quint32(height));
    return bmp;
}

// Writes a w x h gradient as PPM into cjpeg and returns the JPEG: red across, green down.
QByteArray encodeGradient(int width, int height)
{
    QProcess cjpeg;
    cjpeg.start(QStringLiteral("cjpeg"), {QStringLiteral("-quality"), QStringLiteral("90")});
    if (!cjpeg.waitForStarted())
        return {};
    cjpeg.write(QByteArray("P6\n") + QByteArray::number(width) + ' ' + QByteArray::number(height) +
                "\n255\n");
    QByteArray row(3 * qsizetype(width), '\0');
    QByteArray jpeg;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            row[3 * x] = char(x * 255 / (width - 1));
            row[3 * x + 1] = char(y * 255 / (height - 1));
            row[3 * x + 2] = char(128);
        }
        cjpeg.write(row);
        while (cjpeg.bytesToWrite() > (qint64(8) << 20))
            cjpeg.waitForBytesWritten(-1);
        jpeg += cjpeg.readAllStandardOutput();
    }
    cjpeg.closeWriteChannel();
    cjpeg.waitForFinished(-1);
    return jpeg + cjpeg.readAllStandardOutput();
}

// The bytes of `image`'s pixels that are in memory (pages of a mapping never touched are not).
qint64 residentPixelBytes(const QImage &image)
{
    const long page = sysconf(_SC_PAGESIZE);
    const auto start = reinterpret_cast<quintptr>(image.constBits()) / page * page;
    const auto end = reinterpret_cast<quintptr>(image.constBits()) + image.sizeInBytes();
    std::vector<unsigned char> pages((end - start + page - 1) / page);
    if (mincore(reinterpret_cast<void *>(start), end - start, pages.data()) != 0)
        return -1;
    return page * std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; });
}

QRgb gradientAt(QPoint p, QSize size)
{
    return qRgb(p.x() * 255 / (size.width() - 1), p.y() * 255 / (size.height() - 1), 128);
}

} // namespace

class TestPictureLimits final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void bombs_data();
    void bombs();
    void smallFilesDeclaringBigPictures_data();
    void smallFilesDeclaringBigPictures();
    void bigPictures_data();
    void bigPictures();
    void dataEndingEarlyCommitsLittle_data();
    void dataEndingEarlyCommitsLittle();
    void pageHelperFollowsTheRows();
    void fileSizes_data();
    void fileSizes();
};

void TestPictureLimits::initTestCase()
{
#ifdef LUMORA_ASAN
    QSKIP("the address sanitizer reserves address space beyond any limit set here");
#endif
}

void TestPictureLimits::bombs_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("JPEG of 65000 x 65000") << jpegWithFrame(65000, 65000);
    QTest::newRow("JPEG of 65500 x 65500, the format's most") << jpegWithFrame(65500, 65500);
    QTest::newRow("sequential arithmetic JPEG of 20000 x 20000")
        << jpegWithFrame(20000, 20000, "j-arithmetic.jpg", 0xC9);
    QTest::newRow("GIF of 65535 x 65535 with a frame as big") << gifWithFrame(65535, 65535);
    QTest::newRow("JPEG of 16000 x 16000 in 5 KB (under the pixel limit)")
        << jpegWithFrame(16000, 16000);
    const QByteArray jpeg = readFile(corpus(QStringLiteral("j-baseline-420.jpg")));
    QTest::newRow("JPEG header alone") << jpeg.left(jpeg.indexOf("\xFF\xDA"));
    QTest::newRow("JPEG header and the first scan's header")
        << jpeg.left(jpeg.indexOf("\xFF\xDA") + 14);
    QTest::newRow("progressive JPEG of 5000 scans") << progressiveWithScans(5000);
    QTest::newRow("GIF screen of 65535 x 65535") << gifWithScreen(65535, 65535);
    QTest::newRow("GIF screen of 20000 x 20000") << gifWithScreen(20000, 20000);
    QTest::newRow("BMP of 100000 x 100000") << bmpWithSize(100000, 100000);
    QTest::newRow("BMP of 2^31 - 1 square") << bmpWithSize(0x7FFFFFFF, 0x7FFFFFFF);
    QTest::newRow("RLE BMP of 30000 x 30000") << rleBmp(30000, 30000, 10);
    QTest::newRow("RLE BMP of 2^31 - 1 square") << rleBmp(0x7FFFFFFF, 0x7FFFFFFF, 10);
    // Found by the fuzzer: 378 bytes declaring 144 megapixels, progressive and arithmetic-coded,
    // which would have kept a coefficient buffer of 400 MB besides the picture.
    QTest::newRow("progressive arithmetic JPEG of 10593 x 13629 in 378 bytes")
        << readFile(QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/fuzz-regressions/"
                                                     "jpeg-tiny-progressive-arithmetic-144mp.jpg"));
    QTest::newRow("bmpsuite reallybig.bmp")
        << readFile(QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/bmpsuite/b/reallybig.bmp"));
}

// Refused as invalid, with no more than 50 MB to spare: nothing of the declared size was
// allocated first.
void TestPictureLimits::bombs()
{
    QFETCH(QByteArray, bytes);
    const Report report = decodeLimited(bytes, 50 * kMiB);
    QCOMPARE(report.outcome, QStringLiteral("refused"));
    QCOMPARE(report.error, errors::InvalidPicture);
}

void TestPictureLimits::smallFilesDeclaringBigPictures_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSize>("size");
    QTest::newRow("35-byte GIF, 1 x 1 frame on a 5000 x 5000 screen")
        << readFile(corpus(QStringLiteral("big/g-screen-5000.gif"))) << QSize(5000, 5000);
    QTest::newRow("66-byte RLE BMP of 5700 x 5700") << rleBmp(5700, 5700, 200) << QSize(5700, 5700);
}

// Such files cost at most one bitmap of the declared size in address space, and the pages
// they never write are not even touched.
void TestPictureLimits::smallFilesDeclaringBigPictures()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSize, size);
    QVERIFY(bytes.size() < 100);
    const qint64 bitmap = 4 * qint64(size.width()) * size.height();
    const Report report = decodeLimited(bytes, bitmap + 50 * kMiB);
    QCOMPARE(report.outcome, QStringLiteral("decoded"));
    QCOMPARE(report.size, size);
    QVERIFY2(report.residentGrowth < 16 * kMiB,
             qPrintable(QStringLiteral("%1 MiB resident").arg(report.residentGrowth / kMiB)));
}

void TestPictureLimits::bigPictures_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("orientation");
    QTest::newRow("24 megapixels, taken on its side") << QSize(6000, 4000) << 6;
    QTest::newRow("100 megapixels") << QSize(10000, 10000) << 1;
}

// Big photos open, upright, within their decoded size and the file plus a little working
// space: no second bitmap, no copy to turn them.
void TestPictureLimits::bigPictures()
{
    QFETCH(QSize, size);
    QFETCH(int, orientation);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("big.jpg"));
    const QByteArray jpeg = encodeGradient(size.width(), size.height());
    QVERIFY2(!jpeg.isEmpty(), "cjpeg did not run");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(jpeg);
    }
    if (orientation != 1) {
        QCOMPARE(QProcess::execute(QStringLiteral("exiftool"),
                                   {QStringLiteral("-q"), QStringLiteral("-overwrite_original"),
                                    QStringLiteral("-Orientation#=%1").arg(orientation), path}),
                 0);
    }
    const QSize shown = orientation == 6 ? size.transposed() : size;
    // Source corners and the centre, and where orientation 6 puts them.
    const QList<QPoint> source = {{0, 0},
                                  {size.width() - 1, 0},
                                  {0, size.height() - 1},
                                  {size.width() / 2, size.height() / 2}};
    QList<QPoint> where;
    for (const QPoint &p : source)
        where << (orientation == 6 ? QPoint(size.height() - 1 - p.y(), p.x()) : p);
    const qint64 bitmap = 4 * qint64(size.width()) * size.height();
    const Report report = runLimited(
        bitmap + jpeg.size() + 64 * kMiB, [&] { return LoadPicture(path); }, where);
    QCOMPARE(report.outcome, QStringLiteral("decoded"));
    QCOMPARE(report.size, shown);
    for (int i = 0; i < source.size(); ++i) {
        QVERIFY2(testing::coloursNear(report.sample.pixel(i, 0), gradientAt(source[i], size), 6),
                 qPrintable(QStringLiteral("pixel %1").arg(i)));
    }
}

void TestPictureLimits::dataEndingEarlyCommitsLittle_data()
{
    QTest::addColumn<QString>("made");  // what ImageMagick makes: 200 rows of noise
    QTest::addColumn<QByteArray>("as"); // patched to declare 12000 x 12000
    QTest::newRow("JPEG") << QStringLiteral("noise.jpg") << QByteArray("jpeg");
    QTest::newRow("GIF") << QStringLiteral("noise.gif") << QByteArray("gif");
}

// A file whose data passes every check made before the picture is allocated, but ends after
// 200 of the 12,000 rows it declares: refused, with its 576 MB picture allocated but barely
// touched (the rows decoded and the page helper's few megabytes ahead of them).
void TestPictureLimits::dataEndingEarlyCommitsLittle()
{
    QFETCH(QString, made);
    QFETCH(QByteArray, as);
    QTemporaryDir dir;
    const QString path = dir.filePath(made);
    QVERIFY(testing::makePicture(path, 12000, 200, QStringLiteral("gray"),
                                 {QStringLiteral("-seed"), QStringLiteral("7"),
                                  QStringLiteral("+noise"), QStringLiteral("Random"),
                                  QStringLiteral("-quality"), QStringLiteral("95")}));
    QByteArray bytes = readFile(path);
    if (as == "gif") {
        bytes = gifWithFrame(12000, 12000, bytes);
    } else {
        const qsizetype sof = bytes.indexOf("\xFF\xC0");
        patchBigEndian16(bytes, sof + 5, 12000);
    }
    const qint64 bitmap = 4 * qint64(12000) * 12000;
    const Report report = decodeLimited(bytes, bitmap + 64 * kMiB);
    QCOMPARE(report.outcome, QStringLiteral("refused"));
    QCOMPARE(report.error, errors::InvalidPicture);
    QVERIFY(report.peakGrowth > 4 * kMiB); // the rows before the end were decoded
    QVERIFY2(report.peakGrowth < 50 * kMiB,
             qPrintable(QStringLiteral("%1 MiB resident").arg(report.peakGrowth / kMiB)));
}

// A decoder's image is made ready only a few megabytes past the rows it reported, so a file
// whose data ends early commits no more than it holds; each report lets the helper go on.
void TestPictureLimits::pageHelperFollowsTheRows()
{
    const QSize size(8192, 8192); // 256 MiB, 32 KiB a row
    const QImage image = allocateZeroedImage(size, QImage::Format_RGB32, Filling::Rows);
    const auto readyBeyond = [&](int rows) {
        return residentPixelBytes(image) - qint64(rows) * image.bytesPerLine();
    };
    QTRY_VERIFY(readyBeyond(0) >= 16 * kMiB);
    QVERIFY(readyBeyond(0) <= 40 * kMiB);
    noteRowsFilled(image, 4096);
    QTRY_VERIFY(readyBeyond(4096) >= 16 * kMiB);
    QVERIFY(readyBeyond(4096) <= 40 * kMiB);
    noteRowsFilled(image, 1000); // going back says nothing new
    noteRowsFilled(image, size.height());
    QTRY_COMPARE(residentPixelBytes(image), image.sizeInBytes());

    const QImage painted = allocateZeroedImage(size, QImage::Format_RGB32);
    QTRY_COMPARE(residentPixelBytes(painted), painted.sizeInBytes());
    const QImage sparse = allocateZeroedImage(size, QImage::Format_RGB32, Filling::Sparse);
    QCOMPARE(residentPixelBytes(sparse), 0);
}

void TestPictureLimits::fileSizes_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<qint64>("bytes"); // a sparse file of this size from the header on
    QTest::addColumn<int>("error");    // 0: it opens
    const QString sparse = QStringLiteral("sparse.bmp");
    QTest::newRow("a device") << QStringLiteral("/dev/zero") << qint64(0) << errors::PathNotFound;
    QTest::newRow("past a BMP's own limit")
        << sparse << (qint64(1) << 32) + 1 << errors::InvalidPicture;
    // 14 + 40 header bytes and 15,000 rows of 24,000 pixels: 1.08 GB.
    QTest::newRow("BMP of over a gigabyte") << sparse << 54 + qint64(15000) * 24000 * 3 << 0;
}

// A file is refused for its size only past what a BMP can hold; a device is never read.
void TestPictureLimits::fileSizes()
{
    QFETCH(QString, path);
    QFETCH(qint64, bytes);
    QFETCH(int, error);
    QTemporaryDir dir;
    if (bytes > 0) {
        path = dir.filePath(path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bmpWithSize(24000, 15000).left(54));
        QVERIFY(file.resize(bytes));
    }
    try {
        const Picture picture = LoadPicture(path);
        QCOMPARE(error, 0);
        QCOMPARE(picture.raster().size(), QSize(24000, 15000));
        QCOMPARE(picture.raster().pixel(23999, 0), qRgb(0, 0, 0));
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), error);
    }
}

QTEST_GUILESS_MAIN(TestPictureLimits)
#include "tst_picturelimits.moc"
