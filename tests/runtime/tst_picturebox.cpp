#include "base/runtimeerror.h"
#include "picture/imagememory.h"
#include "picture/wmf/wmfpicture.h"
#include "runtime/picturebox.h"

#include <QFile>
#include <QPainter>
#include <QTest>
#include <mutex>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::runtime;

namespace {

// A picture whose pixels tell where they came from: red left half, blue right half.
Picture twoColourPicture(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::red);
    QPainter(&image).fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
    return Picture(image);
}

// A metafile that notes the clip of every play of it, in order (null: played unclipped). Its
// plays may run on any thread.
class NotedPlays final : public VectorPicture {
public:
    explicit NotedPlays(std::shared_ptr<const VectorPicture> played) : m_played(std::move(played))
    {
    }
    QSizeF naturalSizeTwips() const override { return m_played->naturalSizeTwips(); }
    void render(QPainter &painter, const QRectF &target) const override
    {
        {
            const std::lock_guard lock(m_mutex);
            m_clips.push_back(painter.hasClipping() ? painter.clipBoundingRect().toAlignedRect()
                                                    : QRect());
        }
        m_played->render(painter, target);
    }
    QList<QRect> clips() const
    {
        const std::lock_guard lock(m_mutex);
        return m_clips;
    }

private:
    std::shared_ptr<const VectorPicture> m_played;
    mutable std::mutex m_mutex;
    mutable QList<QRect> m_clips;
};

// Flood fills, raster operations and text: records whose pixels depend on what lies below.
std::shared_ptr<const VectorPicture> readTestMetafile()
{
    QFile file(QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/wmf/corpus/test_libuemf_ref.wmf"));
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    return wmf::loadWmf(file.readAll());
}

} // namespace

class TestPictureBox final : public QObject {
    Q_OBJECT
private slots:
    void autoSizeAddsTheFrame_data();
    void autoSizeAddsTheFrame();
    void lengthsRoundToWholePixels();
    void paintPictureAtOwnSize();
    void paintPictureStretched();
    void picturesKeepTheirPixelsOnAScaledScreen_data();
    void picturesKeepTheirPixelsOnAScaledScreen();
    void drawingSurvivesRepaintsAndClsClearsIt();
    void resizingKeepsTheDrawing();
    void paintingRefusesImpossibleBoxes();
    void pictureDecodedIntoTheDrawingIsSharedUntilDrawnOn_data();
    void pictureDecodedIntoTheDrawingIsSharedUntilDrawnOn();
    void metafileSeenInPartIsPlayedThereFirst_data();
    void metafileSeenInPartIsPlayedThereFirst();
};

void TestPictureBox::autoSizeAddsTheFrame_data()
{
    QTest::addColumn<int>("border");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    // A 300 x 200 picture: the splash box with its 3D frame measures 4560 x 3060 twips.
    QTest::newRow("3D") << int(BorderStyle::Sunken) << 4560.0 << 3060.0;
    QTest::newRow("flat") << int(BorderStyle::Flat) << 4530.0 << 3030.0;
    QTest::newRow("none") << int(BorderStyle::None) << 4500.0 << 3000.0;
}

void TestPictureBox::autoSizeAddsTheFrame()
{
    QFETCH(int, border);
    QFETCH(double, width);
    QFETCH(double, height);
    PictureBox box(nullptr, TwipScale(15));
    box.setBorderStyle(BorderStyle(border));
    box.setAutoSize(true);
    box.setPicture(twoColourPicture(300, 200));
    QCOMPARE(box.Width(), width);
    QCOMPARE(box.Height(), height);
    QCOMPARE(box.ScaleWidth(), 4500.0);
    QCOMPARE(box.ScaleHeight(), 3000.0);
}

void TestPictureBox::lengthsRoundToWholePixels()
{
    PictureBox box(nullptr, TwipScale(15));
    box.setWidth(1695);
    box.setHeight(1455);
    QCOMPARE(box.width(), 113);
    QCOMPARE(box.height(), 97);
    box.setWidth(1700); // 113.3 pixels: the box holds whole pixels only
    QCOMPARE(box.Width(), 1695.0);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, box.setWidth(-30));
}

