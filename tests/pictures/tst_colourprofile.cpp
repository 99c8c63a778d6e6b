// The table-driven conversion from RGB profiles to sRGB against Little CMS's own transform of
// the same colours, on profiles other programs ship: wide gamuts reach far outside sRGB, where
// the sums of the tables run below black and above white. And the rows a decoder hands to the
// converting thread, each converted once however the two sides share them.
#include "picture/backgroundrows.h"
#include "picture/colourprofile.h"

#include <QFile>
#include <QTest>
#include <lcms2.h>

using namespace lumora::picture;

namespace {

// Every fifth level of each channel, black and white included, with a fourth byte of 0x5A.
std::vector<quint32> colourGrid()
{
    std::vector<quint32> pixels;
    for (quint32 r = 0; r <= 255; r += 5)
        for (quint32 g = 0; g <= 255; g += 5)
            for (quint32 b = 0; b <= 255; b += 5)
                pixels.push_back(0x5A000000u | r << 16 | g << 8 | b);
    return pixels;
}

// Little CMS at full precision, relative colorimetric as the tables are made.
std::vector<quint32> littleCms(const QByteArray &icc, const std::vector<quint32> &pixels)
{
    cmsHPROFILE source = cmsOpenProfileFromMem(icc.constData(), cmsUInt32Number(icc.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM transform =
        cmsCreateTransform(source, TYPE_BGRA_8, srgb, TYPE_BGRA_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_NOOPTIMIZE | cmsFLAGS_COPY_ALPHA);
    std::vector<quint32> out(pixels.size());
    cmsDoTransform(transform, pixels.data(), out.data(), cmsUInt32Number(pixels.size()));
    cmsDeleteTransform(transform);
    cmsCloseProfile(srgb);
    cmsCloseProfile(source);
    return out;
}

int largestDifference(quint32 a, quint32 b)
{
    int most = 0;
    for (int shift = 0; shift < 32; shift += 8)
        most = std::max(most, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
    return most;
}

} // namespace

class TestColourProfile final : public QObject {
    Q_OBJECT

private slots:
    void matchesLittleCms_data();
    void matchesLittleCms();
    void rowsConvertedOnce_data();
    void rowsConvertedOnce();
};

void TestColourProfile::matchesLittleCms_data()
{
    QTest::addColumn<QString>("profile");
    for (const char *name :
         {"AdobeRGB1998", "ProPhotoRGB", "WideGamutRGB", "Rec709", "SwappedRedAndGreen"})
        QTest::newRow(name) << QStringLiteral("/usr/share/color/icc/colord/%1.icc").arg(name);
}

void TestColourProfile::matchesLittleCms()
{
    QFETCH(QString, profile);
    QFile file(profile);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(profile));
    const QByteArray icc = file.readAll();
    const RgbToSrgb tables(icc);
    QVERIFY(!tables.isNull());
    const std::vector<quint32> grid = colourGrid();
    const std::vector<quint32> expected = littleCms(icc, grid);
    std::vector<quint32> converted = grid;
    tables.convert(reinterpret_cast<uchar *>(converted.data()), int(converted.size()));
    for (size_t i = 0; i < grid.size(); ++i) {
        if (largestDifference(converted[i], expected[i]) > 2)
            QFAIL(qPrintable(QStringLiteral("#%1 became #%2, Little CMS #%3")
                                 .arg(grid[i], 8, 16, QLatin1Char('0'))
                                 .arg(converted[i], 8, 16, QLatin1Char('0'))
                                 .arg(expected[i], 8, 16, QLatin1Char('0'))));
    }
}

void TestColourProfile::rowsConvertedOnce_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("bottomUp");
    QTest::addColumn<int>("handedAtOnce"); // 0: all at the end
    QTest::newRow("top down, 16 at a time") << 1000 << false << 16;
    QTest::newRow("bottom up, 7 at a time") << 1000 << true << 7;
    QTest::newRow("all left to the end") << 999 << false << 0;
    QTest::newRow("one row") << 1 << true << 1;
}

void TestColourProfile::rowsConvertedOnce()
{
    QFETCH(int, rows);
    QFETCH(bool, bottomUp);
    QFETCH(int, handedAtOnce);
    QImage image(3, rows, QImage::Format_RGB32);
    image.fill(0);
    {
        BackgroundRows converter(image, rows, bottomUp, [](uchar *row) { ++row[0]; });
        for (int done = handedAtOnce; handedAtOnce > 0 && done <= rows; done += handedAtOnce)
            converter.arrived(done);
        converter.finish();
    }
    for (int y = 0; y < rows; ++y)
        QCOMPARE(image.constScanLine(y)[0], uchar(1));
}

QTEST_GUILESS_MAIN(TestColourProfile)
#include "tst_colourprofile.moc"
