#include "app/arrange.h"
#include "app/commandtable.h"
#include "image/fileopen.h"
#include "runtime/helpwindow.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

using lumora::app::Arrangement;
using lumora::app::MainWindow;
using lumora::testing::MainWindowHarness;

namespace {

QString writePicture(const QTemporaryDir &dir, const QString &name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = dir.filePath(name);
    image.save(path, "BMP");
    return path;
}

QList<QMdiSubWindow *> childWindows(MainWindow &window)
{
    return window.mdiArea().subWindowList(QMdiArea::CreationOrder);
}

} // namespace

class TestMainWindow final : public QObject {
    Q_OBJECT
private slots:
    void init();
    void menuBarFollowsTheCommandTable();
    void toolbarHasItsFourteenButtons();
    void toolbarKeysRunTheirMenuHandlers_data();
    void toolbarKeysRunTheirMenuHandlers();
    void toolbarButtonAndMenuItemDoTheSame();
    void statusBarStartsWithTheProductName();
    void tileRectsCoverTheArea_data();
    void tileRectsCoverTheArea();
    void arrangingNoChildrenDoesNothing();
    void arrangingSeveralChildren();
    void windowMenuListsAndActivatesChildren();
    void exitUnloadsChildrenBeforeEnding();
    void closingTheFrameEndsLikeExit();
    void helpContentsOpensTheProgramsHelpFile();

private:
    QTemporaryDir m_dir;
};

void TestMainWindow::init()
{
    QVERIFY(m_dir.isValid());
}

void TestMainWindow::menuBarFollowsTheCommandTable()
{
    MainWindowHarness h;
    const QList<QAction *> titles = h.window->menuBar()->actions();
    const auto &tree = lumora::app::menuTree();
    QCOMPARE(titles.size(), int(tree.size()));
    for (size_t m = 0; m < tree.size(); ++m) {
        QCOMPARE(titles[m]->text(), QString(tree[m].title.caption));
        QMenu *menu = h.window->menu(tree[m].title.name);
        QVERIFY(menu);
        const QList<QAction *> items = menu->actions();
        QCOMPARE(items.size(), int(tree[m].items.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            const auto &def = tree[m].items[size_t(i)];
            QCOMPARE(items[i]->objectName(), QString(def.name));
            if (QString(def.caption) == "-") {
                QVERIFY(items[i]->isSeparator());
                continue;
            }
            QCOMPARE(items[i]->text(), QString(def.caption));
            QVERIFY(items[i]->shortcut().isEmpty());
            QVERIFY(!items[i]->isCheckable());
            QVERIFY(items[i]->isEnabled() && items[i]->isVisible());
            QVERIFY2(MainWindow::menuHandler(def.name), def.name);
        }
    }
    // Spot checks against the captions users see, access keys included.
    QCOMPARE(h.window->menuItem("mnufileopenmulti")->text(), QString("Scr&een Show"));
    QCOMPARE(h.window->menuItem("mnufileprint")->text(), QString("P&rint"));
    QCOMPARE(h.window->menuItem("mnueditwall")->text(), QString("Set as WallPaper"));
    QCOMPARE(h.window->menuItem("optilev")->text(), QString("Tile Vertical"));
}

void TestMainWindow::toolbarHasItsFourteenButtons()
{
    MainWindowHarness h;
    const QList<QAction *> buttons = h.window->Toolbar1().actions();
    QCOMPARE(buttons.size(), 14);
    const QStringList keys = {"open", "show", "",        "copy",  "cascade", "zoomin", "zoomout",
                              "",     "save", "preview", "print", "",        "help",   "exit"};
    const QStringList tips = {"Open",    "Slide Show", "",     "Copy", "Cascade",
                              "Zoom In", "Zoom Out",   "",     "Save", "Preview",
                              "Print",   "",           "Help", "Exit"};
    for (int i = 0; i < 14; ++i) {
        if (keys[i].isEmpty()) {
            QVERIFY(buttons[i]->isSeparator());
            continue;
        }
        QCOMPARE(buttons[i]->data().toString(), keys[i]);
        QCOMPARE(buttons[i]->toolTip(), tips[i]);
        QVERIFY2(!buttons[i]->icon().isNull(), qPrintable(keys[i]));
        auto *button =
            qobject_cast<QToolButton *>(h.window->Toolbar1().widgetForAction(buttons[i]));
        QVERIFY(button);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(button->size(), QSize(41, 39)); // 609 x 582 twips
    }
    // Silver is the mask colour: the open-folder image's corner is transparent.
    const QImage open = buttons[0]->icon().pixmap(16, 16).toImage();
    QCOMPARE(qAlpha(open.pixel(0, 0)), 0);
}

void TestMainWindow::toolbarKeysRunTheirMenuHandlers_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("item"); // "" when the key runs nothing
    QTest::newRow("open") << "open"
                          << "mnufileopen";
    QTest::newRow("copy") << "copy"
                          << "mnueditcopy";
    QTest::newRow("cascade") << "cascade"
                             << "mnuwindowcascade";
    QTest::newRow("print") << "print"
                           << "mnufileprint";
    QTest::newRow("help") << "help"
                          << "mnuhelpcontents";
    QTest::newRow("show") << "show"
                          << "mnufileopenmulti";
    QTest::newRow("save") << "save"
                          << "mnufilesaveas";
    QTest::newRow("preview") << "preview"
                             << "mnufilepp";
    QTest::newRow("zoomin") << "zoomin"
                            << "mnueditzoomin";
    QTest::newRow("zoomout") << "zoomout"
                             << "mnueditzoomout";
    QTest::newRow("exit") << "exit"
                          << "mnufileexit";
    QTest::newRow("separator") << ""
                               << "";
    QTest::newRow("keys are case-sensitive") << "Open"
                                             << "";
    QTest::newRow("no trimming") << "open "
                                 << "";
    QTest::newRow("unknown") << "slideshow"
                             << "";
}

