#include "show/screendialog.h"
#include "show/showcommands.h"
#include "show/showplayer.h"
#include "tests/show/showfixtures.h"
#include "tests/support/harness.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumora;
using lumora::show::ScreenDialog;
using lumora::show::ShowPlayer;
using lumora::show::ShowSettings;

class TestScreenDialog final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensOnceAndAnewAfterClosing();
    void designState();
    void tabOrderStartsAtTheFileList();
    void fileListMatchesPatternAnyCaseAlphabeticalNoHidden();
    void pathRule_data();
    void pathRule();
    void addKeepsDuplicatesAndRemoveClearsSelection();
    void extentFollowsClicksButNeverAll();
    void previewLoadsFailsAndEmpties();
    void automaticTransitionEnablesInterval();
    void beginWritesInterval_data();
    void beginWritesInterval();
    void beginRefusesEmptySelection_data();
    void beginRefusesEmptySelection();
    void secondShowIsManualAndDoesNotLoop();
    void cancelAndCloseBoxLeaveSettings();
    void unreadableFolderAndMissingVolumeAreReported();
    void closingMainWindowTakesDialogAlong();

private:
    ScreenDialog *openDialog();
    ScreenDialog *dialogIn(const QString &folder);
    void endRunningShow();
    show::ShowCommands &shows() { return m_harness->window->showCommands(); }

    std::unique_ptr<testing::MainWindowHarness> m_harness;
    QTemporaryDir m_dir;
    QString m_pictures;
    QString m_initialFolder;
};

void TestScreenDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_initialFolder = QDir::currentPath();
    m_pictures = m_dir.filePath(QStringLiteral("pictures"));
    QVERIFY(QDir().mkpath(m_pictures + QStringLiteral("/sub")));
    QVERIFY(testing::makePicture(m_pictures + QStringLiteral("/b.gif"), 30, 20,
                                 QStringLiteral("blue")));
    QVERIFY(testing::makePicture(m_pictures + QStringLiteral("/a.JPG"), 40, 30));
    QVERIFY(testing::makePicture(m_pictures + QStringLiteral("/c.bmp"), 10, 10));
    QVERIFY(testing::makeFile(m_pictures + QStringLiteral("/Z.jpg"))); // listed, cannot be loaded
    QVERIFY(testing::makeFile(m_pictures + QStringLiteral("/d.WMF")));
    QVERIFY(testing::makeFile(m_pictures + QStringLiteral("/.hidden.jpg")));
    QVERIFY(testing::makeFile(m_pictures + QStringLiteral("/e.png")));
    QVERIFY(testing::makeFile(m_pictures + QStringLiteral("/notes.jpg.txt")));
}

void TestScreenDialog::init()
{
    QDir::setCurrent(m_pictures);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    m_harness = std::make_unique<testing::MainWindowHarness>();
}

void TestScreenDialog::cleanup()
{
    endRunningShow();
    m_harness.reset();
    QDir::setCurrent(m_initialFolder);
}

void TestScreenDialog::endRunningShow()
{
    if (ShowPlayer *player = shows().player())
        player->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

ScreenDialog *TestScreenDialog::openDialog()
{
    m_harness->window->mnufileopenmulti_Click();
    return m_harness->window->findChild<ScreenDialog *>(QStringLiteral("frmscreen"));
}

ScreenDialog *TestScreenDialog::dialogIn(const QString &folder)
{
    ScreenDialog *dialog = openDialog();
    if (dialog && dialog->Dir1().Path() != folder)
        dialog->Dir1_Open(folder);
    return dialog;
}

// Screen Show twice brings back the one dialog; after it closed, a new one in its design.
void TestScreenDialog::opensOnceAndAnewAfterClosing()
{
    ScreenDialog *first = openDialog();
    QVERIFY(first);
    QVERIFY(first->isVisible());
    QVERIFY(first->isWindow());
    QCOMPARE(first->windowTitle(), QStringLiteral("File Selection"));
    first->File1().setListIndex(0);
    first->cmdagregar_Click();
    m_harness->window->Toolbar1_ButtonClick(QStringLiteral("show"));
    QCOMPARE(m_harness->window->findChildren<ScreenDialog *>().size(), 1);
    QCOMPARE(first->lstseleccion().ListCount(), 1);

    QPointer<ScreenDialog> gone = first;
    first->cmdcancel_Click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!gone);
    ScreenDialog *second = openDialog();
    QVERIFY(second);
    QCOMPARE(second->lstseleccion().ListCount(), 0);
}

