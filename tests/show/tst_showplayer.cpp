#include "base/runtimeerror.h"
#include "image/imagewindow.h"
#include "picture/loadpicture.h"
#include "picture/memorybudget.h"
#include "runtime/form.h"
#include "show/showplayer.h"
#include "tests/show/showfixtures.h"
#include "tests/support/harness.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

using namespace lumora;
using lumora::image::ImageWindow;
using lumora::show::ShowPlayer;
using lumora::show::ShowSettings;

namespace {

QList<ImageWindow *> imageWindows(app::MainWindow &window)
{
    QList<ImageWindow *> windows;
    for (QMdiSubWindow *sub : window.mdiArea().subWindowList())
        if (auto *form = image::asImageWindow(sub->widget()))
            windows << form;
    return windows;
}

// Where the player puts a box `size` pixels long on a screen `screen` pixels long: half the
// difference in twips, then to the nearest pixel.
int centred(int screen, int size)
{
    return int(std::lround((screen * 15.0 - size * 15.0) / 2.0 / 15.0));
}

// What the screen shows of the player's picture box, against the whole picture decoded.
void compareShown(ShowPlayer &player, const QImage &whole)
{
    runtime::PictureBox &box = player.picshow();
    const QRect inner(QPoint(1, 1), box.innerPixels());
    const QRect visible = inner & QRect(box.mapFrom(&player, QPoint(0, 0)), player.size());
    QVERIFY(!visible.isEmpty());
    const QImage shown = box.grab(visible).toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown, whole.copy(visible.translated(-1, -1)));
}

} // namespace

class TestShowPlayer final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loadStepCentresFirstPictureWithPath();
    void manualStepsClicksAndKeys();
    void oneOrLastPictureEnds_data();
    void oneOrLastPictureEnds();
    void oneAutomaticPictureWithLoopReloads();
    void automaticShowLoopsAndIgnoresClicks();
    void pageUpAtFirstPicture_data();
    void pageUpAtFirstPicture();
    void escAfterPageUpOpensTwoBefore();
    void largePictureInManualStep();
    void largePictureInTimedStepCutsToScreen_data();
    void largePictureInTimedStepCutsToScreen();
    void failingEntryInTheMiddle();
    void intervalsThatNeverFire_data();
    void intervalsThatNeverFire();
    void pageUpKeepsIndexInRange();
    void changedFileIsReadAgain();
    void closingMainWindowEndsShowWithoutWindow();
    void hugeJpegShowsItsMiddle();
    void hugeJpegInTimedSteps();

private:
    ShowPlayer *start(const QStringList &files, short automatic = 0, short interval = 0,
                      short loop = 0);
    void waitUnloaded(ShowPlayer *player);

    std::unique_ptr<testing::MainWindowHarness> m_harness;
    QTemporaryDir m_dir;
    QString m_small, m_other, m_big, m_wide, m_missing, m_huge, m_damaged;
    QSize m_screen;
    QImage m_hugeDecoded;
};

void TestShowPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_screen = QGuiApplication::primaryScreen()->geometry().size();
    m_small = m_dir.filePath(QStringLiteral("small.bmp"));
    m_other = m_dir.filePath(QStringLiteral("other.gif"));
    m_big = m_dir.filePath(QStringLiteral("big.jpg"));
    m_wide = m_dir.filePath(QStringLiteral("wide.bmp"));
    m_missing = m_dir.filePath(QStringLiteral("missing.jpg"));
    QVERIFY(testing::makePicture(m_small, 41, 30));
    QVERIFY(testing::makePicture(m_other, 60, 21, QStringLiteral("blue")));
    QVERIFY(testing::makePicture(m_big, m_screen.width() + 101, m_screen.height() + 60,
                                 QStringLiteral("lime")));
    // One pixel narrower than the screen: only its frame makes it too wide.
    QVERIFY(testing::makePicture(m_wide, m_screen.width() - 1, 40, QStringLiteral("yellow")));
    // Three screens each way, of noise, with its colour sampled by halves.
    m_huge = m_dir.filePath(QStringLiteral("huge.jpg"));
    m_damaged = m_dir.filePath(QStringLiteral("damaged.jpg"));
    QVERIFY(testing::makePicture(m_huge, 3 * m_screen.width() + 1, 3 * m_screen.height() + 1,
                                 QStringLiteral("gray"),
                                 {QStringLiteral("+noise"), QStringLiteral("Random"),
                                  QStringLiteral("-sampling-factor"), QStringLiteral("2x2")}));
    m_hugeDecoded = picture::LoadPicture(m_huge).raster().copy(); // a copy outside the budget
    // Its coded data cut short below its middle, where the whole read refuses it.
    QFile huge(m_huge);
    QVERIFY(huge.open(QIODevice::ReadOnly));
    const QByteArray bytes = huge.readAll();
    const qsizetype scan = bytes.indexOf("\xFF\xDA");
    const qsizetype end = bytes.lastIndexOf("\xFF\xD9");
    QVERIFY(testing::makeFile(m_damaged, bytes.left(end - (end - scan) / 8) + "\xFF\xD9"));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, picture::LoadPicture(m_damaged));
}

void TestShowPlayer::init()
{
    m_harness = std::make_unique<testing::MainWindowHarness>();
}

void TestShowPlayer::cleanup()
{
    if (ShowPlayer *player = m_harness->window->showCommands().player())
        player->Unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_harness.reset();
}

ShowPlayer *TestShowPlayer::start(const QStringList &files, short automatic, short interval,
                                  short loop)
{
    ShowSettings settings;
    settings.ShowFiles = files;
    settings.ShowAuto = automatic;
    settings.ShowInterval = interval;
    settings.ShowLoop = loop;
    return testing::startShow(*m_harness->window, settings);
}

void TestShowPlayer::waitUnloaded(ShowPlayer *player)
{
    QPointer<ShowPlayer> watch = player;
    QTRY_VERIFY(!watch);
}

