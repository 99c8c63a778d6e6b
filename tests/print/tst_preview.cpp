// The print preview window, driven through the real main window and its handlers.
#include "image/fileopen.h"
#include "print/previewwindow.h"
#include "print/printcommands.h"
#include "print/printlayout.h"
#include "runtime/picturebox.h"
#include "tests/print/printtestsupport.h"
#include "tests/support/harness.h"

#include <QMdiSubWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using print::PreviewWindow;
using testing::MainWindowHarness;

class TstPreview final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void designLayout();
    void controlsAtDesignPlaces_data();
    void controlsAtDesignPlaces();
    void picturePaintedOneInchIn();
    void largePictureIsCutAtTheSheetEdge();
    void reducedPictureIsSmoothed();
    void zoomInThenOutComesBack();
    void zoomFailsAtTheLimits_data();
    void zoomFailsAtTheLimits();
    void closeForgetsTheZoom();
    void secondWindowReplacesThePicture();
    void metafileStaysAVectorPicture();
    void openingOnARefusedSheetIsReported();
    void noActiveWindow_data();
    void noActiveWindow();
    void printedSizeIgnoresTheScreenScale();

private:
    PreviewWindow *preview(MainWindowHarness &h) const;
    PreviewWindow *openPreview(MainWindowHarness &h, const QString &picture) const;

    QTemporaryDir m_dir;
    QString m_square; // a 92 x 92 picture: pictemp measures 1440 x 1440 twips
    QString m_other;
    QString m_huge;
    QString m_stripes;
};

void TstPreview::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_square = m_dir.filePath(QStringLiteral("square.bmp"));
    m_other = m_dir.filePath(QStringLiteral("other.bmp"));
    m_huge = m_dir.filePath(QStringLiteral("huge.bmp"));
    m_stripes = m_dir.filePath(QStringLiteral("stripes.bmp"));
    QVERIFY(testing::makePlainPicture(m_square, 92, 92, QStringLiteral("#c00000")));
    QVERIFY(testing::makePlainPicture(m_other, 184, 46, QStringLiteral("#0000c0")));
    // 800 x 1000 pixels is 12000 x 15000 twips: wider than 10800 and higher than 14400.
    QVERIFY(testing::makePlainPicture(m_huge, 800, 1000, QStringLiteral("#00a000")));
    // Black and white columns one pixel wide.
    QVERIFY(!testing::runConvert({QStringLiteral("-size"), QStringLiteral("400x400"),
                                  QStringLiteral("pattern:vertical"), QStringLiteral("-type"),
                                  QStringLiteral("TrueColor"), QStringLiteral("BMP3:") + m_stripes})
                 .isNull());
}

PreviewWindow *TstPreview::preview(MainWindowHarness &h) const
{
    for (QMdiSubWindow *sub : h.window->mdiArea().subWindowList()) {
        auto *form = qobject_cast<PreviewWindow *>(sub->widget());
        if (form && !form->unloaded())
            return form;
    }
    return nullptr;
}

PreviewWindow *TstPreview::openPreview(MainWindowHarness &h, const QString &picture) const
{
    image::openPictureWindow(*h.window, picture);
    h.window->mnufilepp_Click();
    return preview(h);
}

void TstPreview::designLayout()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    QCOMPARE(form->frame().windowTitle(), QStringLiteral("Print Preview"));
    QCOMPARE(h.window->ActiveForm(), form);
    QCOMPARE(form->size(), QSize(420, 357)); // 6300 x 5355 twips
    QCOMPARE(form->palette().color(QPalette::Window), QColor(192, 192, 255));
    QCOMPARE(form->sombra().palette().color(QPalette::Window), QColor(64, 64, 64));
    QCOMPARE(form->pichoja().BackColor(), QColor(Qt::white));
    QCOMPARE(form->pichoja().borderStyle(), runtime::BorderStyle::Flat);
    QCOMPARE(form->pictemp().borderStyle(), runtime::BorderStyle::Sunken);
    QVERIFY(form->pictemp().AutoSize());
    QVERIFY(!form->pictemp().isVisibleTo(form));
    // The shadow lies beneath the sheet: the sheet is later in the stacking order.
    const QObjectList &children = form->children();
    QVERIFY(children.indexOf(&form->sombra()) < children.indexOf(&form->pichoja()));
    QVERIFY(form->StatusBar1().currentMessage().isEmpty());
    for (QPushButton *b : {&form->cmdzoomout(), &form->cmdzoom(), &form->cmdclose()}) {
        QVERIFY(b->font().bold());
        QCOMPARE(b->font().pointSizeF(), 8.25);
    }
    QCOMPARE(form->cmdzoomout().text(), QStringLiteral("Zoom Out"));
    QCOMPARE(form->cmdzoom().text(), QStringLiteral("Zoom In"));
    QCOMPARE(form->cmdclose().text(), QStringLiteral("Close"));
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TstPreview::controlsAtDesignPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("cmdzoomout") << "cmdzoomout" << QRect(1170, 75, 1170, 345);
    QTest::newRow("cmdzoom") << "cmdzoom" << QRect(2625, 75, 1170, 345);
    QTest::newRow("cmdclose") << "cmdclose" << QRect(4095, 75, 1170, 345);
    QTest::newRow("pichoja") << "pichoja" << QRect(1560, 600, 3135, 4095);
    QTest::newRow("sombra") << "sombra" << QRect(1680, 720, 3135, 4095);
    QTest::newRow("StatusBar1") << "StatusBar1" << QRect(0, 5040, 6300, 315);
}

