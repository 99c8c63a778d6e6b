// The WMF reader: headers, natural sizes, the rule for files without a placeable header, the
// record list it keeps (checked against libUEMF's own dump of its test file), object slots
// and saved states.

#include "base/runtimeerror.h"
#include "picture/loadpicture.h"
#include "picture/wmf/wmfparser.h"
#include "picture/wmf/wmfpicture.h"
#include "wmfbuilder.h"
#include "wmftestutil.h"

#include <QRegularExpression>
#include <QTest>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::picture::wmf;
using namespace wmftest;

namespace {

int countOps(const ParsedWmf &wmf, Op op)
{
    return int(std::count_if(wmf.records.begin(), wmf.records.end(),
                             [op](const Record &r) { return r.op == op; }));
}

bool refused(const QByteArray &bytes)
{
    try {
        loadWmf(bytes);
    } catch (const RuntimeError &e) {
        return e.number() == errors::InvalidPicture;
    }
    return false;
}

// A placeable picture 100 x 100 units at `inch` per inch with one rectangle.
QByteArray simplePlaceable(int l, int t, int r, int b, int inch)
{
    return WmfBuilder().placeable(l, t, r, b, inch).rectangle(l, t, r, b).bytes();
}

} // namespace

class tst_WmfReader : public QObject {
    Q_OBJECT

private slots:
    void sniffsBothHeaders();
    void refusesBadHeaders_data();
    void refusesBadHeaders();
    void placeableSize_data();
    void placeableSize();
    void standardHeaderRule_data();
    void standardHeaderRule();
    void corpusSizes_data();
    void corpusSizes();
    void oracleRecords();
    void oracleCounts();
    void objectsTakeLowestFreeSlot();
    void restoreDcRelativeAndAbsolute();
    void escapesActedOn();
    void isotropicKeepsAspect();
    void symbolFaceEncoding_data();
    void symbolFaceEncoding();
    void copiesWhatItKeeps();
};

void tst_WmfReader::symbolFaceEncoding_data()
{
    QTest::addColumn<int>("charSet");
    QTest::addColumn<QString>("face");
    QTest::addColumn<QString>("expected"); // for the bytes "pa\xE9\xF9"
    const QString greek = QString::fromUtf8("\u03C0\u03B1\u23A1\u23A4");
    QTest::newRow("symbol charset") << 2 << QStringLiteral("Symbol") << greek;
    // Equation editors select the Symbol face with DEFAULT_CHARSET for their brackets.
    QTest::newRow("default charset") << 1 << QStringLiteral("symbol") << greek;
    QTest::newRow("ansi charset") << 0 << QStringLiteral("Symbol")
                                  << QString::fromUtf8("pa\u00E9\u00F9");
    QTest::newRow("other symbol face")
        << 2 << QStringLiteral("Wingdings") << QString::fromUtf8("pa\u00E9\u00F9");
    QTest::newRow("default, other face")
        << 1 << QStringLiteral("Arial") << QString::fromUtf8("pa\u00E9\u00F9");
}

void tst_WmfReader::symbolFaceEncoding()
{
    QFETCH(int, charSet);
    QFETCH(QString, face);
    QFETCH(QString, expected);
    const ParsedWmf wmf = parseWmf(WmfBuilder()
                                       .placeable(0, 0, 100, 60, 96)
                                       .font(-40, face, 400, false, 0, charSet)
                                       .select(0)
                                       .textOut(10, 5, QByteArray("pa\xE9\xF9"))
                                       .bytes());
    QCOMPARE(wmf.texts.size(), size_t(1));
    QCOMPARE(wmf.texts[0].text, expected);
}

void tst_WmfReader::sniffsBothHeaders()
{
    // Recognised by content: the placeable key, or the standard header alone.
    const QByteArray placeable = simplePlaceable(0, 0, 100, 100, 96);
    const QByteArray standard = WmfBuilder().windowExt(100, 100).rectangle(0, 0, 10, 10).bytes();
    QCOMPARE(sniffPictureFormat(placeable), PictureFormat::Wmf);
    QCOMPARE(sniffPictureFormat(standard), PictureFormat::Wmf);
    QVERIFY(loadWmf(placeable));
    QVERIFY(loadWmf(standard));
    QVERIFY(decodePicture(standard).isVector());
}

