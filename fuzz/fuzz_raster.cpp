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
    return 0;
}
