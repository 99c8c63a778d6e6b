#include "picture/picture.h"

#include "picture/imagememory.h"

#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

namespace lumora::picture {

namespace {

// One axis of a resampling: for every output pixel the source pixels that feed it and their
// weights, in 1/256ths that add up to exactly 256. An enlarged axis takes the single nearest
// source pixel (crisp, replicated pixels); a reduced axis averages every source pixel that
// the output pixel covers, weighted by how much of it is covered.
struct AxisTaps {
    std::vector<int> first;      // index into `source`/`weight` of output pixel i's taps
    std::vector<int> source;     // source pixel of each tap
    std::vector<quint16> weight; // weight of each tap
    bool nearest = true;
    int minSource = 0;
    int maxSource = 0;

    int count(int i) const { return first[i + 1] - first[i]; }
};

// Output pixels [from, to) of an axis `dstLength` long that shows `srcLength` source pixels.
AxisTaps makeTaps(int srcLength, int dstLength, int from, int to)
{
    AxisTaps taps;
    taps.nearest = dstLength >= srcLength;
    taps.first.reserve(to - from + 1);
    taps.minSource = srcLength;
    taps.maxSource = -1;
    const qint64 s = srcLength;
    const qint64 d = dstLength;
    for (int i = from; i < to; ++i) {
        taps.first.push_back(int(taps.source.size()));
        if (taps.nearest) {
            taps.source.push_back(int(((2 * i + 1) * s) / (2 * d)));
            taps.weight.push_back(256);
        } else {
            // Positions in units of 1/d source pixel: output i spans [i*s, (i+1)*s).
            const qint64 begin = i * s;
            const qint64 end = begin + s;
            // Cumulative rounding keeps the weights summing to exactly 256.
            const auto rounded = [s](qint64 t) { return (t * 256 + s / 2) / s; };
            for (qint64 j = begin / d; j * d < end; ++j) {
                const qint64 a = std::max(begin, j * d) - begin;
                const qint64 b = std::min(end, (j + 1) * d) - begin;
                const qint64 w = rounded(b) - rounded(a);
                if (w > 0) {
                    taps.source.push_back(int(j));
                    taps.weight.push_back(quint16(w));
                }
            }
        }
        taps.minSource = std::min(taps.minSource, taps.source[taps.first.back()]);
        taps.maxSource = std::max(taps.maxSource, taps.source.back());
    }
    taps.first.push_back(int(taps.source.size()));
    return taps;
}

// A 32-bit pixel spread over four 16-bit lanes (0x00AA00RR00GG00BB), so one multiplication
// weighs all four channels at once. Lanes hold at most 255 * 256 while weights sum to 256.
constexpr quint64 kLaneMask = 0x00FF00FF00FF00FFull;
constexpr quint64 kLaneHalf = 0x0080008000800080ull;

inline quint64 spread(quint32 pixel)
{
    quint64 q = pixel;
    q = (q | (q << 16)) & 0x0000FFFF0000FFFFull;
    return (q | (q << 8)) & kLaneMask;
}

inline quint32 gather(quint64 lanes)
{
    quint64 q = lanes & kLaneMask;
    q = (q | (q >> 8)) & 0x0000FFFF0000FFFFull;
    return quint32(q | (q >> 16));
}

struct ScaleJob {
    const QImage *src;
    QImage *dst;
    QPoint origin; // where output pixel (0, 0) of the clipped area lands in `dst`
    const AxisTaps *xs;
    const AxisTaps *ys;
};

void scaleRowsNearest(const ScaleJob &job, int rowFrom, int rowTo)
{
    const int width = int(job.xs->first.size()) - 1;
    const int *columns = job.xs->source.data();
    int lastSourceRow = -1;
    const quint32 *lastRow = nullptr;
    for (int y = rowFrom; y < rowTo; ++y) {
        const int sy = job.ys->source[job.ys->first[y]];
        auto *out =
            reinterpret_cast<quint32 *>(job.dst->scanLine(job.origin.y() + y)) + job.origin.x();
        if (sy == lastSourceRow) {
            std::memcpy(out, lastRow, size_t(width) * 4); // a replicated row costs one copy
        } else {
            const auto *in = reinterpret_cast<const quint32 *>(job.src->constScanLine(sy));
            for (int x = 0; x < width; ++x)
                out[x] = in[columns[x]];
            lastSourceRow = sy;
        }
        lastRow = out;
    }
}

// Eight 16-bit channels (two pixels) and eight bytes of source (two pixels), for the
// compiler's vector instructions; both may alias the pixel memory they are laid over.
using Channels16 = quint16 __attribute__((vector_size(16), may_alias));
using Channels8 = quint8 __attribute__((vector_size(8), may_alias));

// Adds `w` times a source row to the column sums. On a little-endian machine a pixel's four
// 16-bit sums are exactly one spread() lane word, so the horizontal pass reads them as such.
void addRow(quint64 *column, const quint32 *in, int span, quint16 w)
{
    auto *sums = reinterpret_cast<Channels16 *>(column);
    const int pairs = span / 2;
    for (int p = 0; p < pairs; ++p) {
        // Copied, not read in place: a row may start at any pixel, and a pair of pixels is
        // only 4-byte aligned. The copy is one unaligned load all the same.
        Channels8 pair;
        std::memcpy(&pair, in + 2 * p, sizeof pair);
        sums[p] += __builtin_convertvector(pair, Channels16) * w;
    }
    if (span % 2)
        column[span - 1] += spread(in[span - 1]) * w;
}

void scaleRowsAveraged(const ScaleJob &job, int rowFrom, int rowTo)
{
    static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "column sums are read as spread() words");
    const AxisTaps &xs = *job.xs;
    const AxisTaps &ys = *job.ys;
    const int width = int(xs.first.size()) - 1;
    const int left = xs.minSource;
    const int span = xs.maxSource - left + 1;
    std::vector<quint64> column(size_t(span) + 1, 0); // +1: whole 16-byte pairs
    for (int y = rowFrom; y < rowTo; ++y) {
        std::fill(column.begin(), column.end(), 0);
        for (int t = ys.first[y]; t < ys.first[y + 1]; ++t) {
            const auto *in =
                reinterpret_cast<const quint32 *>(job.src->constScanLine(ys.source[t])) + left;
            addRow(column.data(), in, span, ys.weight[t]);
        }
        auto *sums = reinterpret_cast<Channels16 *>(column.data());
        for (int p = 0; p < (span + 1) / 2; ++p)
            sums[p] = (sums[p] + 128) >> 8;
        auto *out =
            reinterpret_cast<quint32 *>(job.dst->scanLine(job.origin.y() + y)) + job.origin.x();
        for (int x = 0; x < width; ++x) {
            quint64 sum = 0;
            for (int t = xs.first[x]; t < xs.first[x + 1]; ++t)
                sum += column[xs.source[t] - left] * xs.weight[t];
            out[x] = gather((sum + kLaneHalf) >> 8);
        }
    }
}

// Splits big jobs over two threads: the machine's second core halves a zoom's wait, and for
// fresh memory the page faults are taken in parallel too.
template <typename Rows> void runRows(const ScaleJob &job, int rows, qint64 work, Rows rowsFn)
{
    constexpr qint64 kWorthAThread = qint64(1) << 21;
    if (work < kWorthAThread || rows < 2 || std::thread::hardware_concurrency() < 2) {
        rowsFn(job, 0, rows);
        return;
    }
    const int half = rows / 2;
    std::thread helper([&] { rowsFn(job, half, rows); });
    rowsFn(job, 0, half);
    helper.join();
}

// Resamples all of `src` into `dstRect` of `dst`, writing only the part inside `dst`. Both
// images are 32 bits a pixel, of the same premultiplied or opaque kind.
void resampleInto(const QImage &src, QImage &dst, const QRect &dstRect)
{
    const QRect clipped = dstRect.intersected(dst.rect());
    if (clipped.isEmpty() || src.isNull())
        return;
    const QPoint offset = clipped.topLeft() - dstRect.topLeft();
    const AxisTaps xs =
        makeTaps(src.width(), dstRect.width(), offset.x(), offset.x() + clipped.width());
    const AxisTaps ys =
        makeTaps(src.height(), dstRect.height(), offset.y(), offset.y() + clipped.height());
    const ScaleJob job{&src, &dst, clipped.topLeft(), &xs, &ys};
    const qint64 outPixels = qint64(clipped.width()) * clipped.height();
    if (xs.nearest && ys.nearest) {
        runRows(job, clipped.height(), outPixels, scaleRowsNearest);
    } else {
        const qint64 inPixels =
            qint64(xs.maxSource - xs.minSource + 1) * (ys.maxSource - ys.minSource + 1);
        runRows(job, clipped.height(), std::max(inPixels, outPixels), scaleRowsAveraged);
    }
}

QImage asThirtyTwoBit(const QImage &image)
{
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return image;
    default:
        return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32);
    }
}

