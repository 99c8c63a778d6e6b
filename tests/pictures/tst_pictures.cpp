// The JPEG, GIF and BMP readers against pictures made by other tools (ImageMagick, cjpeg,
// jpegtran, gifsicle, exiftool: scripts/make-test-pictures.sh, run by the build), each
// compared pixel by pixel with ImageMagick's decode of the same file; and against damaged
// copies of them, which must be refused or shown whole, never shown in part.
#include "base/runtimeerror.h"
#include "picture/loadpicture.h"
#include "picture/picturelimits.h"
#include "tests/pictures/picturecompare.h"
#include "tests/support/gifwriter.h"
#include "tests/support/imagemagick.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <unistd.h>

using namespace lumora;
using namespace lumora;
using namespace lumora::picture;

namespace {

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

struct Outcome {
    QImage image;
    int error = 0; // the run-time error number when refused
};

Outcome decode(const QByteArray &bytes, const LoadOptions &options = {})
{
    Outcome outcome;
    try {
        outcome.image = decodePicture(bytes, options).raster();
    } catch (const RuntimeError &e) {
        outcome.error = e.number();
    }
    return outcome;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The position of the first marker `code` (0xFF code) of a JPEG, walking its segments.
qsizetype jpegMarker(const QByteArray &jpeg, uchar code)
{
    for (qsizetype i = 2; i + 1 < jpeg.size(); ++i) {
        if (uchar(jpeg[i]) == 0xFF && uchar(jpeg[i + 1]) == code)
            return i;
    }
    return -1;
}

// The position of a GIF's first image descriptor, past the colour table and extensions.
qsizetype gifDescriptor(const QByteArray &gif)
{
    qsizetype at = 13;
    if (uchar(gif[10]) & 0x80)
        at += 3 * (2 << (uchar(gif[10]) & 7));
    while (at < gif.size() && gif[at] == char(0x21)) {
        at += 2;
        while (at < gif.size() && gif[at] != 0)
            at += uchar(gif[at]) + 1;
        ++at;
    }
    return at < gif.size() && gif[at] == char(0x2C) ? at : -1;
}

// A noisy picture of 256 colours whose LZW stream fills the code table early.
QByteArray deferredClearGif(int width, int height, int *deferred)
{
    QList<QRgb> colours;
    for (int i = 0; i < 256; ++i)
        colours.append(qRgb(i, 255 - i, (i * 7) & 0xFF));
    std::vector<quint16> pixels(size_t(width) * height);
    QRandomGenerator random(7);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = quint16((i / 3) % 2 ? random.bounded(256) : i % 5); // noise and short runs
    return testing::gifFile({width, height}, colours, pixels,
                            {8, qsizetype(pixels.size() * 3 / 4), deferred});
}

} // namespace

class TestPictures final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void variants_data();
    void variants();
    void outputFormats_data();
    void outputFormats();
    void notOurFormats_data();
    void notOurFormats();
    void truncated_data();
    void truncated();
    void truncatedJpegIsRefused();
    void cancelledReadStops();
    void bitFlips_data();
    void bitFlips();
    void fuzzRegressions_data();
    void fuzzRegressions();
    void headerLies();
    void iccProfileInChunks();
    void scanLimit();
    void sniffsContentNotName();
    void loadPictureErrors();
    void unreadableFile();
    void deferredClearGif();
    void gifCodeSizes_data();
    void gifCodeSizes();
    void bigJpegReadInWindows();
    void centreAlone_data();
    void centreAlone();
    void damageOutsideTheCentre();
};

void TestPictures::initTestCase()
{
    // Damaged colour profiles are reported by Qt on the way to being ignored.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.icc=false"));
}

