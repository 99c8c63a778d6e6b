#include "image/activewindow.h"
#include "image/fileopen.h"
#include "image/imagewindow.h"
#include "picture/loadpicture.h"
#include "picture/memorybudget.h"
#include "tests/support/harness.h"

#include <QMdiSubWindow>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using lumora::image::ImageWindow;
using lumora::testing::MainWindowHarness;

namespace {

// A w x h picture: red, with a blue bottom-right pixel to show where the picture ends.
QString writePicture(const QTemporaryDir &dir, const QString &name, int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    image.setPixel(w - 1, h - 1, qRgb(0, 0, 255));
    const QString path = dir.filePath(name);
    image.save(path, "BMP");
    return path;
}

ImageWindow *openThroughDialog(MainWindowHarness &h, const QString &path)
{
    h.dialogs.fileAnswers.enqueue(path);
    h.window->mnufileopen_Click();
    ImageWindow *window = lumora::image::asImageWindow(h.window->ActiveForm());
    if (window)
        window->waitForPicture(); // as every command on it does
    return window;
}

QList<QMdiSubWindow *> childWindows(MainWindowHarness &h)
{
    return h.window->mdiArea().subWindowList(QMdiArea::CreationOrder);
}

constexpr QRgb kGrey = 0xFFE0E0E0;

} // namespace

class TestFileOpen final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void dialogIsPreparedEveryTime();
    void cancelChangesNothing();
    void pictureFillsTheWindowWithAGreyStrip();
    void windowGoesToTheTopLeftCorner();
    void panelFollowsActivationAndUnload();
    void unreadablePictureStillOpensItsWindow_data();
    void unreadablePictureStillOpensItsWindow();
    void sameFileTwiceGivesTwoWindows();
    void fileReadWhileTheDialogIsUpIsUsedWhenUnchanged_data();
    void fileReadWhileTheDialogIsUpIsUsedWhenUnchanged();
    void rightButtonPopsUpTheEditMenu();
    void commandsNeedAnActiveImageWindow();

private:
    QTemporaryDir m_dir;
};

void TestFileOpen::dialogIsPreparedEveryTime()
{
    MainWindowHarness h;
    h.window->dlgcomondialog().FileName = "left over";
    h.window->dlgcomondialog().Flags = 6;
    h.window->mnufileopen_Click();
    QCOMPARE(h.dialogs.fileRequests.size(), 1);
    const auto &request = h.dialogs.fileRequests[0];
    QVERIFY(!request.save);
    QCOMPARE(request.request.title, QString("Open File"));
    QCOMPARE(
        request.request.filter,
        QString("All Graphic "
                "Files|*.jpg;*.gif;*.bmp;*.wmf*|*.jpg|*.jpg|*.gif|*.gif|*.bmp|*.bmp|*.wmf|*.wmf"));
    QCOMPARE(request.request.flags, 4);
    QCOMPARE(request.request.fileName, QString());
    // What the real dialog is given: five filters, the first one chosen.
    const QStringList filters = lumora::runtime::toQtNameFilters(request.request.filter);
    QCOMPARE(filters.size(), 5);
    QCOMPARE(filters[0], QString("All Graphic Files (*.jpg *.gif *.bmp *.wmf*)"));
    QCOMPARE(filters[4], QString("*.wmf (*.wmf)"));
}

