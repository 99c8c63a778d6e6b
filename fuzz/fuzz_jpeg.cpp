// Feeds arbitrary bytes to the JPEG reader: directly, with the format fixed as if the bytes had
// been sniffed as JPEG, and through the sniffing entry point LoadPicture uses. Any crash,
// sanitizer report, hang or runaway allocation is a finding; a refusal is not.
//
// Arithmetic coding lets a few hundred bytes declare, and hold, a flat picture of hundreds of
// megapixels, which decodes in a second or two but far longer under the sanitizers; frames
// above kFuzzPixels only go through the marker walk (the tests decode big pictures).
#include "platform/jpegscan.h"
#include "platform/loadpicture.h"
#include "platform/rasterdecoder.h"
#include "platform/runtimeerror.h"

#include <cstddef>
#include <cstdint>

using lumora::platform::RuntimeError;

constexpr qint64 kFuzzPixels = qint64(1) << 24;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const lumora::platform::JpegLayout layout = lumora::platform::readJpegLayout(bytes);
        if (qint64(layout.width) * layout.height > kFuzzPixels)
            return 0;
    } catch (const RuntimeError &) {
    }
    try {
        const QImage image =
            lumora::platform::decodeRaster(bytes, lumora::platform::PictureFormat::Jpeg);
        (void)image.pixel(image.width() - 1, image.height() - 1);
    } catch (const RuntimeError &) {
    }
    try {
        (void)lumora::platform::decodePicture(bytes);
    } catch (const RuntimeError &) {
    }
    return 0;
}
