// The About box as Help > About... shows it: its texts, its drawing, its keys and its
// system-information button, under the offscreen platform.
#include "about/aboutdialog.h"
#include "about/linklabel.h"
#include "about/memoryregistry.h"
#include "runtime/picturebox.h"
#include "runtime/twips.h"
#include "tests/about/aboutdriver.h"
#include "tests/about/sysinfotool.h"
#include "tests/pictures/picturecompare.h"
#include "tests/support/harness.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumora;
using about::AboutDialog;
using testing::AboutDriver;
using testing::MainWindowHarness;

namespace {

// Colours from the logo's drawing and the dialog's groove, with room for smoothing.
bool near(QRgb actual, QColor expected, int tolerance = 24)
{
    return testing::coloursNear(actual, expected.rgb(), tolerance);
}

QWidget *focusedOr(QWidget &fallback)
{
    QWidget *focus = QApplication::focusWidget();
    return focus ? focus : &fallback;
}

// Sets PATH for one test and puts it back afterwards.
class PathOverride final {
public:
    explicit PathOverride(const QString &path) : m_saved(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(path));
    }
    ~PathOverride() { qputenv("PATH", m_saved); }

private:
    QByteArray m_saved;
};

} // namespace

class tst_AboutDialog final : public QObject {
    Q_OBJECT

private slots:
    void loadSetsTitleAndVersion();
    void isAFixedDialogOfItsDesignedSize();
    void drawsTheLogoAndTheGroove();
    void mailLinkIsBlueWithTheHandCursor();
    void tabVisitsButtonsAndLogoInOrder();
    void closes_data();
    void closes();
    void systemInfoStartsTheInstalledTool();
    void systemInfoWithoutToolSaysSoAndStaysOpen();

private:
    about::MemoryRegistry m_registry;
    testing::ScriptedDialogs m_dialogs;
};

void tst_AboutDialog::loadSetsTitleAndVersion()
{
    AboutDialog dialog(m_dialogs, m_registry, about::openWithDesktop);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("About Lumora"));
    QCOMPARE(dialog.lblTitle().text(), QStringLiteral("Lumora"));
    QCOMPARE(dialog.lblVersion().text(), QStringLiteral("Version 1.5.6"));
    QCOMPARE(dialog.lblDescription().text(),
             QStringLiteral(
                 "JPEG, WMF, BMP and GIF viewer with Screen Show, Print and Clipboard support."));
    QCOMPARE(dialog.lblurl().text(), QStringLiteral("lumora@example.org"));
    QVERIFY(dialog.lblTitle().font().bold());
    QCOMPARE(dialog.lblTitle().font().pointSizeF(), 9.75);
}

void tst_AboutDialog::isAFixedDialogOfItsDesignedSize()
{
    AboutDialog dialog(m_dialogs, m_registry, about::openWithDesktop);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // 5730 x 3555 twips at 15 twips a pixel.
    QCOMPARE(dialog.size(), QSize(382, 237));
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    const Qt::WindowFlags flags = dialog.windowFlags();
    QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    // The address label is as wide as its text, however long that is.
    QCOMPARE(dialog.lblurl().width(), dialog.lblurl().sizeHint().width());
    QCOMPARE(dialog.lblurl().pos(), QPoint(57, 219));
}

// The logo is a metafile rendered by our own reader into the box; the groove is a grey line
// with a two-pixel white one under it.
void tst_AboutDialog::drawsTheLogoAndTheGroove()
{
    AboutDialog dialog(m_dialogs, m_registry, about::openWithDesktop);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    const QImage logo = dialog.picIcon().Image();
    QCOMPARE(logo.size(), QSize(104, 134));
    QVERIFY2(near(logo.pixel(15, 35), QColor(0x17, 0x64, 0xD6)), "the blue field");
    QVERIFY2(near(logo.pixel(50, 69), QColor(0x0E, 0x1E, 0x45)), "the lens's pupil");
    QVERIFY2(near(logo.pixel(50, 40), QColor(0xFF, 0xFF, 0xFF)), "the lens's white rim");
    QVERIFY2(near(logo.pixel(86, 34), QColor(0xFF, 0xC2, 0x3D)), "the spark");
    QVERIFY2(!near(logo.pixel(50, 5), QColor(0x17, 0x64, 0xD6), 60), "above the field");

    const QImage shot = dialog.grab().toImage();
    for (int x : {10, 200, 370}) {
        QCOMPARE(QColor(shot.pixel(x, 163)), QColor(128, 128, 128));
        QCOMPARE(QColor(shot.pixel(x, 164)), QColor(Qt::white));
        QCOMPARE(QColor(shot.pixel(x, 165)), QColor(Qt::white));
        QVERIFY(QColor(shot.pixel(x, 166)) != QColor(Qt::white));
    }
}

