#include "picture/jpegdecoder.h"

#include "base/runtimeerror.h"
#include "picture/backgroundrows.h"
#include "picture/colourprofile.h"
#include "picture/imagememory.h"
#include "picture/jpegscan.h"
#include "picture/jpegsource.h"
#include "picture/picturelimits.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
// jpeglib.h needs FILE and size_t first, and jerror.h needs jpeglib.h.
// clang-format off
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

namespace lumora::picture {

namespace {

// Rows decoded at once when the picture is turned a quarter: enough to write whole cache lines
// of the turned picture, few enough that the strip stays in the processor's cache.
constexpr int kStripRows = 16;

// Rows decoded between two looks at whether the result is still wanted.
constexpr int kRowsBetweenCancelChecks = 64;
// Rows handed at once to the thread that converts them to sRGB.
constexpr int kRowsPerHandOver = 16;
// Rows announced at once to whoever shows the picture as it arrives.
constexpr int kRowsPerBand = 16;

enum class Outcome { Decoded, Damaged, OutOfMemory, Cancelled };

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    Outcome outcome;
};

[[noreturn]] void stopDecoding(j_common_ptr cinfo, Outcome outcome)
{
    auto *manager = reinterpret_cast<ErrorManager *>(cinfo->err);
    manager->outcome = outcome;
    std::longjmp(manager->jump, 1);
}

void onError(j_common_ptr cinfo)
{
    stopDecoding(cinfo, cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? Outcome::OutOfMemory
                                                                   : Outcome::Damaged);
}

bool losesPictureData(int code)
{
    switch (code) {
    case JWRN_ARITH_BAD_CODE:
    case JWRN_BOGUS_PROGRESSION:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_JPEG_EOF:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
        return true;
    default:
        return false;
    }
}

void onMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && losesPictureData(cinfo->err->msg_code))
        stopDecoding(cinfo, Outcome::Damaged);
}

void printNothing(j_common_ptr) {}

// Where one source pixel (x, y) of a w x h picture lands after an EXIF orientation.
struct Placement {
    int orientation = 1;
    int width = 0;  // of the decoded picture
    int height = 0; // of the decoded picture

    bool turnsQuarter() const { return orientation >= 5; }
    bool mirrorsRows() const { return orientation == 2 || orientation == 3; }
    bool flipsRows() const { return orientation == 3 || orientation == 4; }
    // For the quarter turns: the column that source row y becomes...
    int columnOf(int y) const { return orientation == 6 || orientation == 7 ? height - 1 - y : y; }
    // ... and the row that source column x becomes.
    int rowOf(int x) const { return orientation == 7 || orientation == 8 ? width - 1 - x : x; }
    QSize outputSize() const
    {
        return turnsQuarter() ? QSize(height, width) : QSize(width, height);
    }
};

enum class Cmyk { None, Inverted, Plain };

struct DecodeJob {
    QByteArrayView bytes;
    JpegBytes bytesKind = JpegBytes::Kept;
    Placement placement;
    Cmyk cmyk = Cmyk::None;
    const IccToSrgb *cmykProfile = nullptr; // the file's CMYK profile, when usable
    MemoryBudget::Reservation pixels;       // taken before libjpeg starts, moved to `image`
    MemoryBudget::Reservation working;      // libjpeg's coefficients of a multi-scan file
    DrawingStrip strip;                     // decoded into a drawing with this strip
    const std::atomic<bool> *cancelled = nullptr;
    RowArrival *arrival = nullptr;
    int announced = 0;                     // rows told to `arrival`, in the order they are decoded
    const RgbToSrgb *rgbProfile = nullptr; // the file's RGB profile, when it needs converting
    QRect part;                            // the only pixels decoded; null for all of them
    QImage image;
    std::unique_ptr<BackgroundRows> profileRows; // converts finished rows; goes before `image`

    QSize imageSize() const
    {
        const QSize decoded = part.isNull() ? placement.outputSize() : part.size();
        return decoded + QSize(strip.pixels, strip.pixels);
    }
};

