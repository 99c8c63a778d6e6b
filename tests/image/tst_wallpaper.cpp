#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "image/wallpaper.h"
#include "runtime/form.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"
#include "tests/support/privatebus.h"

#include <QDBusConnectionInterface>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace lumora;
using image::DesktopFacts;
using testing::MainWindowHarness;
using testing::PrivateBus;

namespace {

// Facts of a machine with no bus, no known desktop and no X display: only the file is written.
DesktopFacts nowhere()
{
    DesktopFacts facts;
    facts.environment = QProcessEnvironment::systemEnvironment();
    facts.environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    return facts;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestWallpaper final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void secondPictureReplacesTheFirst();
    void failedWriteIsReportedAndTheArrowComesBack();
    void noActiveWindowTouchesNothing();
    void gsettingsTakesAnyPath_data();
    void gsettingsTakesAnyPath();
    void portalIsHandedTheFile();
    void xfconfTakesThePath();
    void backendsFollowTheRunningDesktop_data();
    void backendsFollowTheRunningDesktop();

private:
    QTemporaryDir m_dir;
    QString m_first;
    QString m_second;
};

void TestWallpaper::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_first = m_dir.filePath(QStringLiteral("first.bmp"));
    m_second = m_dir.filePath(QStringLiteral("second.bmp"));
    QVERIFY(testing::makeNoisePicture(m_first, 60, 40));
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("30x50"),
                                  QStringLiteral("gradient:red-blue"),
                                  QStringLiteral("BMP3:") + m_second})
                 .isNull());
}

void TestWallpaper::init()
{
    QFile::remove(image::wallpaperFilePath());
    QDir().rmdir(image::wallpaperFilePath());
}

void TestWallpaper::secondPictureReplacesTheFirst()
{
    MainWindowHarness h;
    image::ImageWindow *first = image::openPictureWindow(*h.window, m_first);
    image::setActivePictureAsWallpaper(*h.window, nowhere());
    QCOMPARE(runtime::mousePointer(*first), int(runtime::vbArrow));
    image::ImageWindow *second = image::openPictureWindow(*h.window, m_second);
    h.window->mnueditzoomin_Click();
    image::setActivePictureAsWallpaper(*h.window, nowhere());
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(runtime::mousePointer(*second), int(runtime::vbArrow));
    const QString path = image::wallpaperFilePath();
    QVERIFY(path.startsWith(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
    QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("visor.bmp"));
    const QImage written = testing::decodeWithImageMagick(path);
    QCOMPARE(written.size(), second->picdibujo().innerPixels());
    QCOMPARE(testing::maxChannelDifference(written, second->picdibujo().Image()), 0);
    // Only the one file: no temporary copies left next to it.
    QCOMPARE(QDir(QFileInfo(path).path())
                 .entryList({QStringLiteral("visor*")}, QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("visor.bmp")});
}

void TestWallpaper::failedWriteIsReportedAndTheArrowComesBack()
{
    // A folder where the file should be: no file can replace it.
    QVERIFY(QDir().mkpath(image::wallpaperFilePath()));
    MainWindowHarness h;
    image::ImageWindow *window = image::openPictureWindow(*h.window, m_first);
    h.window->mnueditwall_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].style, 16);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    QVERIFY(h.dialogs.messages[0].text.contains(image::wallpaperFilePath()));
    QCOMPARE(runtime::mousePointer(*window), int(runtime::vbArrow));
    QVERIFY(QFileInfo(image::wallpaperFilePath()).isDir());
    QVERIFY(QDir().rmdir(image::wallpaperFilePath()));
}

void TestWallpaper::noActiveWindowTouchesNothing()
{
    MainWindowHarness h;
    h.window->mnueditwall_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QVERIFY(!QFileInfo::exists(image::wallpaperFilePath()));
}

void TestWallpaper::gsettingsTakesAnyPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << "plain";
    QTest::newRow("spaces, quotes, backslash, accents") << "it's a \"café\" \\ naïve";
}

// The real gsettings program and GNOME schema, on a keyfile backend in a home of our own.
void TestWallpaper::gsettingsTakesAnyPath()
{
    QFETCH(QString, folder);
    if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
        QSKIP("gsettings is not installed");
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("ubuntu:GNOME"));
    QVERIFY(QDir(home.path()).mkpath(folder));
    const QString path = QDir(home.filePath(folder)).filePath(QStringLiteral("visor.bmp"));
    QVERIFY(QFile::copy(m_first, path));

    DesktopFacts facts;
    facts.environment = env;
    QCOMPARE(image::setDesktopWallpaper(facts, path),
             QStringLiteral("gsettings org.gnome.desktop.background"));
    for (const QString &key : {QStringLiteral("picture-uri"), QStringLiteral("picture-uri-dark")}) {
        QByteArray value;
        QVERIFY(image::runTool(
            QStringLiteral("gsettings"),
            {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.background"), key}, env,
            &value));
        // GVariant text: the string in single or double quotes, with backslash escapes.
        const QString text = QString::fromUtf8(value.trimmed());
        QVERIFY2(text.size() > 2 && text.front() == text.back(), qPrintable(text));
        QString inner;
        for (qsizetype i = 1; i + 1 < text.size(); ++i) {
            if (text[i] == QLatin1Char('\\'))
                ++i;
            inner += text[i];
        }
        QVERIFY2(inner.startsWith(QLatin1String("file:///")), qPrintable(inner));
        QCOMPARE(QUrl(inner).toLocalFile(), path);
    }
}

