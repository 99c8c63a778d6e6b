#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "image/wallpaper.h"
#include "picture/memorybudget.h"
#include "tests/image/imagetestsupport.h"
#include "tests/support/harness.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

using namespace lumora;
using image::ImageWindow;
using testing::MainWindowHarness;

class TestZoom final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void zoomInDoublesAndFits_data();
    void zoomInDoublesAndFits();
    void zoomOutAveragesLikeImageMagick();
    void zoomOutThenInComesBack();
    void maximizedWindowOnlyResizesTheBox();
    void noActiveWindowChangesNothing_data();
    void noActiveWindowChangesNothing();
    void zoomingOnAndOnStaysBounded();
    void otherChildWindowsAreLeftAlone_data();
    void otherChildWindowsAreLeftAlone();
    void metafileZoomedPastTheWindowIsCopiedWhole();

private:
    ImageWindow *open(MainWindowHarness &h) const
    {
        return image::openPictureWindow(*h.window, m_picture);
    }

    QTemporaryDir m_dir;
    QString m_picture;
};

void TestZoom::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_dir.isValid());
    m_picture = m_dir.filePath(QStringLiteral("noise.bmp"));
    QVERIFY(testing::makeNoisePicture(m_picture, 100, 80));
}

void TestZoom::zoomInDoublesAndFits_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("Edit menu") << "menu";
    QTest::newRow("toolbar") << "toolbar";
    QTest::newRow("right-click menu") << "context";
}

// A 100 x 80 picture opens in a 102 x 82 box; Zoom In makes it 204 x 164, the picture stretched
// crisply over all of it, and the window fits it at the top left corner, wherever it was.
void TestZoom::zoomInDoublesAndFits()
{
    QFETCH(QString, entry);
    MainWindowHarness h;
    ImageWindow *window = open(h);
    window->frame().move(150, 90);
    if (entry == QLatin1String("menu")) {
        h.window->menuItem(QStringLiteral("mnueditzoomin"))->trigger();
    } else if (entry == QLatin1String("toolbar")) {
        h.window->Toolbar1_ButtonClick(QStringLiteral("zoomin"));
    } else {
        QAction *item = nullptr;
        for (QAction *action : h.window->mnuedit().actions())
            if (action->text() == QLatin1String("Zoom In"))
                item = action;
        QVERIFY(item);
        item->trigger();
    }
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(window->picdibujo().innerPixels(), QSize(204, 164));
    QCOMPARE(window->size(), QSize(204, 164));
    QCOMPARE(window->frame().pos(), QPoint(0, 0));
    const QImage drawn = window->picdibujo().Image();
    QCOMPARE(drawn.size(), QSize(204, 164));
    QVERIFY(testing::isCrispEnlargement(testing::decodeWithImageMagick(m_picture), drawn));
}

// The reduced picture is box-averaged: it matches ImageMagick's pixel-averaging -scale.
void TestZoom::zoomOutAveragesLikeImageMagick()
{
    MainWindowHarness h;
    ImageWindow *window = open(h);
    h.window->mnueditzoomout_Click();
    QCOMPARE(window->picdibujo().innerPixels(), QSize(51, 41));
    const QString reference = m_dir.filePath(QStringLiteral("reference.bmp"));
    QVERIFY(!testing::runConvert({m_picture, QStringLiteral("-scale"), QStringLiteral("51x41!"),
                                  QStringLiteral("BMP3:") + reference})
                 .isNull());
    const QImage expected = testing::decodeWithImageMagick(reference);
    QCOMPARE(window->picdibujo().Image().size(), expected.size());
    const testing::PictureDifference difference =
        testing::comparePictures(window->picdibujo().Image(), expected);
    QVERIFY2(difference.largest <= 4, qPrintable(difference.describe()));
}

void TestZoom::zoomOutThenInComesBack()
{
    MainWindowHarness h;
    ImageWindow *window = open(h);
    h.window->mnueditzoomin_Click();
    h.window->mnueditzoomin_Click();
    const QSize before = window->picdibujo().innerPixels();
    h.window->mnueditzoomout_Click();
    h.window->mnueditzoomin_Click();
    const QSize after = window->picdibujo().innerPixels();
    QVERIFY(std::abs(after.width() - before.width()) <= 1);
    QVERIFY(std::abs(after.height() - before.height()) <= 1);
    // Painted afresh from the loaded picture, not from the reduced drawing.
    QVERIFY(testing::isCrispEnlargement(testing::decodeWithImageMagick(m_picture),
                                        window->picdibujo().Image()));
    QCOMPARE(window->size(), after);
}

void TestZoom::maximizedWindowOnlyResizesTheBox()
{
    MainWindowHarness h;
    ImageWindow *window = open(h);
    window->frame().showMaximized();
    const QRect frame = window->frame().geometry();
    h.window->mnueditzoomin_Click();
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(window->frame().isMaximized());
    QCOMPARE(window->frame().geometry(), frame);
    QCOMPARE(window->picdibujo().innerPixels(), QSize(204, 164));
    QCOMPARE(window->picdibujo().Image().size(), QSize(204, 164));
}

void TestZoom::noActiveWindowChangesNothing_data()
{
    QTest::addColumn<bool>("zoomIn");
    QTest::newRow("in") << true;
    QTest::newRow("out") << false;
}