void stopWhenCancelled(j_decompress_ptr cinfo, const DecodeJob &job)
{
    if (job.cancelled && cinfo->output_scanline % kRowsBetweenCancelChecks == 0 &&
        job.cancelled->load(std::memory_order_relaxed))
        stopDecoding(reinterpret_cast<j_common_ptr>(cinfo), Outcome::Cancelled);
}

// CMYK to RGB32 in place, without a profile: each ink takes away its share of the light.
// Photoshop writes inverted values (255 is no ink) and marks its files with an Adobe segment;
// files without one hold plain values.
void cmykToRgb32(uchar *row, int width, Cmyk cmyk)
{
    const quint32 flip = cmyk == Cmyk::Plain ? 255 : 0;
    auto *out = reinterpret_cast<quint32 *>(row);
    for (int x = 0; x < width; ++x) {
        const uchar *p = row + 4 * x;
        const quint32 k = p[3] ^ flip;
        const quint32 r = ((p[0] ^ flip) * k + 127) / 255;
        const quint32 g = ((p[1] ^ flip) * k + 127) / 255;
        const quint32 b = ((p[2] ^ flip) * k + 127) / 255;
        out[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

// CMYK rows through the file's profile when it has a usable one, else by the inks alone.
void convertCmyk(uchar *row, const DecodeJob &job)
{
    if (job.cmykProfile)
        job.cmykProfile->convert(row, row, job.placement.width);
    else
        cmykToRgb32(row, job.placement.width, job.cmyk);
}

void mirrorRow(uchar *row, int width)
{
    auto *p = reinterpret_cast<quint32 *>(row);
    std::reverse(p, p + width);
}

// Writes decoded rows as columns of the turned picture: for each source column, the strip's
// rows fill consecutive pixels of one output row.
void turnStrip(const JSAMPARRAY strip, int rows, int firstRow, const Placement &placement,
               QImage &image)
{
    uchar *bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int x = 0; x < placement.width; ++x) {
        auto *out = reinterpret_cast<quint32 *>(bits + stride * placement.rowOf(x));
        for (int r = 0; r < rows; ++r)
            out[placement.columnOf(firstRow + r)] = reinterpret_cast<const quint32 *>(strip[r])[x];
    }
}

// Asks the budget for the picture and, for a file of several scans, the coefficients libjpeg
// keeps while decoding, before jpeg_start_decompress allocates any of it.
bool reserve(DecodeJob &job, bool multiScan, long coefficientBytes) noexcept
{
    MemoryBudget &budget = MemoryBudget::process();
    job.pixels = budget.tryReserve(imageBytes(job.imageSize(), QImage::Format_RGB32));
    if (multiScan)
        job.working = budget.tryReserve(coefficientBytes);
    return job.pixels.isGranted() && (!multiScan || job.working.isGranted());
}

bool allocate(DecodeJob &job, QImage::Format format) noexcept
{
    try {
        // A drawing's strip is filled once the picture is in: see fillStrip. Rows written
        // from the top down are reported to the page helper as they come.
        const Placement &placement = job.placement;
        const bool topDown = !placement.turnsQuarter() && !placement.flipsRows();
        job.image = allocateZeroedImage(job.imageSize(), format, std::move(job.pixels),
                                        topDown ? Filling::Rows : Filling::Whole);
        return true;
    } catch (...) {
        return false;
    }
}

void convertRgb(uchar *row, int finishedRows, const DecodeJob &job)
{
    if (job.profileRows) {
        if (finishedRows % kRowsPerHandOver == 0)
            job.profileRows->arrived(finishedRows);
    } else if (job.rgbProfile) {
        job.rgbProfile->convert(row, job.placement.width);
    }
}

// Announces the rows finished up to `rows` in the order they are decoded, a band at a time,
// where they landed; the last band of the picture may be short.
void announceUpTo(DecodeJob &job, int rows)
{
    const int height = job.placement.height;
    while (job.announced < rows) {
        const int count = std::min(kRowsPerBand, rows - job.announced);
        if (count < kRowsPerBand && rows != height)
            return;
        const int first = job.announced;
        job.arrival->finished(job.placement.flipsRows() ? RowBand{height - first - count, count}
                                                        : RowBand{first, count});
        job.announced += count;
    }
}

// Rows going through the profile on the second thread are announced from there once
// converted; the decoder announces the rest.
void announceRows(DecodeJob &job, int decoded)
{
    if (job.arrival && !job.profileRows)
        announceUpTo(job, decoded);
}

// The rows go through the RGB profile on a second thread as they are finished, and are shown
// from there once converted. Without a thread to be had they are converted as they come.
void startProfileRows(DecodeJob &job) noexcept
{
    if (!job.rgbProfile || job.placement.turnsQuarter())
        return;
    const RgbToSrgb *profile = job.rgbProfile;
    const int width = job.placement.width;
    BackgroundRows::Converted converted;
    if (job.arrival)
        converted = [&job](int rows) { announceUpTo(job, rows); };
    try {
        job.profileRows = std::make_unique<BackgroundRows>(
            job.image, job.placement.height, job.placement.flipsRows(),
            [profile, width](uchar *row) { profile->convert(row, width); }, std::move(converted));
    } catch (...) {
        job.profileRows.reset();
    }
}

void readRows(j_decompress_ptr cinfo, DecodeJob &job)
{
    startProfileRows(job);
    const Placement &placement = job.placement;
    const int height = int(cinfo->output_height);
    while (int(cinfo->output_scanline) < height) {
        stopWhenCancelled(cinfo, job);
        const int y = int(cinfo->output_scanline);
        const int target = placement.flipsRows() ? height - 1 - y : y;
        JSAMPROW row = job.image.scanLine(target);
        if (jpeg_read_scanlines(cinfo, &row, 1) != 1)
            stopDecoding(reinterpret_cast<j_common_ptr>(cinfo), Outcome::Damaged);
        if (job.cmyk != Cmyk::None)
            convertCmyk(row, job);
        if (placement.mirrorsRows())
            mirrorRow(row, placement.width);
        convertRgb(row, y + 1, job);
        noteRowsFilled(job.image, y + 1);
        announceRows(job, y + 1);
    }
    if (job.profileRows) {
        job.profileRows->finish();
        if (job.arrival)
            announceUpTo(job, height);
    }
}

void readTurnedRows(j_decompress_ptr cinfo, DecodeJob &job)
{
    const Placement &placement = job.placement;
    const int height = int(cinfo->output_height);
    const JDIMENSION rowBytes = JDIMENSION(placement.width) * 4;
    JSAMPARRAY strip = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo),
                                                   JPOOL_IMAGE, rowBytes, kStripRows);
    while (int(cinfo->output_scanline) < height) {
        stopWhenCancelled(cinfo, job);
        const int first = int(cinfo->output_scanline);
        const int rows = std::min(kStripRows, height - first);
        for (int r = 0; r < rows; ++r) {
            if (jpeg_read_scanlines(cinfo, strip + r, 1) != 1)
                stopDecoding(reinterpret_cast<j_common_ptr>(cinfo), Outcome::Damaged);
            if (job.cmyk != Cmyk::None)
                convertCmyk(strip[r], job);
            else if (job.rgbProfile)
                job.rgbProfile->convert(strip[r], placement.width);
        }
        turnStrip(strip, rows, first, placement, job.image);
    }
}