// Every control where the design puts it (in twips), with its caption, and the dialog's
// state as it opens.
void TestScreenDialog::designState()
{
    struct Control {
        const char *name;
        QRect twips;
        const char *caption;
    };
    static const Control controls[] = {
        {"Frame3", {150, 75, 3375, 2415}, ""},
        {"Drive1", {120, 240, 3015, 315}, ""},
        {"Dir1", {120, 720, 3015, 1440}, ""},
        {"File1", {120, 2520, 2655, 2040}, ""},
        {"imgred", {4800, 225, 1710, 1740}, ""},
        {"chkreducida", {3900, 2175, 2415, 255}, "Show Preview Image"},
        {"cmdagregar", {2880, 2520, 855, 375}, "Add >>"},
        {"cmdremove", {2880, 3000, 855, 375}, "Remove"},
        {"cmdremall", {2880, 3480, 855, 375}, " << All"},
        {"cmdall", {2880, 3960, 855, 375}, "All >>"},
        {"lstseleccion", {3840, 2520, 3735, 1620}, ""},
        {"chkauto", {3825, 4185, 1935, 255}, "Automatic Transition"},
        {"txttiempo", {6720, 4200, 375, 285}, ""},
        {"chkloop", {3825, 4500, 2790, 240}, "Loop until ESC is pressed"},
        {"Frame2", {120, 4650, 7335, 810}, ""},
        {"cmdplay", {240, 240, 2775, 450}, "BEGIN"},
        {"cmdcancel", {4440, 240, 2775, 450}, "CANCEL"},
    };
    ScreenDialog *dialog = openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->size(), QSize(509, 364));
    const auto px = [](int t) { return qRound(t / 15.0); };
    for (const Control &c : controls) {
        auto *control = dialog->findChild<QWidget *>(QLatin1String(c.name));
        QVERIFY2(control, c.name);
        const QRect expected(px(c.twips.x()), px(c.twips.y()), px(c.twips.width()),
                             px(c.twips.height()));
        QVERIFY2(control->geometry() == expected, c.name);
        if (auto *button = qobject_cast<QAbstractButton *>(control))
            QVERIFY2(button->text() == QLatin1String(c.caption), c.name);
    }
    QVERIFY(dialog->chkreducida().isChecked());
    QCOMPARE(dialog->chkreducida().toolTip(),
             QStringLiteral("Marcar aqui si se desea ver el \"Preview\" del dibujo"));
    QVERIFY(!dialog->chkauto().isChecked());
    QVERIFY(!dialog->chkloop().isChecked());
    QVERIFY(!dialog->txttiempo().isEnabled());
    QVERIFY(dialog->txttiempo().text().isEmpty());
    QCOMPARE(dialog->lstseleccion().ListCount(), 0);
    QVERIFY(dialog->imgred().picture().isNull());
    QVERIFY(dialog->cmdplay().font().bold());
    QVERIFY(dialog->cmdcancel().font().bold());
    QCOMPARE(dialog->Dir1().Path(), m_pictures);
    QCOMPARE(dialog->File1().Path(), m_pictures);
    QCOMPARE(dialog->File1().ListIndex(), -1);
}

void TestScreenDialog::tabOrderStartsAtTheFileList()
{
    ScreenDialog *dialog = openDialog();
    QCOMPARE(dialog->focusWidget(), &dialog->File1());
    QStringList order;
    QWidget *widget = &dialog->File1();
    for (int i = 0; i < 14; ++i, widget = widget->nextInFocusChain()) {
        while (widget->focusPolicy() == Qt::NoFocus)
            widget = widget->nextInFocusChain();
        order << widget->objectName();
    }
    QCOMPARE(order, QStringList({"File1", "lstseleccion", "cmdagregar", "cmdall", "cmdremove",
                                 "cmdcancel", "cmdplay", "Dir1", "Drive1", "chkauto", "txttiempo",
                                 "chkreducida", "cmdremall", "chkloop"}));
}

void TestScreenDialog::fileListMatchesPatternAnyCaseAlphabeticalNoHidden()
{
    ScreenDialog *dialog = openDialog();
    QStringList names;
    for (int i = 0; i < dialog->File1().ListCount(); ++i)
        names << dialog->File1().List(i);
    QCOMPARE(names, QStringList({"a.JPG", "b.gif", "c.bmp", "d.WMF", "Z.jpg"}));
    QCOMPARE(dialog->File1().Pattern(), QStringLiteral("*.jpg;*.gif;*.bmp;*.wmf"));

    // Opening a subfolder lists its files; the folder list shows the way down to it.
    dialog->Dir1_Open(m_pictures + QStringLiteral("/sub"));
    QCOMPARE(dialog->File1().Path(), m_pictures + QStringLiteral("/sub"));
    QCOMPARE(dialog->File1().ListCount(), 0);
    QVERIFY(dialog->Dir1().ListCount() >= 3);
    QCOMPARE(dialog->Dir1().folderAt(0), QStringLiteral("/"));
}