void tst_WmfReader::refusesBadHeaders_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = simplePlaceable(0, 0, 100, 100, 96);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("placeable key only") << good.first(4);
    QTest::newRow("placeable header without standard header") << good.first(22);
    QTest::newRow("units per inch 0") << simplePlaceable(0, 0, 100, 100, 0);
    QTest::newRow("zero width box") << simplePlaceable(50, 0, 50, 100, 96);
    QTest::newRow("zero height box") << simplePlaceable(0, -7, 100, -7, 96);
    QByteArray badType = good;
    badType[22] = 3;
    QTest::newRow("type 3") << badType;
    QByteArray badSize = good;
    badSize[24] = 10;
    QTest::newRow("header of 10 words") << badSize;
    QByteArray badVersion = good;
    badVersion[27] = 2;
    QTest::newRow("version 0x0200") << badVersion;
    QTest::newRow("standard header cut short") << good.mid(22, 12);
    // Nothing drawn and no window: no size to give it.
    QTest::newRow("standard header, nothing drawn") << WmfBuilder().bytes();
}

void tst_WmfReader::refusesBadHeaders()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(refused(bytes));
}

void tst_WmfReader::placeableSize_data()
{
    QTest::addColumn<QList<int>>("box"); // left, top, right, bottom, units per inch
    // Units per inch seen in real files, and negative origins.
    for (int inch : {96, 575, 606, 905, 1000, 1200, 1440, 1489, 2540})
        QTest::addRow("%d per inch", inch) << QList<int>{-8, -8, 1897, 684, inch};
    QTest::newRow("negative box") << QList<int>{-1082, 714, 682, 2361, 1000};
    QTest::newRow("right before left") << QList<int>{500, 0, 100, 300, 1440};
    QTest::newRow("1 unit per inch") << QList<int>{0, 0, 2, 3, 1};
}

void tst_WmfReader::placeableSize()
{
    QFETCH(QList<int>, box);
    const auto picture = loadWmf(simplePlaceable(box[0], box[1], box[2], box[3], box[4]));
    const QSizeF size = picture->naturalSizeTwips();
    QCOMPARE(size.width(), std::abs(box[2] - box[0]) * 1440.0 / box[4]);
    QCOMPARE(size.height(), std::abs(box[3] - box[1]) * 1440.0 / box[4]);
}

void tst_WmfReader::standardHeaderRule_data()
{
    // Without a placeable header: the window extent at 96 units per inch (15 twips a unit),
    // else the viewport extent, else the bounds of what is drawn; the fixed map modes use
    // their own unit for those bounds.
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QSizeF>("twips");
    QTest::newRow("window extent")
        << WmfBuilder().windowOrg(10, 10).windowExt(200, 100).rectangle(0, 0, 5, 5).bytes()
        << QSizeF(3000, 1500);
    QTest::newRow("negative window extent")
        << WmfBuilder().windowExt(-300, -40).rectangle(0, 0, 5, 5).bytes() << QSizeF(4500, 600);
    QTest::newRow("viewport extent")
        << WmfBuilder().viewportExt(64, 32).rectangle(0, 0, 5, 5).bytes() << QSizeF(960, 480);
    QTest::newRow("bounds of drawing")
        << WmfBuilder().rectangle(10, 20, 110, 70).lineTo(200, 20).bytes()
        << QSizeF(200 * 15, 70 * 15);
    QTest::newRow("twips map mode")
        << WmfBuilder().mapMode(6).rectangle(0, 0, 1440, -720).bytes() << QSizeF(1440, 720);
    QTest::newRow("lometric map mode")
        << WmfBuilder().mapMode(2).windowExt(5, 5).rectangle(0, 0, 254, -508).bytes()
        << QSizeF(1440, 2880);
    QTest::newRow("window set after drawing starts")
        << WmfBuilder().windowExt(100, 100).rectangle(0, 0, 5, 5).windowExt(400, 400).bytes()
        << QSizeF(1500, 1500);
}

void tst_WmfReader::standardHeaderRule()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QSizeF, twips);
    const QSizeF size = loadWmf(bytes)->naturalSizeTwips();
    QVERIFY2(std::abs(size.width() - twips.width()) < 1e-6 &&
                 std::abs(size.height() - twips.height()) < 1e-6,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
}

