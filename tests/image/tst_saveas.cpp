#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"
#include "tests/support/smalldisk.h"

#include "picture/loadpicture.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using testing::MainWindowHarness;
using testing::SmallDisk;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSaveAs final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void askedWithItsOwnDialogAndCancelled();
    void writesBmpUnderTheTypedName_data();
    void writesBmpUnderTheTypedName();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void noActiveWindowWritesNothing();
    void bytesAsQtWritesThem_data();
    void bytesAsQtWritesThem();

private:
    QTemporaryDir m_dir;
    QString m_picture;
};

void TestSaveAs::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_picture = m_dir.filePath(QStringLiteral("noise.bmp"));
    QVERIFY(testing::makeNoisePicture(m_picture, 100, 80));
}

void TestSaveAs::askedWithItsOwnDialogAndCancelled()
{
    MainWindowHarness h;
    image::openPictureWindow(*h.window, m_picture);
    h.window->dlgcomondialog().FileName = QStringLiteral("left over from File Open");
    const QStringList before = QDir(m_dir.path()).entryList(QDir::Files);
    h.window->menuItem(QStringLiteral("mnufilesaveas"))->trigger();
    QCOMPARE(h.dialogs.fileRequests.size(), 1);
    const auto &asked = h.dialogs.fileRequests[0];
    QVERIFY(asked.save);
    QCOMPARE(asked.request.title, QStringLiteral("File Name"));
    QCOMPARE(asked.request.filter, QStringLiteral("*.bmp|*.bmp"));
    QCOMPARE(asked.request.flags, 6);
    QCOMPARE(asked.request.fileName, QString());
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
}

void TestSaveAs::writesBmpUnderTheTypedName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("zoomIn");
    QTest::newRow("no extension") << "picture" << true;
    QTest::newRow("a jpg name still gets BMP data") << "photo.jpg" << false;
    QTest::newRow("spaces, quotes and accents") << "l'été 'x' \"y\".bmp" << true;
}

// What is saved is the drawn view at its zoom, byte for byte readable by another decoder.
void TestSaveAs::writesBmpUnderTheTypedName()
{
    QFETCH(QString, name);
    QFETCH(bool, zoomIn);
    MainWindowHarness h;
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_picture);
    zoomIn ? h.window->mnueditzoomin_Click() : h.window->mnueditzoomout_Click();
    QTemporaryDir out;
    const QString path = out.filePath(name);
    h.dialogs.fileAnswers.enqueue(path);
    h.window->Toolbar1_ButtonClick(QStringLiteral("save"));
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(QDir(out.path()).entryList(QDir::Files), QStringList{name});
    QVERIFY(readAll(path).startsWith("BM"));
    const QImage written = testing::decodeWithImageMagick(path);
    QCOMPARE(written.size(), window->picdibujo().innerPixels());
    QCOMPARE(testing::maxChannelDifference(written, window->picdibujo().Image()), 0);
}

void TestSaveAs::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason"); // what the message must say
    QTest::newRow("full disk") << "full"
                               << "No space left on device";
    QTest::newRow("read-only disk") << "readonly"
                                    << "not writable";
    QTest::newRow("missing folder") << "missing"
                                    << "No such file or directory";
}

void TestSaveAs::failedWriteKeepsTheOldFile()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    QTemporaryDir where;
    std::unique_ptr<SmallDisk> disk;
    QString path = where.filePath(QStringLiteral("old.bmp"));
    const QByteArray old("the old file, which must survive");
    if (kind == QLatin1String("missing")) {
        path = where.filePath(QStringLiteral("no such folder/x.bmp"));
    } else {
        disk = std::make_unique<SmallDisk>(where.path());
        if (!disk->mounted())
            QSKIP("mounting a small tmpfs is not permitted here");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
        file.close();
        if (kind == QLatin1String("readonly"))
            QVERIFY(disk->makeReadOnly());
    }
    MainWindowHarness h;
    image::openPictureWindow(*h.window, m_picture);
    h.window->mnueditzoomin_Click(); // 204 x 164 x 3 bytes: more than the 64 KiB disk
    h.dialogs.fileAnswers.enqueue(path);
    h.window->mnufilesaveas_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].style, 16);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    QVERIFY2(h.dialogs.messages[0].text.contains(path), qPrintable(h.dialogs.messages[0].text));
    QVERIFY2(h.dialogs.messages[0].text.contains(reason), qPrintable(h.dialogs.messages[0].text));
    if (kind == QLatin1String("missing")) {
        QVERIFY(!QFileInfo::exists(path));
    } else {
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(where.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("old.bmp")});
    }
}

void TestSaveAs::noActiveWindowWritesNothing()
{
    MainWindowHarness h;
    h.window->mnufilesaveas_Click();
    QVERIFY(h.dialogs.fileRequests.isEmpty());
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
}

void TestSaveAs::bytesAsQtWritesThem_data()
{
    QTest::addColumn<QImage::Format>("format");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("dotsPerMeter"); // 0: as the image comes
    // Widths 1 to 4 give every row padding a 24-bit row can have.
    for (const int width : {1, 2, 3, 4})
        QTest::addRow("RGB32, %d wide", width) << QImage::Format_RGB32 << QSize(width, 3) << 0;
    QTest::newRow("a drawing's size, several blocks of rows")
        << QImage::Format_RGB32 << QSize(1003, 1200) << 0;
    QTest::newRow("ARGB32") << QImage::Format_ARGB32 << QSize(37, 20) << 0;
    QTest::newRow("premultiplied") << QImage::Format_ARGB32_Premultiplied << QSize(37, 20) << 0;
    QTest::newRow("RGB888") << QImage::Format_RGB888 << QSize(37, 20) << 0;
    QTest::newRow("no resolution") << QImage::Format_RGB32 << QSize(5, 5) << -1;
    QTest::newRow("300 dpi") << QImage::Format_RGB32 << QSize(5, 5) << 11811;
}

// Save As writes its own BMP rows a block at a time, byte for byte the file Qt's BMP writer
// made of the same picture.
void TestSaveAs::bytesAsQtWritesThem()
{
    QFETCH(QImage::Format, format);
    QFETCH(QSize, size);
    QFETCH(int, dotsPerMeter);
    QImage image(size, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, random.generate());
    }
    image = image.convertToFormat(format);
    if (dotsPerMeter != 0) {
        image.setDotsPerMeterX(std::max(dotsPerMeter, 0));
        image.setDotsPerMeterY(std::max(dotsPerMeter, 0));
    }
    QBuffer expected;
    expected.open(QIODevice::WriteOnly);
    QVERIFY(QImageWriter(&expected, "bmp").write(image));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("saved.bmp"));
    picture::SavePicture(image, path);
    QCOMPARE(readAll(path), expected.data());
}

QTEST_MAIN(TestSaveAs)
#include "tst_saveas.moc"