void TestScreenDialog::pathRule_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << "/"
                          << "/x.jpg";
    QTest::newRow("folder") << "/usr/share"
                            << "/usr/share/x.jpg";
}

void TestScreenDialog::pathRule()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    ScreenDialog *dialog = dialogIn(folder);
    QCOMPARE(dialog->File1().Path(), folder);
    QCOMPARE(dialog->fullPath(QStringLiteral("x.jpg")), expected);
}

void TestScreenDialog::addKeepsDuplicatesAndRemoveClearsSelection()
{
    ScreenDialog *dialog = openDialog();
    show::ListBox &list = dialog->lstseleccion();
    dialog->cmdagregar_Click(); // nothing selected in the file list
    QCOMPARE(list.ListCount(), 0);

    dialog->File1().setListIndex(1);
    dialog->cmdagregar_Click();
    dialog->File1_DblClick();
    QCOMPARE(list.ListCount(), 2);
    QCOMPARE(list.List(0), m_pictures + QStringLiteral("/b.gif"));
    QCOMPARE(list.List(1), list.List(0));

    dialog->cmdremove_Click(); // nothing selected in the list
    QCOMPARE(list.ListCount(), 2);
    dialog->cmdall_Click();
    QCOMPARE(list.ListCount(), 7);
    list.setListIndex(2);
    dialog->cmdremove_Click();
    QCOMPARE(list.ListCount(), 6);
    QCOMPARE(list.ListIndex(), -1);
    QCOMPARE(list.List(2), m_pictures + QStringLiteral("/b.gif"));
    dialog->cmdremove_Click();
    QCOMPARE(list.ListCount(), 6);
    dialog->cmdremall_Click();
    QCOMPARE(list.ListCount(), 0);
}

void TestScreenDialog::extentFollowsClicksButNeverAll()
{
    ScreenDialog *dialog = openDialog();
    show::ListBox &list = dialog->lstseleccion();
    const QFontMetrics metrics(dialog->font());
    dialog->File1().setListIndex(0);
    dialog->cmdagregar_Click();
    const QString added = list.List(0);
    QCOMPARE(list.horizontalExtent(), metrics.horizontalAdvance(added));

    const QString longName = QString(120, QLatin1Char('z')) + QStringLiteral(".jpg");
    QVERIFY(testing::makeFile(m_pictures + QLatin1Char('/') + longName));
    const auto removeLong =
        qScopeGuard([&] { QFile::remove(m_pictures + QLatin1Char('/') + longName); });
    dialog->Dir1().refresh();
    dialog->Dir1_Change();
    dialog->cmdall_Click();
    QCOMPARE(list.horizontalExtent(), metrics.horizontalAdvance(added));

    const int longRow = list.ListCount() - 1;
    QVERIFY(list.List(longRow).endsWith(longName));
    list.setListIndex(longRow);
    dialog->lstseleccion_Click();
    const int wide = metrics.horizontalAdvance(list.List(longRow));
    QCOMPARE(list.horizontalExtent(), wide);
    QVERIFY(wide > list.viewport()->width());
    QCOMPARE(list.horizontalScrollBar()->maximum(), wide - list.viewport()->width());

    list.setListIndex(0); // a shorter entry narrows the range, although a longer one exists
    dialog->lstseleccion_Click();
    QCOMPARE(list.horizontalExtent(), metrics.horizontalAdvance(added));
    dialog->cmdremall_Click();
    QCOMPARE(list.horizontalExtent(), metrics.horizontalAdvance(added));
}