void TestMainWindow::toolbarKeysRunTheirMenuHandlers()
{
    QFETCH(QString, key);
    QFETCH(QString, item);
    const MainWindow::Handler expected = item.isEmpty() ? nullptr : MainWindow::menuHandler(item);
    QVERIFY(item.isEmpty() || expected);
    QVERIFY(MainWindow::toolbarHandler(key) == expected);
    if (item.isEmpty()) {
        MainWindowHarness h;
        h.window->Toolbar1_ButtonClick(key); // does nothing, shows nothing
        QVERIFY(h.dialogs.messages.isEmpty());
        QVERIFY(h.dialogs.fileRequests.isEmpty());
        QCOMPARE(h.endCalls, 0);
    }
}

void TestMainWindow::toolbarButtonAndMenuItemDoTheSame()
{
    MainWindowHarness h;
    h.window->menuItem("mnufileopen")->trigger();
    h.window->Toolbar1().actions().first()->trigger();
    QCOMPARE(h.dialogs.fileRequests.size(), 2);
    const auto &menu = h.dialogs.fileRequests[0].request;
    const auto &button = h.dialogs.fileRequests[1].request;
    QCOMPARE(menu.title, QString("Open File"));
    QCOMPARE(button.title, menu.title);
    QCOMPARE(button.filter, menu.filter);
    QCOMPARE(button.flags, menu.flags);
    QVERIFY(childWindows(*h.window).isEmpty()); // both were cancelled
}

void TestMainWindow::statusBarStartsWithTheProductName()
{
    MainWindowHarness h;
    lumora::runtime::StatusPanels &bar = h.window->StatBar();
    QCOMPARE(bar.count(), 3);
    QCOMPARE(bar.text(1), QString());
    QCOMPARE(bar.text(2), QString());
    QCOMPARE(bar.text(3), QString("Lumora"));
    QVERIFY(h.window->statusBar()->font().bold());
    QCOMPARE(bar.label(1)->parentWidget()->width(), 96);  // 1440 twips
    QCOMPARE(bar.label(2)->parentWidget()->width(), 327); // 4905 twips
    QCOMPARE(bar.label(3)->parentWidget()->width(), 109); // 1635 twips
    QCOMPARE(h.window->BorderWidth(), 0);
    QCOMPARE(h.window->BorderHeight(), 0);
    QCOMPARE(h.window->windowTitle(), QString("Lumora"));
    QVERIFY(!h.window->windowIcon().isNull());
}

void TestMainWindow::tileRectsCoverTheArea_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("arrangement");
    QTest::addColumn<QList<QRect>>("rects");
    const QSize area(300, 200);
    QTest::newRow("none") << 0 << int(Arrangement::TileHorizontal) << QList<QRect>{};
    QTest::newRow("one, horizontal")
        << 1 << int(Arrangement::TileHorizontal) << QList<QRect>{QRect(0, 0, 300, 200)};
    QTest::newRow("three, horizontal: stacked, full width")
        << 3 << int(Arrangement::TileHorizontal)
        << QList<QRect>{QRect(0, 0, 300, 66), QRect(0, 66, 300, 66), QRect(0, 132, 300, 68)};
    QTest::newRow("two, vertical: side by side, full height")
        << 2 << int(Arrangement::TileVertical)
        << QList<QRect>{QRect(0, 0, 150, 200), QRect(150, 0, 150, 200)};
    Q_UNUSED(area);
}

void TestMainWindow::tileRectsCoverTheArea()
{
    QFETCH(int, count);
    QFETCH(int, arrangement);
    QFETCH(QList<QRect>, rects);
    const std::vector<QRect> got =
        lumora::app::tileRects(count, QSize(300, 200), Arrangement(arrangement));
    QCOMPARE(QList<QRect>(got.begin(), got.end()), rects);
}

