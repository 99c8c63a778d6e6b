#include "app/arrange.h"
#include "app/commandtable.h"
#include "image/fileopen.h"
#include "runtime/helpwindow.h"
#include "tests/support/harness.h"

#include <QDir>
#include <QFileInfo>
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

// Which of the toolbar pictures `icon` shows: the file whose pixels it has, silver aside.
QString pictureOf(const QIcon &icon)
{
    const QImage shown = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
    const QStringList files = QDir(":/assets/toolbar").entryList(QDir::Files);
    for (const QString &file : files) {
        const QImage image =
            QImage(":/assets/toolbar/" + file).convertToFormat(QImage::Format_ARGB32);
        bool same = image.size() == shown.size();
        for (int y = 0; same && y < image.height(); ++y)
            for (int x = 0; same && x < image.width(); ++x)
                same = image.pixel(x, y) == qRgb(0xC0, 0xC0, 0xC0) ||
                       image.pixel(x, y) == shown.pixel(x, y);
        if (same)
            return QFileInfo(file).completeBaseName();
    }
    return "none";
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
    void menusListTheirItemsInOrder();
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

// The menus exactly as users see them, access keys included; "-" is a separator line.
void TestMainWindow::menusListTheirItemsInOrder()
{
    MainWindowHarness h;
    QStringList titles;
    for (QAction *title : h.window->menuBar()->actions())
        titles << title->text();
    QCOMPARE(titles, QStringList({"&File", "&Edit", "&Window", "&Help"}));
    const QList<std::pair<QString, QStringList>> menus = {
        {"mnufile",
         {"mnufileopen O&pen", "mnufileopenmulti Scr&een Show", "dummy -",
          "mnufilesaveas &Save As...", "mnufilepp &Print Preview", "mnufileselprint Printer Setup",
          "mnufileprint P&rint", "mnufiledummy -", "mnufileexit &Exit"}},
        {"mnuedit",
         {"mnueditcopy C&opy", "mnueditwall Set as WallPaper", "dummy5 -", "mnueditzoomin Zoom In",
          "mnueditzoomout Zoom Out"}},
        {"mnuwindow",
         {"mnuwindowcascade &Cascade", "optileh Tile Horizontal", "optilev Tile Vertical"}},
        {"mnuhelp", {"mnuhelpcontents Contents", "mnuhelpabout About..."}},
    };
    for (const auto &[name, expected] : menus) {
        QMenu *menu = h.window->menu(name);
        QVERIFY(menu);
        QStringList items;
        for (QAction *item : menu->actions()) {
            items << item->objectName() + ' ' + (item->isSeparator() ? "-" : item->text());
            if (item->isSeparator())
                continue;
            QVERIFY(item->shortcut().isEmpty());
            QVERIFY(!item->isCheckable());
            QVERIFY(item->isEnabled() && item->isVisible());
            QVERIFY(item->icon().isNull());
        }
        QCOMPARE(items, expected);
    }
}

// Each button is its menu item's own action, with the tooltip and picture users know it by.
void TestMainWindow::toolbarHasItsFourteenButtons()
{
    MainWindowHarness h;
    const QList<QAction *> buttons = h.window->Toolbar1().actions();
    const QStringList expected = {"open Open mnufileopen 01-open",
                                  "show Slide Show mnufileopenmulti 02-camera",
                                  "-",
                                  "copy Copy mnueditcopy 03-copy",
                                  "cascade Cascade mnuwindowcascade 04-cascade",
                                  "zoomin Zoom In mnueditzoomin 05-zoomin",
                                  "zoomout Zoom Out mnueditzoomout 06-zoomout",
                                  "-",
                                  "save Save mnufilesaveas 07-save",
                                  "preview Preview mnufilepp 08-preview",
                                  "print Print mnufileprint 09-print",
                                  "-",
                                  "help Help mnuhelpcontents 10-help",
                                  "exit Exit mnufileexit 11-exit"};
    QCOMPARE(buttons.size(), expected.size());
    for (int i = 0; i < buttons.size(); ++i) {
        QAction *action = buttons[i];
        if (action->isSeparator()) {
            QCOMPARE(QString("-"), expected[i]);
            continue;
        }
        auto *button = qobject_cast<QToolButton *>(h.window->Toolbar1().widgetForAction(action));
        QVERIFY(button);
        QCOMPARE(action->data().toString() + ' ' + button->toolTip() + ' ' + action->objectName() +
                     ' ' + pictureOf(button->icon()),
                 expected[i]);
        QCOMPARE(h.window->menuItem(action->objectName()), action);
        if (i == 0) // silver is the mask colour: the open-folder image's corner is transparent
            QCOMPARE(qAlpha(button->icon().pixmap(16, 16).toImage().pixel(0, 0)), 0);
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
        QCOMPARE(button->size(), QSize(41, 39)); // 609 x 582 twips
    }
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
    const lumora::app::Command *expected =
        item.isEmpty() ? nullptr : lumora::app::commandNamed(item);
    QVERIFY(item.isEmpty() || expected);
    QCOMPARE(lumora::app::commandWithKey(key), expected);
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
