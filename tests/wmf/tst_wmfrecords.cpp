// The WMF player, record by record: small files made here for what Inkscape and LibreOffice
// never write (map modes, flipped extents, every DIB depth, raster operations, clip records,
// text alignment and options, brushes, arcs, regions).

#include "picture/wmf/wmfpicture.h"
#include "wmfbuilder.h"
#include "wmftestutil.h"

#include <QTest>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::picture::wmf;
using namespace wmftest;

namespace {

// A 100 x 100 picture (placeable, 96 per inch: 100 pixels) whose records follow.
WmfBuilder square()
{
    WmfBuilder b;
    b.placeable(0, 0, 100, 100, 96);
    return b;
}

QImage renderSquare(const WmfBuilder &b, QSize size = {100, 100})
{
    return render(*loadWmf(b.bytes()), size);
}

// A 2 x 2 bitmap: red, green over blue, yellow.
QByteArray quadDib(int bpp, bool topDown = false)
{
    const QList<QRgb> palette{kRed, kGreen, kBlue, kYellow};
    switch (bpp) {
    case 4:
        return dib(2, 2, 4, palette, {QByteArray("\x01", 1), QByteArray("\x23", 1)}, 0, topDown);
    case 8:
        return dib(2, 2, 8, palette, {QByteArray("\x00\x01", 2), QByteArray("\x02\x03", 2)}, 0,
                   topDown);
    case 24:
        return dib(
            2, 2, 24, {},
            {QByteArray("\x00\x00\xff\x00\xff\x00", 6), QByteArray("\xff\x00\x00\x00\xff\xff", 6)},
            0, topDown);
    default:
        return dib(2, 2, 32, {},
                   {QByteArray("\x00\x00\xff\x00\x00\xff\x00\x00", 8),
                    QByteArray("\xff\x00\x00\x00\x00\xff\xff\x00", 8)},
                   0, topDown);
    }
}

} // namespace

class tst_WmfRecords : public QObject {
    Q_OBJECT

private slots:
    void negativeExtentsFlip_data();
    void negativeExtentsFlip();
    void fixedMapModes();
    void viewportOffsets();
    void laterWindowsMapOntoPicture_data();
    void laterWindowsMapOntoPicture();
    void dibDepths_data();
    void dibDepths();
    void dibRecords();
    void deviceBitmaps_data();
    void deviceBitmaps();
    void bitmapsColouredByPalette_data();
    void bitmapsColouredByPalette();
    void rasterOperations_data();
    void rasterOperations();
    void clipRecords();
    void textAlignment_data();
    void textAlignment();
    void extTextOutOptions();
    void largeTextFromMasks_data();
    void largeTextFromMasks();
    void escapementTurnsText();
    void textDecorations_data();
    void textDecorations();
    void symbolFontIsGreek();
    void hatchedBrushBackground();
    void patternBrush();
    void arcsAndPies();
    void regions();
    void floodFills();
    void thinPensStayVisible();
    void stripsWithoutOutlinesLeaveNoSeams();
    void thinOutlinesLightWholePixels();
};

void tst_WmfRecords::negativeExtentsFlip_data()
{
    QTest::addColumn<QPoint>("origin");
    QTest::addColumn<QPoint>("extent");
    QTest::addColumn<QPoint>("redAt"); // where the logical square (0..50, 0..50) lands
    QTest::newRow("plain") << QPoint(0, 0) << QPoint(100, 100) << QPoint(25, 25);
    QTest::newRow("x flipped") << QPoint(100, 0) << QPoint(-100, 100) << QPoint(75, 25);
    QTest::newRow("y flipped") << QPoint(0, 100) << QPoint(100, -100) << QPoint(25, 75);
    QTest::newRow("both flipped") << QPoint(100, 100) << QPoint(-100, -100) << QPoint(75, 75);
}

void tst_WmfRecords::negativeExtentsFlip()
{
    QFETCH(QPoint, origin);
    QFETCH(QPoint, extent);
    QFETCH(QPoint, redAt);
    for (bool placeable : {true, false}) {
        WmfBuilder b;
        if (placeable)
            b.placeable(0, 0, 100, 100, 96);
        b.windowOrg(origin.x(), origin.y()).windowExt(extent.x(), extent.y());
        b.brush(0, kRed).select(0).pen(5, 0, 0).select(1).rectangle(0, 0, 50, 50);
        const auto picture = loadWmf(b.bytes());
        QCOMPARE(picture->naturalSizeTwips(), QSizeF(1500, 1500));
        const QImage image = render(*picture, QSize(100, 100));
        QVERIFY(near(image.pixel(redAt), kRed));
        QVERIFY(near(image.pixel(100 - redAt.x(), 100 - redAt.y()), kWhite));
    }
}

