#include "runtime/helpwindow.h"

#include <QHelpContentWidget>
#include <QHelpEngine>
#include <QHelpSearchEngine>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

using lumora::runtime::HelpWindow;

// The help window the program shows: its three tabs over the built help file, a page on the
// right, search through the file, and its own report of a file that is not there.
class TestHelpWindow final : public QObject {
    Q_OBJECT
private slots:
    void showsContentsIndexAndSearch();
    void searchFindsAWord();
    void reportsAMissingFile();
};

namespace {
const QString kHelpFile = QStringLiteral(LUMORA_BINARY_DIR "/app/lumora.hlp");
}

void TestHelpWindow::showsContentsIndexAndSearch()
{
    HelpWindow window;
    window.openFile(kHelpFile);
    window.show();
    QVERIFY(window.isLoaded());
    QCOMPARE(window.tabs()->count(), 3);
    QCOMPARE(window.tabs()->tabText(0), QString("Contents"));
    QCOMPARE(window.tabs()->tabText(1), QString("Index"));
    QCOMPARE(window.tabs()->tabText(2), QString("Search"));
    QTRY_VERIFY(window.engine()->contentWidget()->model()->rowCount() > 0);
    // The first page is on show as soon as the window opens.
    QVERIFY(window.browser()->toPlainText().contains("Lumora"));
}

void TestHelpWindow::searchFindsAWord()
{
    HelpWindow window;
    window.openFile(kHelpFile);
    QSignalSpy finished(&window, &HelpWindow::searchFinished);
    window.search("wallpaper");
    QVERIFY(finished.wait(20000));
    QVERIFY(finished.last().first().toInt() > 0);
}

void TestHelpWindow::reportsAMissingFile()
{
    HelpWindow window;
    window.openFile("/nonexistent/folder/lumora.hlp");
    QVERIFY(!window.isLoaded());
    QCOMPARE(window.tabs()->count(), 0);
    QVERIFY(window.browser()->toPlainText().contains("/nonexistent/folder/lumora.hlp"));
    // Opening a real file afterwards recovers.
    window.openFile(kHelpFile);
    QVERIFY(window.isLoaded());
}

QTEST_MAIN(TestHelpWindow)
#include "tst_helpwindow.moc"