void TestPictures::variants_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("tolerance");
    // Same library, same integer DCT as ImageMagick's decode: exact.
    for (const char *name :
         {"j-baseline-420.jpg", "j-baseline-444.jpg", "j-baseline-422.jpg", "j-optimized.jpg",
          "j-progressive.jpg", "j-grey.jpg", "j-grey-progressive.jpg", "j-restart-rows.jpg",
          "j-restart-blocks.jpg", "j-arithmetic.jpg", "j-arithmetic-progressive.jpg", "j-rgb.jpg",
          "j-trailing-data.jpg", "j-scans-100.jpg", "j-grey-orient-3.jpg", "j-grey-orient-6.jpg"})
        QTest::newRow(name) << QString::fromLatin1(name) << 0;
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("j-orient-%1.jpg").arg(n);
        QTest::newRow(qPrintable(name)) << name << 0;
    }
    // CMYK to RGB without a profile: rounding differs by a level between the two programs.
    QTest::newRow("j-ycck.jpg") << QStringLiteral("j-ycck.jpg") << 1;
    QTest::newRow("j-ycck-orient-8.jpg") << QStringLiteral("j-ycck-orient-8.jpg") << 1;
    // Profile conversions: both through Little CMS, ImageMagick at 16 bits a channel.
    QTest::newRow("j-cmyk-profile.jpg") << QStringLiteral("j-cmyk-profile.jpg") << 4;
    for (const char *name : {"j-icc-AdobeRGB1998.jpg", "j-icc-WideGamutRGB.jpg",
                             "j-icc-ProPhotoRGB.jpg", "j-icc-sRGB.jpg"})
        QTest::newRow(name) << QString::fromLatin1(name) << 3;
    for (const char *name :
         {"g-basic.gif", "g-two-colours.gif", "g-sixteen-colours.gif", "g-interlaced.gif",
          "g-87a.gif", "g-transparent.gif", "g-transparent-interlaced.gif", "g-offset-frame.gif",
          "g-animated.gif", "g-noisy.gif"})
        QTest::newRow(name) << QString::fromLatin1(name) << 0;
    for (const char *name :
         {"b-1bit.bmp", "b-4bit.bmp", "b-8bit.bmp", "b-rle8.bmp", "b-rle8-few-colours.bmp",
          "b-24bit.bmp", "b-os2.bmp", "b-os2-8bit.bmp", "b-32bit-alpha.bmp", "b-noisy-24bit.bmp"})
        QTest::newRow(name) << QString::fromLatin1(name) << 0;
    // 5 and 6-bit channels: ImageMagick scales them by bit copying, this reader (like the BMP
    // suite's references) by rounding; they differ by a level at most.
    QTest::newRow("b-565.bmp") << QStringLiteral("b-565.bmp") << 1;
}

void TestPictures::variants()
{
    QFETCH(QString, file);
    QFETCH(int, tolerance);
    const Outcome outcome = decode(readFile(corpus(file)));
    QVERIFY2(!outcome.image.isNull(), qPrintable(QStringLiteral("error %1").arg(outcome.error)));
    const QString stem = file.left(file.lastIndexOf(QLatin1Char('.')));
    const QImage expected(corpus(QStringLiteral("ref/%1.png").arg(stem)));
    QVERIFY(!expected.isNull());
    QCOMPARE(outcome.image.size(), expected.size());
    const testing::PictureDifference difference = testing::comparePictures(outcome.image, expected);
    QVERIFY2(difference.largest <= tolerance, qPrintable(difference.describe()));
    // Decoded straight into a picture box's drawing: the same pixels, the strip in its colour.
    const LoadOptions options{{2, qRgb(1, 2, 3)}, nullptr};
    const Picture drawn = decodePicture(readFile(corpus(file)), options);
    QCOMPARE(drawn.raster(), outcome.image);
    if (!drawn.canvas().isNull()) {
        QCOMPARE(drawn.canvas().size(), outcome.image.size() + QSize(2, 2));
        QCOMPARE(drawn.canvas().pixel(outcome.image.width() + 1, 0), qRgb(1, 2, 3));
        QCOMPARE(drawn.canvas().pixel(0, outcome.image.height()), qRgb(1, 2, 3));
    }
}