void tst_WmfRecords::fixedMapModes()
{
    // MM_TWIPS counts y upwards from the window origin: (0..720, 0..-720) is the top-left
    // quarter of a one-inch picture, (720..1440, -720..-1440) the bottom-right one.
    const auto picture = loadWmf(WmfBuilder()
                                     .mapMode(6)
                                     .pen(5, 0, 0)
                                     .select(0)
                                     .brush(0, kRed)
                                     .select(1)
                                     .rectangle(0, 0, 720, -720)
                                     .brush(0, kBlue)
                                     .select(2)
                                     .rectangle(720, -720, 1440, -1440)
                                     .bytes());
    QCOMPARE(picture->naturalSizeTwips(), QSizeF(1440, 1440));
    const QImage image = render(*picture, QSize(96, 96));
    QVERIFY(near(image.pixel(20, 20), kRed));
    QVERIFY(near(image.pixel(70, 70), kBlue));
    QVERIFY(near(image.pixel(70, 20), kWhite));
}

void tst_WmfRecords::viewportOffsets()
{
    // With a viewport extent set, the window maps onto it; offsetting the viewport origin
    // afterwards moves what follows by that many viewport units.
    const QImage image = renderSquare(square()
                                          .windowExt(10, 10)
                                          .viewportExt(100, 100)
                                          .pen(5, 0, 0)
                                          .select(0)
                                          .brush(0, kRed)
                                          .select(1)
                                          .rectangle(0, 0, 2, 2)
                                          .record(0x0211, {50, 50}) // OFFSETVIEWPORTORG 50, 50
                                          .rectangle(0, 0, 2, 2));
    QVERIFY(near(image.pixel(10, 10), kRed));
    QVERIFY(near(image.pixel(60, 60), kRed));
    QVERIFY(near(image.pixel(35, 35), kWhite));
}

void tst_WmfRecords::laterWindowsMapOntoPicture_data()
{
    QTest::addColumn<bool>("placeable");
    QTest::addColumn<int>("mapMode");
    QTest::addColumn<QRect>("window"); // set after the first drawing, with no viewport record
    QTest::addColumn<QRect>("box");    // drawn in blue in that window
    QTest::addColumn<QPoint>("blueAt");
    QTest::addColumn<QPoint>("whiteAt");
    // A window ten times as large shows the same box ten times smaller.
    QTest::newRow("shrinks") << true << 8 << QRect(0, 0, 1000, 1000) << QRect(500, 500, 500, 500)
                             << QPoint(75, 75) << QPoint(40, 40);
    QTest::newRow("shrinks, no header")
        << false << 8 << QRect(0, 0, 1000, 1000) << QRect(500, 500, 500, 500) << QPoint(75, 75)
        << QPoint(40, 40);
    // A smaller window centred on its origin enlarges around the picture's middle.
    QTest::newRow("enlarges") << true << 8 << QRect(-10, -10, 20, 20) << QRect(0, 0, 5, 5)
                              << QPoint(60, 60) << QPoint(80, 80);
    // A negative extent flips what follows, and only that.
    QTest::newRow("flips") << true << 8 << QRect(0, 100, 100, -100) << QRect(0, 0, 50, 50)
                           << QPoint(25, 75) << QPoint(25, 40);
    // Isotropic: the smaller scale on both axes, from the viewport's corner.
    QTest::newRow("isotropic") << true << 7 << QRect(0, 0, 200, 100) << QRect(100, 100, 100, 100)
                               << QPoint(75, 75) << QPoint(75, 25);
}

void tst_WmfRecords::laterWindowsMapOntoPicture()
{
    // A player's viewport is the picture's rectangle while a file sets none: the window in
    // effect at the first drawing fills it, and every later window maps onto it too.
    QFETCH(bool, placeable);
    QFETCH(int, mapMode);
    QFETCH(QRect, window);
    QFETCH(QRect, box);
    QFETCH(QPoint, blueAt);
    QFETCH(QPoint, whiteAt);
    WmfBuilder b;
    if (placeable)
        b.placeable(0, 0, 100, 100, 96);
    b.mapMode(mapMode).windowOrg(0, 0).windowExt(100, 100).pen(5, 0, 0).select(0);
    b.brush(0, kRed).select(1).rectangle(0, 0, 20, 20);
    b.saveDC().windowOrg(window.x(), window.y()).windowExt(window.width(), window.height());
    b.brush(0, kBlue).select(2).rectangle(box.left(), box.top(), box.left() + box.width(),
                                          box.top() + box.height());
    b.restoreDC(-1).brush(0, kGreen).select(3).rectangle(80, 0, 100, 20);
    const auto picture = loadWmf(b.bytes());
    QCOMPARE(picture->naturalSizeTwips(), QSizeF(1500, 1500));
    const QImage image = render(*picture, QSize(100, 100));
    QVERIFY(near(image.pixel(10, 10), kRed));
    QVERIFY(near(image.pixel(blueAt), kBlue));
    QVERIFY(near(image.pixel(whiteAt), kWhite));
    QVERIFY(near(image.pixel(90, 10), kGreen)); // the restored window maps as before
}

