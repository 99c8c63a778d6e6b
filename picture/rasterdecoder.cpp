#include "picture/rasterdecoder.h"

#include "picture/bmpdecoder.h"
#include "picture/gifdecoder.h"
#include "picture/jpegdecoder.h"
#include "picture/picturelimits.h"

namespace lumora::picture {

// Qt's QImageReader is not on this path (its JPEG, GIF and BMP handlers, their format
// guessing and their 128 MB allocation limit): each reader here checks the declared size against
// its data and the memory budget itself, before it allocates anything.
QImage decodeRaster(QByteArrayView bytes, PictureFormat format, const LoadOptions &options)
{
    switch (format) {
    case PictureFormat::Jpeg:
        return decodeJpeg(bytes, {}, options.cancelled, JpegBytes::Kept, options.arrival);
    case PictureFormat::Gif:
        return decodeGif(bytes, options.arrival, options.cancelled);
    case PictureFormat::Bmp:
        return decodeBmp(bytes, options.arrival, options.cancelled);
    default:
        refusePicture();
    }
}

} // namespace lumora::picture
