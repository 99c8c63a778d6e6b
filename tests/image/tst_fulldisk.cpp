// Both places the program writes a file, Save As and the wallpaper file, on a real disk that
// fills up before the new file is complete: the old file must come through byte for byte, no
// temporary file may stay behind, the user is told why, and once there is room again the same
// command writes the file. Run under `unshare -rm`, so the small disks are private mounts.
#include "image/activewindow.h"
#include "image/wallpaper.h"
#include "runtime/form.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"
#include "tests/support/smalldisk.h"

#include <QAction>
#include <QBuffer>
#include <QImageWriter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using testing::MainWindowHarness;
using testing::SmallDisk;

namespace {

enum class Command { SaveAs, Wallpaper };

constexpr qint64 kDiskBytes = 1024 * 1024;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// How many bytes the BMP file of `image` takes: the room the write needs.
qint64 bmpBytes(const QImage &image)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "bmp").write(image);
    return buffer.size();
}

QStringList everythingIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestFullDisk final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void writeThatDoesNotFitKeepsTheOldFile_data();
    void writeThatDoesNotFitKeepsTheOldFile();

private:
    void runCommand(MainWindowHarness &h, Command command, const QString &path);

    QTemporaryDir m_dir;
    QString m_picture;
    QString m_oldFile;
};

void TestFullDisk::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_picture = m_dir.filePath(QStringLiteral("noise.bmp"));
    QVERIFY(testing::makeNoisePicture(m_picture, 200, 150));
    // The file already in place: a good picture of its own, which must survive.
    m_oldFile = m_dir.filePath(QStringLiteral("old.bmp"));
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("90x70"),
                                  QStringLiteral("gradient:red-blue"),
                                  QStringLiteral("BMP3:") + m_oldFile})
                 .isNull());
}

void TestFullDisk::runCommand(MainWindowHarness &h, Command command, const QString &path)
{
    if (command == Command::SaveAs)
        h.dialogs.fileAnswers.enqueue(path);
    const QString item = command == Command::SaveAs ? QStringLiteral("mnufilesaveas")
                                                    : QStringLiteral("mnueditwall");
    h.window->menuItem(item)->trigger();
}

void TestFullDisk::writeThatDoesNotFitKeepsTheOldFile_data()
{
    QTest::addColumn<Command>("command");
    QTest::addColumn<double>("room"); // free space left, as a share of the new file
    QTest::addColumn<bool>("oldFileThere");
    for (const auto &[name, command] :
         {std::pair{"save as", Command::SaveAs}, std::pair{"wallpaper", Command::Wallpaper}}) {
        // Nothing fits; the disk gives out half-way; only the last bytes do not fit.
        QTest::addRow("%s, full disk", name) << command << 0.0 << true;
        QTest::addRow("%s, room for half", name) << command << 0.5 << true;
        QTest::addRow("%s, all but the last bytes", name) << command << 0.98 << true;
        QTest::addRow("%s, no file before", name) << command << 0.5 << false;
    }
}

void TestFullDisk::writeThatDoesNotFitKeepsTheOldFile()
{
    QFETCH(Command, command);
    QFETCH(double, room);
    QFETCH(bool, oldFileThere);
    QTemporaryDir saveFolder;
    const QString path = command == Command::SaveAs
                             ? QDir(saveFolder.path()).filePath(QStringLiteral("disk/saved.bmp"))
                             : image::wallpaperFilePath();
    const QString folder = QFileInfo(path).path();
    SmallDisk disk(folder, kDiskBytes);
    if (!disk.mounted())
        QSKIP("mounting a small tmpfs needs root or `unshare -rm`");
    const QByteArray old = readAll(m_oldFile);
    QStringList before{QStringLiteral("filler")};
    if (oldFileThere) {
        QVERIFY(QFile::copy(m_oldFile, path));
        before.append(QFileInfo(path).fileName());
        before.sort();
    }

    MainWindowHarness h;
    h.dialogs.fileAnswers.enqueue(m_picture);
    h.window->mnufileopen_Click();
    image::ImageWindow *window = image::asImageWindow(h.window->ActiveForm());
    QVERIFY(window);
    const qint64 needed = bmpBytes(window->picdibujo().Image());
    QVERIFY(disk.fillLeaving(qint64(double(needed) * room)));
    QVERIFY(disk.freeBytes() < needed);

    runCommand(h, command, path);
    QCOMPARE(everythingIn(folder), before);
    if (oldFileThere)
        QCOMPARE(readAll(path), old);
    QCOMPARE(h.dialogs.messages.size(), 1);
    const testing::ScriptedDialogs::Message &told = h.dialogs.messages[0];
    QCOMPARE(told.style, 16);
    QCOMPARE(told.title, QStringLiteral("Error"));
    QVERIFY2(told.text.contains(path), qPrintable(told.text));
    QVERIFY2(told.text.contains(QStringLiteral("No space left on device")), qPrintable(told.text));
    if (command == Command::Wallpaper)
        QCOMPARE(runtime::mousePointer(*window), int(runtime::vbArrow));

    // With room again, the same command writes the whole picture.
    QVERIFY(QFile::remove(QDir(folder).filePath(QStringLiteral("filler"))));
    // (The wallpaper through a machine with no bus, desktop or display: only the file.)
    if (command == Command::SaveAs)
        runCommand(h, command, path);
    else
        image::setActivePictureAsWallpaper(*h.window, image::DesktopFacts{});
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(everythingIn(folder), QStringList{QFileInfo(path).fileName()});
    QCOMPARE(testing::maxChannelDifference(testing::decodeWithImageMagick(path),
                                           window->picdibujo().Image()),
             0);
}

QTEST_MAIN(TestFullDisk)
#include "tst_fulldisk.moc"