void TestShowPlayer::loadStepCentresFirstPictureWithPath()
{
    ShowPlayer *player = start({m_small, m_other});
    QVERIFY(player->isVisible());
    QVERIFY(player->isWindow());
    QVERIFY(player->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(player->geometry(), QGuiApplication::primaryScreen()->geometry());
    QCOMPARE(player->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(player->ShowIndex(), short(0));
    runtime::PictureBox &box = player->picshow();
    QVERIFY(box.isVisible());
    QCOMPARE(box.size(), QSize(43, 32));
    QCOMPARE(box.pos(), QPoint(centred(m_screen.width(), 41), centred(m_screen.height(), 30)));
    QCOMPARE(player->lblfile().text(), m_small);
    QCOMPARE(player->lblfile().pos(), QPoint(7, 7));
    QCOMPARE(player->lblfile().palette().color(QPalette::WindowText), QColor(0, 192, 0));
    QCOMPARE(runtime::mousePointer(*player), int(runtime::vbDefault));
    QCOMPARE(player->tmrtiepo().Interval(), 0);
    // What the screen shows: the picture in the middle, black around it.
    const QImage shot = player->grab().toImage();
    QCOMPARE(shot.pixelColor(box.x() + 20, box.y() + 15), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(box.x() - 5, box.y() + 15), QColor(Qt::black));
}

void TestShowPlayer::manualStepsClicksAndKeys()
{
    ShowPlayer *player = start({m_small, m_other, m_small});
    QCOMPARE(player->readAhead().pendingPath(), m_other);
    QTest::mouseClick(&player->lblfile(), Qt::LeftButton); // the path takes no part
    QCOMPARE(player->ShowIndex(), short(0));
    QTest::mouseClick(&player->picshow(), Qt::LeftButton);
    QCOMPARE(player->ShowIndex(), short(1));
    QCOMPARE(player->lblfile().text(), m_other);
    QCOMPARE(player->picshow().size(), QSize(62, 23));
    QCOMPARE(player->picshow().pos(),
             QPoint(centred(m_screen.width(), 60), centred(m_screen.height(), 21)));
    QCOMPARE(runtime::mousePointer(*player), int(runtime::vbArrow));
    QTest::keyClick(player, Qt::Key_Right); // no other key does anything
    QCOMPARE(player->ShowIndex(), short(1));
    QTest::keyClick(player, Qt::Key_PageDown);
    QCOMPARE(player->ShowIndex(), short(2));
    QTest::keyClick(player, Qt::Key_PageUp);
    QCOMPARE(player->ShowIndex(), short(1));
    QTest::mouseClick(player, Qt::LeftButton, {}, QPoint(3, 400));
    QCOMPARE(player->ShowIndex(), short(2));
    QCOMPARE(player->lblfile().text(), m_small);
}

void TestShowPlayer::oneOrLastPictureEnds_data()
{
    QTest::addColumn<short>("automatic");
    QTest::addColumn<short>("loop");
    QTest::addColumn<int>("pictures");
    QTest::newRow("manual, one picture") << short(0) << short(0) << 1;
    QTest::newRow("manual never loops") << short(0) << short(1) << 2;
    QTest::newRow("timed, no loop") << short(1) << short(0) << 2;
}

// A step past the last picture opens it sized from the picture box's outer size, with no
// room for the window's frame.
void TestShowPlayer::oneOrLastPictureEnds()
{
    QFETCH(short, automatic);
    QFETCH(short, loop);
    QFETCH(int, pictures);
    const QStringList files = pictures == 1 ? QStringList{m_other} : QStringList{m_small, m_other};
    ShowPlayer *player = start(files, automatic, 5, loop);
    if (!automatic) {
        for (int i = 0; i < pictures; ++i)
            QTest::keyClick(player, Qt::Key_PageDown);
    }
    waitUnloaded(player);
    const QList<ImageWindow *> windows = imageWindows(*m_harness->window);
    QCOMPARE(windows.size(), 1);
    ImageWindow *window = windows.first();
    QCOMPARE(window->Caption(), m_other);
    QCOMPARE(window->picdibujo().size(), QSize(62, 23));
    QCOMPARE(window->frame().size(), QSize(62, 23));
    QCOMPARE(window->picdibujo().Image().pixelColor(10, 10), QColor(Qt::blue));
    QCOMPARE(m_harness->window->StatBar().text(2), m_other);
    QVERIFY(m_harness->dialogs.messages.isEmpty());
}

void TestShowPlayer::oneAutomaticPictureWithLoopReloads()
{
    ShowPlayer *player = start({m_small}, 1, 2, 1);
    QSignalSpy fired(&player->tmrtiepo(), &runtime::Timer::fired);
    QTRY_VERIFY(fired.count() >= 3);
    QCOMPARE(m_harness->window->showCommands().player(), player);
    QCOMPARE(player->ShowIndex(), short(0));
    QVERIFY(player->picshow().isVisible());
    QCOMPARE(player->picshow().size(), QSize(43, 32));
    QCOMPARE(runtime::mousePointer(*player), int(runtime::vbArrow));
    QTest::keyClick(player, Qt::Key_Escape);
    waitUnloaded(player);
    QCOMPARE(imageWindows(*m_harness->window).size(), 1);
}

void TestShowPlayer::automaticShowLoopsAndIgnoresClicks()
{
    ShowPlayer *player = start({m_small, m_other}, 1, 30000, 1);
    QCOMPARE(player->tmrtiepo().Interval(), 30000);
    QTest::mouseClick(&player->picshow(), Qt::LeftButton);
    QTest::keyClick(player, Qt::Key_PageDown);
    QCOMPARE(player->ShowIndex(), short(0));
    QCOMPARE(player->readAhead().pendingPath(), m_other);
    player->tmrtiepo_Timer();
    QCOMPARE(player->ShowIndex(), short(1));
    QCOMPARE(player->readAhead().pendingPath(), QString()); // the step used it
    player->tmrtiepo_Timer();
    QCOMPARE(player->ShowIndex(), short(0));
    QCOMPARE(player->lblfile().text(), m_small);
    QVERIFY(player->picshow().isVisible());
    // Timed steps centre by the outer size.
    QCOMPARE(player->picshow().pos(),
             QPoint(centred(m_screen.width(), 43), centred(m_screen.height(), 32)));
}

void TestShowPlayer::pageUpAtFirstPicture_data()
{
    QTest::addColumn<short>("automatic");
    QTest::newRow("manual") << short(0);
    QTest::newRow("automatic") << short(1);
}

// Page Up on the first picture stays at the first picture; in an automatic show the next
// timed step shows it again. Esc in between has no picture to open and opens no window.
void TestShowPlayer::pageUpAtFirstPicture()
{
    QFETCH(short, automatic);
    ShowPlayer *player = start({m_small, m_other}, automatic, 30000);
    QTest::keyClick(player, Qt::Key_PageUp);
    if (automatic) {
        QCOMPARE(player->ShowIndex(), short(-1));
        QTest::keyClick(player, Qt::Key_Escape);
        waitUnloaded(player);
        QCOMPARE(imageWindows(*m_harness->window).size(), 0);
        QVERIFY(m_harness->dialogs.messages.isEmpty());
        return;
    }
    QCOMPARE(player->ShowIndex(), short(0));
    QVERIFY(player->picshow().isVisible());
    QCOMPARE(player->lblfile().text(), m_small);
    QCOMPARE(runtime::mousePointer(*player), int(runtime::vbArrow));
}

// Esc opens the place the show stands at, sized from the picture box's inner size.
void TestShowPlayer::escAfterPageUpOpensTwoBefore()
{
    ShowPlayer *player = start({m_other, m_small, m_small}, 1, 30000);
    player->tmrtiepo_Timer();
    player->tmrtiepo_Timer();
    QCOMPARE(player->ShowIndex(), short(2));
    QTest::keyClick(player, Qt::Key_PageUp);
    QTest::keyClick(player, Qt::Key_Escape);
    waitUnloaded(player);
    const QList<ImageWindow *> windows = imageWindows(*m_harness->window);
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first()->Caption(), m_other);
    QCOMPARE(windows.first()->picdibujo().size(), QSize(60, 21));
    QCOMPARE(windows.first()->frame().size(), QSize(60, 21));
}

void TestShowPlayer::largePictureInManualStep()
{
    ShowPlayer *player = start({m_small, m_big, m_small});
    QTest::keyClick(player, Qt::Key_PageDown);
    const QSize big(m_screen.width() + 101, m_screen.height() + 60);
    runtime::PictureBox &box = player->picshow();
    QCOMPARE(box.size(), big + QSize(2, 2));
    QCOMPARE(box.pos(), QPoint(centred(m_screen.width(), big.width()),
                               centred(m_screen.height(), big.height())));
    QVERIFY(box.x() < 0 && box.y() < 0);
    QVERIFY(box.AutoSize());
    QTest::keyClick(player, Qt::Key_PageDown); // the next picture is centred again
    QCOMPARE(box.size(), QSize(43, 32));
}

void TestShowPlayer::largePictureInTimedStepCutsToScreen_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("size");
    QTest::newRow("larger both ways") << "big.jpg" << QSize(101, 60);
    QTest::newRow("one pixel narrower") << "wide.bmp" << QSize(-1, 0);
}