void TestFileOpen::cancelChangesNothing()
{
    MainWindowHarness h;
    h.window->StatBar().setText(2, "before");
    h.window->mnufileopen_Click(); // no answer scripted: the user cancels
    QVERIFY(childWindows(h).isEmpty());
    QCOMPARE(h.window->StatBar().text(2), QString("before"));
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestFileOpen::pictureFillsTheWindowWithAGreyStrip()
{
    MainWindowHarness h;
    ImageWindow *window = openThroughDialog(h, writePicture(m_dir, "100x80.bmp", 100, 80));
    QVERIFY(window);
    // The box is the picture plus the two pixels of the hidden box's frame.
    QCOMPARE(window->picdibujo().size(), QSize(102, 82));
    QCOMPARE(window->picdibujo().Width(), 1530.0);
    QCOMPARE(window->picdibujo().Height(), 1230.0);
    QCOMPARE(window->pictrans().Width(), 1530.0);
    QVERIFY(!window->pictrans().isVisibleTo(window));
    // The client area is exactly the box.
    QCOMPARE(window->size(), QSize(102, 82));
    const QImage drawn = window->picdibujo().Image();
    QCOMPARE(drawn.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(drawn.pixel(99, 79), qRgb(0, 0, 255));
    QCOMPARE(drawn.pixel(100, 40), kGrey);
    QCOMPARE(drawn.pixel(50, 81), kGrey);
    QCOMPARE(window->grab().toImage().pixel(101, 81), kGrey);
    QVERIFY(h.dialogs.messages.isEmpty());
}

void TestFileOpen::windowGoesToTheTopLeftCorner()
{
    MainWindowHarness h;
    const QString path = writePicture(m_dir, "corner.bmp", 30, 20);
    ImageWindow *first = openThroughDialog(h, path);
    first->frame().move(200, 150);
    ImageWindow *second = openThroughDialog(h, writePicture(m_dir, "other.bmp", 60, 40));
    QCOMPARE(second->frame().pos(), QPoint(0, 0));
    QCOMPARE(second->Caption(), m_dir.filePath("other.bmp"));
    QCOMPARE(second->frame().windowTitle(), m_dir.filePath("other.bmp"));
    QCOMPARE(h.window->ActiveForm(), second);
}

void TestFileOpen::panelFollowsActivationAndUnload()
{
    MainWindowHarness h;
    const QString a = writePicture(m_dir, "a.bmp", 10, 10);
    const QString b = writePicture(m_dir, "b.bmp", 10, 10);
    ImageWindow *first = openThroughDialog(h, a);
    QCOMPARE(h.window->StatBar().text(2), a);
    ImageWindow *second = openThroughDialog(h, b);
    QCOMPARE(h.window->StatBar().text(2), b);
    h.window->mdiArea().setActiveSubWindow(&first->frame());
    QCOMPARE(h.window->StatBar().text(2), a);
    h.window->mdiArea().setActiveSubWindow(&second->frame());
    QCOMPARE(h.window->StatBar().text(2), b);
    second->frame().close();
    // The unload empties the panel; the window that becomes active writes its own path.
    QCOMPARE(h.window->StatBar().text(2), a);
    first->frame().close();
    QCOMPARE(h.window->StatBar().text(2), QString());
}

void TestFileOpen::unreadablePictureStillOpensItsWindow_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("missing") << m_dir.filePath("nothing-here.jpg");
    QTest::newRow("folder") << m_dir.path();
    QFile text(m_dir.filePath("notes.jpg"));
    text.open(QIODevice::WriteOnly);
    text.write("just some words, not a picture\n");
    text.close();
    QTest::newRow("text named .jpg") << text.fileName();
    QFile empty(m_dir.filePath("empty.gif"));
    empty.open(QIODevice::WriteOnly);
    empty.close();
    QTest::newRow("empty") << empty.fileName();
}

void TestFileOpen::unreadablePictureStillOpensItsWindow()
{
    QFETCH(QString, path);
    MainWindowHarness h;
    ImageWindow *window = openThroughDialog(h, path);
    QVERIFY(window);
    QCOMPARE(window->Caption(), path);
    QCOMPARE(h.window->StatBar().text(2), path);
    QVERIFY(window->pictrans().picture().isNull());
    // The box takes the hidden box's design size, and shows only its grey.
    QCOMPARE(window->picdibujo().Width(), 1695.0);
    QCOMPARE(window->picdibujo().Height(), 1455.0);
    QCOMPARE(window->size(), QSize(113, 97));
    QCOMPARE(window->picdibujo().Image().pixel(5, 5), kGrey);
    QVERIFY(h.dialogs.messages.isEmpty()); // File Open reports nothing
}

void TestFileOpen::sameFileTwiceGivesTwoWindows()
{
    MainWindowHarness h;
    const QString path = writePicture(m_dir, "twice.bmp", 40, 30);
    ImageWindow *first = openThroughDialog(h, path);
    ImageWindow *second = openThroughDialog(h, path);
    QVERIFY(first && second && first != second);
    QCOMPARE(childWindows(h).size(), 2);
    QCOMPARE(first->Caption(), second->Caption());
    QCOMPARE(first->frame().pos(), QPoint(0, 0));
    QCOMPARE(second->frame().pos(), QPoint(0, 0));
    second->frame().close();
    QCOMPARE(first->picdibujo().Image().pixel(0, 0), qRgb(255, 0, 0));
}

void TestFileOpen::fileReadWhileTheDialogIsUpIsUsedWhenUnchanged_data()
{
    QTest::addColumn<QString>("pointed");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<bool>("rewritten"); // the pointed file, after it was pointed at
    QTest::newRow("the file chosen") << "red.jpg"
                                     << "red.jpg" << false;
    QTest::newRow("another file chosen") << "red.jpg"
                                         << "blue.jpg" << false;
    QTest::newRow("the file rewritten since") << "red.jpg"
                                              << "red.jpg" << true;
    QTest::newRow("cancelled") << "red.jpg"
                               << "" << false;
}

void TestFileOpen::fileReadWhileTheDialogIsUpIsUsedWhenUnchanged()
{
    QFETCH(QString, pointed);
    QFETCH(QString, chosen);
    QFETCH(bool, rewritten);
    QTemporaryDir dir;
    const auto write = [&](const QString &name, QSize size, QColor colour) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        QVERIFY(image.save(dir.filePath(name), "JPG"));
    };
    write("red.jpg", {40, 30}, Qt::red);
    write("blue.jpg", {40, 30}, Qt::blue);
    MainWindowHarness h;
    const qint64 before = lumora::picture::MemoryBudget::process().usedBytes();
    h.dialogs.whileOpenIsUp = [&](const lumora::runtime::FileDialogRequest &request) {
        request.pointedFile(dir.filePath(pointed));
        QTest::qWait(50);
        if (rewritten)
            write(pointed, {60, 50}, Qt::green);
    };
    if (!chosen.isEmpty())
        h.dialogs.fileAnswers.enqueue(dir.filePath(chosen));
    h.window->mnufileopen_Click();
    ImageWindow *window = lumora::image::asImageWindow(h.window->ActiveForm());
    if (chosen.isEmpty()) {
        QVERIFY(!window);
        QTRY_COMPARE(lumora::picture::MemoryBudget::process().usedBytes(), before);
        return;
    }
    QVERIFY(window);
    const lumora::picture::Picture expected = lumora::picture::LoadPicture(dir.filePath(chosen));
    const QImage drawn = window->picdibujo().Image();
    QCOMPARE(drawn.size(), expected.raster().size() + QSize(2, 2));
    QCOMPARE(drawn.pixel(5, 5), expected.raster().pixel(5, 5));
    QCOMPARE(drawn.pixel(drawn.width() - 1, 5), kGrey);
    // The picture was decoded into the drawing: one copy of its pixels.
    QCOMPARE(drawn.constBits(), window->pictrans().picture().raster().constBits());
}

