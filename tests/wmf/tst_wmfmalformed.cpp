// Damaged and hostile metafiles: each is refused, or read up to its damage and drawn that
// far, and none can make reading or drawing unbounded (wmflimits.h names the bounds).

#include "base/runtimeerror.h"
#include "picture/wmf/wmflimits.h"
#include "picture/wmf/wmfparser.h"
#include "picture/wmf/wmfpicture.h"
#include "picture/wmf/wmfplayer.h"
#include "wmfbuilder.h"
#include "wmftestutil.h"

#include <QTest>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::picture::wmf;
using namespace wmftest;

namespace {

enum class Outcome { Refused, Drawn };

// A placeable 100 x 100 picture with a red brush selected, whose records follow.
WmfBuilder redSquare()
{
    WmfBuilder b;
    b.placeable(0, 0, 100, 100, 96).pen(5, 0, 0).select(0).brush(0, 0xffff0000).select(1);
    return b;
}

QByteArray record(quint32 words, quint16 function, const QByteArray &params = {})
{
    QByteArray r;
    put32(r, words);
    put16(r, function);
    return r + params;
}

int drawingRecords(const ParsedWmf &wmf)
{
    return int(std::count_if(wmf.records.begin(), wmf.records.end(),
                             [](const Record &r) { return isDrawing(r.op); }));
}

} // namespace

Q_DECLARE_METATYPE(Outcome)

class tst_WmfMalformed : public QObject {
    Q_OBJECT

private slots:
    void damagedFiles_data();
    void damagedFiles();
    void truncatedEverywhere();
    void recordLimit();
    void pointLimit();
    void bitmapLimits();
    void workLimit();
    void saveDepthLimit();
    void clipLimit();
    void objectSlotLimit();
};

