#include "base/runtimeerror.h"
#include "picture/picture.h"
#include "runtime/picturebox.h"

#include <QPainter>
#include <QTest>
#include <QTransform>

using lumora::picture::Picture;
using lumora::runtime::PictureBox;

namespace {

// Columns of alternating black and white: the hardest case for aliasing.
QImage stripes(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, (x + y) % 2 ? 0xFFFFFFFF : 0xFF000000);
    return image;
}

QImage noise(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    quint32 state = 12345;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            image.setPixel(x, y, 0xFF000000 | (state >> 8));
        }
    return image;
}

QImage drawInto(const Picture &picture, QSize canvas, const QRectF &target,
                const QTransform &transform = QTransform())
{
    QImage out(canvas, QImage::Format_RGB32);
    out.fill(Qt::magenta);
    QPainter painter(&out);
    painter.setWorldTransform(transform);
    picture.draw(painter, target);
    painter.end();
    return out;
}

} // namespace

class TestPictureScale final : public QObject {
    Q_OBJECT
private slots:
    void enlargingReplicatesPixels_data();
    void enlargingReplicatesPixels();
    void reducingAveragesAway_data();
    void reducingAveragesAway();
    void reducingKeepsFlatColoursExact();
    void targetsPartlyOutsideAreClipped();
    void picturesWithTransparencyBlend();
    void impossibleBoxesRefuseToPaint_data();
    void impossibleBoxesRefuseToPaint();
    void resizingAHugeBoxAllocatesNothing();
};

void TestPictureScale::enlargingReplicatesPixels_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("transformed"); // through a scaling painter, as print does
    QTest::newRow("double") << QSize(10, 8) << QSize(20, 16) << false;
    QTest::newRow("zoom of an opened picture") << QSize(100, 80) << QSize(204, 164) << false;
    QTest::newRow("odd factor") << QSize(7, 5) << QSize(23, 17) << false;
    QTest::newRow("scaling painter") << QSize(10, 8) << QSize(30, 24) << true;
}

// Every output pixel must be exactly the source pixel under its centre: no blending at all.
void TestPictureScale::enlargingReplicatesPixels()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, transformed);
    const QImage src = noise(source.width(), source.height());
    const QImage out =
        transformed ? drawInto(Picture(src), target, QRectF(QPointF(0, 0), source),
                               QTransform::fromScale(double(target.width()) / source.width(),
                                                     double(target.height()) / source.height()))
                    : drawInto(Picture(src), target, QRectF(QPointF(0, 0), target));
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x) {
            const double sx = (x + 0.5) * source.width() / target.width();
            const double sy = (y + 0.5) * source.height() / target.height();
            // A centre exactly on a source edge may go either way.
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy)
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const QPoint p(int(sx) + dx, int(sy) + dy);
                    found = src.rect().contains(p) && src.pixel(p) == out.pixel(x, y) &&
                            std::abs(p.x() + 0.5 - sx) <= 0.5 + 1e-9 &&
                            std::abs(p.y() + 0.5 - sy) <= 0.5 + 1e-9;
                }
            if (!found)
                QFAIL(
                    qPrintable(QStringLiteral("pixel %1,%2 is not a source pixel").arg(x).arg(y)));
        }
}

void TestPictureScale::reducingAveragesAway_data()
{
    QTest::addColumn<QSize>("source");
    QTest::addColumn<QSize>("target");
    QTest::addColumn<bool>("transformed");
    QTest::newRow("half") << QSize(200, 160) << QSize(100, 80) << false;
    QTest::newRow("zoom out of an opened picture") << QSize(200, 160) << QSize(101, 81) << false;
    QTest::newRow("uneven ratio") << QSize(300, 100) << QSize(37, 13) << false;
    QTest::newRow("far smaller") << QSize(1000, 700) << QSize(9, 7) << false;
    QTest::newRow("scaling painter") << QSize(200, 160) << QSize(70, 50) << true;
}