void TestFileOpen::rightButtonPopsUpTheEditMenu()
{
    MainWindowHarness h;
    ImageWindow *window = openThroughDialog(h, writePicture(m_dir, "menu.bmp", 40, 30));
    QMenu &edit = h.window->mnuedit();
    QTest::mouseClick(&window->picdibujo(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(&window->picdibujo(), Qt::MiddleButton, {}, QPoint(5, 5));
    QVERIFY(!edit.isVisible());
    QTest::mousePress(&window->picdibujo(), Qt::RightButton, {}, QPoint(5, 5));
    QTRY_VERIFY(edit.isVisible());
    QCOMPARE(edit.actions().first()->text(), QString("C&opy"));
    edit.hide();
}

void TestFileOpen::commandsNeedAnActiveImageWindow()
{
    MainWindowHarness h;
    QVERIFY(!lumora::image::activeImageWindowOrReport(*h.window));
    QCOMPARE(h.dialogs.messages.size(), 1);
    QCOMPARE(h.dialogs.messages[0].text, QString("No active Windows"));
    QCOMPARE(h.dialogs.messages[0].style, 64);
    QCOMPARE(h.dialogs.messages[0].title, QString("Error"));

    // A child that is not an image window is never acted on: the same message, no window.
    auto *other = new QWidget;
    h.window->mdiArea().addSubWindow(other)->show();
    h.window->mdiArea().setActiveSubWindow(h.window->mdiArea().subWindowList().first());
    QVERIFY(lumora::image::passesNoActiveWindowCheck(*h.window));
    QVERIFY(!lumora::image::activeImageWindowOrReport(*h.window));
    QCOMPARE(h.dialogs.messages.size(), 2);
    QCOMPARE(h.dialogs.messages[1].text, QString("No active Windows"));

    ImageWindow *window = openThroughDialog(h, writePicture(m_dir, "active.bmp", 8, 8));
    QCOMPARE(lumora::image::activeImageWindowOrReport(*h.window), window);
    QCOMPARE(h.dialogs.messages.size(), 2);
}

QTEST_MAIN(TestFileOpen)
#include "tst_fileopen.moc"
