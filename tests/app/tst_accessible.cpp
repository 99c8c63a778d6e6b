// What a screen reader finds in image windows and in the show's preview: pictures read as
// images, named after their files and described by their size, through Qt's accessibility
// interfaces. The program on a real accessibility bus is program_accessible's matter.
#include "image/imagewindow.h"
#include "runtime/accessiblepicture.h"
#include "show/imagebox.h"
#include "tests/support/harness.h"
#include "tests/support/imagemagick.h"

#include <QAccessible>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using testing::MainWindowHarness;

namespace {

QAccessibleInterface &readerView(QWidget &widget)
{
    QAccessibleInterface *view = QAccessible::queryAccessibleInterface(&widget);
    if (!view)
        qFatal("no accessible interface for %s", qPrintable(widget.objectName()));
    return *view;
}

} // namespace

class TestAccessible final : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void imageWindowReadsAsItsPicture_data();
    void imageWindowReadsAsItsPicture();
    void previewSaysWhatItShows();

private:
    QTemporaryDir m_dir;
};

void TestAccessible::initTestCase()
{
    QVERIFY(m_dir.isValid());
    runtime::installAccessiblePictures();
    runtime::installAccessiblePictures(); // a second install changes nothing
}

void TestAccessible::imageWindowReadsAsItsPicture_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("description");
    QVERIFY(testing::makePicture(m_dir.filePath("beach.gif"), 60, 40, "plasma:red-blue"));
    QFile damaged(m_dir.filePath("damaged.jpg"));
    QVERIFY(damaged.open(QIODevice::WriteOnly) && damaged.write("not a picture") > 0);
    QTest::newRow("picture") << "beach.gif" << QString::fromUtf8("60 × 40 pixels");
    QTest::newRow("damaged file") << "damaged.jpg"
                                  << "No picture";
}

void TestAccessible::imageWindowReadsAsItsPicture()
{
    QFETCH(QString, file);
    QFETCH(QString, description);
    MainWindowHarness h;
    h.dialogs.fileAnswers.enqueue(m_dir.filePath(file));
    h.window->mnufileopen_Click();
    image::ImageWindow *window = image::asImageWindow(h.window->ActiveForm());
    QVERIFY(window);
    QAccessibleInterface &shown = readerView(window->picdibujo());
    QCOMPARE(shown.role(), QAccessible::Graphic);
    QCOMPARE(shown.text(QAccessible::Name), file);
    QCOMPARE(shown.text(QAccessible::Description), description);
    QVERIFY(!shown.state().invisible);
    QAccessibleInterface &loaded = readerView(window->pictrans());
    QCOMPARE(loaded.role(), QAccessible::Graphic);
    QVERIFY(loaded.state().invisible);
}

void TestAccessible::previewSaysWhatItShows()
{
    show::ImageBox preview;
    QAccessibleInterface &view = readerView(preview);
    QCOMPARE(view.role(), QAccessible::Graphic);
    QCOMPARE(view.text(QAccessible::Description), "No picture");
    preview.setPicture(picture::Picture(QImage(30, 20, QImage::Format_RGB32)));
    QCOMPARE(view.text(QAccessible::Description), QString::fromUtf8("30 × 20 pixels"));
    preview.setShowsError(true);
    QVERIFY(view.text(QAccessible::Description).startsWith("Error"));
}

QTEST_MAIN(TestAccessible)
#include "tst_accessible.moc"