void tst_WmfMalformed::damagedFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("drawn"); // drawing records kept

    const QByteArray whole = redSquare().rectangle(0, 0, 50, 50).bytes();
    const QByteArray header = redSquare().bytes(false);

    // Record sizes: under 3 words, or past the end of the file.
    QTest::newRow("first record of 0 words")
        << QByteArray(header + record(0, 0x041B)) << Outcome::Refused << 0;
    QTest::newRow("first record of 2 words")
        << QByteArray(header + record(2, 0x041B)) << Outcome::Refused << 0;
    QTest::newRow("first record past the end")
        << QByteArray(header + record(1000, 0x041B, QByteArray(8, 0))) << Outcome::Refused << 0;
    QTest::newRow("size word 0xFFFFFFFF")
        << QByteArray(header + record(0xFFFFFFFFu, 0x041B)) << Outcome::Refused << 0;
    // After something was drawn, damage keeps what came before.
    QTest::newRow("damage after a drawing")
        << QByteArray(redSquare().rectangle(0, 0, 50, 50).bytes(false) + record(1, 0x041B))
        << Outcome::Drawn << 1;
    QTest::newRow("cut inside the last record")
        << whole.first(whole.size() - 9) << Outcome::Refused << 0;
    QTest::newRow("cut after the rectangle")
        << whole.first(whole.size() - 6) << Outcome::Drawn << 1;
    QTest::newRow("no EOF record")
        << redSquare().rectangle(0, 0, 5, 5).bytes(false) << Outcome::Drawn << 1;
    QTest::newRow("a few bytes after the last record")
        << QByteArray(redSquare().rectangle(0, 0, 5, 5).bytes(false) + "xyz") << Outcome::Drawn
        << 1;
    QTest::newRow("blank placeable picture") << redSquare().bytes() << Outcome::Drawn << 0;

    // Object indices out of range or empty: the record alone is skipped.
    QTest::newRow("select beyond the table")
        << redSquare().select(9000).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn << 1;
    QTest::newRow("select a deleted object")
        << redSquare().deleteObject(1).select(1).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn
        << 1;
    QTest::newRow("fill with a pen as region")
        << redSquare().record(0x0228, {0, 1}).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn << 1;

    // Counts that do not fit their record.
    QTest::newRow("polygon count past its record")
        << redSquare().record(0x0324, {500, 0, 0, 10, 10}).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("polypolygon sizes past their record")
        << redSquare().record(0x0538, {2, 30000, 30000, 0, 0}).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("polypolygon with 65535 polygons")
        << redSquare().record(0x0538, {-1, 1, 1}).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn
        << 1;
    QTest::newRow("text longer than its record")
        << redSquare().record(0x0521, {30000, 0x4141}).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("exttextout rectangle missing")
        << redSquare().record(0x0A32, {0, 0, 2, 6}).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn
        << 1;
    QTest::newRow("escape longer than its record")
        << redSquare().escape(0x0015, QByteArray(4, 0), 30000).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("palette longer than its record")
        << redSquare().record(0x00F7, {0x300, 5000, 0, 0}).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("region scans past their record")
        << redSquare()
               .record(0x06FF, {0, 6, 0, 0, 0, 900, 2, 0, 0, 9, 9, 4, 0, 5})
               .rectangle(0, 0, 5, 5)
               .bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("short records of every kind") << [] {
        WmfBuilder b = redSquare();
        for (quint16 f : {0x0201, 0x020B, 0x020C, 0x0410, 0x0416, 0x0213, 0x041B, 0x061C, 0x0817,
                          0x061D, 0x041F, 0x0324, 0x0538, 0x0A32, 0x0521, 0x0F43, 0x0B41, 0x0940,
                          0x0D33, 0x0922, 0x0B23, 0x02FA, 0x02FB, 0x02FC, 0x0142, 0x01F9, 0x06FF,
                          0x00F7, 0x0626, 0x0127, 0x012D, 0x0228, 0x0429})
            b.record(f, {});
        return b.rectangle(0, 0, 5, 5).bytes();
    }() << Outcome::Drawn << 1;

    // Bitmaps that claim more than they carry.
    QByteArray bigDib = dib(1000, 1000, 24, {}, {QByteArray(12, '\x7f')});
    QTest::newRow("DIB rows missing")
        << redSquare().stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, 1000, 1000), bigDib).bytes()
        << Outcome::Drawn << 0;
    QByteArray hugeDib = dib(1, 1, 24, {}, {QByteArray(4, 0)});
    hugeDib[4] = '\xff', hugeDib[5] = '\xff', hugeDib[6] = '\xff',
    hugeDib[7] = '\x7f'; // width 2^31 - 1
    QTest::newRow("DIB of 2^31 columns")
        << redSquare().stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, 1, 1), hugeDib).bytes()
        << Outcome::Drawn << 0;
    QByteArray manyColors = dib(1, 1, 8, {}, {QByteArray(1, 0)});
    manyColors[32] = '\xff', manyColors[33] = '\xff', manyColors[34] = '\xff'; // 16M colours used
    QTest::newRow("DIB colour table past the record")
        << redSquare().stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, 1, 1), manyColors).bytes()
        << Outcome::Drawn << 0;
    QByteArray badDepth = dib(1, 1, 24, {}, {QByteArray(4, 0)});
    badDepth[14] = 7;
    QTest::newRow("DIB of 7 bits")
        << redSquare().stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, 1, 1), badDepth).bytes()
        << Outcome::Drawn << 0;
    QTest::newRow("RLE runs past the bitmap")
        << redSquare()
               .stretchDib(
                   QRect(0, 0, 10, 10), QRect(0, 0, 2, 2),
                   dib(2, 2, 8, {0xff000000},
                       {QByteArray(
                           "\xff\x00\x00\x02\xff\xff\xff\x00\x00\x05\x00\x00\x00\x00\x00\x00", 16)},
                       1))
               .bytes()
        << Outcome::Drawn << 1;
    QTest::newRow("DIB header alone")
        << redSquare()
               .stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, 1, 1), QByteArray(20, '\x28'))
               .bytes()
        << Outcome::Drawn << 0;

    // Zero and negative extents and units.
    QTest::newRow("window extent 0")
        << redSquare().windowExt(0, 100).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn << 1;
    QTest::newRow("scale by 0 / 0")
        << redSquare().record(0x0410, {0, 0, 0, 0}).rectangle(0, 0, 5, 5).bytes() << Outcome::Drawn
        << 1;
    QTest::newRow("standard header, window extent 0, nothing drawn")
        << WmfBuilder().windowExt(0, 0).bytes() << Outcome::Refused << 0;
    QTest::newRow("map mode 99") << redSquare().mapMode(99).rectangle(0, 0, 5, 5).bytes()
                                 << Outcome::Drawn << 1;

    // Saved states.
    QTest::newRow("RESTOREDC beyond the saved states")
        << redSquare().saveDC().restoreDC(-30000).restoreDC(32767).rectangle(0, 0, 5, 5).bytes()
        << Outcome::Drawn << 1;
}