bool isWhole(double v)
{
    return std::abs(v - std::round(v)) < 1e-6;
}

// The painter's device as an image we may write to directly, or nullptr when the painter
// would do more than copy pixels (blend, clip, transform beyond a shift).
QImage *plainImageDevice(QPainter &painter)
{
    QPaintDevice *device = painter.device();
    if (!device || device->devType() != QInternal::Image)
        return nullptr;
    auto *image = static_cast<QImage *>(device);
    const bool plainFormat = image->format() == QImage::Format_RGB32 ||
                             image->format() == QImage::Format_ARGB32_Premultiplied;
    if (!plainFormat || image->devicePixelRatio() != 1.0 || painter.hasClipping() ||
        painter.opacity() != 1.0 ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        painter.worldTransform().type() > QTransform::TxTranslate)
        return nullptr;
    return image;
}

} // namespace

Picture::Picture(QImage raster) : m_raster(std::move(raster)) {}

Picture::Picture(std::shared_ptr<const VectorPicture> vector) : m_vector(std::move(vector)) {}

Picture Picture::onCanvas(const QImage &canvas, QSize size)
{
    Picture picture(pictureView(canvas, size));
    picture.m_canvas = canvas;
    return picture;
}

Picture Picture::part(QImage pixels, QSize whole, QPoint at)
{
    Picture picture(std::move(pixels));
    picture.m_part = QRect(at, picture.m_raster.size());
    picture.m_whole = whole;
    return picture;
}