void tst_WmfRecords::dibDepths_data()
{
    QTest::addColumn<QByteArray>("bitmap");
    QTest::addColumn<QList<QRgb>>("quarters"); // top left, top right, bottom left, bottom right
    const QList<QRgb> quad{kRed, kGreen, kBlue, kYellow};
    QTest::newRow("1 bit") << dib(2, 2, 1, {kRed, kBlue},
                                  {QByteArray("\x40", 1), QByteArray("\x80", 1)})
                           << QList<QRgb>{kRed, kBlue, kBlue, kRed};
    QTest::newRow("4 bits") << quadDib(4) << quad;
    QTest::newRow("8 bits") << quadDib(8) << quad;
    QTest::newRow("24 bits") << quadDib(24) << quad;
    QTest::newRow("32 bits") << quadDib(32) << quad;
    QTest::newRow("24 bits top-down") << quadDib(24, true) << quad;
    // RLE: bottom row first; a run of one for each pixel, end of line, end of bitmap.
    QTest::newRow("RLE8") << dib(2, 2, 8, quad,
                                 {QByteArray("\x01\x02\x01\x03\x00\x00\x01\x00\x01\x01\x00\x01",
                                             12)},
                                 1)
                          << quad;
    QTest::newRow("RLE4") << dib(2, 2, 4, quad, {QByteArray("\x02\x23\x00\x00\x02\x01\x00\x01", 8)},
                                 2)
                          << quad;
    // Absolute runs of four pixels (4 x 2) in RLE8, and of three (padded to a word) in RLE4.
    QTest::newRow("RLE8 absolute")
        << dib(4, 2, 8, quad,
               {QByteArray("\x00\x04\x02\x02\x03\x03\x00\x00\x00\x04\x00\x00\x01\x01\x00\x01", 16)},
               1)
        << quad;
    QTest::newRow("RLE4 absolute")
        << dib(4, 2, 4, quad,
               {QByteArray("\x00\x03\x22\x30\x01\x30\x00\x00\x00\x03\x00\x10\x01\x10\x00\x01", 16)},
               2)
        << quad;
    // Run-length bitmaps stored top-down: the same runs, the first row now the top one.
    const QList<QRgb> flipped{kBlue, kYellow, kRed, kGreen};
    QTest::newRow("RLE8 top-down")
        << dib(2, 2, 8, quad, {QByteArray("\x01\x02\x01\x03\x00\x00\x01\x00\x01\x01\x00\x01", 12)},
               1, true)
        << flipped;
    QTest::newRow("RLE4 top-down")
        << dib(2, 2, 4, quad, {QByteArray("\x02\x23\x00\x00\x02\x01\x00\x01", 8)}, 2, true)
        << flipped;
}

void tst_WmfRecords::dibDepths()
{
    QFETCH(QByteArray, bitmap);
    QFETCH(QList<QRgb>, quarters);
    const int width = qFromLittleEndian<qint32>(bitmap.constData() + 4);
    const QImage image =
        renderSquare(square().stretchDib(QRect(0, 0, 100, 100), QRect(0, 0, width, 2), bitmap));
    QVERIFY(near(image.pixel(25, 25), quarters[0]));
    QVERIFY(near(image.pixel(75, 25), quarters[1]));
    QVERIFY(near(image.pixel(25, 75), quarters[2]));
    QVERIFY(near(image.pixel(75, 75), quarters[3]));
}

void tst_WmfRecords::dibRecords()
{
    // DIBSTRETCHBLT of the right column onto the left half; DIBBITBLT of one pixel at a
    // logical point; a negative destination width mirrors.
    const QByteArray quad = quadDib(24);
    QImage image =
        renderSquare(square().dibStretchBlt(QRect(0, 0, 50, 100), QRect(1, 0, 1, 2), quad));
    QVERIFY(near(image.pixel(25, 25), kGreen));
    QVERIFY(near(image.pixel(25, 75), kYellow));
    QVERIFY(near(image.pixel(75, 50), kWhite));
    image = renderSquare(square().windowExt(4, 4).dibBitBlt(QPoint(2, 2), QRect(0, 1, 1, 1), quad));
    QVERIFY(near(image.pixel(60, 60), kBlue));
    QVERIFY(near(image.pixel(20, 20), kWhite));
    image = renderSquare(square().stretchDib(QRect(100, 0, -100, 100), QRect(0, 0, 2, 2), quad));
    QVERIFY(near(image.pixel(25, 25), kGreen));
    QVERIFY(near(image.pixel(75, 25), kRed));
}

void tst_WmfRecords::deviceBitmaps_data()
{
    QTest::addColumn<int>("bitsPerPixel");
    QTest::addColumn<QList<QByteArray>>("rows"); // 2 x 2 pixels
    QTest::addColumn<QList<QRgb>>("palette");    // selected before the blit, when not empty
    QTest::addColumn<QList<QRgb>>("expected");   // top left, top right, bottom left, right
    const QList<QRgb> standard{kRed, kGreen, kBlue, kYellow};
    QTest::newRow("4 bits: the display's 16 colours")
        << 4 << QList<QByteArray>{"\x9A", "\xCB"} << QList<QRgb>{} << standard;
    QTest::newRow("8 bits: static colours at the top")
        << 8 << QList<QByteArray>{"\xF9\xFA", "\xFC\xFB"} << QList<QRgb>{} << standard;
    QList<QRgb> logical(12, kBlack);
    logical[10] = kBlue;
    logical[11] = kYellow;
    QTest::newRow("8 bits: the logical palette between")
        << 8 << QList<QByteArray>{QByteArray("\x00\xFF", 2), "\x0A\x0B"} << logical
        << QList<QRgb>{kBlack, kWhite, kBlue, kYellow};
}