void tst_WmfReader::corpusSizes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QSizeF>("twips");
    QTest::addColumn<QSizeF>("reported"); // ImageMagick's figure, when it has one
    QFile sizes(dataPath(QStringLiteral("corpus/sizes.txt")));
    QVERIFY(sizes.open(QIODevice::ReadOnly | QIODevice::Text));
    while (!sizes.atEnd()) {
        const QStringList f = QString::fromLatin1(sizes.readLine()).simplified().split(' ');
        const QByteArray bytes = readData(QStringLiteral("corpus/") + f[0]);
        QVERIFY2(!bytes.isEmpty(), qPrintable(f[0]));
        QSizeF expected;
        if (qFromLittleEndian<quint32>(bytes.constData()) == 0x9AC6CDD7u) {
            // The formula, from the header read here independently of the reader.
            auto s16 = [&](int at) {
                return double(qFromLittleEndian<qint16>(bytes.constData() + at));
            };
            const double inch = qFromLittleEndian<quint16>(bytes.constData() + 14);
            expected = QSizeF(std::abs(s16(10) - s16(6)) * 1440 / inch,
                              std::abs(s16(12) - s16(8)) * 1440 / inch);
        } else if (f[0] == QLatin1String("p0000001.wmf")) {
            expected = QSizeF(4800 * 15, 1792 * 15); // SETWINDOWEXT 4800 x 1792
        } else if (f[0] == QLatin1String("p0000016.wmf")) {
            expected = QSizeF(8192 * 15, 608 * 15); // SETWINDOWEXT 8192 x 608
        }
        const QSizeF reported = f.size() == 3 ? QSizeF(f[1].toDouble(), f[2].toDouble()) : QSizeF();
        QTest::newRow(qPrintable(f[0])) << f[0] << expected << reported;
    }
}

void tst_WmfReader::corpusSizes()
{
    QFETCH(QString, file);
    QFETCH(QSizeF, twips);
    QFETCH(QSizeF, reported);
    const auto picture = loadWmf(readData(QStringLiteral("corpus/") + file));
    const QSizeF size = picture->naturalSizeTwips();
    if (twips.isValid()) {
        QCOMPARE(size, twips);
        // ImageMagick rounds up; the formula agrees with it to the twip.
        if (reported.isValid() && file.startsWith(QLatin1Char('p')) == false) {
            QVERIFY(std::ceil(size.width() - 0.01) - reported.width() <= 1);
            QVERIFY(std::ceil(size.height() - 0.01) - reported.height() <= 1);
        }
    } else {
        // text.wmf: no window at all, so the bounds of its text (20-unit fonts at y 0 to 340,
        // one line turned by 60 degrees) at 96 per inch.
        QVERIFY2(size.width() > 150 * 15 && size.width() < 450 * 15,
                 qPrintable(QString::number(size.width())));
        QVERIFY2(size.height() > 340 * 15 && size.height() < 450 * 15,
                 qPrintable(QString::number(size.height())));
    }
    // Played at its own size it draws something.
    const QImage image = render(*picture, naturalPixels(*picture).boundedTo(QSize(2000, 2000)));
    QVERIFY(countNear(image, 0xffffffff, {}, 0) < image.width() * image.height());
}

void tst_WmfReader::oracleRecords()
{
    // Every polygon, polyline, rectangle and text of libUEMF's test file, in order, against
    // the dump libUEMF's own reader printed.
    const ParsedWmf wmf = parseWmf(readData(QStringLiteral("corpus/test_libuemf_ref.wmf")));
    QFile dumpFile(dataPath(QStringLiteral("corpus/test_libuemf_ref_wmf.txt")));
    QVERIFY(dumpFile.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString::fromLatin1(dumpFile.readAll()).split(QLatin1Char('\n'));
    const QRegularExpression point(QStringLiteral("\\{(-?\\d+),(-?\\d+)\\}"));
    const QRegularExpression rect(QStringLiteral("LTRB\\{(-?\\d+),(-?\\d+),(-?\\d+),(-?\\d+)\\}"));

    QList<QList<QPoint>> polygons, polylines;
    QList<QRect> rectangles; // left, top as x, y; right, bottom as width, height
    QList<QPair<QPoint, QString>> texts;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const QString &line = lines[i];
        const bool isPolygon = line.startsWith(QLatin1String("U_WMR_POLYGON "));
        if (isPolygon || line.startsWith(QLatin1String("U_WMR_POLYLINE "))) {
            QList<QPoint> pts;
            for (const auto &m : point.globalMatch(lines[i + 1]))
                pts.append(QPoint(m.captured(1).toInt(), m.captured(2).toInt()));
            (isPolygon ? polygons : polylines).append(pts);
        } else if (line.startsWith(QLatin1String("U_WMR_RECTANGLE "))) {
            const auto m = rect.match(lines[i + 1]);
            rectangles.append(QRect(m.captured(1).toInt(), m.captured(2).toInt(),
                                    m.captured(3).toInt(), m.captured(4).toInt()));
        } else if (line.startsWith(QLatin1String("U_WMR_EXTTEXTOUT ")) ||
                   line.startsWith(QLatin1String("U_WMR_TEXTOUT "))) {
            const auto m = point.match(lines[i + 1]);
            QString text;
            for (qsizetype k = i + 2; k < std::min(i + 6, lines.size()); ++k) {
                if (lines[k].trimmed().startsWith(QLatin1String("String:<"))) {
                    text = lines[k].trimmed().mid(8).chopped(1);
                    break;
                }
            }
            texts.append({QPoint(m.captured(1).toInt(), m.captured(2).toInt()), text});
        }
    }
    QCOMPARE(polygons.size(), 35);
    QCOMPARE(polylines.size(), 27);
    QCOMPARE(rectangles.size(), 137);
    QCOMPARE(texts.size(), 144);

    QList<QList<QPoint>> ourPolygons, ourPolylines;
    QList<QRect> ourRectangles;
    QList<QPair<QPoint, QString>> ourTexts;
    for (const Record &r : wmf.records) {
        if (r.op == Op::Polygon || r.op == Op::Polyline) {
            QList<QPoint> pts;
            for (quint32 k = 0; k < r.count; ++k)
                pts.append(QPoint(wmf.points[r.index + k].x, wmf.points[r.index + k].y));
            (r.op == Op::Polygon ? ourPolygons : ourPolylines).append(pts);
        } else if (r.op == Op::Rectangle) {
            ourRectangles.append(QRect(r.v[0], r.v[1], r.v[2], r.v[3]));
        } else if (r.op == Op::Text) {
            const TextRun &t = wmf.texts[r.index];
            ourTexts.append({QPoint(t.x, t.y), t.text});
        }
    }
    QCOMPARE(ourPolygons, polygons);
    QCOMPARE(ourPolylines, polylines);
    QCOMPARE(ourRectangles, rectangles);
    QCOMPARE(ourTexts, texts);
}

