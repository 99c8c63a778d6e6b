#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "picture/memorybudget.h"
#include "print/previewwindow.h"
#include "show/showplayer.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using image::ImageWindow;
using picture::MemoryBudget;
using testing::MainWindowHarness;

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 150;
constexpr qint64 kPictureBytes = qint64(kWidth) * kHeight * 4;
constexpr qint64 kDrawingBytes = qint64(kWidth + 2) * (kHeight + 2) * 4;
// An open window keeps the picture as loaded and the drawing of it.
constexpr qint64 kWindowBytes = kPictureBytes + kDrawingBytes;
constexpr QRgb kLightGrey = 0xFFE0E0E0;

MemoryBudget &budget()
{
    return MemoryBudget::process();
}

// What the box shows on the screen, read without asking the budget for a copy.
QImage shown(const runtime::PictureBox &box)
{
    return const_cast<runtime::PictureBox &>(box).grab().toImage().convertToFormat(
        QImage::Format_RGB32);
}

bool allOneColour(const QImage &image, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != colour)
                return false;
    return !image.isNull();
}

ImageWindow *activeImageWindow(MainWindowHarness &h)
{
    QMdiSubWindow *active = h.window->mdiArea().activeSubWindow();
    return active ? image::asImageWindow(active->widget()) : nullptr;
}

print::PreviewWindow *previewOf(MainWindowHarness &h)
{
    for (QMdiSubWindow *sub : h.window->mdiArea().subWindowList())
        if (auto *form = qobject_cast<print::PreviewWindow *>(sub->widget()))
            if (!form->unloaded())
                return form;
    return nullptr;
}

} // namespace

class TestBudgetWindows final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void openingUntilTheBudgetIsReached();
    void zoomPastTheBudget();
    void previewSheetBelongsToTheBudget();
    void showStepsWithoutRoomToReadAhead_data();
    void showStepsWithoutRoomToReadAhead();

private:
    ImageWindow *fileOpen(MainWindowHarness &h, const QString &path);
    void checkIntact(ImageWindow *window, const QString &path) const;

    QTemporaryDir m_dir;
    QStringList m_pictures;
    QImage m_reference;
    std::unique_ptr<MainWindowHarness> m_harness;
    qint64 m_machineTotal = 0;
    qint64 m_base = 0;
};

void TestBudgetWindows::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < 6; ++i) {
        const QString path = m_dir.filePath(QStringLiteral("noise%1.bmp").arg(i));
        QVERIFY(testing::makeNoisePicture(path, kWidth, kHeight));
        m_pictures << path;
    }
    m_reference = testing::decodeWithImageMagick(m_pictures[0]);
    QCOMPARE(m_reference.size(), QSize(kWidth, kHeight));
    m_machineTotal = budget().totalBytes();
}

void TestBudgetWindows::init()
{
    m_harness = std::make_unique<MainWindowHarness>();
    m_base = budget().usedBytes();
}

void TestBudgetWindows::cleanup()
{
    if (show::ShowPlayer *player = m_harness->window->showCommands().player())
        player->Unload();
    m_harness.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    budget().setTotalBytes(m_machineTotal);
}

ImageWindow *TestBudgetWindows::fileOpen(MainWindowHarness &h, const QString &path)
{
    h.dialogs.fileAnswers.enqueue(path);
    h.window->mnufileopen_Click();
    return activeImageWindow(h);
}

// The picture at the box's top left corner and the two-pixel grey strip that File Open leaves.
void TestBudgetWindows::checkIntact(ImageWindow *window, const QString &path) const
{
    QVERIFY(window);
    QCOMPARE(window->Caption(), path);
    const QImage drawn = shown(window->picdibujo());
    QCOMPARE(drawn.size(), QSize(kWidth + 2, kHeight + 2));
    QCOMPARE(drawn.copy(0, 0, kWidth, kHeight), m_reference);
    QVERIFY(allOneColour(drawn.copy(kWidth, 0, 2, kHeight + 2), kLightGrey));
}

// Windows open until the budget is reached; past it a window still opens, titled with its
// path, as for any picture that cannot be read, and nothing is reported. The windows already
// open keep their pictures, and closing one makes room for the next.
void TestBudgetWindows::openingUntilTheBudgetIsReached()
{
    MainWindowHarness &h = *m_harness;
    // Three whole windows, then room for one more picture but not for its drawing.
    budget().setTotalBytes(m_base + 3 * kWindowBytes + kPictureBytes + 100);
    QList<QPointer<ImageWindow>> windows;
    for (int i = 0; i < 5; ++i)
        windows << fileOpen(h, m_pictures[i]);
    for (int i = 0; i < 3; ++i)
        checkIntact(windows[i], m_pictures[i]);

    // The fourth picture loaded, but its paint was refused: a grey box of the picture's size.
    QVERIFY(!windows[3]->pictrans().picture().isNull());
    QVERIFY(allOneColour(shown(windows[3]->picdibujo()), kLightGrey));
    QCOMPARE(windows[3]->picdibujo().innerPixels(), QSize(kWidth + 2, kHeight + 2));

    // The fifth picture was refused: the empty window of a picture that cannot be read.
    QCOMPARE(windows[4]->Caption(), m_pictures[4]);
    QVERIFY(windows[4]->pictrans().picture().isNull());
    QCOMPARE(windows[4]->picdibujo().innerPixels(), QSize(1695 / 15, 1455 / 15));
    QVERIFY(allOneColour(shown(windows[4]->picdibujo()), kLightGrey));
    QCOMPARE(h.window->StatBar().text(2), m_pictures[4]);
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(budget().usedBytes() <= budget().totalBytes());

    windows[1]->frame().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!windows[1]);
    checkIntact(fileOpen(h, m_pictures[5]), m_pictures[5]);
    checkIntact(windows[0], m_pictures[0]);
    checkIntact(windows[2], m_pictures[2]);
    QVERIFY(h.dialogs.messages.isEmpty());
}