void TestMainWindow::arrangingNoChildrenDoesNothing()
{
    MainWindowHarness h;
    h.window->mnuwindowcascade_Click();
    h.window->optileh_Click();
    h.window->optilev_Click();
    QVERIFY(childWindows(*h.window).isEmpty());
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestMainWindow::arrangingSeveralChildren()
{
    MainWindowHarness h;
    for (int i = 0; i < 3; ++i)
        lumora::image::openPictureWindow(
            *h.window, writePicture(m_dir, QString("p%1.bmp").arg(i), {40, 30}, Qt::red));
    const QList<QMdiSubWindow *> windows = childWindows(*h.window);
    QCOMPARE(windows.size(), 3);
    const QSize area = h.window->mdiArea().viewport()->size();

    h.window->optileh_Click();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(windows[i]->width(), area.width());
        QCOMPARE(windows[i]->x(), 0);
        if (i > 0)
            QCOMPARE(windows[i]->y(), windows[i - 1]->geometry().bottom() + 1);
    }
    h.window->optilev_Click();
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(windows[i]->height(), area.height());
        QCOMPARE(windows[i]->y(), 0);
        if (i > 0)
            QCOMPARE(windows[i]->x(), windows[i - 1]->geometry().right() + 1);
    }
    h.window->mnuwindowcascade_Click();
    QSet<QPoint> corners;
    for (QMdiSubWindow *w : windows)
        corners.insert(w->pos());
    QCOMPARE(corners.size(), 3); // each window offset from the one before
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestMainWindow::windowMenuListsAndActivatesChildren()
{
    MainWindowHarness h;
    QVERIFY(h.window->windowListEntries().isEmpty());
    const QString first = writePicture(m_dir, "first.bmp", {20, 20}, Qt::green);
    const QString second = writePicture(m_dir, "second & more.bmp", {20, 20}, Qt::blue);
    lumora::image::openPictureWindow(*h.window, first);
    lumora::image::openPictureWindow(*h.window, second);

    QList<QAction *> entries = h.window->windowListEntries();
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0]->text(), first);
    QCOMPARE(entries[1]->text(), QString(second).replace("&", "&&"));
    QVERIFY(!entries[0]->isChecked());
    QVERIFY(entries[1]->isChecked()); // the newest window is the active one
    // The three entries of the menu stay above the list.
    QCOMPARE(h.window->menu("mnuwindow")->actions().first()->objectName(),
             QString("mnuwindowcascade"));

    entries[0]->trigger();
    QCOMPARE(h.window->mdiArea().currentSubWindow()->windowTitle(), first);
    QCOMPARE(h.window->StatBar().text(2), first);
    entries = h.window->windowListEntries();
    QVERIFY(entries[0]->isChecked());
    QVERIFY(!entries[1]->isChecked());
}

void TestMainWindow::exitUnloadsChildrenBeforeEnding()
{
    MainWindowHarness h;
    lumora::image::openPictureWindow(*h.window, writePicture(m_dir, "a.bmp", {10, 10}, Qt::red));
    lumora::image::openPictureWindow(*h.window, writePicture(m_dir, "b.bmp", {10, 10}, Qt::red));
    QVERIFY(!h.window->StatBar().text(2).isEmpty());
    int childrenAtEnd = -1;
    QString panelAtEnd = "unset";
    h.window->setEndAction([&] {
        ++h.endCalls;
        childrenAtEnd = int(childWindows(*h.window).size());
        panelAtEnd = h.window->StatBar().text(2);
    });
    h.window->mnufileexit_Click();
    QCOMPARE(h.endCalls, 1);
    QCOMPARE(panelAtEnd, QString()); // the image windows' unload handlers ran first
    QCOMPARE(childrenAtEnd, 0);
}

void TestMainWindow::closingTheFrameEndsLikeExit()
{
    MainWindowHarness h;
    h.window->Toolbar1_ButtonClick("exit");
    QCOMPARE(h.endCalls, 1);
    MainWindowHarness other;
    other.window->close();
    QCOMPARE(other.endCalls, 1);
}

void TestMainWindow::helpContentsOpensTheProgramsHelpFile()
{
    MainWindowHarness h;
    const QString before = QDir::currentPath();
    QDir::setCurrent(m_dir.path()); // the help file is found from the program, not the cwd
    h.window->mnuhelpcontents_Click();
    QDir::setCurrent(before);
    const QString expected = QCoreApplication::applicationDirPath() + "/lumora.hlp";
    QCOMPARE(h.window->dlghelp().HelpFile, expected);
    QCOMPARE(h.window->dlghelp().HelpCommand, 11);
    lumora::runtime::HelpWindow *help = h.window->dlghelp().helpWindow();
    QVERIFY(help && help->isVisible());
    QCOMPARE(help->fileName(), expected);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
