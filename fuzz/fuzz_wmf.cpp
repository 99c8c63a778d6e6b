// Feeds arbitrary bytes to the WMF reader and plays what it accepts into a small bitmap, at
// the natural size's aspect and stretched and flipped into a second rectangle. Any crash,
// sanitizer report, hang or runaway allocation is a finding; a refusal is not.
//
//   build-fuzz/fuzz/fuzz_wmf -max_total_time=600 -rss_limit_mb=4096 -timeout=10 \
//       new-corpus tests/data/wmf/corpus tests/data/wmf/inkscape tests/data/wmf/libreoffice
#include "base/runtimeerror.h"
#include "picture/wmf/wmfpicture.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

using lumora::RuntimeError;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Text needs the font database, which needs an application object.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const auto picture = lumora::picture::wmf::loadWmf(bytes);
        const QSizeF twips = picture->naturalSizeTwips();
        QImage image(96, 64, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        const double aspect = twips.height() > 0 ? twips.width() / twips.height() : 1.0;
        picture->render(painter, QRectF(0, 0, 48, 48 / std::clamp(aspect, 0.05, 20.0)));
        picture->render(painter, QRectF(95, 63, -40, -30)); // flipped and stretched
    } catch (const RuntimeError &) {
    }
    return 0;
}