void tst_WmfMalformed::damagedFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Outcome, outcome);
    QFETCH(int, drawn);
    if (outcome == Outcome::Refused) {
        QVERIFY_THROWS_EXCEPTION(RuntimeError, parseWmf(bytes));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, loadWmf(bytes));
        return;
    }
    const ParsedWmf wmf = parseWmf(bytes);
    QCOMPARE(drawingRecords(wmf), drawn);
    // What was kept draws: the red square's top-left corner when there is a rectangle.
    const QImage image = render(*loadWmf(bytes), QSize(100, 100));
    if (drawn > 0 && QTest::currentDataTag() != QLatin1String("RLE runs past the bitmap"))
        QVERIFY(near(image.pixel(2, 2), 0xffff0000));
}

void tst_WmfMalformed::truncatedEverywhere()
{
    // Every prefix of a file with all kinds of records is refused or read, never more.
    const QByteArray bytes = readData(QStringLiteral("corpus/fjftest.wmf"));
    QVERIFY(!bytes.isEmpty());
    for (qsizetype n = 0; n < bytes.size(); n += 7) {
        try {
            const auto picture = loadWmf(bytes.first(n));
            render(*picture, QSize(40, 40));
        } catch (const RuntimeError &e) {
            QCOMPARE(e.number(), errors::InvalidPicture);
        }
    }
}

void tst_WmfMalformed::recordLimit()
{
    // A file of more records than the limit (SETBKMODE, 4 words each) is read up to it.
    WmfBuilder b;
    b.placeable(0, 0, 10, 10, 96).rectangle(0, 0, 5, 5);
    QByteArray one = record(4, 0x0102, QByteArray("\x01\x00", 2));
    QByteArray many;
    many.reserve(one.size() * (limits::kMaxRecords + 10));
    for (qsizetype i = 0; i < limits::kMaxRecords + 10; ++i)
        many += one;
    const ParsedWmf wmf = parseWmf(b.raw(many).bytes());
    QCOMPARE(qsizetype(wmf.records.size()), limits::kMaxRecords);
}

void tst_WmfMalformed::pointLimit()
{
    // Polygons of 16000 points each: points past the limit are not kept.
    QByteArray poly;
    put16(poly, 16000);
    poly += QByteArray(16000 * 4, '\x01');
    WmfBuilder b;
    b.placeable(0, 0, 10, 10, 96);
    QByteArray records;
    const QByteArray one = record(quint32(3 + poly.size() / 2), 0x0324, poly);
    for (qsizetype i = 0; i < limits::kMaxPoints / 16000 + 5; ++i)
        records += one;
    const ParsedWmf wmf = parseWmf(b.raw(records).bytes());
    QVERIFY(qsizetype(wmf.points.size()) <= limits::kMaxPoints);
    QCOMPARE(drawingRecords(wmf), int(limits::kMaxPoints / 16000));
}

void tst_WmfMalformed::bitmapLimits()
{
    // Bitmaps each under the one-bitmap limit, many of them: all kept pixels stay under the
    // file's limit. The bits are shared by 1-bit rows (1024 x 4096, half a megabyte each).
    const int w = 4096, h = 4096;
    const QByteArray row(w / 8, '\x55');
    QList<QByteArray> rows(h, row);
    const QByteArray bitmap = dib(w, h, 1, {0xff000000, 0xffffffff}, rows);
    WmfBuilder b;
    b.placeable(0, 0, 10, 10, 96);
    for (int i = 0; i < 4; ++i)
        b.stretchDib(QRect(0, 0, 10, 10), QRect(0, 0, w, h), bitmap);
    const ParsedWmf wmf = parseWmf(b.bytes());
    qint64 pixels = 0;
    for (const BitmapDef &bm : wmf.bitmaps)
        pixels += qint64(bm.image.width()) * bm.image.height();
    QVERIFY(pixels <= limits::kMaxTotalBitmapPixels);
    QCOMPARE(wmf.bitmaps.size(), size_t(limits::kMaxTotalBitmapPixels / (qint64(w) * h)));
}