// The box keeps its centred place but is cut to the screen; every later picture of the show
// goes into that screen-sized box at the top left corner.
void TestShowPlayer::largePictureInTimedStepCutsToScreen()
{
    QFETCH(QString, picture);
    QFETCH(QSize, size);
    const QString path = m_dir.filePath(picture);
    const QSize pixels =
        picture == QStringLiteral("big.jpg") ? m_screen + size : QSize(m_screen.width() - 1, 40);
    ShowPlayer *player = start({m_small, path, m_other}, 1, 30000, 1);
    player->tmrtiepo_Timer();
    runtime::PictureBox &box = player->picshow();
    QVERIFY(!box.AutoSize());
    QCOMPARE(box.size(), m_screen);
    QCOMPARE(box.pos(), QPoint(centred(m_screen.width(), pixels.width() + 2),
                               centred(m_screen.height(), pixels.height() + 2)));
    player->tmrtiepo_Timer();
    QCOMPARE(box.size(), m_screen);
    QCOMPARE(box.pos(), QPoint(0, 0));
    QCOMPARE(player->grab().toImage().pixelColor(5, 5), QColor(Qt::blue));
}

void TestShowPlayer::failingEntryInTheMiddle()
{
    const QString broken = m_dir.filePath(QStringLiteral("broken.gif"));
    QVERIFY(testing::makeFile(broken));
    for (const QString &bad : {m_missing, broken}) {
        ShowPlayer *player = start({m_small, bad, m_other});
        QTest::keyClick(player, Qt::Key_PageDown);
        QCOMPARE(player->ShowIndex(), short(1));
        QVERIFY(!player->picshow().isVisible());
        QCOMPARE(player->lblfile().text(), bad);
        QCOMPARE(runtime::mousePointer(*player), int(runtime::vbHourglass));
        QCOMPARE(player->grab().toImage().pixelColor(m_screen.width() / 2, m_screen.height() / 2),
                 QColor(Qt::black));
        QTest::keyClick(player, Qt::Key_PageDown);
        QCOMPARE(player->ShowIndex(), short(2));
        QVERIFY(player->picshow().isVisible());
        QCOMPARE(runtime::mousePointer(*player), int(runtime::vbArrow));
        QVERIFY(m_harness->dialogs.messages.isEmpty());
        player->Unload();
    }
    // A timed step stops the same way, and the timer goes on to the next picture.
    ShowPlayer *player = start({m_small, broken, m_other}, 1, 30000);
    player->tmrtiepo_Timer();
    QVERIFY(!player->picshow().isVisible());
    QCOMPARE(player->lblfile().text(), broken);
    QCOMPARE(runtime::mousePointer(*player), int(runtime::vbHourglass));
    QVERIFY(player->tmrtiepo().Enabled());
    QCOMPARE(player->tmrtiepo().Interval(), 30000);
    player->tmrtiepo_Timer();
    QVERIFY(player->picshow().isVisible());
    QCOMPARE(player->lblfile().text(), m_other);
}