// Opaque pictures need no alpha, and every picture is in one of the two formats the picture
// box paints by copying.
void TestPictures::outputFormats_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QImage::Format>("format");
    QTest::newRow("colour JPEG") << "j-baseline-420.jpg" << QImage::Format_RGB32;
    QTest::newRow("CMYK JPEG") << "j-ycck.jpg" << QImage::Format_RGB32;
    QTest::newRow("grey JPEG") << "j-grey.jpg" << QImage::Format_RGB32;
    QTest::newRow("opaque GIF") << "g-basic.gif" << QImage::Format_RGB32;
    QTest::newRow("transparent GIF") << "g-transparent.gif" << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("GIF frame inside a bigger screen")
        << "g-offset-frame.gif" << QImage::Format_ARGB32_Premultiplied;
    QTest::newRow("24-bit BMP") << "b-24bit.bmp" << QImage::Format_RGB32;
    QTest::newRow("RLE8 BMP, every pixel defined") << "b-rle8.bmp" << QImage::Format_RGB32;
    QTest::newRow("BMP with alpha") << "b-32bit-alpha.bmp" << QImage::Format_ARGB32_Premultiplied;
}

void TestPictures::outputFormats()
{
    QFETCH(QString, file);
    QFETCH(QImage::Format, format);
    QCOMPARE(decode(readFile(corpus(file))).image.format(), format);
}

void TestPictures::notOurFormats_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &name : QDir(corpus(QStringLiteral("refused"))).entryList(QDir::Files))
        QTest::newRow(qPrintable(name)) << QStringLiteral("refused/") + name;
}

// Qt's reader, left to guess, would show these; LoadPicture shows only its four formats.
void TestPictures::notOurFormats()
{
    QFETCH(QString, file);
    QCOMPARE(decode(readFile(corpus(file))).error, errors::InvalidPicture);
}