void TestPictureBox::paintPictureAtOwnSize()
{
    PictureBox box(nullptr, TwipScale(15));
    box.setBackColor(QColor(0xE0, 0xE0, 0xE0));
    box.resize(12, 10);
    box.PaintPicture(twoColourPicture(10, 8), 0, 0);
    const QImage image = box.Image();
    QCOMPARE(image.size(), QSize(12, 10));
    QCOMPARE(image.pixel(0, 0), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(9, 7), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(10, 0), qRgb(0xE0, 0xE0, 0xE0)); // the strip keeps the background
    QCOMPARE(image.pixel(0, 8), qRgb(0xE0, 0xE0, 0xE0));
}

void TestPictureBox::paintPictureStretched()
{
    PictureBox box(nullptr, TwipScale(15));
    box.resize(40, 16);
    box.PaintPicture(twoColourPicture(10, 8), 0, 0, 40 * 15, 16 * 15);
    const QImage image = box.Image();
    // Enlarged pixels are replicated: the edge between the halves stays sharp.
    QCOMPARE(image.pixel(19, 8), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(20, 8), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(39, 15), qRgb(0, 0, 255));
}

void TestPictureBox::picturesKeepTheirPixelsOnAScaledScreen_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QSize>("box"); // in the form's pixels, frame included
    QTest::addColumn<QSize>("drawing");
    QTest::newRow("unscaled") << 1.0 << QSize(303, 202) << QSize(301, 200);
    // 301 device pixels are 150.5 of the form's: the box rounds up to hold the picture whole.
    QTest::newRow("scaled by 2") << 2.0 << QSize(153, 102) << QSize(302, 200);
}

// A picture is measured and drawn in device pixels, however the form around it is scaled.
void TestPictureBox::picturesKeepTheirPixelsOnAScaledScreen()
{
    QFETCH(double, ratio);
    QFETCH(QSize, box);
    QFETCH(QSize, drawing);
    const Picture picture = twoColourPicture(301, 200);
    PictureBox pictureBox(nullptr, TwipScale(15), ratio);
    pictureBox.setBorderStyle(BorderStyle::Flat);
    pictureBox.setAutoSize(true);
    pictureBox.setPicture(picture);
    QCOMPARE(pictureBox.size(), box);
    QCOMPARE(pictureBox.drawingPixels(), drawing);
    QCOMPARE(pictureBox.Image().copy(0, 0, 301, 200), picture.raster());
    pictureBox.Cls();
    pictureBox.PaintPicture(picture, 0, 0, pictureBox.ScaleWidth(), pictureBox.ScaleHeight());
    const QImage stretched = pictureBox.Image();
    QCOMPARE(stretched.size(), drawing);
    QCOMPARE(stretched.pixel(drawing.width() - 1, drawing.height() - 1), qRgb(0, 0, 255));
}

void TestPictureBox::drawingSurvivesRepaintsAndClsClearsIt()
{
    PictureBox box(nullptr, TwipScale(15));
    box.setBackColor(Qt::white);
    box.resize(20, 20);
    box.PaintPicture(twoColourPicture(20, 20), 0, 0);
    box.show();
    box.repaint();
    QCOMPARE(box.grab().toImage().pixel(2, 2), qRgb(255, 0, 0));
    QCOMPARE(box.Image().pixel(15, 2), qRgb(0, 0, 255));
    box.Cls();
    QCOMPARE(box.Image().pixel(2, 2), qRgb(255, 255, 255));
    QCOMPARE(box.grab().toImage().pixel(15, 2), qRgb(255, 255, 255));
}

void TestPictureBox::resizingKeepsTheDrawing()
{
    PictureBox box(nullptr, TwipScale(15));
    box.setBackColor(Qt::white);
    box.resize(10, 10);
    box.PaintPicture(twoColourPicture(10, 10), 0, 0);
    box.resize(20, 5);
    const QImage image = box.Image();
    QCOMPARE(image.size(), QSize(20, 5));
    QCOMPARE(image.pixel(1, 1), qRgb(255, 0, 0));
    QCOMPARE(image.pixel(15, 1), qRgb(255, 255, 255));
}

