#include "picture/wmf/wmfpicture.h"

#include "picture/memorybudget.h"
#include "picture/wmf/wmfparser.h"
#include "picture/wmf/wmfplayer.h"

#include <QPainter>

namespace lumora::picture::wmf {

namespace {

// A parsed metafile: the records are kept, never a bitmap of them, and played anew at every
// render, at the target's own scale.
class WmfPicture final : public VectorPicture {
public:
    WmfPicture(ParsedWmf wmf, MemoryBudget::Reservation reservation)
        : m_wmf(std::move(wmf)), m_reservation(std::move(reservation))
    {
    }

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
    MemoryBudget::Reservation m_reservation; // what the kept records and bitmaps take
};

template <typename T> qint64 vectorBytes(const std::vector<T> &items)
{
    return qint64(items.capacity()) * qint64(sizeof(T));
}

// The bulk of what a parsed metafile keeps: its records, points and embedded bitmaps.
qint64 keptBytes(const ParsedWmf &wmf)
{
    qint64 bytes = vectorBytes(wmf.records) + vectorBytes(wmf.points) +
                   vectorBytes(wmf.polygonSizes) + vectorBytes(wmf.bitmaps);
    for (const BitmapDef &bitmap : wmf.bitmaps)
        bytes += bitmap.image.sizeInBytes();
    return bytes;
}

} // namespace

std::shared_ptr<const VectorPicture> loadWmf(QByteArrayView bytes)
{
    // The parser copies what it keeps: `bytes` may be a mapping that goes away after this.
    ParsedWmf wmf = parseWmf(bytes);
    // The parser's own limits keep this to a few hundred megabytes at most; a refusal frees it
    // at once and fails the picture like any the budget cannot hold.
    MemoryBudget::Reservation reservation = MemoryBudget::process().reserve(keptBytes(wmf));
    return std::make_shared<const WmfPicture>(std::move(wmf), std::move(reservation));
}

} // namespace lumora::picture::wmf