void TestShowPlayer::intervalsThatNeverFire_data()
{
    QTest::addColumn<short>("interval");
    QTest::addColumn<bool>("pictureShown");
    QTest::newRow("negative") << short(-5) << false;
    QTest::newRow("zero") << short(0) << true;
}

// A negative interval is refused by the timer and stops the load step; zero is accepted but
// never fires. Either way only Esc ends the show, and it opens the first picture.
void TestShowPlayer::intervalsThatNeverFire()
{
    QFETCH(short, interval);
    QFETCH(bool, pictureShown);
    ShowPlayer *player = start({m_small, m_other}, 1, interval);
    QCOMPARE(player->tmrtiepo().Interval(), 0);
    QCOMPARE(player->picshow().isVisible(), pictureShown);
    QCOMPARE(player->lblfile().text(), pictureShown ? m_small : QString());
    QTest::mouseClick(player, Qt::LeftButton);
    QCOMPARE(player->ShowIndex(), short(0));
    QTest::keyClick(player, Qt::Key_Escape);
    waitUnloaded(player);
    QCOMPARE(imageWindows(*m_harness->window).size(), 1);
    QCOMPARE(imageWindows(*m_harness->window).first()->Caption(), m_small);
}

void TestShowPlayer::pageUpKeepsIndexInRange()
{
    // An automatic show only moves the place, so Page Up can be pressed past the 16-bit range.
    for (short automatic : {short(0), short(1)}) {
        ShowPlayer *player = start({m_small}, automatic, 30000);
        for (int i = 0, presses = automatic ? 40000 : 3; i < presses; ++i)
            player->Form_KeyDown(33);
        QCOMPARE(player->ShowIndex(), short(automatic ? -1 : 0));
        player->Unload();
    }
}

