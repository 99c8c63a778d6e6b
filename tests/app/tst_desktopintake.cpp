#include "app/appservice.h"
#include "app/commandline.h"
#include "app/desktopintake.h"
#include "app/dropopener.h"
#include "image/imagewindow.h"
#include "tests/support/harness.h"
#include "tests/support/privatebus.h"

#include <QApplication>
#include <QMdiSubWindow>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace lumora;
using testing::MainWindowHarness;

namespace {

QStringList captions(MainWindowHarness &h)
{
    QStringList titles;
    for (QMdiSubWindow *child : h.window->mdiArea().subWindowList(QMdiArea::CreationOrder))
        titles << child->windowTitle();
    return titles;
}

QString activeCaption(MainWindowHarness &h)
{
    QMdiSubWindow *active = h.window->mdiArea().activeSubWindow();
    return active ? active->windowTitle() : QString();
}

} // namespace

class TestDesktopIntake final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void argumentsBecomeLocalPaths_data();
    void argumentsBecomeLocalPaths();
    void picturesWaitForTheMainWindowAndOpenInOrder();
    void workspaceKeysCloseAndCycle();
    void dropsTakeOnlyLocalFiles_data();
    void dropsTakeOnlyLocalFiles();
    void secondStartHandsOverOnTheBus();

private:
    QTemporaryDir m_dir;
    QStringList m_pictures;
};

void TestDesktopIntake::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (const QString name : {"one.bmp", "two.bmp", "three.bmp"}) {
        QImage image(20, 10, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        m_pictures << m_dir.filePath(name);
        QVERIFY(image.save(m_pictures.last(), "BMP"));
    }
}

void TestDesktopIntake::argumentsBecomeLocalPaths_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("path");
    QTest::newRow("relative") << "pics/../pics/a.jpg"
                              << "/home/ana/pics/a.jpg";
    QTest::newRow("absolute") << "/srv/b.gif"
                              << "/srv/b.gif";
    QTest::newRow("a colon in a file name") << "c:d.bmp"
                                            << "/home/ana/c:d.bmp";
    QTest::newRow("file URI, escaped") << "file:///srv/my%20pics/caf%C3%A9.jpg"
                                       << "/srv/my pics/café.jpg";
    QTest::newRow("web address") << "https://example.org/a.jpg"
                                 << "";
}

void TestDesktopIntake::argumentsBecomeLocalPaths()
{
    QFETCH(QString, argument);
    QFETCH(QString, path);
    QCOMPARE(app::localPathOf(argument, QDir(QStringLiteral("/home/ana"))), path);
}

// Nothing opens before the main window is up; then one window per turn of the event loop,
// in the order given, an unreadable file included.
void TestDesktopIntake::picturesWaitForTheMainWindowAndOpenInOrder()
{
    MainWindowHarness h;
    app::PictureQueue queue;
    const QString missing = m_dir.filePath(QStringLiteral("missing.jpg"));
    queue.add({m_pictures[0], missing, m_pictures[1]});
    QCoreApplication::processEvents();
    QVERIFY(captions(h).isEmpty());
    QSignalSpy drained(&queue, &app::PictureQueue::drained);
    queue.start(*h.window);
    QVERIFY(captions(h).isEmpty());
    QCoreApplication::sendPostedEvents();
    QTRY_COMPARE(captions(h), (QStringList{m_pictures[0], missing, m_pictures[1]}));
    QCOMPARE(drained.size(), 1);
    QCOMPARE(h.window->StatBar().text(2), m_pictures[1]);
    QVERIFY(h.dialogs.messages.isEmpty());
}

