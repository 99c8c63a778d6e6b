// The WMF reader and player on real metafiles, timed against the peers in the same run:
// for each file, loadWmf, then a render into a bitmap at its natural size and at 4x (each
// side capped at 16384 pixels), then Debian's libwmf (`wmf2gd` to PNG) and ImageMagick
// (`convert` to BMP) on the same file when they are installed. Prints times per file
// and the ratios. Times are the fastest of the runs: the machine is shared, and the fastest run
// is the one least disturbed. Targets: faster than both peers, 10x faster than wmf2gd on clip art,
// no file over 20 ms at its natural size.
//
// Then, for the largest files zoomed 8x in a picture box that a 1280 x 720 window shows only in
// part: the time until the visible part is on the screen and until the whole drawing is done,
// against today's one whole play into a box shown whole, the runs interleaved.
//
// Usage: bench_wmf [runs] [folder]   (default 9 runs, tests/data/wmf/corpus)
#include "base/runtimeerror.h"
#include "bench/benchreport.h"
#include "bench/peers.h"
#include "picture/wmf/wmfpicture.h"
#include "runtime/picturebox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lumora;
using namespace lumora;
using namespace lumora::picture;

namespace {

constexpr int kMaxSide = 16384;
// A zoomed drawing of a picture box: 64 MB at most, so that two of them fit beside the rest.
constexpr int kZoomedSide = 4096;
// A peer that takes longer on one file counts as failing it: ImageMagick can hang on some.
constexpr int kPeerTimeoutMs = 10000;

// The fastest of the runs, or -1 when the work fails.
double fastestMs(int runs, const std::function<bool()> &work)
{
    bool ok = true;
    const double fastest = bench::fastestMs(runs, [&] { ok = ok && work(); });
    return ok ? fastest : -1;
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    return process.waitForFinished(kPeerTimeoutMs) &&
           process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// One file's figures; -1 where a peer is missing or failed.
struct FileTimes {
    QString name;
    double ours = 0; // load + render at natural size
    double wmf2gd = -1;
    double convert = -1;
};

// The clip art of the corpus: drawings, as opposed to formulas, text and test sheets.
bool isClipArt(const QString &name)
{
    static const QStringList clipArt = {QStringLiteral("2doorvan.wmf"), QStringLiteral("ant.wmf"),
                                        QStringLiteral("anim0002.wmf"),
                                        QStringLiteral("arrow01.wmf")};
    return clipArt.contains(name);
}

// The file whose time is largest against the peer's (or, with no peer, largest outright).
const FileTimes *worst(const std::vector<FileTimes> &files, double FileTimes::*peer,
                       bool (*keep)(const QString &))
{
    const FileTimes *found = nullptr;
    auto weight = [&](const FileTimes &f) { return peer ? f.ours / (f.*peer) : f.ours; };
    for (const FileTimes &f : files) {
        if ((peer && f.*peer <= 0) || (keep && !keep(f.name)))
            continue;
        if (!found || weight(f) > weight(*found))
            found = &f;
    }
    return found;
}

void addWorstRow(bench::Report &report, const std::vector<FileTimes> &files, const QString &what,
                 double FileTimes::*peer, const QString &peerName, bool (*keep)(const QString &),
                 bench::Target target)
{
    const FileTimes *f = worst(files, peer, keep);
    if (!f)
        return;
    const double reference = peer ? f->*peer : f->wmf2gd;
    report.add({QStringLiteral("WMF %1 (%2)").arg(what, f->name), f->ours, QStringLiteral("ms"),
                peerName, std::max(reference, 0.0), target});
}

struct VisibleFirst {
    double visible = 0; // PaintPicture returns: the visible part is on the screen
    double whole = 0;   // the drawing can be read
    double today = 0;   // one whole play, the box shown whole
};

// The fastest of the runs of each, interleaved so that the machine's load falls on all alike.
VisibleFirst timeVisibleFirst(const Picture &picture, QSize drawing, int runs)
{
    QWidget window;
    window.resize(1280, 720);
    runtime::PictureBox seen(&window, TwipScale(15), 1.0);
    runtime::PictureBox lone(nullptr, TwipScale(15), 1.0);
    const double w = drawing.width() * 15.0, h = drawing.height() * 15.0;
    VisibleFirst fastest{1e9, 1e9, 1e9};
    for (runtime::PictureBox *box : {&seen, &lone})
        box->resize(drawing);
    for (int i = 0; i < runs; ++i) {
        seen.Cls();
        lone.Cls();
        QElapsedTimer timer;
        timer.start();
        seen.PaintPicture(picture, 0, 0, w, h);
        fastest.visible = std::min(fastest.visible, timer.nsecsElapsed() / 1e6);
        seen.Image();
        fastest.whole = std::min(fastest.whole, timer.nsecsElapsed() / 1e6);
        fastest.today =
            std::min(fastest.today, bench::timeMs([&] { lone.PaintPicture(picture, 0, 0, w, h); }));
    }
    return fastest;
}

void addVisibleFirstRows(bench::Report &report, const QString &folder, int runs)
{
    std::printf("\n%-22s %9s %9s %9s %9s\n", "8x, seen in part", "size", "visible", "whole",
                "today");
    for (const char *name : {"test_libuemf_ref.wmf", "cell.wmf", "anim0002.wmf"}) {
        QFile file(QDir(folder).filePath(QString::fromLatin1(name)));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const Picture picture(wmf::loadWmf(file.readAll()));
        QSize size = picture.sizePixels(TwipScale(15)) * 8;
        if (size.width() > kZoomedSide || size.height() > kZoomedSide)
            size.scale(kZoomedSide, kZoomedSide, Qt::KeepAspectRatio);
        const VisibleFirst t = timeVisibleFirst(picture, size, runs);
        std::printf("%-22s %9s %9.2f %9.2f %9.2f\n", name,
                    qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())),
                    t.visible, t.whole, t.today);
        const QString file8x = QString::fromLatin1(name) + QStringLiteral(" 8x");
        report.add({QStringLiteral("WMF visible part on screen (%1)").arg(file8x), t.visible,
                    QStringLiteral("ms"), QStringLiteral("whole play today"), t.today,
                    bench::Target::ratioAtMost(0.5)});
        report.add({QStringLiteral("WMF whole drawing, visible part first (%1)").arg(file8x),
                    t.whole, QStringLiteral("ms"), QStringLiteral("whole play today"), t.today,
                    bench::Target::ratioAtMost(1.5)});
    }
}