void TestPictureBox::paintingRefusesImpossibleBoxes()
{
    PictureBox box(nullptr, TwipScale(15));
    box.resize(0, 10);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, box.PaintPicture(twoColourPicture(4, 4), 0, 0));
    // Far past what we allow to allocate; setting the size itself costs nothing.
    box.resize(100000, 100000);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, box.PaintPicture(twoColourPicture(4, 4), 0, 0));
    box.resize(10, 10);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, box.PaintPicture(Picture(), 0, 0));
}

void TestPictureBox::pictureDecodedIntoTheDrawingIsSharedUntilDrawnOn_data()
{
    QTest::addColumn<QRgb>("boxColour");
    QTest::addColumn<bool>("shared");
    QTest::newRow("strip in the box's colour") << qRgb(0xE0, 0xE0, 0xE0) << true;
    QTest::newRow("another colour: painted as any picture") << qRgb(0, 255, 0) << false;
}

void TestPictureBox::pictureDecodedIntoTheDrawingIsSharedUntilDrawnOn()
{
    QFETCH(QRgb, boxColour);
    QFETCH(bool, shared);
    QImage canvas = allocateCanvas(QSize(10, 8), {2, qRgb(0xE0, 0xE0, 0xE0)}, {});
    QPainter(&canvas).drawImage(0, 0, twoColourPicture(10, 8).raster());
    const Picture loaded = Picture::onCanvas(canvas, QSize(10, 8));
    canvas = QImage();
    PictureBox box(nullptr, TwipScale(15));
    box.setBackColor(QColor::fromRgb(boxColour));
    box.resize(12, 10);
    box.PaintPicture(loaded, 0, 0);
    const QImage image = box.Image();
    QCOMPARE(image.constBits() == loaded.raster().constBits(), shared);
    QCOMPARE(image.pixel(9, 7), qRgb(0, 0, 255));
    QCOMPARE(image.pixel(11, 0), boxColour);
    // Drawing on the box leaves the loaded picture as it was.
    box.PaintPicture(twoColourPicture(3, 3), 0, 0);
    QCOMPARE(loaded.raster().pixel(0, 0), qRgb(255, 0, 0));
    QVERIFY(box.Image().constBits() != loaded.raster().constBits());
}

QTEST_MAIN(TestPictureBox)
#include "tst_picturebox.moc"

void TestPictureBox::metafileSeenInPartIsPlayedThereFirst_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QList<QRect>>("plays");
    QTest::newRow("seen in part: the part, then the whole")
        << QSize(200, 150) << QList<QRect>{QRect(0, 0, 200, 150), QRect()};
    QTest::newRow("seen whole: played once") << QSize(700, 500) << QList<QRect>{QRect()};
}

// However it was played, the drawing ends exactly as one whole play on a lone box leaves it,
// as soon as anything reads it.
void TestPictureBox::metafileSeenInPartIsPlayedThereFirst()
{
    QFETCH(QSize, window);
    QFETCH(QList<QRect>, plays);
    const std::shared_ptr<const VectorPicture> metafile = readTestMetafile();
    QVERIFY(metafile);
    const auto noted = std::make_shared<NotedPlays>(metafile);
    QWidget form;
    form.resize(window);
    PictureBox box(&form, TwipScale(15), 1.0);
    box.resize(600, 400);
    box.PaintPicture(Picture(noted), 0, 0, 600 * 15, 400 * 15);
    const QImage drawn = box.Image();
    QVERIFY(!box.isPlaying());
    QCOMPARE(noted->clips(), plays);

    PictureBox lone(nullptr, TwipScale(15), 1.0);
    lone.resize(600, 400);
    lone.PaintPicture(Picture(metafile), 0, 0, 600 * 15, 400 * 15);
    QCOMPARE(drawn, lone.Image());
}