void TstPreview::controlsAtDesignPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    auto *control = form->findChild<QWidget *>(name);
    QVERIFY(control);
    const QRect g = control->geometry();
    QCOMPARE(QRect(g.x() * 15, g.y() * 15, g.width() * 15, g.height() * 15), twips);
}

// pictemp of 1440 x 1440 twips lands at about 368.8, 372.3 twips on the fresh sheet, about
// 368.8 x 372.3 twips large: 24.6 x 24.8 pixels from the inner corner.
void TstPreview::picturePaintedOneInchIn()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    QCOMPARE(form->pictemp().Width(), 1440.0);
    QCOMPARE(form->pictemp().Height(), 1440.0);
    const QImage sheet = form->pichoja().Image();
    QCOMPARE(sheet.size(), QSize(207, 271));
    const QRect box = testing::boxOfPixelsOtherThan(sheet, Qt::white, 100);
    QVERIFY2(qAbs(box.left() - 24.6) <= 1 && qAbs(box.top() - 24.8) <= 1,
             qPrintable(QStringLiteral("%1 %2").arg(box.left()).arg(box.top())));
    QVERIFY2(qAbs(box.right() - 48) <= 1, qPrintable(QString::number(box.right())));
    QVERIFY2(qAbs(box.bottom() - 49) <= 1, qPrintable(QString::number(box.bottom())));
    // The whole picture is stretched over pictemp's size, frame included.
    QCOMPARE(QColor(sheet.pixel(30, 30)), QColor(0xc0, 0, 0));
}

void TstPreview::largePictureIsCutAtTheSheetEdge()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_huge);
    QVERIFY(form);
    const QImage sheet = form->pichoja().Image();
    QCOMPARE(sheet.size(), QSize(207, 271));
    const QRect box = testing::boxOfPixelsOtherThan(sheet, Qt::white, 100);
    QCOMPARE(box.bottomRight(), QPoint(206, 270));
    QCOMPARE(QColor(sheet.pixel(206, 270)), QColor(0, 0xa0, 0));
    QVERIFY(h.dialogs.messages.isEmpty());
}

// Shown at about a quarter of its size, one-pixel stripes must blend to grey, not alias.
void TstPreview::reducedPictureIsSmoothed()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_stripes);
    QVERIFY(form);
    const QImage sheet = form->pichoja().Image();
    int grey = 0;
    for (int x = 40; x < 100; ++x) {
        const int v = qGray(sheet.pixel(x, 60));
        grey += (v > 60 && v < 200) ? 1 : 0;
    }
    QVERIFY2(grey >= 55, qPrintable(QString::number(grey)));
}

void TstPreview::zoomInThenOutComesBack()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    const QRect sheet = form->pichoja().geometry();
    const QImage before = form->pichoja().Image();
    QTest::mouseClick(&form->cmdzoom(), Qt::LeftButton);
    QCOMPARE(form->pichoja().geometry(), QRect(sheet.topLeft(), sheet.size() * 2));
    QCOMPARE(form->sombra().geometry(), QRect(sheet.topLeft() + QPoint(8, 8), sheet.size() * 2));
    const QRect zoomed = testing::boxOfPixelsOtherThan(form->pichoja().Image(), Qt::white, 100);
    QVERIFY2(qAbs(zoomed.left() - 49) <= 1 && qAbs(zoomed.width() - 50) <= 2,
             qPrintable(QStringLiteral("%1 %2").arg(zoomed.left()).arg(zoomed.width())));
    QTest::mouseClick(&form->cmdzoomout(), Qt::LeftButton);
    QCOMPARE(form->pichoja().geometry(), sheet);
    QCOMPARE(form->sombra().geometry(), sheet.translated(8, 8));
    QCOMPARE(form->pichoja().Image(), before);
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(form->StatusBar1().currentMessage().isEmpty());
}

