// The About box's mail link with the desktop's real URL handling, on an X server: the
// handler Qt starts for "mailto:" is a program of the test's own, found on PATH, or none.
#include "about/aboutdialog.h"
#include "about/linklabel.h"
#include "about/memoryregistry.h"
#include "tests/about/sysinfotool.h"
#include "tests/support/scripteddialogs.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lumora;
using about::AboutDialog;

class tst_AboutMailLink final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mailLink_data();
    void mailLink();

private:
    QByteArray m_path;
};

void tst_AboutMailLink::initTestCase()
{
    QVERIFY2(QGuiApplication::platformName() == QLatin1String("xcb"),
             "runs on an X server (scripts/with-xvfb.sh)");
    // Nothing but PATH may point Qt at a handler: no desktop's own opener, no browser.
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "BROWSER", "DEFAULT_BROWSER"})
        qunsetenv(name);
    m_path = qgetenv("PATH");
}

void tst_AboutMailLink::cleanupTestCase()
{
    qputenv("PATH", m_path);
}

void tst_AboutMailLink::mailLink_data()
{
    QTest::addColumn<bool>("handler");       // a working handler is installed
    QTest::addColumn<bool>("releaseInside"); // the button is let go over the link

    QTest::newRow("no handler") << false << true;
    QTest::newRow("handler") << true << true;
    QTest::newRow("released elsewhere") << false << false;
}

void tst_AboutMailLink::mailLink()
{
    QFETCH(bool, handler);
    QFETCH(bool, releaseInside);

    // A fresh folder for every row: a handler Qt remembered from an earlier row is gone.
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("marker"));
    if (handler)
        QVERIFY(testing::writeRecordingTool(dir.filePath(QStringLiteral("xdg-open")), marker));
    qputenv("PATH", QFile::encodeName(dir.path()));

    testing::ScriptedDialogs dialogs;
    about::MemoryRegistry registry;
    AboutDialog dialog(dialogs, registry, about::openWithDesktop);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    about::LinkLabel &link = dialog.lblurl();
    const QPoint centre = link.rect().center();
    QTest::mousePress(&link, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(&link, Qt::LeftButton, {},
                        releaseInside ? centre : centre + QPoint(0, 3 * link.height()));

    if (handler) {
        QTRY_COMPARE(
            testing::recordedRun(marker),
            (QStringList{QStringLiteral("ran"), QStringLiteral("mailto:lumora@example.org")}));
        QVERIFY(dialogs.messages.isEmpty());
    } else if (releaseInside) {
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(dialogs.messages.first().text, QStringLiteral("Error executing command"));
        QCOMPARE(dialogs.messages.first().style, 16);
        QCOMPARE(dialogs.messages.first().title, QStringLiteral("Error"));
    } else {
        QVERIFY(dialogs.messages.isEmpty());
    }
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(tst_AboutMailLink)
#include "tst_aboutmaillink.moc"