void TestZoom::noActiveWindowChangesNothing()
{
    QFETCH(bool, zoomIn);
    MainWindowHarness h;
    zoomIn ? h.window->mnueditzoomin_Click() : h.window->mnueditzoomout_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
}

// Zooming on and on in either direction ends in "No more zoom available", never in a crash or
// in the machine's memory: no drawing past the limit is ever made, and the window stays put.
void TestZoom::zoomingOnAndOnStaysBounded()
{
    MainWindowHarness h;
    ImageWindow *window = open(h);
    // The drawings may take the budget: half a gigabyte here, not half the machine.
    picture::MemoryBudget &budget = picture::MemoryBudget::process();
    const qint64 machineBudget = budget.totalBytes();
    const qint64 room = qint64(512) << 20;
    budget.setTotalBytes(budget.usedBytes() + room);
    const auto restore = qScopeGuard([&] { budget.setTotalBytes(machineBudget); });
    const qint64 peakBefore = testing::peakResidentBytes();
    int refused = 0;
    for (int i = 0; i < 40; ++i) {
        const QRect frame = window->frame().geometry();
        h.dialogs.messages.clear();
        h.window->mnueditzoomin_Click();
        QCoreApplication::processEvents();
        if (!h.dialogs.messages.isEmpty()) {
            ++refused;
            QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No more zoom available"));
            QCOMPARE(h.dialogs.messages[0].style, 48);
            QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
            QCOMPARE(window->frame().geometry(), frame);
        }
    }
    QVERIFY(refused > 30);
    QVERIFY(testing::peakResidentBytes() - peakBefore < 2 * room);

    // Back down: the box shrinks below the limit and paints again.
    bool paintedAgain = false;
    for (int i = 0; i < 80; ++i) {
        h.dialogs.messages.clear();
        h.window->mnueditzoomout_Click();
        QCoreApplication::processEvents();
        paintedAgain |= h.dialogs.messages.isEmpty();
    }
    QVERIFY(paintedAgain);
    // Half a pixel rounds up to one, so the box ends as a single pixel holding the average.
    QCOMPARE(window->picdibujo().innerPixels(), QSize(1, 1));
    QVERIFY(h.dialogs.messages.isEmpty());
    QCOMPARE(window->picdibujo().Image().size(), QSize(1, 1));
}

void TestZoom::otherChildWindowsAreLeftAlone_data()
{
    QTest::addColumn<QString>("item");
    for (const char *item :
         {"mnueditzoomin", "mnueditzoomout", "mnueditcopy", "mnueditwall", "mnufilesaveas"})
        QTest::newRow(item) << QString::fromLatin1(item);
}

// With another kind of child active (the print preview is one) every command says there is
// no image window and touches nothing: not the child, the clipboard, the wallpaper or the disk.
void TestZoom::otherChildWindowsAreLeftAlone()
{
    QFETCH(QString, item);
    MainWindowHarness h;
    image::openPictureWindow(*h.window, m_picture);
    QFile::remove(image::wallpaperFilePath());
    auto *other = new QWidget;
    other->resize(120, 90);
    h.window->mdiArea().addSubWindow(other)->show();
    h.window->mdiArea().setActiveSubWindow(h.window->mdiArea().subWindowList().last());
    QCOMPARE(h.window->ActiveForm(), other);
    const QRect geometry = other->parentWidget()->geometry();
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    h.window->menuItem(item)->trigger();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QVERIFY(h.dialogs.fileRequests.isEmpty());
    QCOMPARE(other->parentWidget()->geometry(), geometry);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("kept"));
    QVERIFY(!QFileInfo::exists(image::wallpaperFilePath()));
}

// The zoomed metafile outgrows the window: its visible part is shown while the rest is played,
// and a command issued meanwhile gets the whole drawing, as one play on a lone box gives it.
void TestZoom::metafileZoomedPastTheWindowIsCopiedWhole()
{
    MainWindowHarness h;
    const QString path = testing::testData(QStringLiteral("wmf/corpus/sample.wmf"));
    ImageWindow *window = image::openPictureWindow(*h.window, path);
    h.window->mnueditzoomin_Click();
    h.window->mnueditzoomin_Click();
    runtime::PictureBox &picdibujo = window->picdibujo();
    QVERIFY(picdibujo.isPlaying());
    const QRect seen = picdibujo.visibleRegion().boundingRect();
    const QImage shown = picdibujo.grab(seen).toImage().convertToFormat(QImage::Format_RGB32);
    h.window->mnueditcopy_Click();
    QVERIFY(!picdibujo.isPlaying());
    QVERIFY(seen.width() < picdibujo.width() || seen.height() < picdibujo.height());
    // What the screen showed meanwhile: the visible part, but for a few smoothed edges that
    // a clipped painter rasterises a shade apart.
    const testing::PictureDifference difference =
        testing::comparePictures(shown, picdibujo.Image().copy(seen));
    QVERIFY2(difference.largest <= 8, qPrintable(difference.describe()));

    runtime::PictureBox lone(nullptr, picdibujo.scale(), picdibujo.pixelRatio());
    lone.setBackColor(picdibujo.BackColor());
    lone.resize(picdibujo.size());
    lone.PaintPicture(window->pictrans().picture(), 0, 0, lone.Width(), lone.Height());
    QCOMPARE(QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
             lone.Image());
}

QTEST_MAIN(TestZoom)
#include "tst_zoom.moc"
