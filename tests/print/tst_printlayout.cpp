// The arithmetic of the printed page and of the preview sheet, without a window.
#include "print/printlayout.h"

#include <QTest>

using namespace lumora::print;

class TstPrintLayout final : public QObject {
    Q_OBJECT
private slots:
    void printRectangle_data();
    void printRectangle();
    void twipsToDevice();
    void previewRectangleOfFreshSheet();
    void previewRectangleIsSinglePrecision();
    void zoomInThenOutRestoresTheRectangle();
    void zoomUsesTheScaleFromBeforeTheResize();
};

void TstPrintLayout::printRectangle_data()
{
    QTest::addColumn<QSizeF>("box");
    QTest::addColumn<QRectF>("expected");
    const QRectF full(0, 0, 9630, 12960);
    QTest::newRow("small prints at its own size") << QSizeF(3000, 1500) << QRectF(0, 0, 3000, 1500);
    QTest::newRow("exactly the limit is not stretched") << QSizeF(9630, 12960) << full;
    QTest::newRow("9360 is not the width limit") << QSizeF(9375, 1500) << QRectF(0, 0, 9375, 1500);
    QTest::newRow("a twip too wide stretches both ways") << QSizeF(9631, 1500) << full;
    QTest::newRow("a twip too high stretches both ways") << QSizeF(1500, 12961) << full;
    QTest::newRow("wide but short") << QSizeF(20000, 15) << full;
    QTest::newRow("both too large") << QSizeF(19260, 25920) << full;
    QTest::newRow("empty box") << QSizeF(0, 0) << QRectF(0, 0, 0, 0);
}

void TstPrintLayout::printRectangle()
{
    QFETCH(QSizeF, box);
    QFETCH(QRectF, expected);
    QCOMPARE(lumora::print::printRectangle(box), expected);
}

void TstPrintLayout::twipsToDevice()
{
    // 1440 twips are an inch whatever the device; x and y resolutions may differ.
    const QRectF device = lumora::print::twipsToDevice(QRectF(720, 1440, 9630, 12960), 1200, 600);
    QCOMPARE(device, QRectF(600, 600, 8025, 5400));
}

void TstPrintLayout::previewRectangleOfFreshSheet()
{
    // The design sheet 3135 x 4095 with a 1440 x 1440 twip picture box.
    const QRectF r = previewRectangle(QSizeF(3135, 4095), QSizeF(1440, 1440));
    QVERIFY(qAbs(r.x() - 368.8235) < 0.001);
    QVERIFY(qAbs(r.y() - 372.2727) < 0.001);
    QVERIFY(qAbs(r.width() - 368.8235) < 0.001);
    QVERIFY(qAbs(r.height() - 372.2727) < 0.001);
}

void TstPrintLayout::previewRectangleIsSinglePrecision()
{
    const QRectF r = previewRectangle(QSizeF(3135, 4095), QSizeF(1440, 1440));
    const float sx = 3135.0f / 12240.0f;
    QCOMPARE(r.x(), double(sx * 1440.0f));
    QVERIFY(r.x() != 3135.0 / 12240.0 * 1440.0);
}

void TstPrintLayout::zoomInThenOutRestoresTheRectangle()
{
    const QSizeF picture(1440, 1440);
    const QSizeF sheet(3135, 4095);
    const QRectF fresh = zoomedPreviewRectangle(sheet, picture, 1);
    const QRectF in = zoomedPreviewRectangle(sheet, picture, 2);
    const QRectF back = zoomedPreviewRectangle(sheet * 2, picture, 0.5);
    QCOMPARE(in.size(), fresh.size() * 2);
    QCOMPARE(back, fresh);
}

void TstPrintLayout::zoomUsesTheScaleFromBeforeTheResize()
{
    // A sheet halved to an odd number of pixels is rounded; the picture still follows the
    // old scale halved, not the rounded new one.
    const QRectF out = zoomedPreviewRectangle(QSizeF(3135, 4095), QSizeF(12240, 15840), 0.5);
    QCOMPARE(out.width(), 3135.0 / 2);
    QCOMPARE(out.height(), 4095.0 / 2);
}

QTEST_APPLESS_MAIN(TstPrintLayout)
#include "tst_printlayout.moc"