// A zoom whose drawing the budget cannot hold is the zoom the display cannot paint.
void TestBudgetWindows::zoomPastTheBudget()
{
    MainWindowHarness &h = *m_harness;
    ImageWindow *window = fileOpen(h, m_pictures[0]);
    checkIntact(window, m_pictures[0]);
    const QSize frameBefore = window->frame().size();
    const qint64 doubled = qint64(2 * (kWidth + 2)) * (2 * (kHeight + 2)) * 4;
    // The old drawing goes before the new one is made, so only the picture stays beside it.
    budget().setTotalBytes(m_base + kPictureBytes + doubled - 1);
    h.window->mnueditzoomin_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No more zoom available"));
    QCOMPARE(h.dialogs.messages[0].style, 48);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    QCOMPARE(window->frame().size(), frameBefore);
    QCOMPARE(window->picdibujo().innerPixels(), QSize(2 * (kWidth + 2), 2 * (kHeight + 2)));
    QCOMPARE(budget().usedBytes(), m_base + kPictureBytes);

    // One byte more and the same zoom paints, from the picture as loaded.
    budget().setTotalBytes(m_base + kPictureBytes + doubled);
    h.window->mnueditzoomout_Click();
    h.window->mnueditzoomin_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(testing::isCrispEnlargement(m_reference, shown(window->picdibujo())));
}

// The print preview's sheet is a drawing like any other: refused, it is reported, and the
// preview's own zoom says it cannot go further.
void TestBudgetWindows::previewSheetBelongsToTheBudget()
{
    MainWindowHarness &h = *m_harness;
    fileOpen(h, m_pictures[0]);
    budget().setTotalBytes(budget().usedBytes() + 1000);
    h.window->menuItem(QStringLiteral("mnufilepp"))->trigger();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QVERIFY(h.dialogs.messages[0].text.contains(QStringLiteral("Out of memory")));
    print::PreviewWindow *form = previewOf(h);
    QVERIFY(form);

    budget().setTotalBytes(m_machineTotal);
    h.window->menuItem(QStringLiteral("mnufilepp"))->trigger();
    QCOMPARE(h.dialogs.messages.size(), 1);
    budget().setTotalBytes(budget().usedBytes() + 1000);
    form->cmdzoom_Click();
    QCOMPARE(h.dialogs.messages.size(), 2);
    QCOMPARE(h.dialogs.messages[1].text, QStringLiteral("No se puede aumentar más!"));
}

void TestBudgetWindows::showStepsWithoutRoomToReadAhead_data()
{
    QTest::addColumn<bool>("timed");
    QTest::newRow("manual") << false;
    QTest::newRow("timed") << true;
}

// With room for one picture and a half, the next picture cannot be read ahead while one is on
// the screen; each step still shows its picture, read when it is needed.
void TestBudgetWindows::showStepsWithoutRoomToReadAhead()
{
    QFETCH(bool, timed);
    budget().setTotalBytes(m_base + kPictureBytes * 3 / 2);
    show::ShowSettings settings;
    settings.ShowFiles = {m_pictures[0], m_pictures[1], m_pictures[2]};
    settings.ShowAuto = timed ? 1 : 0;
    settings.ShowInterval = 50;
    settings.ShowLoop = 1;
    show::ShowPlayer *player = testing::startShow(*m_harness->window, settings);
    QVERIFY(player->picshow().isVisible());
    QCOMPARE(player->readAhead().pendingPath(), m_pictures[1]);
    if (!timed) {
        // The read ahead ends refused: only the picture on the screen is held.
        QTRY_VERIFY(player->readAhead().isReady());
        QCOMPARE(budget().usedBytes(), m_base + kPictureBytes);
    }
    // A timed show loops back to the first picture; a manual one would end there.
    const QList<int> steps = timed ? QList<int>{1, 2, 0} : QList<int>{1, 2};
    for (int i : steps) {
        if (!timed)
            player->Form_KeyDown(34); // Page Down
        QTRY_COMPARE(player->lblfile().text(), m_pictures[i]);
        QTRY_VERIFY(player->picshow().isVisible());
        QCOMPARE(player->picshow().picture().raster().size(), QSize(kWidth, kHeight));
    }
    QVERIFY(m_harness->dialogs.messages.isEmpty());
    QVERIFY(budget().usedBytes() <= budget().totalBytes());

    // Esc: the player lets go of its picture, so the one it opens fits.
    const QString onScreen = player->lblfile().text();
    player->Form_KeyPress(27);
    ImageWindow *window = activeImageWindow(*m_harness);
    QVERIFY(window);
    QCOMPARE(window->Caption(), onScreen);
    QVERIFY(!window->pictrans().picture().isNull());
}

QTEST_MAIN(TestBudgetWindows)
#include "tst_budgetwindows.moc"
