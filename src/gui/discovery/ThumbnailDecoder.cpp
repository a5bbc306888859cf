#include "discovery/ThumbnailDecoder.h"

#include <QImage>
#include <QPainter>
#include <climits>

#include "discovery/ThumbnailGeometry.h"

namespace lm::gui {

namespace {

QRect toQRect(const PixelRect& r) {
    return QRect(r.x, r.y, r.width, r.height);
}

}  // namespace

std::optional<DeviceInventory::PictureStore> decodeThumbnail(std::span<const unsigned char> body,
                                                             PictureLists& lists, QColor background) {
    if (body.empty() || body.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    QImage source;
    if (!source.loadFromData(body.data(), static_cast<int>(body.size())) || source.isNull())
        return std::nullopt;
    source = source.convertToFormat(QImage::Format_RGB32);
    const int w = source.width();
    const int h = source.height();
    if (w <= 0 || h <= 0) return std::nullopt;

    const QRect crop = toQRect(ThumbnailGeometry::smallSource(w, h));
    QImage small = source.copy(crop).scaled(PictureLists::kSmall, PictureLists::kSmall, Qt::IgnoreAspectRatio,
                                            Qt::SmoothTransformation);

    QImage large(PictureLists::kLargeWidth, PictureLists::kLargeHeight, QImage::Format_RGB32);
    large.fill(background);
    const QRect target = toQRect(ThumbnailGeometry::largeTarget(w, h));
    if (target.width() > 0 && target.height() > 0) {
        // Scaled first so that shrinking averages the source; the painter then cuts off any
        // overhang beyond the slot.
        const QImage scaled = source.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&large);
        painter.drawImage(target.topLeft(), scaled);
    }

    return DeviceInventory::PictureStore(
        [&lists, small = std::move(small), large = std::move(large)](uint32_t current) {
            return lists.store(current, small, large);
        });
}

}  // namespace lm::gui