// The part's rows alone, each cut to the part. A pixel more is decoded on each side: the smooth
// upsampling of chroma takes the edges of a cropped row for the picture's own, so the columns
// there may differ from a whole decode.
void readPartRows(j_decompress_ptr cinfo, DecodeJob &job)
{
    const QRect part = job.part;
    auto left = JDIMENSION(std::max(0, part.left() - 1));
    auto width = JDIMENSION(std::min(int(cinfo->output_width), part.right() + 2)) - left;
    jpeg_crop_scanline(cinfo, &left, &width);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 width * 4, 1);
    const qsizetype skipped = 4 * (part.left() - qsizetype(left));
    const auto rowBytes = 4 * size_t(part.width());
    jpeg_skip_scanlines(cinfo, JDIMENSION(part.top()));
    for (int y = 0; y < part.height(); ++y) {
        stopWhenCancelled(cinfo, job);
        if (jpeg_read_scanlines(cinfo, row, 1) != 1)
            stopDecoding(reinterpret_cast<j_common_ptr>(cinfo), Outcome::Damaged);
        std::memcpy(job.image.scanLine(y), row[0] + skipped, rowBytes);
        noteRowsFilled(job.image, y + 1);
    }
}

// The libjpeg part. Everything here is plain data, so a longjmp out of libjpeg skips no
// destructor; the image lives in `job`, outside this frame.
Outcome runLibjpeg(DecodeJob &job)
{
    jpeg_decompress_struct cinfo{};
    JpegSource source(job.bytes, job.bytesKind);
    ErrorManager errors{};
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = onError;
    errors.pub.emit_message = onMessage;
    errors.pub.output_message = printNothing;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return errors.outcome;
    }
    jpeg_create_decompress(&cinfo);
    source.attach(&cinfo);
    jpeg_read_header(&cinfo, TRUE);
    if (int(cinfo.image_width) != job.placement.width ||
        int(cinfo.image_height) != job.placement.height)
        stopDecoding(reinterpret_cast<j_common_ptr>(&cinfo), Outcome::Damaged);
    if ((cinfo.num_components == 4) != (job.cmyk != Cmyk::None))
        stopDecoding(reinterpret_cast<j_common_ptr>(&cinfo), Outcome::Damaged);
    // BGRX is exactly QImage::Format_RGB32 in memory, for greyscale pictures too: the picture
    // box paints 32-bit pictures by copying, anything else through a converted copy.
    cinfo.out_color_space = job.cmyk != Cmyk::None ? JCS_CMYK : JCS_EXT_BGRX;
    // Multi-scan files keep every coefficient: 128 bytes a block. Allow twice that and some
    // working space, so that no unforeseen request can grow beyond what the frame needs.
    long coefficientBytes = 0;
    for (int c = 0; c < cinfo.num_components; ++c) {
        const jpeg_component_info &info = cinfo.comp_info[c];
        coefficientBytes += long(info.width_in_blocks + 4) * (info.height_in_blocks + 4) * 128;
    }
    cinfo.mem->max_memory_to_use = 2 * coefficientBytes + (64L << 20);
    if (!reserve(job, jpeg_has_multiple_scans(&cinfo), coefficientBytes))
        stopDecoding(reinterpret_cast<j_common_ptr>(&cinfo), Outcome::OutOfMemory);
    jpeg_start_decompress(&cinfo);
    if (!allocate(job, QImage::Format_RGB32))
        stopDecoding(reinterpret_cast<j_common_ptr>(&cinfo), Outcome::OutOfMemory);
    if (!job.part.isNull()) {
        readPartRows(&cinfo, job);
        // The rows below the part are never read, so there is no end of the data to check.
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Decoded;
    }
    if (job.arrival)
        job.arrival->begin(job.image, job.placement.outputSize());
    if (job.placement.turnsQuarter())
        readTurnedRows(&cinfo, job);
    else
        readRows(&cinfo, job);
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return Outcome::Decoded;
}

