#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "picture/loadpicture.h"
#include "picture/memorybudget.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"

#include <QMdiSubWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumora;
using testing::MainWindowHarness;

// A picture big enough to take a visible while to decode is shown as its rows arrive, and
// nothing acts on it, or keeps it, half done.
class TestArriving final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void showsItsTopBeforeTheEnd();
    void commandsWaitForTheWholePicture();
    void closingStopsTheReadAndFreesItsMemory();
    void damagedHalfWayEndsAsAFailedLoad();
    void bandsCoverEveryRowTopFirst_data();
    void bandsCoverEveryRowTopFirst();

private:
    QTemporaryDir m_dir;
    QString m_big; // 100 megapixels
    QImage m_top;  // its first rows, as djpeg decodes them
};

void TestArriving::initTestCase()
{
    m_big = m_dir.filePath(QStringLiteral("big.jpg"));
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("1250x1250"),
                                  QStringLiteral("plasma:fractal"), QStringLiteral("-scale"),
                                  QStringLiteral("800%"), m_big})
                 .isNull());
    QProcess djpeg;
    djpeg.start(QStringLiteral("djpeg"), {QStringLiteral("-crop"), QStringLiteral("400x64+0+0"),
                                          QStringLiteral("-pnm"), m_big});
    QVERIFY(djpeg.waitForFinished(60000));
    m_top = QImage::fromData(djpeg.readAllStandardOutput(), "PPM")
                .convertToFormat(QImage::Format_RGB32);
    QCOMPARE(m_top.size(), QSize(400, 64));
}

void TestArriving::showsItsTopBeforeTheEnd()
{
    MainWindowHarness h;
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_big);
    QVERIFY(window->isArriving());
    // Sized from the header at once: the picture and the two-pixel strip.
    QCOMPARE(window->picdibujo().innerPixels(), QSize(10002, 10002));
    QTRY_VERIFY(testing::maxChannelDifference(window->picdibujo()
                                                  .grab(QRect(0, 0, 400, 64))
                                                  .toImage()
                                                  .convertToFormat(QImage::Format_RGB32),
                                              m_top) == 0 ||
                !window->isArriving());
    QVERIFY2(window->isArriving(), "the picture was whole before its top was on the screen");
    // The rows not yet read show the window's background.
    const QImage bottom = window->picdibujo().grab(QRect(0, 9990, 8, 8)).toImage();
    QCOMPARE(bottom.pixel(0, 0), image::ImageWindow::kBackColor);
}

void TestArriving::commandsWaitForTheWholePicture()
{
    MainWindowHarness h;
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_big);
    QVERIFY(window->isArriving());
    h.window->mnueditzoomout_Click();
    QVERIFY(!window->isArriving());
    QCOMPARE(window->picdibujo().innerPixels(), QSize(5001, 5001));
    // The bottom right of the picture, halved, is the picture's, not the background.
    const QImage zoomed = window->picdibujo().Image();
    QVERIFY(zoomed.pixel(4990, 4990) != image::ImageWindow::kBackColor);
    QCOMPARE(
        testing::maxChannelDifference(zoomed.copy(0, 0, 1, 1).convertToFormat(QImage::Format_RGB32),
                                      m_top.copy(0, 0, 1, 1)) <= 8,
        true);
}

void TestArriving::closingStopsTheReadAndFreesItsMemory()
{
    MainWindowHarness h;
    picture::MemoryBudget &budget = picture::MemoryBudget::process();
    const qint64 before = budget.usedBytes();
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_big);
    QVERIFY(window->isArriving());
    QVERIFY(budget.usedBytes() > before);
    window->frame().close();
    QTRY_COMPARE(budget.usedBytes(), before);
}