void TestPictures::truncated_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name :
         {"j-baseline-420.jpg", "j-progressive.jpg", "j-restart-rows.jpg", "j-arithmetic.jpg",
          "j-grey.jpg", "j-orient-6.jpg", "j-icc-AdobeRGB1998.jpg", "g-basic.gif",
          "g-interlaced.gif", "g-transparent.gif", "g-noisy.gif", "b-1bit.bmp", "b-8bit.bmp",
          "b-rle8.bmp", "b-24bit.bmp", "b-os2.bmp", "b-565.bmp", "b-32bit-alpha.bmp"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// Every cut of a file, from a few bytes to all but the last, is refused or gives exactly the
// whole picture (a GIF without its trailer, a BMP without the last row's padding).
void TestPictures::truncated()
{
    QFETCH(QString, file);
    const QByteArray whole = readFile(corpus(file));
    const QImage complete = decode(whole).image;
    QVERIFY(!complete.isNull());
    const qsizetype step = std::max<qsizetype>(1, whole.size() / 97);
    for (qsizetype length = 1; length < whole.size(); length += step) {
        const qsizetype cut = std::min(length, whole.size() - 1);
        const Outcome outcome = decode(whole.left(cut));
        if (outcome.image.isNull()) {
            QCOMPARE(outcome.error, errors::InvalidPicture);
            continue;
        }
        QVERIFY2(outcome.image == complete,
                 qPrintable(QStringLiteral("a part shown as a whole at %1 bytes").arg(cut)));
    }
    for (qsizetype cut = std::max<qsizetype>(1, whole.size() - 8); cut < whole.size(); ++cut) {
        const Outcome outcome = decode(whole.left(cut));
        QVERIFY(outcome.image.isNull() || outcome.image == complete);
    }
}

// The choice for a JPEG whose end is missing: refused, not shown with a grey bottom as Qt's
// own reader does. Also when only the EOI marker is missing, since then no one can tell
// whether the entropy-coded data ended where it should.
void TestPictures::cancelledReadStops()
{
    const std::atomic<bool> cancelled{true};
    QVERIFY_THROWS_EXCEPTION(RuntimeError,
                             decodePicture(readFile(corpus(QStringLiteral("j-baseline-420.jpg"))),
                                           LoadOptions{{2, 0}, &cancelled}));
}

void TestPictures::truncatedJpegIsRefused()
{
    const QByteArray whole = readFile(corpus(QStringLiteral("j-baseline-444.jpg")));
    for (const qsizetype cut : {whole.size() / 2, whole.size() - 100, whole.size() - 2})
        QCOMPARE(decode(whole.left(cut)).error, errors::InvalidPicture);
    QVERIFY(!decode(whole).image.isNull());
}

void TestPictures::bitFlips_data()
{
    QTest::addColumn<QString>("file");
    for (const QString &name :
         QDir(corpus(QString()))
             .entryList({QStringLiteral("*.jpg"), QStringLiteral("*.gif"), QStringLiteral("*.bmp")},
                        QDir::Files))
        QTest::newRow(qPrintable(name)) << name;
}

// Whether `image` has no more pixels than `bytes` can describe (a few thousand a byte at most,
// LZW's best) and the few any reader may leave to no data.
static bool describable(const QImage &image, const QByteArray &bytes)
{
    return qint64(image.width()) * image.height() <= kMaxUndescribedPixels + bytes.size() * 2731;
}

// Damage anywhere: refused, or a picture no larger than the screen the file declares. The
// fuzzers go much further; this keeps a quick check in every test run.
void TestPictures::bitFlips()
{
    QFETCH(QString, file);
    const QByteArray whole = readFile(corpus(file));
    QRandomGenerator random(quint32(qHash(file)));
    for (int i = 0; i < 150; ++i) {
        QByteArray damaged = whole;
        for (int flips = 1 + int(random.bounded(3)); flips > 0; --flips) {
            const qsizetype at = qsizetype(random.bounded(quint32(damaged.size())));
            damaged[at] = char(uchar(damaged[at]) ^ (1u << random.bounded(8)));
        }
        const Outcome outcome = decode(damaged);
        if (outcome.image.isNull())
            QVERIFY(outcome.error == errors::InvalidPicture);
        else
            QVERIFY(describable(outcome.image, damaged));
    }
}

void TestPictures::fuzzRegressions_data()
{
    QTest::addColumn<QString>("path");
    const QDir dir(QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/fuzz-regressions"));
    const QStringList names = dir.entryList(QDir::Files);
    for (const QString &name : names) {
        if (name != QLatin1String("README.md"))
            QTest::newRow(qPrintable(name)) << dir.filePath(name);
    }
    if (names.size() <= 1)
        QTest::newRow("none yet") << QString();
}

// Inputs the fuzzers once broke a reader with: refused, or a picture within the limits.
void TestPictures::fuzzRegressions()
{
    QFETCH(QString, path);
    if (path.isEmpty())
        QSKIP("no fuzz regressions kept yet");
    const Outcome outcome = decode(readFile(path));
    if (outcome.image.isNull())
        QCOMPARE(outcome.error, errors::InvalidPicture);
    else
        QVERIFY(describable(outcome.image, readFile(path)));
}

// Headers that claim more than the file holds.
void TestPictures::headerLies()
{
    // A JPEG frame twice as tall as its scan data: the data ends early.
    QByteArray jpeg = readFile(corpus(QStringLiteral("j-baseline-420.jpg")));
    const qsizetype sof = jpegMarker(jpeg, 0xC0);
    QVERIFY(sof > 0);
    jpeg[sof + 5] = char(0);
    jpeg[sof + 6] = char(122);
    QCOMPARE(decode(jpeg).error, errors::InvalidPicture);

    // A GIF frame wider than its LZW data.
    QByteArray gif = readFile(corpus(QStringLiteral("g-basic.gif")));
    const qsizetype descriptor = gifDescriptor(gif);
    QVERIFY(descriptor > 0);
    gif[descriptor + 5] = char(uchar(gif[descriptor + 5]) * 2);
    gif[6] = char(uchar(gif[6]) * 2);
    QCOMPARE(decode(gif).error, errors::InvalidPicture);

    // A BMP twice as tall as its pixels.
    QByteArray bmp = readFile(corpus(QStringLiteral("b-24bit.bmp")));
    bmp[22] = char(122);
    QCOMPARE(decode(bmp).error, errors::InvalidPicture);

    // A BMP colour table claiming four billion entries: the real table is used.
    QByteArray palette = readFile(corpus(QStringLiteral("b-8bit.bmp")));
    for (int i = 46; i < 50; ++i)
        palette[i] = char(0xFF);
    QCOMPARE(decode(palette).image, decode(readFile(corpus(QStringLiteral("b-8bit.bmp")))).image);
}

// A JPEG APP2 segment holding chunk `sequence` of `count` of an ICC profile.
QByteArray iccSegment(const QByteArray &chunk, int sequence, int count)
{
    QByteArray segment("\xFF\xE2", 2);
    const qsizetype length = 2 + 12 + 2 + chunk.size();
    segment += char(length >> 8);
    segment += char(length & 0xFF);
    segment += QByteArray("ICC_PROFILE\0", 12);
    segment += char(sequence);
    segment += char(count);
    return segment + chunk;
}

// Profiles longer than a segment are split into chunks that may come in any order; a missing
// chunk leaves the picture unconverted rather than converted by half a profile.
void TestPictures::iccProfileInChunks()
{
    const QByteArray original = readFile(corpus(QStringLiteral("j-icc-WideGamutRGB.jpg")));
    const qsizetype at = original.indexOf("ICC_PROFILE") - 4;
    QVERIFY(at > 0 && original.mid(at, 2) == "\xFF\xE2");
    const qsizetype length = (uchar(original[at + 2]) << 8) | uchar(original[at + 3]);
    const QByteArray profile = original.mid(at + 4 + 14, length - 2 - 14);
    const QByteArray before = original.left(at);
    const QByteArray after = original.mid(at + 2 + length);
    const qsizetype half = profile.size() / 2;
    const QByteArray first = iccSegment(profile.left(half), 1, 2);
    const QByteArray second = iccSegment(profile.mid(half), 2, 2);

    const QImage converted = decode(original).image;
    const QImage unconverted = decode(before + after).image;
    QVERIFY(!converted.isNull());
    QVERIFY(converted != unconverted);
    QCOMPARE(decode(before + second + first + after).image, converted);
    QCOMPARE(decode(before + second + after).image, unconverted);
    QCOMPARE(decode(before + first + first + after).image, unconverted);
}

// Thousands of scans would each walk the whole picture again; they are counted first.
void TestPictures::scanLimit()
{
    const QByteArray progressive = readFile(corpus(QStringLiteral("j-progressive.jpg")));
    qsizetype lastScan = -1;
    for (qsizetype at = progressive.indexOf("\xFF\xDA"); at >= 0;
         at = progressive.indexOf("\xFF\xDA", at + 2))
        lastScan = at;
    const qsizetype eoi = progressive.lastIndexOf("\xFF\xD9");
    QVERIFY(lastScan > 0 && eoi > lastScan);
    const QByteArray scan = progressive.mid(lastScan, eoi - lastScan);
    const int existing = int(progressive.count("\xFF\xDA"));

    QByteArray atLimit = progressive.left(eoi);
    for (int i = existing; i < kMaxJpegScans; ++i)
        atLimit += scan;
    QByteArray beyond = atLimit + scan;
    QByteArray thousands = atLimit;
    for (int i = 0; i < 3000; ++i)
        thousands += scan;
    atLimit += "\xFF\xD9";
    beyond += "\xFF\xD9";
    thousands += "\xFF\xD9";
    // At the limit the repeated refinement scans are decoded (libjpeg tolerates repeats of a
    // first AC scan only with a warning about the progression, which refuses the file).
    const Outcome limit = decode(atLimit);
    QVERIFY(limit.error == errors::InvalidPicture || !limit.image.isNull());
    QCOMPARE(decode(beyond).error, errors::InvalidPicture);
    QCOMPARE(decode(thousands).error, errors::InvalidPicture);
    QVERIFY(!decode(readFile(corpus(QStringLiteral("j-scans-100.jpg")))).image.isNull());
}

// The format is told by the bytes: a JPEG named .gif is shown as the JPEG it is, and a text
// file named .jpg is refused.
void TestPictures::sniffsContentNotName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray jpeg = readFile(corpus(QStringLiteral("j-baseline-420.jpg")));
    writeFile(dir.filePath(QStringLiteral("photo.gif")), jpeg);
    writeFile(dir.filePath(QStringLiteral("notes.jpg")), "Not a picture\n");
    writeFile(dir.filePath(QStringLiteral("icon.bmp")),
              readFile(corpus(QStringLiteral("refused/icon.ico"))));
    const Picture photo = LoadPicture(dir.filePath(QStringLiteral("photo.gif")));
    QCOMPARE(photo.raster(), decode(jpeg).image);
    for (const char *name : {"notes.jpg", "icon.bmp"}) {
        try {
            LoadPicture(dir.filePath(QString::fromLatin1(name)));
            QFAIL("a file that is none of the four formats was loaded");
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), errors::InvalidPicture);
        }
    }
}

