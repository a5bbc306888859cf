#include "gui/discovery/ThumbnailDecoder.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <semaphore>

#include "core/discovery/ThumbnailGeometry.h"

namespace lm::gui {

namespace {

// The maker's largest camera gives 2592 x 1944; a picture beyond this is refused unread, as a few
// kilobytes may claim billions of pixels.
constexpr int64_t kMaxSourcePixels = 8'000'000;

// Each decode may hold a whole source picture for a moment, so only this many run at once.
constexpr std::ptrdiff_t kDecodesAtOnce = 2;
using DecodeGate = std::counting_semaphore<kDecodesAtOnce>;

DecodeGate& decodeGate() {
    // Never destroyed: a fetch thread may still be decoding as the process ends.
    static auto* gate = new DecodeGate(kDecodesAtOnce);
    return *gate;
}

class DecodeTurn {
public:
    DecodeTurn() { decodeGate().acquire(); }
    ~DecodeTurn() { decodeGate().release(); }
    DecodeTurn(const DecodeTurn&) = delete;
    DecodeTurn& operator=(const DecodeTurn&) = delete;
};

// Twice the size of the larger of the two pictures made from it on each side, so that shrinking
// still averages; never more than the source. JPEG pictures are then decoded at a fraction of
// their size to begin with.
QSize decodeSize(QSize source) {
    const PixelRect target = ThumbnailGeometry::largeTarget(source.width(), source.height());
    const double scale =
        std::min(1.0, std::max({2.0 * target.width / source.width(), 2.0 * target.height / source.height(),
                                2.0 * PictureLists::kSmall / std::min(source.width(), source.height())}));
    return QSize(std::clamp(static_cast<int>(std::ceil(source.width() * scale)), 1, source.width()),
                 std::clamp(static_cast<int>(std::ceil(source.height() * scale)), 1, source.height()));
}

// A rectangle of the source, in the pixels of the picture decoded from it.
QRect inDecoded(const PixelRect& r, QSize source, QSize decoded) {
    const double sx = double(decoded.width()) / source.width();
    const double sy = double(decoded.height()) / source.height();
    const int left = static_cast<int>(std::lround(r.x * sx));
    const int top = static_cast<int>(std::lround(r.y * sy));
    const int right = std::max(left + 1, static_cast<int>(std::lround((r.x + r.width) * sx)));
    const int bottom = std::max(top + 1, static_cast<int>(std::lround((r.y + r.height) * sy)));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

}  // namespace

std::optional<Thumbnails> scaleThumbnails(std::span<const unsigned char> body, QColor background) {
    if (body.empty() || body.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(body.data()), int(body.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // The geometry is the source's own, whatever size it is decoded at.
    const QSize size = reader.size();
    if (size.width() <= 0 || size.height() <= 0 || int64_t(size.width()) * size.height() > kMaxSourcePixels)
        return std::nullopt;
    reader.setScaledSize(decodeSize(size));

    const DecodeTurn turn;
    QImage decoded = reader.read();
    if (decoded.isNull()) return std::nullopt;
    decoded = decoded.convertToFormat(QImage::Format_RGB32);

    const QRect crop =
        inDecoded(ThumbnailGeometry::smallSource(size.width(), size.height()), size, decoded.size());
    QImage small = decoded.copy(crop).scaled(PictureLists::kSmall, PictureLists::kSmall,
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);

    QImage large(PictureLists::kLargeWidth, PictureLists::kLargeHeight, QImage::Format_RGB32);
    large.fill(background);
    const PixelRect target = ThumbnailGeometry::largeTarget(size.width(), size.height());
    if (target.width > 0 && target.height > 0) {
        // Scaled first so that shrinking averages the source; the painter then cuts off any
        // overhang beyond the slot.
        const QImage scaled =
            decoded.scaled(target.width, target.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&large);
        painter.drawImage(QPoint(target.x, target.y), scaled);
    }

    return Thumbnails{std::move(small), std::move(large)};
}

std::optional<DeviceInventory::PictureStore> decodeThumbnail(std::span<const unsigned char> body,
                                                             PictureLists& lists, QColor background) {
    const auto pictures = scaleThumbnails(body, background);
    if (!pictures) return std::nullopt;
    // Encoded here, on the fetch thread: the store runs under the inventory lock.
    PictureLists::Encoded encoded = PictureLists::encode(pictures->small, pictures->large);
    if (encoded.small.isEmpty() || encoded.large.isEmpty()) return std::nullopt;
    return DeviceInventory::PictureStore(
        [&lists, encoded = std::move(encoded)](uint32_t current) { return lists.store(current, encoded); });
}

}  // namespace lm::gui