// The portal is handed an open descriptor of the written file and asked for the background
// without a preview; a stand-in service on a private bus records both.
void TestWallpaper::portalIsHandedTheFile()
{
    PrivateBus bus;
    QVERIFY(!bus.address().isEmpty());
    const QString record = m_dir.filePath(QStringLiteral("portal"));
    QProcess stub;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    stub.setProcessEnvironment(env);
    stub.start(QStringLiteral(PORTAL_STUB), {record});
    QVERIFY(stub.waitForStarted());
    DesktopFacts facts = nowhere();
    facts.sessionBus =
        QDBusConnection::connectToBus(bus.address(), QStringLiteral("wallpaper-test"));
    QVERIFY(facts.sessionBus.isConnected());
    QTRY_VERIFY(facts.sessionBus.interface()->isServiceRegistered(
        QStringLiteral("org.freedesktop.portal.Desktop")));

    MainWindowHarness h;
    image::openPictureWindow(*h.window, m_first);
    image::setActivePictureAsWallpaper(*h.window, facts);
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(readAll(record + QStringLiteral(".file")), readAll(image::wallpaperFilePath()));
    QVERIFY(readAll(record + QStringLiteral(".file")).startsWith("BM"));
    QCOMPARE(readAll(record + QStringLiteral(".options")),
             QByteArray("set-on=background\nshow-preview=false\n"));
    stub.kill();
    stub.waitForFinished();
    QDBusConnection::disconnectFromBus(QStringLiteral("wallpaper-test"));
}

// The real xfconf-query and xfconfd (which the private bus starts on demand), holding the
// property that a running Xfce desktop keeps for each monitor and workspace.
void TestWallpaper::xfconfTakesThePath()
{
    const QString query = QStringLiteral("xfconf-query");
    if (QStandardPaths::findExecutable(query).isEmpty())
        QSKIP("xfconf-query is not installed");
    PrivateBus bus;
    QVERIFY(!bus.address().isEmpty());
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus.address());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QStringLiteral("XFCE"));
    const QStringList property = {
        QStringLiteral("-c"), QStringLiteral("xfce4-desktop"), QStringLiteral("-p"),
        QStringLiteral("/backdrop/screen0/monitorVirtual1/workspace0/last-image")};
    QVERIFY(image::runTool(
        query, property + QStringList{"-n", "-t", "string", "-s", "/old/sunset.jpg"}, env));
    const QString folder = home.filePath(QStringLiteral("it's a café"));
    QVERIFY(QDir().mkpath(folder));
    const QString path = QDir(folder).filePath(QStringLiteral("visor.bmp"));
    QVERIFY(QFile::copy(m_first, path));

    DesktopFacts facts;
    facts.environment = env;
    QCOMPARE(image::setDesktopWallpaper(facts, path), QStringLiteral("xfconf"));
    QByteArray value;
    QVERIFY(image::runTool(query, property, env, &value));
    QCOMPARE(QString::fromUtf8(value.trimmed()), path);
}

void TestWallpaper::backendsFollowTheRunningDesktop_data()
{
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("GNOME on X11") << "GNOME"
                                  << ":5"
                                  << QStringList{"gsettings org.gnome.desktop.background",
                                                 "x11 root window"};
    QTest::newRow("Budgie") << "Budgie:GNOME"
                            << "" << QStringList{"gsettings org.gnome.desktop.background"};
    QTest::newRow("Cinnamon") << "X-Cinnamon"
                              << "" << QStringList{"gsettings org.cinnamon.desktop.background"};
    QTest::newRow("MATE") << "MATE"
                          << "" << QStringList{"gsettings org.mate.background"};
    QTest::newRow("Plasma") << "KDE"
                            << "" << QStringList{"plasma"};
    QTest::newRow("Xfce") << "XFCE"
                          << ":0" << QStringList{"xfconf", "x11 root window"};
    QTest::newRow("a bare X server") << ""
                                     << ":0" << QStringList{"x11 root window"};
}

void TestWallpaper::backendsFollowTheRunningDesktop()
{
    QFETCH(QString, desktop);
    QFETCH(QString, display);
    QFETCH(QStringList, expected);
    DesktopFacts facts;
    facts.environment.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), desktop);
    facts.x11Display = display;
    QStringList names;
    for (const auto &backend : image::wallpaperBackends(facts))
        names << backend->name();
    QCOMPARE(names, expected);
}

QTEST_MAIN(TestWallpaper)
#include "tst_wallpaper.moc"