// A profile the rows could not go through on the way: one pass over the finished picture,
// leaving a drawing's strip as it is.
void convertWholePicture(DecodeJob &job, QByteArrayView iccProfile)
{
    if (job.strip.pixels == 0) {
        convertToSrgb(job.image, iccProfile);
        return;
    }
    const QSize size = job.placement.outputSize();
    QImage picture(job.image.bits(), size.width(), size.height(), job.image.bytesPerLine(),
                   job.image.format());
    convertToSrgb(picture, iccProfile);
}

// The middle `centre` of the picture when decoding it alone pays and gives a whole decode's
// pixels; null when the picture is to be decoded whole. Skipping rows pays only when one scan
// holds them all (a file of several scans keeps every coefficient anyway), and turned pictures
// and colour profiles go through the whole picture.
QRect partWorthDecoding(const JpegLayout &layout, const Placement &placement, QSize centre)
{
    const bool plain = layout.scans == 1 && !layout.progressive && placement.orientation == 1 &&
                       (layout.components == 1 || (layout.components == 3 && layout.icc.isEmpty()));
    if (!plain || centre.isEmpty())
        return {};
    const QSize whole = placement.outputSize();
    const QPoint corner((whole.width() - centre.width()) / 2,
                        (whole.height() - centre.height()) / 2);
    const QRect part = QRect(corner, centre) & QRect(QPoint(0, 0), whole);
    const qint64 partPixels = qint64(part.width()) * part.height();
    return 2 * partPixels <= qint64(whole.width()) * whole.height() ? part : QRect();
}