void TestScreenDialog::previewLoadsFailsAndEmpties()
{
    ScreenDialog *dialog = openDialog();
    show::ImageBox &preview = dialog->imgred();
    dialog->File1().setListIndex(2); // c.bmp, 10 x 10
    dialog->File1_Click();
    QVERIFY(!preview.picture().isNull());
    QVERIFY(!preview.showsError());
    QCOMPARE(preview.accessibleDescription(), QString::fromUtf8("10 × 10 pixels"));
    // Stretched to the whole control, whatever the picture's proportions.
    QCOMPARE(preview.rendered().size(), preview.contentsRect().size());
    QCOMPARE(preview.rendered().pixelColor(preview.rendered().width() - 1, 0), QColor(Qt::red));

    dialog->File1().setListIndex(4); // Z.jpg cannot be read
    dialog->File1_Click();
    QVERIFY(preview.showsError());
    QVERIFY(preview.accessibleDescription().startsWith(QStringLiteral("Error")));
    QCOMPARE(preview.picture().raster().size(), QSize(10, 10));
    QVERIFY(m_harness->dialogs.messages.isEmpty());

    dialog->chkreducida().setChecked(false);
    dialog->File1().setListIndex(1);
    dialog->File1_Click();
    QVERIFY(preview.picture().isNull());
    QVERIFY(!preview.showsError());
    QCOMPARE(preview.accessibleDescription(), QStringLiteral("No picture"));
}

void TestScreenDialog::automaticTransitionEnablesInterval()
{
    ScreenDialog *dialog = openDialog();
    dialog->activateWindow();
    dialog->chkauto().setChecked(true);
    QVERIFY(dialog->txttiempo().isEnabled());
    QCOMPARE(dialog->focusWidget(), &dialog->txttiempo());
    dialog->chkauto().setChecked(false);
    QVERIFY(dialog->txttiempo().isEnabled());
}

void TestScreenDialog::beginWritesInterval_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("milliseconds"); // 0: BEGIN refuses
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    QTest::newRow("2.5 s") << us << "2.5" << 2500;
    QTest::newRow("2,5 s German") << de << "2,5" << 2500;
    QTest::newRow("largest") << us << "32.767" << 32767;
    QTest::newRow("spaces") << us << " 1 " << 1000;
    QTest::newRow("1 ms") << us << "0.001" << 1;
    QTest::newRow("half ms to even") << us << "0.0025" << 2;
    QTest::newRow("rounds to 0") << us << "0.0004" << 0;
    QTest::newRow("zero") << us << "0" << 0;
    QTest::newRow("negative") << us << "-1" << 0;
    QTest::newRow("too large") << us << "32.768" << 0;
    QTest::newRow("huge") << us << "1e300" << 0;
    QTest::newRow("empty") << us << "" << 0;
    QTest::newRow("letters") << us << "abc" << 0;
    QTest::newRow("infinity") << us << "inf" << 0;
    QTest::newRow("German point") << de << "2.5" << 0;
}

void TestScreenDialog::beginWritesInterval()
{
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QFETCH(int, milliseconds);
    QLocale::setDefault(locale);
    ShowSettings &settings = shows().settings();
    settings.ShowInterval = 777;
    ScreenDialog *dialog = openDialog();
    dialog->File1().setListIndex(0);
    dialog->cmdagregar_Click();
    dialog->chkauto().setChecked(true);
    dialog->chkloop().setChecked(true);
    dialog->txttiempo().setText(text);
    dialog->cmdplay_Click();
    if (milliseconds == 0) {
        QCOMPARE(m_harness->dialogs.messages.size(), 1);
        QCOMPARE(m_harness->dialogs.messages[0].text, show::intervalMessage(locale));
        QCOMPARE(m_harness->dialogs.messages[0].style, int(runtime::vbExclamation));
        QCOMPARE(m_harness->dialogs.messages[0].title, QStringLiteral("Error"));
        QVERIFY(!dialog->isUnloaded());
        QVERIFY(!shows().player());
        QCOMPARE(settings.ShowInterval, short(777));
        QVERIFY(settings.ShowFiles.isEmpty());
        return;
    }
    QVERIFY(m_harness->dialogs.messages.isEmpty());
    QVERIFY(dialog->isUnloaded());
    QVERIFY(shows().player());
    QCOMPARE(settings.ShowInterval, short(milliseconds));
    QCOMPARE(settings.ShowAuto, short(1));
    QCOMPARE(settings.ShowLoop, short(1));
    QCOMPARE(settings.ShowFiles, QStringList({m_pictures + QStringLiteral("/a.JPG")}));
}

void TestScreenDialog::beginRefusesEmptySelection_data()
{
    QTest::addColumn<int>("entries");
    QTest::newRow("empty") << 0;
    // One more than the show's 16-bit position can step past.
    QTest::newRow("too many") << show::kMaxShowFiles + 1;
}

