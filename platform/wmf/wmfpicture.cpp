#include "platform/wmf/wmfpicture.h"

#include "platform/wmf/wmfparser.h"
#include "platform/wmf/wmfplayer.h"

#include <QPainter>

namespace lumora::platform::wmf {

namespace {

// A parsed metafile: the records are kept, never a bitmap of them, and played anew at every
// render, at the target's own scale.
class WmfPicture final : public VectorPicture {
public:
    explicit WmfPicture(ParsedWmf wmf) : m_wmf(std::move(wmf)) {}

    QSizeF naturalSizeTwips() const override { return m_wmf.naturalTwips; }

    void render(QPainter &painter, const QRectF &target) const override
    {
        if (!painter.isActive() || !(std::abs(target.width()) > 0) ||
            !(std::abs(target.height()) > 0) || !std::isfinite(target.width()) ||
            !std::isfinite(target.height()))
            return;
        painter.save();
        Player(m_wmf, painter, target).play();
        painter.restore();
    }

private:
    ParsedWmf m_wmf;
};

} // namespace

std::shared_ptr<const VectorPicture> loadWmf(QByteArrayView bytes)
{
    // The parser copies what it keeps: `bytes` may be a mapping that goes away after this.
    return std::make_shared<const WmfPicture>(parseWmf(bytes));
}

} // namespace lumora::platform::wmf
