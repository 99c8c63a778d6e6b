// The public BMP test suite: every picture a reader must show, the questionable ones judged
// one by one, and the bad ones, none of which may crash, hang or pass for a good picture.
//
// What this reader does with the questionable files (q/) and why:
//
// | file(s)                        | shown as / outcome                                       |
// |--------------------------------|----------------------------------------------------------|
// | pal1p1                         | a 1-entry table: pal1p1.png                              |
// | pal2, pal2color                | 2-bit (Windows CE): pal2.png, pal2color.png              |
// | pal4rlecut, pal8rlecut         | early end of picture: the rest transparent, *rlecut.png  |
// | pal4rletrns, pal8rletrns       | delta-skipped pixels transparent, *rletrns.png           |
// | pal8offs                       | pixels where the offset says, after a gap: pal8.png      |
// | pal8os2-hs, pal8os2-sz         | OS/2 1.x with odd hotspot / file size fields: pal8.png   |
// | pal8os2sp                      | OS/2 1.x with a short table (ends where pixels start)    |
// | pal8os2v2, -16, -sz, -40sz     | OS/2 2.x headers of 64, 16 and 40 bytes: pal8.png        |
// | pal8oversizepal, rgb24largepal | a table longer than the bit depth allows: extra ignored  |
// | rgb16-231, rgb16-3103          | odd BITFIELDS widths, scaled with rounding: own .png     |
// | rgb16faketrns, rgb32fakealpha  | bits outside the masks ignored: opaque rgb16/rgb24.png   |
// | rgb24jpeg                      | a JPEG inside: decoded by the JPEG reader (lossy, ~)     |
// | rgb24png                       | a PNG inside, meant for printers only: refused           |
// | rgb24prof, rgb24prof2          | embedded ICC profile converted to sRGB                   |
// | rgb24lprof                     | a linked profile (a file name): ignored, rgb24.png       |
// | rgb24rle24                     | OS/2 24-bit RLE: rgb24.png                               |
// | rgb32-111110, rgb32-7187       | unusual 32-bit masks, scaled with rounding               |
// | rgb32-xbgr, rgb32h52           | masks in a V5 / 52-byte header: rgb24.png                |
// | rgba16-*, rgba32-*, rgba32abf, | alpha masks (V5, 56-byte header, ALPHABITFIELDS): their  |
// | rgba32h56                      | own .png or rgba32.png, premultiplied                    |
// | rgba64                         | 64-bit linear light, converted to sRGB: near rgba32.png  |
// | pal1huffmsb                    | OS/2 1-D Huffman, which nothing writes any more: refused |
//
// Of the bad files (b/), rletopdown is an RLE picture stored top-down, which the format does
// not allow but tools write and other readers show: read rows from the top, it is pal8.png.
#include "base/runtimeerror.h"
#include "picture/rasterdecoder.h"
#include "tests/pictures/picturecompare.h"
#include "tests/support/dibbuilder.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace lumora;
using namespace lumora;
using namespace lumora::picture;
using namespace lumora::runtime;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QString suite(const QString &relative)
{
    return testing::testData(QStringLiteral("bmpsuite/") + relative);
}

// Decodes, or returns a null image with the error number in `error`.
QImage decode(const QByteArray &bytes, int *error)
{
    try {
        return decodeRaster(bytes, PictureFormat::Bmp);
    } catch (const RuntimeError &e) {
        *error = e.number();
        return {};
    }
}

// `tolerance` bounds the largest difference of a channel, `meanTolerance` the mean one (for
// files that hold a lossy or dithered copy of the reference picture).
void addRow(const char *file, const char *reference, int tolerance, double meanTolerance = 256)
{
    QTest::newRow(file) << QString::fromLatin1(file) << QString::fromLatin1(reference) << tolerance
                        << meanTolerance;
}

void addColumns()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("reference"); // empty: the file must be refused
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<double>("meanTolerance");
}

void checkAgainstReference()
{
    QFETCH(QString, file);
    QFETCH(QString, reference);
    QFETCH(int, tolerance);
    QFETCH(double, meanTolerance);
    int error = 0;
    const QImage image = decode(readFile(suite(file)), &error);
    if (reference.isEmpty()) {
        QVERIFY2(image.isNull(), "expected a refusal");
        QCOMPARE(error, errors::InvalidPicture);
        return;
    }
    QVERIFY2(!image.isNull(), qPrintable(QStringLiteral("refused with error %1").arg(error)));
    const QImage expected(suite(QStringLiteral("reference/%1.png").arg(reference)));
    QVERIFY(!expected.isNull());
    QCOMPARE(image.size(), expected.size());
    const testing::PictureDifference difference = testing::comparePictures(image, expected);
    QVERIFY2(difference.largest <= tolerance, qPrintable(difference.describe()));
    QVERIFY2(difference.mean <= meanTolerance, qPrintable(difference.describe()));
}

} // namespace