void TestScreenDialog::beginRefusesEmptySelection()
{
    QFETCH(int, entries);
    ScreenDialog *dialog = openDialog();
    dialog->lstseleccion().addItems(QStringList(entries, m_pictures + QStringLiteral("/c.bmp")));
    dialog->cmdplay_Click();
    QCOMPARE(m_harness->dialogs.messages.size(), 1);
    QCOMPARE(m_harness->dialogs.messages[0].text,
             entries ? show::tooManyPicturesMessage() : show::emptyShowMessage());
    QVERIFY(shows().settings().ShowFiles.isEmpty());
    QVERIFY(!dialog->isUnloaded());
    QVERIFY(!shows().player());
}

// Each BEGIN writes the mode and the loop anew; an earlier automatic show leaves only its
// interval behind.
void TestScreenDialog::secondShowIsManualAndDoesNotLoop()
{
    ShowSettings &settings = shows().settings();
    ScreenDialog *dialog = openDialog();
    dialog->cmdall_Click();
    dialog->chkauto().setChecked(true);
    dialog->chkloop().setChecked(true);
    dialog->txttiempo().setText(QStringLiteral("30"));
    dialog->cmdplay_Click();
    QCOMPARE(settings.ShowFiles.size(), 5);
    endRunningShow();

    dialog = openDialog();
    QVERIFY(!dialog->chkauto().isChecked());
    dialog->File1().setListIndex(2);
    dialog->cmdagregar_Click();
    dialog->cmdagregar_Click();
    dialog->cmdplay_Click();
    QCOMPARE(settings.ShowAuto, short(0));
    QCOMPARE(settings.ShowLoop, short(0));
    QCOMPARE(settings.ShowInterval, short(30000));
    const QString c = m_pictures + QStringLiteral("/c.bmp");
    QCOMPARE(settings.ShowFiles, QStringList({c, c}));
    QVERIFY(shows().player());
    QCOMPARE(shows().player()->tmrtiepo().Interval(), 0);
}

void TestScreenDialog::cancelAndCloseBoxLeaveSettings()
{
    ShowSettings &settings = shows().settings();
    settings.ShowFiles = {QStringLiteral("/kept.jpg")};
    for (bool closeBox : {false, true}) {
        ScreenDialog *dialog = openDialog();
        dialog->cmdall_Click();
        dialog->chkauto().setChecked(true);
        QPointer<ScreenDialog> watch = dialog;
        if (closeBox)
            dialog->close();
        else
            QTest::keyClick(&dialog->File1(), Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!watch);
        QCOMPARE(settings.ShowFiles, QStringList({QStringLiteral("/kept.jpg")}));
        QCOMPARE(settings.ShowAuto, short(0));
        QVERIFY(!shows().player());
    }
}

void TestScreenDialog::unreadableFolderAndMissingVolumeAreReported()
{
    ScreenDialog *dialog = openDialog();
    const QString doomed = m_pictures + QStringLiteral("/doomed");
    QVERIFY(QDir().mkdir(doomed));
    dialog->Dir1().refresh();
    QVERIFY(QDir().rmdir(doomed)); // listed, then gone before it is opened
    dialog->Dir1_Open(doomed);
    QCOMPARE(m_harness->dialogs.messages.size(), 1);
    QCOMPARE(m_harness->dialogs.messages[0].text,
             QStringLiteral("The folder %1 cannot be read.").arg(doomed));
    QCOMPARE(dialog->Dir1().Path(), m_pictures);
    QCOMPARE(dialog->File1().ListCount(), 5);

    dialog->Drive1().addItem(QStringLiteral("/media/gone-volume"));
    dialog->Drive1().setCurrentIndex(dialog->Drive1().count() - 1);
    dialog->Drive1_Change();
    QCOMPARE(m_harness->dialogs.messages.size(), 2);
    QCOMPARE(m_harness->dialogs.messages[1].text,
             QStringLiteral("The volume /media/gone-volume is not available."));
    QCOMPARE(dialog->Dir1().Path(), m_pictures);
    QCOMPARE(dialog->Drive1().findText(QStringLiteral("/media/gone-volume")), -1);
    QCOMPARE(dialog->Drive1().Drive(), QStorageInfo(m_pictures).rootPath());
}

void TestScreenDialog::closingMainWindowTakesDialogAlong()
{
    QPointer<ScreenDialog> dialog = openDialog();
    dialog->cmdall_Click();
    m_harness->window->close();
    QTRY_VERIFY(!dialog);
    QVERIFY(shows().settings().ShowFiles.isEmpty());
}

QTEST_MAIN(TestScreenDialog)
#include "tst_screendialog.moc"