void tst_AboutDialog::mailLinkIsBlueWithTheHandCursor()
{
    AboutDialog dialog(m_dialogs, m_registry, about::openWithDesktop);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QCursor cursor = dialog.lblurl().cursor();
    QCOMPARE(cursor.shape(), Qt::BitmapCursor);
    // On a screen scaled by 2 (tst_aboutdialog_scaled) the hand is drawn twice as fine, as
    // large on the screen, with its hot spot on the same fingertip.
    const int fine = runtime::screenPixelRatio() >= 2 ? 2 : 1;
    QCOMPARE(cursor.pixmap().devicePixelRatio(), double(fine));
    QCOMPARE(cursor.pixmap().size(), QSize(32, 32) * fine);
    QCOMPARE(cursor.hotSpot(), QPoint(12, 1) * fine);

    const QImage text = dialog.lblurl().grab().toImage();
    int blue = 0;
    for (int y = 0; y < text.height(); ++y)
        for (int x = 0; x < text.width(); ++x)
            blue += QColor(text.pixel(x, y)) == QColor(0, 0, 255);
    QVERIFY2(blue > 20, "the address is written in pure blue");
}

void tst_AboutDialog::tabVisitsButtonsAndLogoInOrder()
{
    AboutDialog dialog(m_dialogs, m_registry, about::openWithDesktop);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), &dialog.cmdOK());
    const QList<QWidget *> order{&dialog.picIcon(), &dialog.cmdSysInfo(), &dialog.cmdOK()};
    for (QWidget *next : order) {
        QTest::keyClick(focusedOr(dialog), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void tst_AboutDialog::closes_data()
{
    QTest::addColumn<int>("key"); // 0: a mouse click on OK instead of a key

    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("Enter on the keypad") << int(Qt::Key_Enter);
    QTest::newRow("Esc") << int(Qt::Key_Escape);
    QTest::newRow("OK clicked") << 0;
}

// Help > About... shows the box modally and comes back when it closes; nothing is said.
void tst_AboutDialog::closes()
{
    QFETCH(int, key);
    MainWindowHarness harness;
    AboutDriver driver([key](AboutDialog &dialog) {
        if (key == 0)
            QTest::mouseClick(&dialog.cmdOK(), Qt::LeftButton);
        else
            QTest::keyClick(focusedOr(dialog), Qt::Key(key));
    });
    harness.window->mnuhelpabout_Click();
    QVERIFY(driver.ran());
    QCOMPARE(driver.modality(), Qt::ApplicationModal);
    QVERIFY(!driver.leftOpen());
    QVERIFY(harness.dialogs.messages.isEmpty());
    QVERIFY(!QApplication::activeModalWidget());
}

// The whole road on this platform: the tool found on PATH is started by the button.
void tst_AboutDialog::systemInfoStartsTheInstalledTool()
{
    QTemporaryDir dir;
    const QString marker = dir.filePath(QStringLiteral("marker"));
    QVERIFY(testing::writeRecordingTool(dir.filePath(QStringLiteral("kinfocenter")), marker));
    PathOverride path(dir.path());
    MainWindowHarness harness;
    AboutDriver driver([](AboutDialog &dialog) {
        QTest::mouseClick(&dialog.cmdSysInfo(), Qt::LeftButton);
        QTest::keyClick(&dialog, Qt::Key_Escape);
    });
    harness.window->mnuhelpabout_Click();
    QVERIFY(driver.ran());
    QVERIFY(!driver.leftOpen());
    QVERIFY(harness.dialogs.messages.isEmpty());
    QTRY_COMPARE(testing::recordedRun(marker), QStringList{QStringLiteral("ran")});
}

void tst_AboutDialog::systemInfoWithoutToolSaysSoAndStaysOpen()
{
    QTemporaryDir empty;
    PathOverride path(empty.path());
    MainWindowHarness harness;
    bool openAfterMessage = false;
    AboutDriver driver([&harness, &openAfterMessage](AboutDialog &dialog) {
        // The access key presses the button visibly: the click comes a moment later.
        QTest::keyClick(focusedOr(dialog), Qt::Key_S, Qt::AltModifier);
        (void)QTest::qWaitFor([&] { return !harness.dialogs.messages.isEmpty(); });
        openAfterMessage = dialog.isVisible();
        dialog.cmdOK_Click();
    });
    harness.window->mnuhelpabout_Click();
    QVERIFY(driver.ran());
    QVERIFY(openAfterMessage);
    QCOMPARE(harness.dialogs.messages.size(), 1);
    QCOMPARE(harness.dialogs.messages.first().text,
             QStringLiteral("System Information Is Unavailable At This Time"));
    QCOMPARE(harness.dialogs.messages.first().style, 0);
    QCOMPARE(harness.dialogs.messages.first().title, QStringLiteral("Lumora"));
}

QTEST_MAIN(tst_AboutDialog)
#include "tst_aboutdialog.moc"