void tst_WmfReader::oracleCounts()
{
    // Record kinds the dump counts, one for one in the record list.
    const ParsedWmf wmf = parseWmf(readData(QStringLiteral("corpus/test_libuemf_ref.wmf")));
    QCOMPARE(countOps(wmf, Op::MoveTo), 69);
    QCOMPARE(countOps(wmf, Op::LineTo), 72);
    QCOMPARE(countOps(wmf, Op::PolyPolygon), 2);
    QCOMPARE(countOps(wmf, Op::Ellipse), 1);
    QCOMPARE(countOps(wmf, Op::Arc), 1);
    QCOMPARE(countOps(wmf, Op::Chord), 1);
    QCOMPARE(countOps(wmf, Op::Pie), 1);
    QCOMPARE(countOps(wmf, Op::RoundRect), 1);
    QCOMPARE(countOps(wmf, Op::SetPixel), 1);
    QCOMPARE(countOps(wmf, Op::FillRegion), 1);
    QCOMPARE(countOps(wmf, Op::SaveDC), 6);
    QCOMPARE(countOps(wmf, Op::RestoreDC), 6);
    QCOMPARE(countOps(wmf, Op::IntersectClipRect), 6);
    QCOMPARE(countOps(wmf, Op::ExcludeClipRect), 3);
    QCOMPARE(countOps(wmf, Op::OffsetClipRgn), 2);
    QCOMPARE(countOps(wmf, Op::SetRop2), 50);
    QCOMPARE(countOps(wmf, Op::SetTextAlign), 86);
    QCOMPARE(countOps(wmf, Op::SetBkColor), 9);
    QCOMPARE(countOps(wmf, Op::SetTextColor), 13);
    QCOMPARE(countOps(wmf, Op::SetPolyFillMode), 10);
    QCOMPARE(countOps(wmf, Op::SetLineCap), 1);
    QCOMPARE(countOps(wmf, Op::SetLineJoin), 1);
    QCOMPARE(countOps(wmf, Op::SetMiterLimit), 20);
    // 59 blits (STRETCHDIB, DIBBITBLT, DIBSTRETCHBLT, BITBLT, STRETCHBLT): those with a
    // bitmap that uses its source are drawn as bitmaps, the others as pattern blits with
    // PATBLT's own one. The file's device bitmaps of 4 and 8 bits need the recording
    // device's palette and are skipped.
    const int bitmaps = countOps(wmf, Op::Bitmap);
    QVERIFY2(bitmaps >= 40 && bitmaps + countOps(wmf, Op::PatBlt) <= 60,
             qPrintable(QString::number(bitmaps)));
    // Every SELECTOBJECT names a live object.
    QCOMPARE(countOps(wmf, Op::Select) + countOps(wmf, Op::SelectClipRegion), 289);
}