void tst_WmfRecords::deviceBitmaps()
{
    // Device bitmaps of 4 and 8 bits index the palette of the display that recorded them.
    QFETCH(int, bitsPerPixel);
    QFETCH(QList<QByteArray>, rows);
    QFETCH(QList<QRgb>, palette);
    QFETCH(QList<QRgb>, expected);
    WmfBuilder b = square();
    if (!palette.isEmpty())
        b.palette(palette).record(0x0234, {0}); // SELECTPALETTE
    b.deviceStretchBlt(QRect(0, 0, 100, 100), QSize(2, 2), bitsPerPixel, rows);
    const QImage image = renderSquare(b);
    const QPoint at[] = {{25, 25}, {75, 25}, {25, 75}, {75, 75}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(image.pixel(at[i]), expected[i]), qPrintable(QString::number(i)));
}

void tst_WmfRecords::bitmapsColouredByPalette_data()
{
    // Bitmaps whose colours come from the logical palette selected: a table of indices into
    // it, or no table at all (clrUsed 0 and no room for one), as presentation thumbnails are.
    QTest::addColumn<QByteArray>("file");      // drawing a 2 x 2 bitmap over the whole square
    QTest::addColumn<QList<QRgb>>("expected"); // top left, top right, bottom left, right
    const QList<QRgb> quad{kRed, kGreen, kBlue, kYellow};
    const QRect all(0, 0, 100, 100), source(0, 0, 2, 2);
    const QList<QByteArray> indices{QByteArray("\x00\x01", 2), "\x02\x03"};
    const QByteArray tableless8 = dib(2, 2, 8, {}, indices);
    const auto selected = [&](const QList<QRgb> &palette) {
        return square().palette(palette).record(0x0234, {0}).record(0x0035, {}); // select, realise
    };
    QTest::newRow("8 bits without a table, STRETCHDIB")
        << selected(quad).stretchDib(all, source, tableless8).bytes() << quad;
    QTest::newRow("8 bits without a table, DIBSTRETCHBLT")
        << selected(quad).dibStretchBlt(all, source, tableless8).bytes() << quad;
    QTest::newRow("4 bits without a table")
        << selected(quad).stretchDib(all, source, dib(2, 2, 4, {}, {"\x01", "\x23"})).bytes()
        << quad;
    // The default palette: its first ten colours, then ten more from index 10 on.
    QTest::newRow("no palette selected: the default one")
        << square().stretchDib(all, source, dib(2, 2, 8, {}, {"\x0D\x0E", "\x10\x0F"})).bytes()
        << quad;
    // DIB_PAL_COLORS: each table entry a 16-bit index into the palette, here in reverse.
    QByteArray reversed = dib(2, 2, 8, {}, indices);
    reversed.insert(40, QByteArray("\x03\x00\x02\x00\x01\x00\x00\x00", 8));
    reversed[32] = 4; // clrUsed
    QTest::newRow("DIB_PAL_COLORS") << selected(quad)
                                           .stretchDib(all, source, reversed, 0x00CC0020,
                                                       WmfBuilder::DibColours::PaletteIndices)
                                           .bytes()
                                    << QList<QRgb>{kYellow, kBlue, kGreen, kRed};
}

void tst_WmfRecords::bitmapsColouredByPalette()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<QRgb>, expected);
    const QImage image = render(*loadWmf(file), QSize(100, 100));
    const QPoint at[] = {{25, 25}, {75, 25}, {25, 75}, {75, 75}};
    for (int i = 0; i < 4; ++i)
        QVERIFY2(near(image.pixel(at[i]), expected[i]), qPrintable(QString::number(i)));
}

void tst_WmfRecords::rasterOperations_data()
{
    QTest::addColumn<int>("rop2");
    QTest::addColumn<QRgb>("result"); // a white box drawn over red
    QTest::newRow("R2_COPYPEN") << 13 << kWhite;
    QTest::newRow("R2_NOP") << 11 << kRed;
    QTest::newRow("R2_BLACK") << 1 << kBlack;
    QTest::newRow("R2_XORPEN") << 7 << QRgb(0xff00ffff);
    QTest::newRow("R2_MASKPEN") << 9 << kRed;
    QTest::newRow("R2_NOT") << 6 << QRgb(0xff00ffff);
    QTest::newRow("R2_NOTCOPYPEN") << 4 << kBlack;
}

void tst_WmfRecords::rasterOperations()
{
    QFETCH(int, rop2);
    QFETCH(QRgb, result);
    const QImage image = renderSquare(square()
                                          .pen(5, 0, 0)
                                          .select(0)
                                          .brush(0, kRed)
                                          .select(1)
                                          .rectangle(0, 0, 100, 100)
                                          .brush(0, kWhite)
                                          .select(2)
                                          .rop2(rop2)
                                          .rectangle(20, 20, 80, 80));
    QVERIFY2(near(image.pixel(50, 50), result, 8),
             qPrintable(QString::number(image.pixel(50, 50), 16)));
    QVERIFY(near(image.pixel(5, 5), kRed, 8));
}