class TestBmpSuite final : public QObject {
    Q_OBJECT

private slots:
    void good_data();
    void good();
    void questionable_data();
    void questionable();
    void bad_data();
    void bad();
    void runLengthTopDown_data();
    void runLengthTopDown();
    void everyGoodFileIsListed();
};

void TestBmpSuite::good_data()
{
    addColumns();
    addRow("g/pal1.bmp", "pal1", 0);
    addRow("g/pal1bg.bmp", "pal1bg", 0);
    addRow("g/pal1wb.bmp", "pal1", 0);
    addRow("g/pal4.bmp", "pal4", 0);
    addRow("g/pal4gs.bmp", "pal4gs", 0);
    addRow("g/pal4rle.bmp", "pal4", 0);
    addRow("g/pal8-0.bmp", "pal8", 0);
    addRow("g/pal8.bmp", "pal8", 0);
    addRow("g/pal8gs.bmp", "pal8gs", 0);
    addRow("g/pal8nonsquare.bmp", "pal8nonsquare-e", 0); // pixels as stored, not stretched
    addRow("g/pal8os2.bmp", "pal8", 0);
    addRow("g/pal8rle.bmp", "pal8", 0);
    addRow("g/pal8topdown.bmp", "pal8", 0);
    addRow("g/pal8v4.bmp", "pal8", 0);
    addRow("g/pal8v5.bmp", "pal8", 0);
    addRow("g/pal8w124.bmp", "pal8w124", 0);
    addRow("g/pal8w125.bmp", "pal8w125", 0);
    addRow("g/pal8w126.bmp", "pal8w126", 0);
    addRow("g/rgb16-565.bmp", "rgb16-565", 0);
    addRow("g/rgb16-565pal.bmp", "rgb16-565", 0);
    addRow("g/rgb16.bmp", "rgb16", 0);
    addRow("g/rgb16bfdef.bmp", "rgb16", 0);
    addRow("g/rgb24.bmp", "rgb24", 0);
    addRow("g/rgb24pal.bmp", "rgb24", 0);
    addRow("g/rgb32.bmp", "rgb24", 0);
    addRow("g/rgb32bf.bmp", "rgb24", 0);
    addRow("g/rgb32bfdef.bmp", "rgb24", 0);
}

void TestBmpSuite::good()
{
    checkAgainstReference();
}

void TestBmpSuite::questionable_data()
{
    addColumns();
    addRow("q/pal1huffmsb.bmp", "", 0);
    addRow("q/pal1p1.bmp", "pal1p1", 0);
    addRow("q/pal2.bmp", "pal2", 0);
    addRow("q/pal2color.bmp", "pal2color", 0);
    addRow("q/pal4rlecut.bmp", "pal4rlecut", 0);
    addRow("q/pal4rletrns.bmp", "pal4rletrns", 0);
    addRow("q/pal8offs.bmp", "pal8", 0);
    addRow("q/pal8os2-hs.bmp", "pal8", 0);
    addRow("q/pal8os2-sz.bmp", "pal8", 0);
    addRow("q/pal8os2sp.bmp", "pal8", 0);
    addRow("q/pal8os2v2-16.bmp", "pal8", 0);
    addRow("q/pal8os2v2-40sz.bmp", "pal8", 0);
    addRow("q/pal8os2v2-sz.bmp", "pal8", 0);
    addRow("q/pal8os2v2.bmp", "pal8", 0);
    addRow("q/pal8oversizepal.bmp", "pal8", 0);
    addRow("q/pal8rlecut.bmp", "pal8rlecut", 0);
    addRow("q/pal8rletrns.bmp", "pal8rletrns", 0);
    addRow("q/rgb16-231.bmp", "rgb16-231", 0);
    addRow("q/rgb16-3103.bmp", "rgb16-3103", 0);
    addRow("q/rgb16faketrns.bmp", "rgb16", 0);
    addRow("q/rgb24jpeg.bmp", "rgb24", 255, 4);
    addRow("q/rgb24largepal.bmp", "rgb24", 0);
    addRow("q/rgb24lprof.bmp", "rgb24", 0);
    addRow("q/rgb24png.bmp", "", 0);
    addRow("q/rgb24prof.bmp", "rgb24", 2);
    addRow("q/rgb24prof2.bmp", "rgb24", 12);      // a profile a little off sRGB
    addRow("q/rgb24rle24.bmp", "rgb24", 255, 12); // the file holds a dithered copy
    addRow("q/rgb32-111110.bmp", "rgb24", 2);
    addRow("q/rgb32-7187.bmp", "rgb32-7187", 0);
    addRow("q/rgb32-xbgr.bmp", "rgb24", 0);
    addRow("q/rgb32fakealpha.bmp", "rgb24", 0);
    addRow("q/rgb32h52.bmp", "rgb24", 0);
    addRow("q/rgba16-1924.bmp", "rgba16-1924", 1);
    addRow("q/rgba16-4444.bmp", "rgba16-4444", 1);
    addRow("q/rgba16-5551.bmp", "rgba16-5551", 1);
    addRow("q/rgba32-1.bmp", "rgba32", 1);
    addRow("q/rgba32-1010102.bmp", "rgba32-1010102", 1);
    addRow("q/rgba32-2.bmp", "rgba32", 1);
    addRow("q/rgba32-61754.bmp", "rgba32-61754", 1);
    addRow("q/rgba32-81284.bmp", "rgba32-81284", 1);
    addRow("q/rgba32abf.bmp", "rgba32", 1);
    addRow("q/rgba32h56.bmp", "rgba32", 1);
    addRow("q/rgba64.bmp", "rgba32", 2);
}

