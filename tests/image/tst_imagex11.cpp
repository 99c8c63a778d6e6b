#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "image/wallpaper.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using testing::MainWindowHarness;

namespace {

// Runs a program while our event loop keeps serving the X server (we own the clipboard).
QByteArray runWhileServing(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QSignalSpy finished(&process, &QProcess::finished);
    process.start(program, arguments);
    if (!finished.wait(20000) || process.exitCode() != 0)
        return QByteArray();
    return process.readAllStandardOutput();
}

QImage decodeBytes(const QByteArray &bytes, const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return QImage();
    file.close();
    return testing::decodeWithImageMagick(path);
}

} // namespace

// On a private Xvfb: other X clients see exactly what the commands hand them.
class TestImageX11 final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void clipboardHoldsTheDrawnPicture_data();
    void clipboardHoldsTheDrawnPicture();
    void rootWindowShowsTheWallpaper();

private:
    QTemporaryDir m_dir;
    QString m_picture;
    QString m_other;
};

void TestImageX11::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X server (run through scripts/with-xvfb.sh)");
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_picture = m_dir.filePath(QStringLiteral("noise.bmp"));
    m_other = m_dir.filePath(QStringLiteral("other.bmp"));
    QVERIFY(testing::makeNoisePicture(m_picture, 100, 80));
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("70x30"),
                                  QStringLiteral("gradient:yellow-navy"),
                                  QStringLiteral("BMP3:") + m_other})
                 .isNull());
}

void TestImageX11::clipboardHoldsTheDrawnPicture_data()
{
    QTest::addColumn<bool>("zoomIn");
    QTest::newRow("after Zoom In") << true;
    QTest::newRow("after Zoom Out") << false;
}

void TestImageX11::clipboardHoldsTheDrawnPicture()
{
    QFETCH(bool, zoomIn);
    MainWindowHarness h;
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_picture);
    zoomIn ? h.window->mnueditzoomin_Click() : h.window->mnueditzoomout_Click();
    h.window->Toolbar1_ButtonClick(QStringLiteral("copy"));
    const QByteArray png =
        runWhileServing(QStringLiteral("xclip"),
                        {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                         QStringLiteral("-t"), QStringLiteral("image/png"), QStringLiteral("-o")});
    QVERIFY(png.startsWith("\x89PNG"));
    const QImage pasted = decodeBytes(png, m_dir.filePath(QStringLiteral("pasted.png")));
    QCOMPARE(pasted.size(), zoomIn ? QSize(204, 164) : QSize(51, 41));
    QCOMPARE(testing::maxChannelDifference(pasted, window->picdibujo().Image()), 0);
    QVERIFY(h.dialogs.messages.isEmpty());
}

// With no portal on the bus and no known desktop, the wallpaper becomes the root window's
// background: what the X server shows there is the written file, tiled.
void TestImageX11::rootWindowShowsTheWallpaper()
{
    qunsetenv("XDG_CURRENT_DESKTOP");
    MainWindowHarness h;
    image::openPictureWindow(*h.window, m_other);
    h.window->mnueditwall_Click();
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_picture);
    h.window->mnueditzoomout_Click();
    h.window->mnueditwall_Click();
    QVERIFY(h.dialogs.messages.isEmpty());

    const QImage wallpaper = testing::decodeWithImageMagick(image::wallpaperFilePath());
    QCOMPARE(wallpaper.size(), window->picdibujo().innerPixels());
    const QByteArray xwd = runWhileServing(QStringLiteral("xwd"),
                                           {QStringLiteral("-root"), QStringLiteral("-silent")});
    const QImage root = decodeBytes(xwd, m_dir.filePath(QStringLiteral("root.xwd")));
    QVERIFY(!root.isNull());
    // The main window covers part of the screen; the tiles at the bottom right are free.
    const QPoint tile((root.width() / wallpaper.width() - 1) * wallpaper.width(),
                      (root.height() / wallpaper.height() - 1) * wallpaper.height());
    QCOMPARE(testing::maxChannelDifference(root.copy(QRect(tile, wallpaper.size())), wallpaper), 0);
    const QByteArray property = runWhileServing(
        QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_XROOTPMAP_ID")});
    QVERIFY2(property.contains("pixmap id #"), property.constData());
}

QTEST_MAIN(TestImageX11)
#include "tst_imagex11.moc"