void tst_WmfRecords::clipRecords()
{
    // INTERSECTCLIPRECT then EXCLUDECLIPRECT inside a saved state; after RESTOREDC the whole
    // square can be drawn again.
    const QImage image = renderSquare(square()
                                          .pen(5, 0, 0)
                                          .select(0)
                                          .brush(0, kRed)
                                          .select(1)
                                          .saveDC()
                                          .intersectClip(10, 10, 60, 60)
                                          .excludeClip(30, 30, 40, 40)
                                          .rectangle(0, 0, 100, 100)
                                          .restoreDC(-1)
                                          .brush(0, kBlue)
                                          .select(2)
                                          .rectangle(70, 70, 100, 100));
    QVERIFY(near(image.pixel(15, 15), kRed));
    QVERIFY(near(image.pixel(35, 35), kWhite)); // the excluded hole
    QVERIFY(near(image.pixel(65, 20), kWhite)); // outside the intersected box
    QVERIFY(near(image.pixel(85, 85), kBlue));  // the clip was restored
}

void tst_WmfRecords::textAlignment_data()
{
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("side");  // -1 text left of x = 100, 0 across it, 1 right of it
    QTest::addColumn<int>("above"); // -1 above y = 100, 1 below it, 0 across (baseline)
    QTest::newRow("left top") << 0 << 1 << 1;
    QTest::newRow("right top") << 2 << -1 << 1;
    QTest::newRow("center top") << 6 << 0 << 1;
    QTest::newRow("left bottom") << 8 << 1 << -1;
    QTest::newRow("left baseline") << 24 << 1 << 0;
}

void tst_WmfRecords::textAlignment()
{
    QFETCH(int, align);
    QFETCH(int, side);
    QFETCH(int, above);
    const QImage image = render(*loadWmf(WmfBuilder()
                                             .placeable(0, 0, 200, 200, 96)
                                             .font(-30, QStringLiteral("DejaVu Sans"))
                                             .select(0)
                                             .textAlign(align)
                                             .bkMode(1)
                                             .textOut(100, 100, "HHgg")
                                             .bytes()),
                                QSize(200, 200));
    const QRect box = boundsOf(image, kBlack, 100);
    QVERIFY(!box.isEmpty());
    if (side > 0)
        QVERIFY(box.left() >= 98 && box.left() <= 106);
    else if (side < 0)
        QVERIFY(box.right() <= 102 && box.right() >= 94);
    else
        QVERIFY(std::abs(box.center().x() - 100) <= 3);
    if (above > 0)
        QVERIFY(box.top() >= 100);
    else if (above < 0)
        QVERIFY(box.bottom() <= 100);
    else
        QVERIFY(box.top() < 95 && box.bottom() > 102); // capitals above, descenders below
}

void tst_WmfRecords::extTextOutOptions()
{
    // ETO_OPAQUE fills its rectangle with the background colour; ETO_CLIPPED cuts the text at
    // it; advances (dx) place each character.
    QImage image = render(*loadWmf(WmfBuilder()
                                       .placeable(0, 0, 200, 100, 96)
                                       .font(-40, QStringLiteral("DejaVu Sans"))
                                       .select(0)
                                       .bkColor(kYellow)
                                       .bkMode(1)
                                       .extTextOut(10, 10, "WWWWWWWW", 0x6, QRect(0, 0, 60, 80))
                                       .bytes()),
                          QSize(200, 100));
    QVERIFY(near(image.pixel(55, 75), kYellow));
    QVERIFY(countNear(image, kBlack, QRect(0, 0, 61, 100), 100) > 50);
    QCOMPARE(countNear(image, kBlack, QRect(62, 0, 138, 100), 100), 0);
    image = render(*loadWmf(WmfBuilder()
                                .placeable(0, 0, 200, 100, 96)
                                .font(-30, QStringLiteral("DejaVu Sans"))
                                .select(0)
                                .bkMode(1)
                                .extTextOut(10, 10, "II", 0, {}, {150, 10})
                                .bytes()),
                   QSize(200, 100));
    const QRect box = boundsOf(image, kBlack, 100);
    QVERIFY2(box.width() > 140, qPrintable(QString::number(box.width())));
}

void tst_WmfRecords::largeTextFromMasks_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<QRgb>("color");
    QTest::newRow("large, red") << -150 << kRed;
    QTest::newRow("large, blue") << -300 << kBlue;
    QTest::newRow("painter's cache size") << -40 << kRed;
}