// A picture replaced on disk after it was read ahead is shown as it is now.
void TestShowPlayer::changedFileIsReadAgain()
{
    const QString changing = m_dir.filePath(QStringLiteral("changing.bmp"));
    QVERIFY(testing::makePicture(changing, 20, 20));
    ShowPlayer *player = start({m_small, changing});
    QCOMPARE(player->readAhead().pendingPath(), changing);
    QVERIFY(testing::makePicture(changing, 70, 50, QStringLiteral("blue")));
    QTest::keyClick(player, Qt::Key_PageDown);
    QCOMPARE(player->picshow().size(), QSize(72, 52));
}

void TestShowPlayer::closingMainWindowEndsShowWithoutWindow()
{
    QPointer<ShowPlayer> player = start({m_small, m_other});
    m_harness->window->close();
    QTRY_VERIFY(!player);
    QCOMPARE(imageWindows(*m_harness->window).size(), 0);
}

// Only the middle of a JPEG far larger than the screen is read, for the step and for the read
// ahead: the budget holds no more. The screen shows exactly what the whole picture shows there,
// the box has the whole picture's size and place, and a screen reader is told that size.
void TestShowPlayer::hugeJpegShowsItsMiddle()
{
    ShowPlayer *player = start({m_small, m_huge, m_damaged});
    QCOMPARE(player->readAhead().pendingPath(), m_huge);
    QTest::keyClick(player, Qt::Key_PageDown);
    runtime::PictureBox &box = player->picshow();
    QVERIFY(box.picture().isPartial());
    const QSize size = m_hugeDecoded.size();
    QCOMPARE(box.size(), size + QSize(2, 2));
    QCOMPARE(box.pos(), QPoint(centred(m_screen.width(), size.width()),
                               centred(m_screen.height(), size.height())));
    QCOMPARE(box.accessibleDescription(),
             QStringLiteral("%1 \u00D7 %2 pixels").arg(size.width()).arg(size.height()));
    compareShown(*player, m_hugeDecoded);
    QTRY_VERIFY(player->readAhead().isReady());
    QVERIFY(picture::MemoryBudget::process().usedBytes() < m_hugeDecoded.sizeInBytes() / 2);

    // Damaged only below what is seen: shown; the image window the show ends in reads it whole.
    QTest::keyClick(player, Qt::Key_PageDown);
    QVERIFY(box.isVisible());
    compareShown(*player, m_hugeDecoded);
    QTest::keyClick(player, Qt::Key_Escape);
    waitUnloaded(player);
    const QList<ImageWindow *> windows = imageWindows(*m_harness->window);
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows.first()->pictrans().picture().isNull());
}

// A timed step reads the middle too; once the box is cut to the screen, it shows the top left
// part of every later picture, which is then read whole.
void TestShowPlayer::hugeJpegInTimedSteps()
{
    ShowPlayer *player = start({m_small, m_huge, m_huge}, 1, 30000, 1);
    player->tmrtiepo_Timer();
    runtime::PictureBox &box = player->picshow();
    QVERIFY(box.picture().isPartial());
    QVERIFY(!box.AutoSize());
    // Cut to the screen's size at the place centred for the whole picture, three screens
    // wide: the box lies wholly above and left of the screen.
    QVERIFY(box.geometry().right() < 0 && box.geometry().bottom() < 0);
    player->tmrtiepo_Timer();
    QVERIFY(!box.picture().isPartial());
    QCOMPARE(box.pos(), QPoint(0, 0));
    compareShown(*player, m_hugeDecoded);
}

QTEST_MAIN(TestShowPlayer)
#include "tst_showplayer.moc"