void TestBmpSuite::questionable()
{
    checkAgainstReference();
}

void TestBmpSuite::bad_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("mustRefuse");
    const QDir dir(suite(QStringLiteral("b")));
    // These hold no picture that could be shown whole.
    const QStringList refused = {"badbitcount.bmp", "badheadersize.bmp", "badwidth.bmp",
                                 "reallybig.bmp", "shortfile.bmp"};
    for (const QString &name : dir.entryList({QStringLiteral("*.bmp")}, QDir::Files)) {
        QTest::newRow(qPrintable(name)) << QStringLiteral("b/") + name << refused.contains(name);
    }
    QTest::newRow("ba-bm.bmp (an OS/2 bitmap array)") << QStringLiteral("x/ba-bm.bmp") << true;
}

// Bad files: a clean refusal or a picture of the declared size, never a crash.
void TestBmpSuite::bad()
{
    QFETCH(QString, file);
    QFETCH(bool, mustRefuse);
    int error = 0;
    const QImage image = decode(readFile(suite(file)), &error);
    if (mustRefuse || image.isNull()) {
        QVERIFY(image.isNull());
        QCOMPARE(error, errors::InvalidPicture);
    } else {
        QCOMPARE(image.size(), QSize(127, 64));
    }
}

void TestBmpSuite::runLengthTopDown_data()
{
    // 2 x 2 pictures: the first row of runs is the bottom one, or with a negative height the
    // top one. Runs of one pixel each, end of line, end of picture.
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<QRgb>>("rows"); // left and right of the top row, then the bottom
    const QList<QRgb> palette{0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00};
    const QByteArray rle8("\x01\x00\x01\x01\x00\x00\x01\x02\x01\x03\x00\x01", 12);
    const QByteArray rle4("\x02\x01\x00\x00\x02\x23\x00\x01", 8);
    const QList<QRgb> firstAtBottom{palette[2], palette[3], palette[0], palette[1]};
    const QList<QRgb> firstAtTop{palette[0], palette[1], palette[2], palette[3]};
    for (const bool topDown : {false, true}) {
        const char *order = topDown ? " top-down" : "";
        const QList<QRgb> &rows = topDown ? firstAtTop : firstAtBottom;
        QTest::addRow("RLE8%s", order)
            << testing::bmpFile(testing::dib(2, 2, 8, palette, {rle8}, 1, topDown)) << rows;
        QTest::addRow("RLE4%s", order)
            << testing::bmpFile(testing::dib(2, 2, 4, palette, {rle4}, 2, topDown)) << rows;
    }
}

void TestBmpSuite::runLengthTopDown()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QRgb>, rows);
    int error = 0;
    const QImage image = decode(file, &error);
    QCOMPARE(error, 0);
    QCOMPARE(image.format(), QImage::Format_RGB32); // every pixel written
    QCOMPARE(
        (QList<QRgb>{image.pixel(0, 0), image.pixel(1, 0), image.pixel(0, 1), image.pixel(1, 1)}),
        rows);
    // The suite's own, written top-down: pal8 as other readers show it.
    if (QTest::currentDataTag() == QLatin1String("RLE8 top-down")) {
        const QImage suiteFile =
            decode(readFile(suite(QStringLiteral("b/rletopdown.bmp"))), &error);
        const QImage expected(suite(QStringLiteral("reference/pal8.png")));
        const auto difference = testing::comparePictures(suiteFile, expected);
        QVERIFY2(difference.largest == 0, qPrintable(difference.describe()));
    }
}

// A new file in the suite must get a row above, not pass unseen.
void TestBmpSuite::everyGoodFileIsListed()
{
    const QStringList files = QDir(suite(QStringLiteral("g"))).entryList(QDir::Files);
    QCOMPARE(files.size(), 27);
}

QTEST_GUILESS_MAIN(TestBmpSuite)
#include "tst_bmpsuite.moc"