// Ctrl+F4 closes the active window as its close button does (the panel is emptied),
// Ctrl+Tab and Ctrl+Shift+Tab cycle; the keys reach the windows right after they open.
void TestDesktopIntake::workspaceKeysCloseAndCycle()
{
    MainWindowHarness h;
    app::DesktopIntake intake{QDBusConnection(QString())};
    intake.attach(*h.window);
    QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
    intake.open(m_pictures);
    QTRY_COMPARE(captions(h).size(), 3);
    QWidget *focus = QApplication::focusWidget();
    QVERIFY(focus);
    QVERIFY(h.window->mdiArea().activeSubWindow()->isAncestorOf(focus) ||
            focus == h.window->mdiArea().activeSubWindow());

    const auto press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    };
    press(Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(activeCaption(h), m_pictures[0]);
    press(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(activeCaption(h), m_pictures[2]);
    press(Qt::Key_F4, Qt::ControlModifier);
    QTRY_COMPARE(captions(h), (QStringList{m_pictures[0], m_pictures[1]}));
    press(Qt::Key_F4, Qt::ControlModifier);
    press(Qt::Key_F4, Qt::ControlModifier);
    QTRY_VERIFY(captions(h).isEmpty());
    QCOMPARE(h.window->StatBar().text(2), QString());
    press(Qt::Key_F4, Qt::ControlModifier); // nothing left to close
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestDesktopIntake::dropsTakeOnlyLocalFiles_data()
{
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QStringList>("opened");
    QTest::newRow("two files") << QStringList{"file:///a/1.jpg", "file:///b/2%202.gif"} << true
                               << QStringList{"/a/1.jpg", "/b/2 2.gif"};
    QTest::newRow("web and file") << QStringList{"https://x.org/1.jpg", "file:///a/1.jpg"} << true
                                  << QStringList{"/a/1.jpg"};
    QTest::newRow("web only") << QStringList{"https://x.org/1.jpg"} << false << QStringList{};
    QTest::newRow("no URLs") << QStringList{} << false << QStringList{};
}

void TestDesktopIntake::dropsTakeOnlyLocalFiles()
{
    QFETCH(QStringList, urls);
    QFETCH(bool, taken);
    QFETCH(QStringList, opened);
    QWidget target;
    QStringList received;
    new app::DropOpener(target, [&](const QStringList &paths) { received << paths; });
    QMimeData data;
    if (!urls.isEmpty())
        data.setUrls(QUrl::fromStringList(urls));
    else
        data.setText(QStringLiteral("just words"));
    QDragEnterEvent enter({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&target, &enter);
    QCOMPARE(enter.isAccepted(), taken);
    QDropEvent drop({5, 5}, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&target, &drop);
    QCOMPARE(drop.isAccepted(), taken);
    QCOMPARE(received, opened);
}

// The first program serves the name; a second one finds it, hands over file URIs and is
// answered; with nobody serving, or no bus, the second start is on its own.
void TestDesktopIntake::secondStartHandsOverOnTheBus()
{
    testing::PrivateBus daemon;
    const QDBusConnection first = QDBusConnection::connectToBus(daemon.address(), "first");
    const QDBusConnection second = QDBusConnection::connectToBus(daemon.address(), "second");
    QVERIFY(first.isConnected() && second.isConnected());
    QVERIFY(!app::handOver(second, m_pictures));
    QVERIFY(!app::handOver(QDBusConnection(QString()), m_pictures));
    {
        MainWindowHarness h;
        app::DesktopIntake running(first);
        QVERIFY(running.published());
        app::DesktopIntake another(second);
        QVERIFY(!another.published());
        running.attach(*h.window);
        QVERIFY(app::handOver(second, {m_pictures[2], QStringLiteral("/no/such file.jpg")}));
        QVERIFY(app::handOver(second, {}));
        QTRY_COMPARE(captions(h), (QStringList{m_pictures[2], "/no/such file.jpg"}));
    }
    QVERIFY(!app::handOver(second, m_pictures));
    QDBusConnection::disconnectFromBus("first");
    QDBusConnection::disconnectFromBus("second");
}

QTEST_MAIN(TestDesktopIntake)
#include "tst_desktopintake.moc"