// Decodes the picture `layout` describes as `job` asks.
QImage decodeLaidOut(const JpegLayout &layout, DecodeJob &job)
{
    // Whoever shows the rows stops reading them before a failed decode frees them.
    ArrivalGuard shown(job.arrival);
    std::unique_ptr<IccToSrgb> cmykProfile;
    if (layout.components == 4) {
        job.cmyk = layout.adobe ? Cmyk::Inverted : Cmyk::Plain;
        cmykProfile = std::make_unique<IccToSrgb>(
            layout.icc,
            job.cmyk == Cmyk::Inverted ? IccToSrgb::Input::CmykInverted : IccToSrgb::Input::Cmyk,
            qint64(layout.width) * layout.height);
        if (!cmykProfile->isNull())
            job.cmykProfile = cmykProfile.get();
    }
    std::unique_ptr<RgbToSrgb> rgbProfile;
    if (layout.components == 3 && !layout.icc.isEmpty()) {
        rgbProfile = std::make_unique<RgbToSrgb>(layout.icc);
        if (!rgbProfile->isNull())
            job.rgbProfile = rgbProfile.get();
    }
    const Outcome outcome = runLibjpeg(job);
    job.profileRows.reset();
    job.working.release();
    switch (outcome) {
    case Outcome::Decoded:
        break;
    case Outcome::OutOfMemory:
        throw RuntimeError(errors::OutOfMemory, QStringLiteral("Out of memory"));
    case Outcome::Damaged:
    case Outcome::Cancelled: // nobody waits for the result
        refusePicture();
    }
    if (layout.components == 3 && !job.rgbProfile)
        convertWholePicture(job, layout.icc);
    if (job.strip.pixels > 0)
        fillStrip(job.image, job.placement.outputSize(), job.strip.colour);
    shown.release();
    return std::move(job.image);
}

void describeJob(DecodeJob &job, const JpegLayout &layout, QByteArrayView bytes, JpegBytes kind,
                 const std::atomic<bool> *cancelled)
{
    job.bytes = bytes;
    job.bytesKind = kind;
    job.placement.orientation = exifOrientation(layout.exif);
    job.placement.width = layout.width;
    job.placement.height = layout.height;
    job.cancelled = cancelled;
}

} // namespace

QImage decodeJpeg(QByteArrayView bytes, const DrawingStrip &strip,
                  const std::atomic<bool> *cancelled, JpegBytes bytesKind, RowArrival *arrival)
{
    const JpegLayout layout = readJpegLayout(bytes);
    DecodeJob job;
    describeJob(job, layout, bytes, bytesKind, cancelled);
    job.strip = strip;
    job.arrival = arrival;
    return decodeLaidOut(layout, job);
}

Picture decodeJpegCentre(QByteArrayView bytes, QSize centre, const std::atomic<bool> *cancelled,
                         JpegBytes bytesKind)
{
    const JpegLayout layout = readJpegLayout(bytes);
    DecodeJob job;
    describeJob(job, layout, bytes, bytesKind, cancelled);
    job.part = partWorthDecoding(layout, job.placement, centre);
    QImage pixels = decodeLaidOut(layout, job);
    if (job.part.isNull())
        return Picture(std::move(pixels));
    return Picture::part(std::move(pixels), job.placement.outputSize(), job.part.topLeft());
}

} // namespace lumora::picture