QString text(double ms)
{
    return ms < 0 ? QStringLiteral("-") : QString::number(ms, 'f', 2);
}

QString ratio(double peer, double ours)
{
    return peer < 0 || ours <= 0 ? QStringLiteral("-") : QString::number(peer / ours, 'f', 1) + 'x';
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                    : QStringLiteral(LUMORA_SOURCE_DIR "/tests/data/wmf/corpus");
    const QString wmf2gd = QStandardPaths::findExecutable(QStringLiteral("wmf2gd"));
    QString convert = QStandardPaths::findExecutable(bench::imageMagick());
    QTemporaryDir scratch;

    // ImageMagick reads WMF only with its libwmf delegate (libmagickcore-6.q16-6-extra).
    const QStringList files =
        QDir(folder).entryList({QStringLiteral("*.wmf")}, QDir::Files, QDir::Name);
    if (!convert.isEmpty() && !files.isEmpty() &&
        !run(convert,
             {QDir(folder).filePath(files.first()), scratch.filePath(QStringLiteral("probe.bmp"))}))
        convert.clear();

    std::printf("%d runs each, fastest in ms; wmf2gd %s, ImageMagick %s\n", runs,
                wmf2gd.isEmpty() ? "not installed" : "to PNG",
                convert.isEmpty() ? "without WMF support" : "to BMP");
    std::printf("%-22s %6s %7s %7s %9s %8s %8s %9s %9s\n", "file", "load", "1x", "4x", "4x size",
                "wmf2gd", "convert", "vs wmf2gd", "vs convert");

    // The first render of a process sets up fonts and image plug-ins: not the files' cost.
    for (const QString &name : files) {
        QFile f(QDir(folder).filePath(name));
        if (f.open(QIODevice::ReadOnly)) {
            try {
                auto picture = wmf::loadWmf(f.readAll());
                QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
                QPainter painter(&image);
                picture->render(painter, QRectF(0, 0, 64, 64));
            } catch (const RuntimeError &) {
            }
        }
    }

    std::vector<FileTimes> times;
    for (const QString &name : files) {
        const QString path = QDir(folder).filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        std::shared_ptr<const VectorPicture> picture;
        const double load = fastestMs(runs, [&] {
            try {
                picture = wmf::loadWmf(bytes);
                return true;
            } catch (const RuntimeError &) {
                return false;
            }
        });
        if (!picture) {
            std::printf("%-22s refused\n", qPrintable(name));
            continue;
        }
        const QSizeF twips = picture->naturalSizeTwips();
        const QSize natural(std::max(1, qRound(twips.width() / 15)),
                            std::max(1, qRound(twips.height() / 15)));
        QSize large = natural * 4;
        if (large.width() > kMaxSide || large.height() > kMaxSide)
            large.scale(kMaxSide, kMaxSide, Qt::KeepAspectRatio);
        auto renderAt = [&](QSize size) {
            QImage image(size, QImage::Format_ARGB32_Premultiplied);
            return fastestMs(runs, [&] {
                image.fill(Qt::white);
                QPainter painter(&image);
                picture->render(painter, QRectF(QPointF(0, 0), QSizeF(size)));
                return true;
            });
        };
        const double one = renderAt(natural);
        const double four = renderAt(large);
        const int peerRuns = std::max(1, runs / 3);
        const double gd = wmf2gd.isEmpty() ? -1 : fastestMs(peerRuns, [&] {
            // Asked for our natural size, so that both draw the same number of pixels.
            return run(wmf2gd, {QStringLiteral("--maxwidth=%1").arg(natural.width()),
                                QStringLiteral("--maxheight=%1").arg(natural.height()),
                                QStringLiteral("--maxsize"), QStringLiteral("-o"),
                                scratch.filePath(QStringLiteral("out.png")), path});
        });
        const double im = convert.isEmpty() ? -1 : fastestMs(peerRuns, [&] {
            return run(convert, {path, scratch.filePath(QStringLiteral("out.bmp"))});
        });
        std::printf("%-22s %6.2f %7.2f %7.2f %9s %8s %8s %9s %9s\n", qPrintable(name), load, one,
                    four,
                    qPrintable(QStringLiteral("%1x%2").arg(large.width()).arg(large.height())),
                    qPrintable(text(gd)), qPrintable(text(im)), qPrintable(ratio(gd, load + one)),
                    qPrintable(ratio(im, load + one)));
        times.push_back({name, load + one, gd, im});
    }
    // Load and render at natural size against each peer's whole run on the same file.
    bench::Report report;
    const QString gd = QStringLiteral("wmf2gd"), im = QStringLiteral("ImageMagick");
    addWorstRow(report, times, QStringLiteral("slowest at natural size"), nullptr, gd, nullptr,
                bench::Target::valueAtMost(20));
    addWorstRow(report, times, QStringLiteral("closest to wmf2gd"), &FileTimes::wmf2gd, gd, nullptr,
                bench::Target::ratioAtMost(1));
    addWorstRow(report, times, QStringLiteral("closest to ImageMagick"), &FileTimes::convert, im,
                nullptr, bench::Target::ratioAtMost(1));
    addWorstRow(report, times, QStringLiteral("clip art closest to wmf2gd"), &FileTimes::wmf2gd, gd,
                isClipArt, bench::Target::ratioAtMost(0.1));
    addVisibleFirstRows(report, folder, runs);
    return report.finish();
}