void TstPreview::zoomFailsAtTheLimits_data()
{
    QTest::addColumn<bool>("in");
    QTest::addColumn<int>("failingClick");
    QTest::addColumn<QString>("message");
    // 209 x 273 pixels doubled five times passes 32 megapixels.
    QTest::newRow("Zoom In") << true << 5 << QStringLiteral("No se puede aumentar más!");
    // Halved seven times the sheet is two pixels wide: nothing inside its border.
    QTest::newRow("Zoom Out") << false << 7 << QStringLiteral("No se puede Reducir más!");
}

void TstPreview::zoomFailsAtTheLimits()
{
    QFETCH(bool, in);
    QFETCH(int, failingClick);
    QFETCH(QString, message);
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    auto click = [&] { in ? form->cmdzoom_Click() : form->cmdzoomout_Click(); };
    for (int i = 1; i < failingClick; ++i)
        click();
    QVERIFY(h.dialogs.messages.isEmpty());
    const QSize last = form->pichoja().size();
    click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, message);
    QCOMPARE(h.dialogs.messages[0].style, 16);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
    // The sheet and the shadow keep their new size; the sheet stays blank.
    const QSize failed = form->pichoja().size();
    QVERIFY(failed != last);
    QCOMPARE(form->sombra().size(), failed);
    const QImage blank = form->pichoja().Image();
    QVERIFY(blank.isNull() || testing::boxOfPixelsOtherThan(blank, Qt::white, 100).isNull());
    // The next click goes on from the new size and fails again; coming back the other way
    // fails once more on the first failing size and then shows the picture again.
    click();
    QCOMPARE(h.dialogs.messages.size(), 2);
    if (in)
        QCOMPARE(form->pichoja().size(), failed * 2);
    in ? form->cmdzoomout_Click() : form->cmdzoom_Click();
    in ? form->cmdzoomout_Click() : form->cmdzoom_Click();
    QCOMPARE(h.dialogs.messages.size(), 3);
    if (in) {
        QCOMPARE(form->pichoja().size(), last);
        QVERIFY(!testing::boxOfPixelsOtherThan(form->pichoja().Image(), Qt::white, 100).isNull());
    }
}

void TstPreview::closeForgetsTheZoom()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    form->cmdzoom_Click();
    // Print Preview while it is open reuses the window at its zoom.
    image::openPictureWindow(*h.window, m_square);
    h.window->mnufilepp_Click();
    QCOMPARE(preview(h), form);
    QCOMPARE(form->pichoja().size(), QSize(418, 546));

    QTest::mouseClick(&form->cmdclose(), Qt::LeftButton);
    QVERIFY(!preview(h));
    image::openPictureWindow(*h.window, m_square);
    h.window->mnufilepp_Click();
    PreviewWindow *fresh = preview(h);
    QVERIFY(fresh);
    QVERIFY(fresh != form);
    QCOMPARE(fresh->pichoja().Width(), 3135.0);
    QCOMPARE(fresh->pichoja().Height(), 4095.0);
    QCOMPARE(fresh->sombra().geometry(), QRect(112, 48, 209, 273));
    int previews = 0;
    QTRY_VERIFY((previews = 0, [&] {
        for (QMdiSubWindow *sub : h.window->mdiArea().subWindowList())
            previews += qobject_cast<PreviewWindow *>(sub->widget()) ? 1 : 0;
        return previews == 1;
    }()));
}

