// Real files by other producers (tests/data/conformance, where each came from in its
// SOURCES.md), each opened through LoadPicture and compared with another program's decode:
// ImageMagick for bitmaps, libwmf's wmf2gd for metafiles. The comparison is coarse (averaged
// cells and the box the ink fills) so that anti-aliasing and fonts do not count, but a blank,
// black, misplaced or wrongly coloured picture does. A file both programs refuse passes.
//
// expected.txt lists the files that are known to differ: "fails" for a fault of ours not yet
// fixed (an expected failure, so that the fix shows as an unexpected pass and the line goes),
// "differs" for a file where the other program is wrong or a difference is chosen, checked by
// eye (then it need only open and draw something), "refused" for a damaged file the other program
// shows in part and ours must refuse.
#include "base/runtimeerror.h"
#include "picture/loadpicture.h"
#include "tests/pictures/picturecompare.h"

#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace lumora;
using namespace lumora::picture;

namespace {

const QString kRoot = QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/conformance/");
// The metafiles the WMF tests read are compared too (named relative to kRoot).
const QStringList kAlsoCompared{QStringLiteral("../wmf/corpus"), QStringLiteral("../wmf/inkscape"),
                                QStringLiteral("../wmf/libreoffice")};

struct Expectation {
    QString kind; // "fails" or "differs"
    QString reason;
};

QHash<QString, Expectation> expectations()
{
    QHash<QString, Expectation> result;
    QFile file(kRoot + QStringLiteral("expected.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return result;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() >= 3 && !line.startsWith(QLatin1Char('#')))
            result.insert(words[0], {words[1], words.mid(2).join(QLatin1Char(' '))});
    }
    return result;
}

bool isMetafile(const QString &path)
{
    return path.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive);
}

// The other program's picture, or a null image when it refuses the file.
QImage referenceDecode(const QString &path, const QString &scratch)
{
    const QString png = scratch + QStringLiteral("/reference.png");
    QFile::remove(png);
    const QStringList arguments =
        isMetafile(path)
            ? QStringList{QStringLiteral("-t"),
                          QStringLiteral("png"),
                          QStringLiteral("--maxpect"),
                          QStringLiteral("--maxwidth=480"),
                          QStringLiteral("--maxheight=480"),
                          QStringLiteral("-o"),
                          png,
                          path}
            : QStringList{path + QStringLiteral("[0]"),  QStringLiteral("-auto-orient"),
                          QStringLiteral("-background"), QStringLiteral("white"),
                          QStringLiteral("-flatten"),    QStringLiteral("-depth"),
                          QStringLiteral("8"),           QStringLiteral("png24:") + png};
    QProcess process;
    process.start(isMetafile(path) ? QStringLiteral("wmf2gd") : QStringLiteral("convert"),
                  arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(png);
}

// Ours, at the reference's size for a metafile, on white.
QImage ourDecode(const Picture &picture, QSize referenceSize)
{
    if (!picture.isVector())
        return testing::onWhite(picture.raster());
    QImage image(referenceSize, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    picture.vector()->render(painter, QRectF(QPointF(0, 0), QSizeF(referenceSize)));
    return image;
}

// With LUMORA_CONFORMANCE_DUMP set to a folder, both pictures are saved there side by side, to
// look at a difference by eye.
void dumpForEye(const QString &relative, const Picture &picture, const QImage &reference)
{
    const QString folder = qEnvironmentVariable("LUMORA_CONFORMANCE_DUMP");
    if (folder.isEmpty() || picture.isNull())
        return;
    const QImage ours = ourDecode(picture, reference.isNull() ? QSize(480, 480) : reference.size());
    QImage both(ours.width() + reference.width(), std::max(ours.height(), reference.height()),
                QImage::Format_RGB32);
    both.fill(Qt::gray);
    QPainter painter(&both);
    painter.drawImage(0, 0, ours);
    painter.drawImage(ours.width(), 0, reference);
    painter.end();
    both.save(folder + QLatin1Char('/') +
              QString(relative)
                  .remove(QStringLiteral("../"))
                  .replace(QLatin1Char('/'), QLatin1Char('-')) +
              QStringLiteral(".png"));
}

bool sameInk(double actual, double expected)
{
    return std::abs(actual - expected) <= 0.35 * std::max(actual, expected) + 0.01;
}

QRect inkPixels(const QImage &image)
{
    double coverage = 0;
    const QRectF box = testing::inkBox(image, coverage);
    return QRectF(box.x() * image.width(), box.y() * image.height(), box.width() * image.width(),
                  box.height() * image.height())
        .toAlignedRect();
}

// wmf2gd fits a metafile to what it draws rather than to its frame, so the drawings are
// compared by their inked parts: the same shape of box, and the same picture inside it.
bool agreeOnDrawing(const QImage &ours, const QImage &reference, QString &detail)
{
    const QRect a = inkPixels(ours);
    const QRect e = inkPixels(reference);
    if (a.isEmpty() || e.isEmpty()) {
        detail = QStringLiteral("no ink here or in the reference");
        return a.isEmpty() && e.isEmpty();
    }
    const double aspectA = double(a.width()) / a.height();
    const double aspectE = double(e.width()) / e.height();
    const testing::CoarseDifference d = testing::compareCoarsely(
        ours.copy(a), reference.copy(e), std::min({16, e.width(), e.height()}));
    detail = d.describe() + QStringLiteral("; ink box %1x%2 here, %3x%4 in the reference")
                                .arg(a.width())
                                .arg(a.height())
                                .arg(e.width())
                                .arg(e.height());
    return std::abs(aspectA / aspectE - 1) <= 0.12 && d.meanCell <= 24 &&
           sameInk(d.inkCoverage[0], d.inkCoverage[1]);
}

// Whether the two pictures show the same thing, and how far apart they are if not.
bool agree(const QImage &ours, const QImage &reference, bool metafile, QString &detail)
{
    if (!metafile && ours.size() != reference.size()) {
        detail = QStringLiteral("%1x%2 here, %3x%4 in the reference")
                     .arg(ours.width())
                     .arg(ours.height())
                     .arg(reference.width())
                     .arg(reference.height());
        return false;
    }
    if (metafile)
        return agreeOnDrawing(ours, reference, detail);
    const int cells = std::min({32, reference.width(), reference.height()});
    const testing::CoarseDifference d = testing::compareCoarsely(ours, reference, cells);
    detail = d.describe();
    return d.meanCell <= 4 && d.worstCell <= 40 && d.inkBoxShift <= 0.02 &&
           sameInk(d.inkCoverage[0], d.inkCoverage[1]);
}

} // namespace

class TestConformance final : public QObject {
    Q_OBJECT

private slots:
    void conformance_data();
    void conformance();

private:
    QTemporaryDir m_scratch;
    QHash<QString, Expectation> m_expected = expectations();
};

void TestConformance::conformance_data()
{
    QTest::addColumn<QString>("relative");
    QStringList files;
    const QDir root(kRoot);
    for (const QString &folder : QStringList{kRoot} + kAlsoCompared) {
        for (QDirIterator it(root.filePath(folder), QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString path = it.next();
            if (QStringList{QStringLiteral("md"), QStringLiteral("txt")}.contains(
                    QFileInfo(path).suffix()))
                continue;
            files << root.relativeFilePath(path);
        }
    }
    QVERIFY(files.size() >= 20);
    files.sort();
    for (const QString &file : files)
        QTest::newRow(qPrintable(file)) << file;
}

void TestConformance::conformance()
{
    QFETCH(QString, relative);
    const QString path = kRoot + relative;
    const Expectation expected = m_expected.value(relative);
    Picture picture;
    QString detail;
    try {
        picture = LoadPicture(path);
    } catch (const RuntimeError &e) {
        detail = QStringLiteral("refused: ") + e.text();
    }
    if (expected.kind == QLatin1String("refused")) {
        // Damaged: the other program shows what it could read, ours refuses the whole file.
        QVERIFY2(picture.isNull(), "a damaged file must be refused, not shown in part");
        return;
    }
    if (expected.kind == QLatin1String("differs")) {
        // Not compared, it must still open and draw something.
        QVERIFY2(!picture.isNull(), qPrintable(detail));
        double ink = 0;
        testing::inkBox(ourDecode(picture, QSize(480, 480)), ink);
        QVERIFY(ink > 0.001);
        QSKIP(qPrintable(QStringLiteral("differs as known: ") + expected.reason));
    }
    const QImage reference = referenceDecode(path, m_scratch.path());
    bool same = false;
    if (picture.isNull() || reference.isNull())
        same = picture.isNull() && reference.isNull();
    else
        same = agree(ourDecode(picture, reference.size()), reference, isMetafile(path), detail);
    dumpForEye(relative, picture, reference);
    if (reference.isNull() && !picture.isNull())
        detail = QStringLiteral("shown here, refused by the reference");

    if (expected.kind == QLatin1String("fails"))
        QEXPECT_FAIL("", qPrintable(expected.reason), Abort);
    QVERIFY2(same, qPrintable(detail));
}

QTEST_MAIN(TestConformance)
#include "tst_conformance.moc"
