// Feeds arbitrary bytes to one raster reader (LUMORA_FUZZ_FORMAT, e.g. Bmp or Gif): directly,
// with the format fixed as if the bytes had been sniffed so, and through the sniffing entry
// point LoadPicture uses. Any crash, sanitizer report, hang or runaway allocation is a
// finding; a refusal is not.
#include "platform/loadpicture.h"
#include "platform/rasterdecoder.h"
#include "platform/runtimeerror.h"

#include <cstddef>
#include <cstdint>

using lumora::platform::RuntimeError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const QImage image =
            lumora::platform::decodeRaster(bytes, lumora::platform::PictureFormat::LUMORA_FUZZ_FORMAT);
        (void)image.pixel(image.width() - 1, image.height() - 1);
    } catch (const RuntimeError &) {
    }
    try {
        (void)lumora::platform::decodePicture(bytes);
    } catch (const RuntimeError &) {
    }
    return 0;
}