void tst_WmfReader::objectsTakeLowestFreeSlot()
{
    // Pen (0), brush (1); delete 0; a palette takes 0; a second pen takes 2. Selecting 2
    // selects the second pen, selecting 0 (a palette) selects nothing, selecting the
    // deleted and never-used slots does nothing.
    const QByteArray bytes = WmfBuilder()
                                 .windowExt(100, 100)
                                 .pen(0, 1, 0xffff0000)
                                 .brush(0, 0xff00ff00)
                                 .deleteObject(0)
                                 .palette({0xff000000, 0xffffffff})
                                 .pen(0, 3, 0xff0000ff)
                                 .select(2)
                                 .select(0)
                                 .select(7)
                                 .select(1)
                                 .rectangle(0, 0, 10, 10)
                                 .bytes();
    const ParsedWmf wmf = parseWmf(bytes);
    QList<QPair<ObjectKind, quint32>> selected;
    for (const Record &r : wmf.records)
        if (r.op == Op::Select)
            selected.append({ObjectKind(r.mode), r.index});
    QCOMPARE(selected.size(), 2);
    QCOMPARE(selected[0].first, ObjectKind::Pen);
    QCOMPARE(wmf.pens[selected[0].second].color, QRgb(0xff0000ff));
    QCOMPARE(selected[1].first, ObjectKind::Brush);
}

void tst_WmfReader::restoreDcRelativeAndAbsolute()
{
    // RESTOREDC -1 drops one state, 1 goes back to the first, anything beyond is refused.
    const ParsedWmf wmf = parseWmf(WmfBuilder()
                                       .windowExt(10, 10)
                                       .saveDC()
                                       .saveDC()
                                       .saveDC()
                                       .restoreDC(-1) // 3 -> 2
                                       .restoreDC(-5) // beyond: refused
                                       .restoreDC(1)  // 2 -> 0
                                       .restoreDC(-1) // nothing saved: refused
                                       .restoreDC(0)  // never valid
                                       .rectangle(0, 0, 1, 1)
                                       .bytes());
    QList<int> drops;
    for (const Record &r : wmf.records)
        if (r.op == Op::RestoreDC)
            drops.append(r.v[0]);
    QCOMPARE(drops, (QList<int>{1, 2}));
}

void tst_WmfReader::escapesActedOn()
{
    // Line cap, join and miter limit are kept; comments and every other escape are not.
    auto int32 = [](int v) {
        QByteArray b;
        put32(b, quint32(v));
        return b;
    };
    const ParsedWmf wmf = parseWmf(WmfBuilder()
                                       .windowExt(10, 10)
                                       .escape(0x0015, int32(1))
                                       .escape(0x0016, int32(2))
                                       .escape(0x0017, int32(7))
                                       .escape(0x000F, QByteArray("a comment"))
                                       .escape(0x0009, QByteArray(4, '\0')) // SETABORTPROC
                                       .escape(0x0015, int32(1), 400) // longer than its record
                                       .escape(0x0015, int32(9))      // no such cap
                                       .rectangle(0, 0, 1, 1)
                                       .bytes());
    QCOMPARE(countOps(wmf, Op::SetLineCap), 1);
    QCOMPARE(countOps(wmf, Op::SetLineJoin), 1);
    QCOMPARE(countOps(wmf, Op::SetMiterLimit), 1);
    QCOMPARE(wmf.records.size(), size_t(5));
}

void tst_WmfReader::isotropicKeepsAspect()
{
    MappingState m;
    m.setMapMode(7);
    m.setWindowExt(100, 100);
    m.setViewportExt(400, -200);
    const AxisMap map = m.logicalToFrame(MappingContext{});
    QCOMPARE(map.ax, 2.0);
    QCOMPARE(map.ay, -2.0);
    m.setMapMode(8);
    QCOMPARE(m.logicalToFrame(MappingContext{}).ax, 4.0);
    m.setWindowExt(0, 5); // refused
    QCOMPARE(m.winExtX, 100.0);
}

void tst_WmfReader::copiesWhatItKeeps()
{
    // The bytes may be a mapping that goes away: nothing of the picture may point into them.
    QByteArray bytes = WmfBuilder()
                           .placeable(0, 0, 100, 100, 96)
                           .font(-20, QStringLiteral("DejaVu Sans"))
                           .select(0)
                           .textOut(10, 10, "Kept")
                           .polygon({{0, 0}, {50, 0}, {0, 50}})
                           .bytes();
    const auto picture = loadWmf(bytes);
    const QImage before = render(*picture, QSize(100, 100));
    bytes.fill('\xAB');
    bytes.clear();
    QCOMPARE(render(*picture, QSize(100, 100)), before);
}

QTEST_MAIN(tst_WmfReader)
#include "tst_wmfreader.moc"