QSize Picture::sizePixels(const TwipScale &scale) const
{
    if (m_vector) {
        const QSizeF twips = m_vector->naturalSizeTwips();
        return scale.toPixels(twips.width(), twips.height());
    }
    return isPartial() ? m_whole : m_raster.size();
}

bool Picture::isOpaque() const
{
    return !m_vector && !isPartial() && !m_raster.isNull() && !m_raster.hasAlphaChannel();
}

QImage Picture::resampled(const QSize &size) const
{
    if (m_raster.isNull() || isPartial() || size.isEmpty())
        return QImage();
    const QImage source = asThirtyTwoBit(m_raster);
    QImage out(size, source.format());
    if (out.isNull())
        return out;
    resampleInto(source, out, out.rect());
    return out;
}

void Picture::draw(QPainter &painter, const QRectF &target) const
{
    if (m_vector) {
        m_vector->render(painter, target);
        return;
    }
    if (m_raster.isNull() || target.isEmpty())
        return;
    if (isPartial()) {
        drawPart(painter, target);
        return;
    }
    const QRectF device = painter.worldTransform().mapRect(target);
    // An opaque bitmap on a plain image at whole pixels is written straight into it: no
    // intermediate bitmap, no painter in between.
    QImage *image = plainImageDevice(painter);
    if (image && isOpaque() && isWhole(device.x()) && isWhole(device.y()) &&
        isWhole(device.width()) && isWhole(device.height())) {
        resampleInto(asThirtyTwoBit(m_raster), *image, device.toRect());
        return;
    }
    // Judged in the device's own pixels: on a scaled screen a widget's painter maps each of
    // its pixels to several of the screen's.
    const QTransform toDevice = painter.deviceTransform();
    const QRectF onDevice = toDevice.mapRect(target);
    const QSize deviceSize(std::max(1, qRound(onDevice.width())),
                           std::max(1, qRound(onDevice.height())));
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const bool reducing =
        deviceSize.width() < m_raster.width() || deviceSize.height() < m_raster.height();
    if (reducing && toDevice.type() <= QTransform::TxScale) {
        // Averaged to the device size first, so the painter only copies pixels 1:1.
        painter.drawImage(target, resampled(deviceSize));
    } else {
        painter.drawImage(target, m_raster);
    }
    painter.restore();
}

void Picture::drawPart(QPainter &painter, const QRectF &target) const
{
    const double sx = target.width() / m_whole.width();
    const double sy = target.height() / m_whole.height();
    const QRectF where(target.x() + m_part.x() * sx, target.y() + m_part.y() * sy,
                       m_part.width() * sx, m_part.height() * sy);
    Picture(m_raster).draw(painter, where);
}

} // namespace lumora::picture