void TestPictures::loadPictureErrors()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeFile(dir.filePath(QStringLiteral("empty.jpg")), QByteArray());
    const struct {
        QString path;
        int error;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing.jpg")), errors::FileNotFound},
        {dir.path(), errors::PathNotFound},
        {dir.filePath(QStringLiteral("empty.jpg")), errors::InvalidPicture},
    };
    for (const auto &c : cases) {
        try {
            LoadPicture(c.path);
            QFAIL(qPrintable(c.path + QStringLiteral(" was loaded")));
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), c.error);
        }
    }
}

void TestPictures::unreadableFile()
{
    if (geteuid() == 0)
        QSKIP("root reads any file");
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("locked.jpg"));
    writeFile(path, readFile(corpus(QStringLiteral("j-baseline-420.jpg"))));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    try {
        LoadPicture(path);
        QFAIL("an unreadable file was loaded");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), errors::PermissionDenied);
    }
}

// A GIF whose code table fills up and goes on without a clear code: decoded as ImageMagick
// decodes it, not refused.
void TestPictures::deferredClearGif()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    int deferred = 0;
    const QByteArray gif = ::deferredClearGif(160, 120, &deferred);
    QVERIFY2(deferred > 1000, "the stream goes on long after the table is full");
    const QString path = dir.filePath(QStringLiteral("deferred.gif"));
    writeFile(path, gif);
    QString im = QStandardPaths::findExecutable(QStringLiteral("convert-im6.q16"));
    if (im.isEmpty())
        im = QStringLiteral("convert");
    const QString reference = dir.filePath(QStringLiteral("deferred.png"));
    QCOMPARE(
        QProcess::execute(im, {path, QStringLiteral("-depth"), QStringLiteral("8"), reference}), 0);
    const Outcome outcome = decode(gif);
    QVERIFY2(!outcome.image.isNull(), qPrintable(QStringLiteral("error %1").arg(outcome.error)));
    const QImage expected(reference);
    QCOMPARE(outcome.image.size(), expected.size());
    const testing::PictureDifference difference = testing::comparePictures(outcome.image, expected);
    QVERIFY2(difference.largest == 0, qPrintable(difference.describe()));
}