void tst_WmfMalformed::workLimit()
{
    // 200,000 rectangles covering the whole picture, each with a wide outline: playback stops
    // at the work limit instead of painting them all.
    WmfBuilder b;
    b.placeable(0, 0, 1000, 1000, 96)
        .pen(0, 50, 0xff0000ff)
        .select(0)
        .brush(0, 0xffff0000)
        .select(1);
    QByteArray rect;
    for (int v : {1000, 1000, 0, 0})
        put16(rect, v);
    const QByteArray one = record(7, 0x041B, rect);
    QByteArray many;
    for (int i = 0; i < 200'000; ++i)
        many += one;
    const ParsedWmf wmf = parseWmf(b.raw(many).bytes());
    QImage image(1000, 1000, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    Player player(wmf, painter, QRectF(0, 0, 1000, 1000));
    player.play();
    QVERIFY(player.exhausted());
    // A real picture at its own size is nowhere near the limit.
    const ParsedWmf real = parseWmf(readData(QStringLiteral("corpus/test_libuemf_ref.wmf")));
    QImage big(1122, 794, QImage::Format_ARGB32_Premultiplied);
    QPainter bigPainter(&big);
    Player realPlayer(real, bigPainter, QRectF(0, 0, 4 * 1122, 4 * 794));
    realPlayer.play();
    QVERIFY(!realPlayer.exhausted());
}

void tst_WmfMalformed::saveDepthLimit()
{
    // 100,000 SAVEDC records: states past the limit are not saved (nor copied).
    WmfBuilder b;
    b.placeable(0, 0, 10, 10, 96);
    for (int i = 0; i < 100'000; ++i)
        b.saveDC();
    b.rectangle(0, 0, 5, 5);
    const ParsedWmf wmf = parseWmf(b.bytes());
    const auto saves = std::count_if(wmf.records.begin(), wmf.records.end(),
                                     [](const Record &r) { return r.op == Op::SaveDC; });
    QCOMPARE(saves, limits::kMaxSaveDepth);
    render(*loadWmf(b.bytes()), QSize(10, 10));
}

void tst_WmfMalformed::clipLimit()
{
    // A checkerboard of 40,000 excluded cells would make a clip region of as many rectangles;
    // it stops growing at the limit and drawing goes on.
    WmfBuilder b;
    b.placeable(0, 0, 400, 400, 96).brush(0, 0xffff0000).select(0);
    for (int y = 0; y < 200; ++y)
        for (int x = (y % 2); x < 200; x += 2)
            b.excludeClip(2 * x, 2 * y, 2 * x + 2, 2 * y + 2);
    b.rectangle(0, 0, 400, 400);
    const QImage image = render(*loadWmf(b.bytes()), QSize(400, 400));
    QVERIFY(countNear(image, 0xffff0000) > 0);
}

void tst_WmfMalformed::objectSlotLimit()
{
    // 70,000 pens with none deleted: the table stops at 65535 slots; the last slot holds pen
    // 65534 (blue), and later pens are lost.
    WmfBuilder b;
    b.placeable(0, 0, 100, 100, 96);
    for (int i = 0; i < 70'000; ++i)
        b.pen(0, 10, i == 65534 ? 0xff0000ff : 0xff00ff00);
    b.select(65534).moveTo(0, 50).lineTo(100, 50);
    const QImage image = render(*loadWmf(b.bytes()), QSize(100, 100));
    QVERIFY(near(image.pixel(50, 50), 0xff0000ff));
}

QTEST_MAIN(tst_WmfMalformed)
#include "tst_wmfmalformed.moc"
