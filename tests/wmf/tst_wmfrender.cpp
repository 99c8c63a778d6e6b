// The WMF player on whole files: pixels of files made by Inkscape and LibreOffice from our own
// SVG drawings, at any scale and in any rectangle, and every corpus file at four times its size.

#include "picture/wmf/wmfpicture.h"
#include "wmfbuilder.h"
#include "wmftestutil.h"

#include <QTest>

using namespace lumora;
using namespace lumora::picture;
using namespace lumora::picture::wmf;
using namespace wmftest;

namespace {

// The colour at a point of the SVG canvas (`canvas` units), on an image of the picture.
QRgb at(const QImage &image, QSizeF canvas, double x, double y)
{
    return image.pixel(int(x / canvas.width() * image.width()),
                       int(y / canvas.height() * image.height()));
}

// True when a pixel within `radius` of that point has `color`: the generators place the
// canvas on their page a little differently.
bool around(const QImage &image, QSizeF canvas, double x, double y, QRgb color)
{
    const int radius = std::max(6, image.width() / 25);
    const QPoint c(int(x / canvas.width() * image.width()),
                   int(y / canvas.height() * image.height()));
    return countNear(image, color,
                     QRect(c - QPoint(radius, radius), QSize(2 * radius + 1, 2 * radius + 1))) > 0;
}

QImage renderFile(const QString &file, double scale = 1.0)
{
    const auto picture = loadWmf(readData(file));
    const QSize size = naturalPixels(*picture) * scale;
    return render(*picture, size);
}

// A 100 x 100 picture (placeable, 96 per inch: 100 pixels) whose records follow.
WmfBuilder square()
{
    WmfBuilder b;
    b.placeable(0, 0, 100, 100, 96);
    return b;
}

// The columns holding a dark vertical line at least `minLength` pixels long, merged when
// adjacent, each with the rows of its longest line: the frames of a chart.
QList<QLine> verticalLines(const QImage &image, int minLength)
{
    QList<QLine> lines;
    for (int x = 0; x < image.width(); ++x) {
        int run = 0, best = 0, bestEnd = 0;
        for (int y = 0; y < image.height(); ++y) {
            run = qGray(image.pixel(x, y)) < 110 ? run + 1 : 0;
            if (run > best) {
                best = run;
                bestEnd = y;
            }
        }
        if (best < minLength)
            continue;
        const QLine line(x, bestEnd - best + 1, x, bestEnd);
        if (!lines.isEmpty() && lines.last().x1() == x - 1)
            lines.last().setP2(QPoint(x, lines.last().y2()));
        else
            lines.append(line);
    }
    return lines;
}

} // namespace

class tst_WmfRender : public QObject {
    Q_OBJECT

private slots:
    void generatedShapes_data();
    void generatedShapes();
    void generatedText_data();
    void generatedText();
    void generatedImage_data();
    void generatedImage();
    void generatedClip();
    void vectorAtFourTimes();
    void stretchedIntoAnyRectangle();
    void staysInsideTarget();
    void subPlotsInTheirPlaces();
    void corpusAtFourTimes_data();
    void corpusAtFourTimes();
};

void tst_WmfRender::generatedShapes_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("inkscape") << QStringLiteral("inkscape/shapes.wmf");
    QTest::newRow("libreoffice") << QStringLiteral("libreoffice/shapes.wmf");
}

void tst_WmfRender::generatedShapes()
{
    // shapes.svg, 400 x 300: red box (20..120, 20..100), green ellipse at (250, 60), blue
    // triangle (50,250 150,150 250,250), black polyline, the word "Lumora" at (270, 280).
    QFETCH(QString, file);
    const QImage image = renderFile(file);
    const QSizeF canvas(400, 300);
    QVERIFY(near(at(image, canvas, 70, 60), kRed));
    QVERIFY(near(at(image, canvas, 250, 60), 0xff00a000));
    QVERIFY(near(at(image, canvas, 150, 225), kBlue));
    QVERIFY(near(at(image, canvas, 200, 130), kWhite));
    QVERIFY(near(at(image, canvas, 350, 60), kWhite));
    QVERIFY(around(image, canvas, 330, 150, kBlack));
    QVERIFY(around(image, canvas, 380, 175, kBlack));
    const QRect word(int(image.width() * 0.68), int(image.height() * 0.82),
                     int(image.width() * 0.3), int(image.height() * 0.16));
    QVERIFY(countNear(image, kBlack, word, 90) > 100);
}

void tst_WmfRender::generatedText_data()
{
    generatedShapes_data();
}