// Fine stripes reduced must come out as an even grey, not as bands of black and white.
void TestPictureScale::reducingAveragesAway()
{
    QFETCH(QSize, source);
    QFETCH(QSize, target);
    QFETCH(bool, transformed);
    const QImage src = stripes(source.width(), source.height());
    const QImage out =
        transformed ? drawInto(Picture(src), target, QRectF(QPointF(0, 0), source),
                               QTransform::fromScale(double(target.width()) / source.width(),
                                                     double(target.height()) / source.height()))
                    : drawInto(Picture(src), target, QRectF(QPointF(0, 0), target));
    for (int y = 0; y < target.height(); ++y)
        for (int x = 0; x < target.width(); ++x) {
            const QRgb p = out.pixel(x, y);
            QVERIFY2(std::abs(qGray(p) - 128) <= 24,
                     qPrintable(QStringLiteral("pixel %1,%2 is %3").arg(x).arg(y).arg(qGray(p))));
        }
}

void TestPictureScale::reducingKeepsFlatColoursExact()
{
    QImage src(333, 222, QImage::Format_RGB32);
    src.fill(QColor(12, 200, 99));
    const QImage out = drawInto(Picture(src), {50, 40}, QRectF(0, 0, 50, 40));
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x)
            QCOMPARE(out.pixel(x, y), QColor(12, 200, 99).rgb());
}

void TestPictureScale::targetsPartlyOutsideAreClipped()
{
    const QImage src = noise(10, 10);
    const QImage whole = drawInto(Picture(src), {40, 40}, QRectF(0, 0, 40, 40));
    const QImage shifted = drawInto(Picture(src), {30, 30}, QRectF(-10, -10, 40, 40));
    QCOMPARE(shifted, whole.copy(10, 10, 30, 30));
    const QImage beyond = drawInto(Picture(src), {20, 20}, QRectF(10, 10, 40, 40));
    QCOMPARE(beyond.pixel(5, 5), QColor(Qt::magenta).rgb());
    QCOMPARE(beyond.copy(10, 10, 10, 10), whole.copy(0, 0, 10, 10));
}

void TestPictureScale::picturesWithTransparencyBlend()
{
    QImage src(4, 4, QImage::Format_ARGB32);
    src.fill(Qt::transparent);
    src.setPixel(0, 0, 0xFF0000FF);
    const QImage out = drawInto(Picture(src), {8, 8}, QRectF(0, 0, 8, 8));
    QCOMPARE(out.pixel(1, 1), 0xFF0000FFu);
    QCOMPARE(out.pixel(6, 6), QColor(Qt::magenta).rgb()); // the background shows through
}

void TestPictureScale::impossibleBoxesRefuseToPaint_data()
{
    QTest::addColumn<QSize>("box");
    QTest::addColumn<int>("error");
    QTest::newRow("zero height") << QSize(500, 0) << lumora::errors::InvalidPropertyValue;
    QTest::newRow("zero width") << QSize(0, 30) << lumora::errors::InvalidPropertyValue;
    // One row more than the drawing limit, the whole memory budget, allows.
    QTest::newRow("past the limit")
        << QSize(16384, int(PictureBox::maxDrawingBytes() / (4 * 16384)) + 1)
        << lumora::errors::OutOfMemory;
}

void TestPictureScale::impossibleBoxesRefuseToPaint()
{
    QFETCH(QSize, box);
    QFETCH(int, error);
    PictureBox picture(nullptr, lumora::TwipScale(15));
    picture.resize(box);
    try {
        picture.PaintPicture(Picture(noise(4, 4)), 0, 0, 60, 60);
        QFAIL("painting should have failed");
    } catch (const lumora::RuntimeError &e) {
        QCOMPARE(e.number(), error);
    }
    QVERIFY(picture.Image().isNull());
}

// The drawing is made only when something is painted: a box grown far past the limit must
// not take the memory of its size.
void TestPictureScale::resizingAHugeBoxAllocatesNothing()
{
    PictureBox picture(nullptr, lumora::TwipScale(15));
    picture.resize(40, 30);
    picture.PaintPicture(Picture(noise(4, 4)), 0, 0, 600, 450);
    picture.Cls();
    picture.resize(1000000, 800000);
    QCOMPARE(picture.size(), QSize(1000000, 800000));
    QVERIFY(picture.Image().isNull());
    picture.resize(40, 30);
    picture.PaintPicture(Picture(noise(4, 4)), 0, 0, 600, 450);
    QCOMPARE(picture.Image().size(), QSize(40, 30));
}

QTEST_MAIN(TestPictureScale)
#include "tst_picturescale.moc"