// Minimum code sizes above the 8 encoders usually write, which web browsers, the desktop's
// pixbuf loader and ImageMagick accept: decoded as ImageMagick decodes them, across a clear
// code and a full code table. Colour indices past the table show black at any code size;
// sizes of 12 or more, whose codes cannot fit in 12 bits, are refused.
void TestPictures::gifCodeSizes_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("highest"); // the largest colour index; the table has 16 colours
    QTest::newRow("2 bits") << 2 << 3;
    QTest::newRow("8 bits") << 8 << 15;
    QTest::newRow("11 bits, the first codes 12 bits wide") << 11 << 15;
    QTest::newRow("8 bits, indices past the table") << 8 << 255;
    QTest::newRow("11 bits, indices past the table") << 11 << 2047;
    QTest::newRow("12 bits") << 12 << 15;
}

void TestPictures::gifCodeSizes()
{
    QFETCH(int, bits);
    QFETCH(int, highest);
    const QSize size(150, 100);
    QList<QRgb> colours;
    for (int i = 0; i < 16; ++i)
        colours.append(qRgb(i * 16, 255 - i * 8, (i * 77) & 0xFF));
    std::vector<quint16> pixels(size_t(size.width()) * size.height());
    QImage expected(size, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int i = 0; i < int(pixels.size()); ++i) {
        pixels[size_t(i)] = quint16(random.bounded(highest + 1));
        expected.setPixel(i % size.width(), i / size.width(),
                          colours.value(pixels[size_t(i)], qRgb(0, 0, 0)));
    }
    int deferred = 0;
    const QByteArray gif =
        testing::gifFile(size, colours, pixels, {bits, qsizetype(pixels.size() / 2), &deferred});
    const Outcome outcome = decode(gif);
    if (bits > 11) {
        QCOMPARE(outcome.error, errors::InvalidPicture);
        return;
    }
    if (highest < colours.size()) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        writeFile(dir.filePath(QStringLiteral("codes.gif")), gif);
        expected = testing::decodeWithImageMagick(dir.filePath(QStringLiteral("codes.gif")));
        QVERIFY2(bits < 11 || deferred > 0, "the table fills before the clear");
    }
    QVERIFY2(!outcome.image.isNull(), qPrintable(QStringLiteral("error %1").arg(outcome.error)));
    QCOMPARE(outcome.image.size(), expected.size());
    const testing::PictureDifference difference = testing::comparePictures(outcome.image, expected);
    QVERIFY2(difference.largest == 0, qPrintable(difference.describe()));
}