void TestArriving::damagedHalfWayEndsAsAFailedLoad()
{
    QFile whole(m_big);
    QVERIFY(whole.open(QIODevice::ReadOnly));
    const QString cut = m_dir.filePath(QStringLiteral("cut.jpg"));
    QFile half(cut);
    QVERIFY(half.open(QIODevice::WriteOnly));
    half.write(whole.read(whole.size() / 2));
    half.close();
    MainWindowHarness h;
    image::ImageWindow *missing = image::openPictureWindow(*h.window, m_dir.filePath("none.jpg"));
    image::ImageWindow *window = image::openPictureWindow(*h.window, cut);
    QTRY_VERIFY(!window->isArriving());
    QVERIFY(window->pictrans().picture().isNull());
    QCOMPARE(window->pictrans().size(), missing->pictrans().size());
    QCOMPARE(window->picdibujo().size(), missing->picdibujo().size());
    QCOMPARE(window->frame().size(), missing->frame().size());
    QCOMPARE(window->picdibujo().Image(), missing->picdibujo().Image());
}

void TestArriving::bandsCoverEveryRowTopFirst_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("JPEG") << QStringLiteral("photo.jpg");
    QTest::newRow("JPEG with an RGB profile") << QStringLiteral("adobe:photo.jpg");
    QTest::newRow("bottom-up BMP") << QStringLiteral("BMP3:photo.bmp");
    QTest::newRow("plain GIF") << QStringLiteral("photo.gif");
    QTest::newRow("interlaced GIF") << QStringLiteral("interlaced.gif");
}

// The bands a reader announces hold every row once, each already as it ends (an RGB profile's
// rows are converted first), and a bottom-up BMP's top rows come first, though the file stores
// them last.
void TestArriving::bandsCoverEveryRowTopFirst()
{
    QFETCH(QString, file);
    const QString path = m_dir.filePath(file.section(':', -1));
    const QString kind = file.contains(':') ? file.section(':', 0, 0) : QString();
    QStringList arguments{QStringLiteral("-size"), QStringLiteral("120x90"),
                          QStringLiteral("plasma:red-blue")};
    if (file.startsWith(QLatin1String("interlaced")))
        arguments << QStringLiteral("-interlace") << QStringLiteral("GIF");
    if (kind == QLatin1String("adobe"))
        arguments << QStringLiteral("-profile")
                  << QStringLiteral("/usr/share/color/icc/colord/AdobeRGB1998.icc");
    const QString prefix = kind == QLatin1String("BMP3") ? kind + ':' : QString();
    QVERIFY(!testing::runConvert(arguments << prefix + path).isNull());
    picture::RowArrival arrival;
    std::vector<picture::RowBand> bands;
    QImage announced(120, 90, QImage::Format_RGB32);
    announced.fill(Qt::black);
    arrival.setListener([&] {
        for (const picture::RowBand &band : arrival.takeBands()) {
            arrival.read([&](const QImage &pixels) {
                for (int y = band.first; y < band.end(); ++y)
                    std::copy_n(pixels.constScanLine(y), 4 * 120, announced.scanLine(y));
            });
            bands.push_back(band);
        }
    });
    picture::LoadOptions options;
    options.arrival = &arrival;
    const picture::Picture picture = picture::LoadPicture(path, options);
    arrival.setListener(nullptr);
    QCOMPARE(arrival.pictureSize(), QSize(120, 90));
    std::vector<int> seen(90, 0);
    for (const picture::RowBand &band : bands)
        for (int y = band.first; y < band.end(); ++y)
            ++seen[size_t(y)];
    QVERIFY(std::all_of(seen.begin(), seen.end(), [](int n) { return n == 1; }));
    QCOMPARE(bands.front().first, 0);
    QCOMPARE(announced, picture.raster().convertToFormat(QImage::Format_RGB32));
    QVERIFY(arrival.read(
        [&](const QImage &pixels) { QCOMPARE(pixels.constBits(), picture.raster().constBits()); }));
}

QTEST_MAIN(TestArriving)
#include "tst_arriving.moc"