void tst_WmfRecords::largeTextFromMasks()
{
    // On a raster image, large glyphs come from the font engine's masks; through a scaled
    // painter they are filled as outlines. Both put the same ink, in the text colour, in the
    // same place.
    QFETCH(int, height);
    QFETCH(QRgb, color);
    const auto picture = loadWmf(WmfBuilder()
                                     .placeable(0, 0, 400, 300, 96)
                                     .font(height, QStringLiteral("Arial"))
                                     .select(0)
                                     .textColor(color)
                                     .bkMode(1)
                                     .textOut(10, 10, "Wg&")
                                     .bytes());
    const QImage direct = render(*picture, QSize(400, 300));
    QImage doubled(800, 600, QImage::Format_ARGB32_Premultiplied);
    doubled.fill(kWhite);
    QPainter painter(&doubled);
    painter.scale(2, 2);
    picture->render(painter, QRectF(0, 0, 400, 300));
    painter.end();
    const QImage outlines =
        doubled.scaled(400, 300, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QRect a = boundsOf(direct, color, 60), b = boundsOf(outlines, color, 60);
    QVERIFY(a.width() > -height);
    for (int d :
         {a.left() - b.left(), a.top() - b.top(), a.right() - b.right(), a.bottom() - b.bottom()})
        QVERIFY2(std::abs(d) <= 2, qPrintable(QStringLiteral("%1 %2").arg(d).arg(height)));
    const int inkA = countNear(direct, color, {}, 60), inkB = countNear(outlines, color, {}, 60);
    QVERIFY2(std::abs(inkA - inkB) < inkB / 20,
             qPrintable(QStringLiteral("%1 %2").arg(inkA).arg(inkB)));
}

void tst_WmfRecords::escapementTurnsText()
{
    const QImage image =
        render(*loadWmf(WmfBuilder()
                            .placeable(0, 0, 200, 200, 96)
                            .font(-24, QStringLiteral("DejaVu Sans"), 700, false, 900)
                            .select(0)
                            .bkMode(1)
                            .textOut(100, 180, "Upwards")
                            .bytes()),
               QSize(200, 200));
    const QRect box = boundsOf(image, kBlack, 100);
    QVERIFY2(box.height() > 2 * box.width(),
             qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
    QVERIFY(box.bottom() <= 182);
}

void tst_WmfRecords::textDecorations_data()
{
    QTest::addColumn<bool>("underline");
    QTest::addColumn<bool>("extTextOut");
    QTest::addColumn<int>("align");
    QTest::addColumn<int>("escapement");
    // Where the line lies from the reference point (100, 100): along the text from `from` to
    // `to`, and across it between `near` and `far` (down, or right when turned upwards).
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("near");
    QTest::addColumn<int>("far");
    // TEXTOUT spaces of DejaVu Sans at 30 pixels advance 9.5 pixels each.
    QTest::newRow("underline, baseline") << true << false << 24 << 0 << 0 << 76 << 1 << 6;
    QTest::newRow("strike-out, baseline") << false << true << 24 << 0 << 0 << 80 << -14 << -4;
    QTest::newRow("underline, top") << true << true << 0 << 0 << 0 << 80 << 24 << 32;
    QTest::newRow("underline, right") << true << false << 26 << 0 << -76 << 0 << 1 << 6;
    QTest::newRow("underline, upwards") << true << true << 24 << 900 << -80 << 0 << 1 << 6;
}

// Underlined and struck-out fonts draw their line in the text colour across the whole run,
// spaces too, turned and aligned with the text.
void tst_WmfRecords::textDecorations()
{
    QFETCH(bool, underline);
    QFETCH(bool, extTextOut);
    QFETCH(int, align);
    QFETCH(int, escapement);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, near);
    QFETCH(int, far);
    WmfBuilder b;
    b.placeable(0, 0, 200, 200, 96)
        .font(-30, QStringLiteral("DejaVu Sans"), 400, false, escapement, 0, underline, !underline)
        .select(0)
        .textColor(kRed)
        .textAlign(align)
        .bkMode(1);
    const QByteArray spaces(8, ' '); // no glyph ink: what is red is the line
    const QList<int> advances(8, 10);
    extTextOut ? b.extTextOut(100, 100, spaces, 0, {}, advances) : b.textOut(100, 100, spaces);
    QImage image = render(*loadWmf(b.bytes()), QSize(200, 200));
    if (escapement == 900) // turned back, so that one check serves both
        image = image.transformed(QTransform().rotate(90)).mirrored(true, false);
    const QRect line = boundsOf(image, kRed, 100);
    QVERIFY2(!line.isEmpty(), "no line drawn");
    const QString where = QStringLiteral("line at %1, %2 to %3, %4")
                              .arg(line.left())
                              .arg(line.top())
                              .arg(line.right())
                              .arg(line.bottom());
    QVERIFY2(std::abs(line.left() - (100 + from)) <= 2, qPrintable(where));
    QVERIFY2(std::abs(line.right() + 1 - (100 + to)) <= 2, qPrintable(where));
    QVERIFY2(line.top() >= 100 + near && line.bottom() <= 100 + far, qPrintable(where));
    QVERIFY2(line.height() <= 4, qPrintable(where));
}

void tst_WmfRecords::symbolFontIsGreek()
{
    // SYMBOL_CHARSET with the Symbol face: 'p' is pi. Drawn, not left blank, whatever font
    // the machine offers.
    const QImage image = render(*loadWmf(WmfBuilder()
                                             .placeable(0, 0, 100, 60, 96)
                                             .font(-40, QStringLiteral("Symbol"), 400, false, 0, 2)
                                             .select(0)
                                             .bkMode(1)
                                             .textOut(10, 5, "pab")
                                             .bytes()),
                                QSize(100, 60));
    QVERIFY(countNear(image, kBlack, {}, 100) > 40);
}

void tst_WmfRecords::hatchedBrushBackground()
{
    // A hatched brush shows its lines and, in OPAQUE background mode, the background colour
    // between them; in TRANSPARENT mode what was there before.
    auto paint = [](int bkMode) {
        return renderSquare(square()
                                .pen(5, 0, 0)
                                .select(0)
                                .bkColor(kYellow)
                                .bkMode(bkMode)
                                .brush(2, kBlue, 4) // HS_CROSS
                                .select(1)
                                .rectangle(0, 0, 100, 100));
    };
    const QImage opaque = paint(2), transparent = paint(1);
    QVERIFY(countNear(opaque, kBlue, {}, 60) > 1000);
    QVERIFY(countNear(opaque, kYellow, {}, 60) > 4000);
    QVERIFY(countNear(transparent, kBlue, {}, 60) > 1000);
    QCOMPARE(countNear(transparent, kYellow, {}, 60), 0);
}

void tst_WmfRecords::patternBrush()
{
    // A DIB pattern brush of 8 x 8 pixels, left half red, right half blue, tiled.
    QList<QByteArray> rows;
    for (int i = 0; i < 8; ++i)
        rows.append(QByteArray("\x00\x00\x00\x00\x01\x01\x01\x01", 8));
    const QImage image = renderSquare(square()
                                          .pen(5, 0, 0)
                                          .select(0)
                                          .dibPatternBrush(dib(8, 8, 8, {kRed, kBlue}, rows))
                                          .select(1)
                                          .rectangle(0, 0, 100, 100));
    QVERIFY(near(image.pixel(17, 50), kRed, 8));
    QVERIFY(near(image.pixel(21, 50), kBlue, 8));
    QVERIFY(countNear(image, kRed) > 4000 && countNear(image, kBlue) > 4000);
}

void tst_WmfRecords::arcsAndPies()
{
    // PIE from 0 to 90 degrees, counter-clockwise: the top-right quarter of the circle.
    const QImage image =
        renderSquare(square().pen(5, 0, 0).select(0).brush(0, kRed).select(1).record(
            0x081A, {0, 50, 50, 100, 100, 100, 0, 0}));
    QVERIFY(near(image.pixel(70, 30), kRed));
    QVERIFY(near(image.pixel(30, 30), kWhite));
    QVERIFY(near(image.pixel(70, 70), kWhite));
    QVERIFY(near(image.pixel(30, 70), kWhite));
}

void tst_WmfRecords::regions()
{
    // CREATEREGION with one scan of two rectangles, filled with a brush (FILLREGION).
    QByteArray region;
    for (int v : {0, 6, 0, 0, 0, 1, 2, 10, 10, 90, 50}) // header: one scan, bounding box
        put16(region, v);
    for (int v : {4, 10, 50, 10, 40, 60, 90, 4}) // scan: 2 rectangles between y 10 and 50
        put16(region, v);
    const QImage image =
        renderSquare(square().brush(0, kBlue).recordBytes(0x06FF, region).record(0x0228, {1, 0}));
    QVERIFY(near(image.pixel(20, 30), kBlue));
    QVERIFY(near(image.pixel(80, 30), kBlue));
    QVERIFY(near(image.pixel(50, 30), kWhite));
    QVERIFY(near(image.pixel(20, 70), kWhite));
}

void tst_WmfRecords::floodFills()
{
    // A black outline (a hairline and a wide anti-aliased ellipse) holds FLOODFILL in; the
    // surface form of EXTFLOODFILL then fills the white around them. A seed outside the
    // picture fills nothing.
    const auto ref = [](QRgb c) {
        return std::pair{int(colorRef(c) & 0xFFFF), int(colorRef(c) >> 16)};
    };
    const auto [blackLo, blackHi] = ref(kBlack);
    const auto [whiteLo, whiteHi] = ref(kWhite);
    WmfBuilder b = square();
    b.pen(0, 0, kBlack).select(0).brush(1, kBlack).select(1).rectangle(10, 10, 60, 60);
    b.pen(0, 3, kBlack).select(2).ellipse(55, 55, 95, 95);
    b.brush(0, kRed).select(3).record(0x0419, {blackLo, blackHi, 30, 30});
    b.record(0x0419, {blackLo, blackHi, 75, 75});
    b.brush(0, kBlue).select(4).record(0x0548, {1, whiteLo, whiteHi, 2, 98});
    b.brush(0, kGreen).select(5).record(0x0419, {blackLo, blackHi, -500, -500});
    const QImage image = renderSquare(b);
    QVERIFY(near(image.pixel(30, 30), kRed));
    QVERIFY(near(image.pixel(75, 75), kRed));
    QVERIFY(near(image.pixel(98, 2), kBlue));
    QVERIFY(near(image.pixel(2, 98), kBlue));
    QVERIFY(near(image.pixel(10, 35), kBlack, 10)); // the one-pixel outline holds both fills
    QVERIFY(near(image.pixel(9, 35), kBlue));
    QVERIFY(near(image.pixel(11, 35), kRed));
    QCOMPARE(countNear(image, kGreen, {}, 20), 0);
    QVERIFY(countNear(image, kWhite, {}, 20) < 60); // nothing left unfilled but soft edges
}

void tst_WmfRecords::thinPensStayVisible()
{
    // A pen a third of a pixel over one draws one pixel wide, as GDI draws it; through a
    // painter that enlarges four times it is an outline of its true width.
    const auto picture = loadWmf(WmfBuilder()
                                     .placeable(0, 0, 300, 300, 288)
                                     .pen(0, 4, kBlack)
                                     .select(0)
                                     .moveTo(0, 151)
                                     .lineTo(300, 151)
                                     .bytes());
    const auto inkRows = [](const QImage &image) {
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            rows += qGray(image.pixel(image.width() / 2, y)) < 200;
        return rows;
    };
    const QImage image = render(*picture, QSize(100, 100));
    QCOMPARE(inkRows(image), 1);
    QVERIFY(near(image.pixel(50, 50), kBlack, 10)); // 151 / 3 rounds to row 50
    QImage enlarged(400, 400, QImage::Format_ARGB32_Premultiplied);
    enlarged.fill(kWhite);
    QPainter painter(&enlarged);
    painter.scale(4, 4);
    picture->render(painter, QRectF(0, 0, 100, 100));
    painter.end();
    QVERIFY2(inkRows(enlarged) >= 4, qPrintable(QString::number(inkRows(enlarged))));
}

void tst_WmfRecords::stripsWithoutOutlinesLeaveNoSeams()
{
    // Slanted strips that share their edges between pixels, filled without an outline, as
    // gradients are drawn: where two soft edges meet, no lighter line may show through.
    WmfBuilder b;
    b.placeable(0, 0, 300, 300, 288).pen(5, 0, kBlack).select(0).brush(0, kBlue).select(1);
    for (int x = 1; x < 280; x += 7)
        b.polygon({{x, 0}, {x + 7, 0}, {x + 57, 300}, {x + 50, 300}});
    const QImage image = render(*loadWmf(b.bytes()), QSize(100, 100));
    QCOMPARE(countNear(image, kBlue, QRect(20, 5, 65, 90), 10), 65 * 90);
}

void tst_WmfRecords::thinOutlinesLightWholePixels()
{
    // A one-pixel outline lights the pixels its coordinates name, as GDI does, rather than
    // two grey rows or columns either side of a pixel edge; the fill keeps its own edges. A
    // rectangle leaves out its right and bottom edges.
    WmfBuilder b = square();
    b.pen(0, 1, kBlack).select(0).brush(0, kRed).select(1).rectangle(20, 20, 80, 60);
    b.moveTo(10, 70).lineTo(90, 70);
    b.polyline({{10, 80}, {90, 80}, {90, 95}});
    b.polygon({{5, 5}, {15, 5}, {15, 15}});
    const QImage image = renderSquare(b);
    for (const QPoint p : {QPoint(20, 40), QPoint(79, 40), QPoint(50, 20), QPoint(50, 59),
                           QPoint(50, 70), QPoint(50, 80), QPoint(90, 90), QPoint(10, 5)})
        QVERIFY2(near(image.pixel(p), kBlack, 10),
                 qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    for (const QPoint p : {QPoint(19, 40), QPoint(80, 40), QPoint(50, 19), QPoint(50, 60),
                           QPoint(50, 69), QPoint(50, 71), QPoint(50, 79), QPoint(91, 90)})
        QVERIFY2(near(image.pixel(p), kWhite, 10),
                 qPrintable(QStringLiteral("%1,%2").arg(p.x()).arg(p.y())));
    QVERIFY(near(image.pixel(21, 40), kRed, 10));
    QVERIFY(near(image.pixel(78, 58), kRed, 10));

    // Between pixels, the nearest one is lit: 100 units over 300 pixels puts 31 at 10.33.
    WmfBuilder scaled;
    scaled.placeable(0, 0, 300, 300, 288).pen(0, 1, kBlack).select(0).brush(1, 0).select(1);
    scaled.rectangle(31, 31, 269, 269);
    const QImage small = render(*loadWmf(scaled.bytes()), QSize(100, 100));
    QVERIFY(near(small.pixel(10, 50), kBlack, 10) && near(small.pixel(89, 50), kBlack, 10));
    QVERIFY(near(small.pixel(9, 50), kWhite, 10) && near(small.pixel(11, 50), kWhite, 10));
    QVERIFY(near(small.pixel(88, 50), kWhite, 10) && near(small.pixel(90, 50), kWhite, 10));
}

QTEST_MAIN(tst_WmfRecords)
#include "tst_wmfrecords.moc"