// A file many times the reader's window: segments skipped and entropy-coded data read across
// the window's edges give the same picture from a mapped file as from memory, with the pages
// read let go behind; a cut one is still refused.
void TestPictures::bigJpegReadInWindows()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("noise.jpg"));
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("2400x2000"),
                                  QStringLiteral("xc:gray"), QStringLiteral("+noise"),
                                  QStringLiteral("Random"), QStringLiteral("-quality"),
                                  QStringLiteral("95"), path})
                 .isNull());
    const QByteArray whole = readFile(path);
    QVERIFY(whole.size() > 3 << 20);
    const QImage expected = decode(whole).image;
    QVERIFY(!expected.isNull());
    QCOMPARE(LoadPicture(path).raster(), expected);

    QByteArray padded = whole.left(2);
    const QByteArray filler(65533, 'x');
    for (int i = 0; i < 40; ++i)
        padded += QByteArray("\xFF\xEF\xFF\xFF", 4) + filler;
    writeFile(path, padded + whole.mid(2));
    QCOMPARE(LoadPicture(path).raster(), expected);

    writeFile(path, whole.left(whole.size() - 4096));
    try {
        LoadPicture(path);
        QFAIL("a cut file was loaded");
    } catch (const RuntimeError &e) {
        QCOMPARE(e.number(), errors::InvalidPicture);
    }
}