void TstPreview::secondWindowReplacesThePicture()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    form->cmdzoom_Click();
    image::openPictureWindow(*h.window, m_other);
    h.window->mnufilepp_Click();
    QCOMPARE(preview(h), form);
    const QImage sheet = form->pichoja().Image();
    QCOMPARE(sheet.size(), QSize(416, 544));
    // No red remains anywhere: every pixel differs from it.
    int redPixels = 0;
    for (int y = 0; y < sheet.height(); ++y)
        for (int x = 0; x < sheet.width(); ++x)
            redPixels += QColor(sheet.pixel(x, y)) == QColor(0xc0, 0, 0) ? 1 : 0;
    QCOMPARE(redPixels, 0);
    // The blue picture (188 x 50 with pictemp's frame) at the doubled scale: ~96 x 26 pixels.
    const QRect blue = testing::boxOfPixelsOtherThan(sheet, Qt::white, 100);
    QVERIFY2(qAbs(blue.left() - 48) <= 1 && qAbs(blue.width() - 96) <= 2 &&
                 qAbs(blue.height() - 26) <= 2,
             qPrintable(
                 QStringLiteral("%1 %2 %3").arg(blue.left()).arg(blue.width()).arg(blue.height())));
}

// A metafile goes to the sheet as the vector picture it is, so each zoom draws it anew.
void TstPreview::metafileStaysAVectorPicture()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, QStringLiteral(LUMORA_SOURCE_DIR "/assets/logo.wmf"));
    QVERIFY(form);
    QVERIFY(form->pictemp().picture().isVector());
    form->cmdzoom_Click();
    QVERIFY(h.dialogs.messages.isEmpty());
    QVERIFY(!testing::boxOfPixelsOtherThan(form->pichoja().Image(), Qt::white, 40).isNull());
}

// Print Preview on a sheet zoomed past what can be painted has no trap of its own: the one
// guard of every handler reports it, and the window stays usable.
void TstPreview::openingOnARefusedSheetIsReported()
{
    MainWindowHarness h;
    PreviewWindow *form = openPreview(h, m_square);
    QVERIFY(form);
    for (int i = 0; i < 5; ++i)
        form->cmdzoom_Click();
    QCOMPARE(h.dialogs.messages.size(), 1);
    image::openPictureWindow(*h.window, m_other);
    h.window->menuItem(QStringLiteral("mnufilepp"))->trigger();
    QCOMPARE(h.dialogs.messages.size(), 2);
    QVERIFY(h.dialogs.messages[1].text.contains(QStringLiteral("Out of memory")));
    QCOMPARE(preview(h), form);
    form->cmdzoomout_Click();
    QCOMPARE(h.dialogs.messages.size(), 2);
    QVERIFY(!testing::boxOfPixelsOtherThan(form->pichoja().Image(), Qt::white, 100).isNull());
}

void TstPreview::noActiveWindow_data()
{
    QTest::addColumn<bool>("previewActive");
    QTest::newRow("no child window") << false;
    QTest::newRow("the preview itself is active") << true;
}

void TstPreview::noActiveWindow()
{
    QFETCH(bool, previewActive);
    MainWindowHarness h;
    if (previewActive) {
        PreviewWindow *form = openPreview(h, m_square);
        QVERIFY(form);
        const QList<QMdiSubWindow *> subs = h.window->mdiArea().subWindowList();
        for (QMdiSubWindow *sub : subs)
            if (sub->widget() != form)
                sub->close();
        QCOMPARE(h.window->ActiveForm(), form);
        const QImage before = form->pichoja().Image();
        h.window->mnufilepp_Click();
        QCOMPARE(form->pichoja().Image(), before);
    } else {
        h.window->mnufilepp_Click();
        QVERIFY(!preview(h));
    }
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("No active Windows"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
    QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("Error"));
}

// On a desktop scaled by 2 a picture's box is half as many twips, as its pixels are the
// screen's device pixels; it still prints and previews at the size it has unscaled.
void TstPreview::printedSizeIgnoresTheScreenScale()
{
    QImage image(100, 80, QImage::Format_RGB32);
    image.fill(Qt::red);
    const picture::Picture picture(image);
    runtime::PictureBox plain(nullptr, runtime::screenScale(), 1.0);
    runtime::PictureBox scaled(nullptr, runtime::screenScale(), 2.0);
    for (runtime::PictureBox *box : {&plain, &scaled}) {
        box->setAutoSize(true);
        box->setPicture(picture);
    }
    QVERIFY(scaled.Width() < plain.Width() * 0.6);
    const QSizeF printed = print::printedSize(scaled);
    QCOMPARE(print::printedSize(plain), QSizeF(plain.Width(), plain.Height()));
    QVERIFY(qAbs(printed.width() - plain.Width()) <= 30);
    QVERIFY(qAbs(printed.height() - plain.Height()) <= 30);
}

QTEST_MAIN(TstPreview)
#include "tst_preview.moc"
