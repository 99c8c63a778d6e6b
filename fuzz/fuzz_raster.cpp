// Feeds arbitrary bytes to one raster reader (LUMORA_FUZZ_FORMAT: Bmp, Gif or Jpeg): directly,
// with the format fixed as if the bytes had been sniffed so, and through the sniffing entry
// point LoadPicture uses. Any crash, sanitizer report, hang or runaway allocation is a
// finding; a refusal is not.
//
// Arithmetic coding lets a few hundred bytes declare, and hold, a flat picture of hundreds of
// megapixels, which decodes in a second or two but far longer under the sanitizers; JPEG
// frames above kFuzzPixels only go through the marker walk (the tests decode big pictures).
// Every fuzzer meets such files through the sniffing entry point, so each one skips them.
#include "base/runtimeerror.h"
#include "picture/jpegscan.h"
#include "picture/loadpicture.h"
#include "picture/rasterdecoder.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

using lumora::RuntimeError;

constexpr qint64 kFuzzPixels = qint64(1) << 24;

static bool isHugeJpeg(QByteArrayView bytes)
{
    try {
        const lumora::picture::JpegLayout layout = lumora::picture::readJpegLayout(bytes);
        return qint64(layout.width) * layout.height > kFuzzPixels;
    } catch (const RuntimeError &) {
        return false;
    }
}

// Reads the bytes as File Open does, announcing bands of rows, and gives up after as many
// bands as the input's last byte says (or never): wherever a reader is told to stop, it must
// stop cleanly, and the pixels it announced stay readable exactly while they live.
static void readBandByBand(QByteArrayView bytes)
{
    using lumora::picture::RowArrival;
    const int stopAfter = bytes.isEmpty() ? 0 : uchar(bytes.back()) % 32;
    std::atomic<bool> cancelled{stopAfter == 0};
    RowArrival arrival;
    int bands = 0;
    arrival.setListener([&] {
        for (const lumora::picture::RowBand &band : arrival.takeBands()) {
            (void)band;
            if (++bands == stopAfter)
                cancelled.store(true);
        }
        // Reading what was announced while the decode goes on.
        arrival.read([](const QImage &pixels) { (void)pixels.pixel(0, 0); });
    });
    lumora::picture::LoadOptions options;
    options.arrival = &arrival;
    options.cancelled = &cancelled;
    try {
        const lumora::picture::Picture picture = lumora::picture::decodePicture(bytes, options);
        arrival.read([](const QImage &pixels) {
            (void)pixels.pixel(pixels.width() - 1, pixels.height() - 1);
        });
    } catch (const RuntimeError &) {
    }
    arrival.setListener(nullptr);
}

// Reads only the middle of the picture, as the screen show reads one much larger than the
// screen: a centre of a few pixels makes any JPEG of more than a few dozen a partial one.
static void readCentre(QByteArrayView bytes)
{
    lumora::picture::LoadOptions options;
    const int side = 1 + int(bytes.size() % 61);
    options.centre = QSize(side, side);
    try {
        const QImage part = lumora::picture::decodePicture(bytes, options).raster();
        (void)part.pixel(part.width() - 1, part.height() - 1);
    } catch (const RuntimeError &) {
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    if (isHugeJpeg(bytes))
        return 0;
    try {
        const QImage image = lumora::picture::decodeRaster(
            bytes, lumora::picture::PictureFormat::LUMORA_FUZZ_FORMAT);
        (void)image.pixel(image.width() - 1, image.height() - 1);
    } catch (const RuntimeError &) {
    }
    try {
        (void)lumora::picture::decodePicture(bytes);
    } catch (const RuntimeError &) {
    }
    readBandByBand(bytes);
    readCentre(bytes);
    return 0;
}