void tst_WmfRender::generatedText()
{
    // text.svg: a grey guide at x = 200; "Start" (red) starts on it, "Middle" (green) is
    // centred on it, "End" (blue) ends on it; "Turned" (purple) runs at 45 degrees.
    QFETCH(QString, file);
    const QImage image =
        renderFile(QString(file).replace(QLatin1String("shapes"), QLatin1String("text")));
    // The guide's column, wherever the generator put the canvas.
    int guide = 0, most = 0;
    for (int x = 0; x < image.width(); ++x) {
        const int n = countNear(image, 0xffc0c0c0, QRect(x, 0, 1, image.height()), 45);
        if (n > most) {
            most = n;
            guide = x;
        }
    }
    QVERIFY(most > image.height() / 3);
    const QRect start = boundsOf(image, kRed, 60);
    const QRect middle = boundsOf(image, 0xff00a000, 60);
    const QRect end = boundsOf(image, kBlue, 60);
    const int slack = image.width() / 50 + 2;
    QVERIFY2(std::abs(start.left() - guide) <= slack, qPrintable(QString::number(start.left())));
    QVERIFY2(std::abs(end.right() - guide) <= slack, qPrintable(QString::number(end.right())));
    QVERIFY2(std::abs(middle.center().x() - guide) <= slack,
             qPrintable(QString::number(middle.center().x())));
    QVERIFY(start.top() < middle.top() && middle.top() < end.top());
    const QRect turned = boundsOf(image, 0xff800080, 60);
    QVERIFY(!turned.isEmpty());
    const double aspect = double(turned.width()) / turned.height();
    QVERIFY2(aspect > 0.6 && aspect < 1.6, qPrintable(QString::number(aspect)));
    QVERIFY(countNear(image, kBlack,
                      QRect(0, image.height() * 2 / 3, image.width() / 2, image.height() / 3),
                      90) > 100);
}

void tst_WmfRender::generatedImage_data()
{
    generatedShapes_data();
}

void tst_WmfRender::generatedImage()
{
    // image.svg, 300 x 200: a 16 x 16 picture of four quarters stretched onto (50..250,
    // 20..180), framed in black. The generators write it as a STRETCHDIB record.
    QFETCH(QString, file);
    const QImage image =
        renderFile(QString(file).replace(QLatin1String("shapes"), QLatin1String("image")));
    const QSizeF canvas(300, 200);
    QVERIFY(near(at(image, canvas, 100, 60), kRed));
    QVERIFY(near(at(image, canvas, 200, 60), kGreen));
    QVERIFY(near(at(image, canvas, 100, 140), kBlue));
    QVERIFY(near(at(image, canvas, 200, 140), kYellow));
    QVERIFY(near(at(image, canvas, 20, 100), kWhite));
}

void tst_WmfRender::generatedClip()
{
    // curves.svg through LibreOffice (which keeps clip records and clips shapes): the orange
    // circle, the blue square only inside its 60 x 60 clip, the dashed green outline.
    const QImage image = renderFile(QStringLiteral("libreoffice/curves.wmf"));
    const QSizeF canvas(300, 300);
    QVERIFY(near(at(image, canvas, 150, 90), 0xffff8000));
    QVERIFY(near(at(image, canvas, 190, 190), kBlue));
    QVERIFY(near(at(image, canvas, 250, 250), kWhite));
    QVERIFY(countNear(image, 0xff008000,
                      QRect(0, image.height() / 2, image.width() / 2, image.height() / 2),
                      60) > 50);
    // Inkscape drops the clip path and the dashes but draws the rest.
    const QImage ink = renderFile(QStringLiteral("inkscape/curves.wmf"));
    QVERIFY(near(at(ink, canvas, 150, 90), 0xffff8000));
    QVERIFY(near(at(ink, canvas, 250, 250), kBlue));
}

void tst_WmfRender::vectorAtFourTimes()
{
    // Rendered anew at 4x, never an enlarged bitmap: the triangle's slanted edge moves by
    // about one pixel a row (a bitmap enlarged 4x would step 4 pixels every 4 rows), and the
    // red box's edge stays a sharp one-pixel transition.
    const QImage image = renderFile(QStringLiteral("inkscape/shapes.wmf"), 4.0);
    QCOMPARE(image.size(), QSize(1600, 1200));
    QList<int> edge;
    for (int y = 700; y < 760; ++y) {
        int x = 200;
        while (x < 800 && !near(image.pixel(x, y), kBlue, 60))
            ++x;
        edge.append(x);
    }
    int steps = 0;
    for (int i = 1; i < edge.size(); ++i) {
        QVERIFY2(std::abs(edge[i] - edge[i - 1]) <= 2,
                 qPrintable(QString::number(edge[i] - edge[i - 1])));
        steps += edge[i] != edge[i - 1];
    }
    QVERIFY2(steps > edge.size() * 3 / 4, qPrintable(QString::number(steps)));
    int blend = 0;
    for (int x = 470; x < 490; ++x) {
        const QRgb c = image.pixel(x, 240);
        blend += !near(c, kRed, 10) && !near(c, kWhite, 10);
    }
    QVERIFY2(blend <= 1, qPrintable(QString::number(blend)));
}