void TestPictures::centreAlone_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSize>("centre");
    QTest::addColumn<bool>("partial");
    // Parts that begin inside an MCU and on its edge, below an MCU row and inside one, that take
    // every row and every column: neither the edges of the cropped rows nor the rows skipped
    // above may show. The pictures are 97 x 61.
    const QList<QSize> centres = {{31, 17}, {65, 21}, {31, 29}, {20, 100}, {200, 10}};
    for (const char *name : {"j-baseline-420.jpg", "j-baseline-422.jpg", "j-baseline-444.jpg",
                             "j-grey.jpg", "j-restart-rows.jpg", "j-restart-blocks.jpg",
                             "j-arithmetic.jpg", "j-rgb.jpg", "j-orient-1.jpg"}) {
        for (const QSize &centre : centres)
            QTest::addRow("%s %dx%d", name, centre.width(), centre.height())
                << QString::fromLatin1(name) << centre << true;
    }
    for (const char *name :
         {"j-progressive.jpg", "j-scans-100.jpg", "j-orient-2.jpg", "j-orient-6.jpg",
          "j-icc-sRGB.jpg", "j-ycck.jpg", "g-basic.gif", "b-24bit.bmp"})
        QTest::newRow(name) << QString::fromLatin1(name) << QSize(31, 17) << false;
    QTest::newRow("a centre of more than half") << "j-baseline-420.jpg" << QSize(90, 40) << false;
}

// Only the middle of a picture, as the screen show reads one much larger than the screen: the
// pixels a whole decode gives there, in a picture of the whole one's size. Pictures that cannot
// be read so are read whole.
void TestPictures::centreAlone()
{
    QFETCH(QString, file);
    QFETCH(QSize, centre);
    QFETCH(bool, partial);
    const QByteArray bytes = readFile(corpus(file));
    const QImage whole = decode(bytes).image;
    QVERIFY(!whole.isNull());
    LoadOptions options;
    options.centre = centre;
    const Picture picture = decodePicture(bytes, options);
    QCOMPARE(picture.isPartial(), partial);
    QCOMPARE(picture.sizePixels(TwipScale()), whole.size());
    const QPoint corner((whole.width() - centre.width()) / 2,
                        (whole.height() - centre.height()) / 2);
    const QRect part = partial ? QRect(corner, centre) & whole.rect() : whole.rect();
    QCOMPARE(picture.isPartial() ? picture.partRect() : whole.rect(), part);
    QCOMPARE(picture.raster(), whole.copy(part));
}

// The reading stops after the middle's last row: coded data cut short well below it goes
// unseen, though the whole picture is refused. Cut short above it, the rows skipped are still
// read far enough to refuse it.
void TestPictures::damageOutsideTheCentre()
{
    const QByteArray whole = readFile(corpus(QStringLiteral("j-baseline-444.jpg")));
    const qsizetype scan = jpegMarker(whole, 0xDA);
    const qsizetype end = whole.lastIndexOf("\xFF\xD9");
    QVERIFY(scan > 0 && end > scan);
    const auto cutAt = [&](qsizetype kept) { return whole.left(scan + kept) + "\xFF\xD9"; };
    LoadOptions options;
    options.centre = QSize(31, 17);
    const QByteArray lastRowsLost = cutAt((end - scan) * 9 / 10);
    QCOMPARE(decode(lastRowsLost).error, errors::InvalidPicture);
    const Picture part = decodePicture(lastRowsLost, options);
    QVERIFY(part.isPartial());
    QCOMPARE(part.raster(), decode(whole).image.copy(part.partRect()));
    QCOMPARE(decode(cutAt((end - scan) / 4), options).error, errors::InvalidPicture);
}

QTEST_GUILESS_MAIN(TestPictures)
#include "tst_pictures.moc"