void tst_WmfRender::stretchedIntoAnyRectangle()
{
    // Anisotropic: the frame fills the target whatever its shape.
    const auto picture = loadWmf(readData(QStringLiteral("inkscape/shapes.wmf")));
    const QImage wide = render(*picture, QSize(800, 150));
    QVERIFY(near(wide.pixel(140, 30), kRed));
    QVERIFY(near(wide.pixel(500, 30), 0xff00a000));
    QVERIFY(near(wide.pixel(300, 110), kBlue));
}

void tst_WmfRender::staysInsideTarget()
{
    // Drawn through the painter's own transform, clipped to the target rectangle even where
    // the file draws outside its frame.
    const auto picture =
        loadWmf(square().brush(0, kRed).select(0).rectangle(-500, -500, 600, 600).bytes());
    QImage image(300, 300, QImage::Format_ARGB32_Premultiplied);
    image.fill(kWhite);
    QPainter painter(&image);
    painter.translate(100, 100);
    picture->render(painter, QRectF(0, 0, 50, 50));
    painter.end();
    QCOMPARE(boundsOf(image, kRed, 0), QRect(100, 100, 50, 50));
}

void tst_WmfRender::subPlotsInTheirPlaces()
{
    // cell.wmf lays out three charts by changing only its window: a tall one on the left, two
    // small ones side by side on the right, lower down. Their frames, measured against the tall
    // one, lie where the office suite in Debian draws them (within 3 % of the tall frame).
    const QImage image = renderFile(QStringLiteral("corpus/cell.wmf"));
    const QList<QLine> lines = verticalLines(image, image.height() / 4);
    QCOMPARE(lines.size(), 6);
    const QLine left = lines[0], right = lines[1];
    const double width = right.x1() - left.x1(), height = left.y2() - left.y1();
    QVERIFY(left.x1() > image.width() * 0.04 && right.x1() < image.width() * 0.5);
    QVERIFY(height > image.height() * 0.6);
    // The reference's frames relative to the tall one: left and right edges of each small
    // chart as multiples of the tall chart's width, top and bottom of its height.
    const double expectedX[] = {1.177, 1.694, 1.774, 2.290};
    for (int i = 0; i < 4; ++i) {
        const QLine &edge = lines[2 + i];
        QVERIFY2(std::abs((edge.x1() - left.x1()) / width - expectedX[i]) < 0.03,
                 qPrintable(QString::number((edge.x1() - left.x1()) / width)));
        QVERIFY(std::abs((edge.y1() - left.y1()) / height - 0.444) < 0.03);
        QVERIFY(std::abs((edge.y2() - left.y1()) / height - 0.951) < 0.03);
    }
}

void tst_WmfRender::corpusAtFourTimes_data()
{
    QTest::addColumn<QString>("file");
    for (const char *name : {"2doorvan", "Eg", "anim0002", "ant", "arrow01", "cell", "fjftest",
                             "formula1", "formula2", "formula3", "formula4", "fulltest", "p0000001",
                             "p0000016", "sample", "sample2", "test_libuemf_ref", "text"})
        QTest::newRow(name) << QStringLiteral("corpus/%1.wmf").arg(QLatin1String(name));
}

void tst_WmfRender::corpusAtFourTimes()
{
    // Every corpus file plays at four times its size (bounded to 3000 pixels a side here) and
    // draws about as much ink there as at its own size.
    QFETCH(QString, file);
    const auto picture = loadWmf(readData(file));
    QSize natural = naturalPixels(*picture);
    natural.scale(natural.boundedTo(QSize(750, 750)), Qt::KeepAspectRatio);
    const QImage small = render(*picture, natural);
    const QImage large = render(*picture, natural * 4);
    const double inkSmall =
        1.0 - double(countNear(small, kWhite, {}, 8)) / (small.width() * small.height());
    const double inkLarge =
        1.0 - double(countNear(large, kWhite, {}, 8)) / (large.width() * large.height());
    QVERIFY(inkSmall > 0);
    QVERIFY2(std::abs(inkLarge - inkSmall) < 0.1 + inkSmall / 2,
             qPrintable(QStringLiteral("%1 %2").arg(inkSmall).arg(inkLarge)));
}

QTEST_MAIN(tst_WmfRender)
#include "tst_wmfrender.moc"
