#include "gui/discovery/PictureLists.h"

#include <QBuffer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace lm::gui {

namespace {

// The default picture: a camera silhouette on a soft background, drawn to any size.
QImage defaultPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0xEE, 0xF2, 0xF7));
    sky.setColorAt(1, QColor(0xD3, 0xDC, 0xE8));
    p.fillRect(image.rect(), sky);

    const qreal s = qMin(width, height);
    const QPointF centre(width / 2.0, height / 2.0 + 0.06 * s);
    const QColor body(0x55, 0x65, 0x7A);
    p.setPen(Qt::NoPen);
    p.setBrush(body);

    // Prism hump on top of the body, then the body.
    const QRectF bodyRect(centre.x() - 0.40 * s, centre.y() - 0.25 * s, 0.80 * s, 0.50 * s);
    QPainterPath hump;
    hump.moveTo(centre.x() - 0.17 * s, bodyRect.top() + 1);
    hump.lineTo(centre.x() - 0.11 * s, bodyRect.top() - 0.10 * s);
    hump.lineTo(centre.x() + 0.11 * s, bodyRect.top() - 0.10 * s);
    hump.lineTo(centre.x() + 0.17 * s, bodyRect.top() + 1);
    hump.closeSubpath();
    p.drawPath(hump);
    p.drawRoundedRect(bodyRect, 0.08 * s, 0.08 * s);

    // Shutter button and flash window.
    p.drawRoundedRect(QRectF(bodyRect.left() + 0.08 * s, bodyRect.top() - 0.05 * s, 0.13 * s, 0.07 * s),
                      0.02 * s, 0.02 * s);
    p.setBrush(QColor(0xE9, 0xEE, 0xF4));
    p.drawRoundedRect(QRectF(bodyRect.right() - 0.17 * s, bodyRect.top() + 0.06 * s, 0.10 * s, 0.06 * s),
                      0.015 * s, 0.015 * s);

    // Lens: a light ring, the dark glass and a glint.
    p.setBrush(QColor(0xE9, 0xEE, 0xF4));
    p.drawEllipse(centre, 0.20 * s, 0.20 * s);
    QRadialGradient glass(centre - QPointF(0.04 * s, 0.04 * s), 0.17 * s);
    glass.setColorAt(0, QColor(0x4A, 0x5E, 0x78));
    glass.setColorAt(1, QColor(0x22, 0x2B, 0x37));
    p.setBrush(glass);
    p.drawEllipse(centre, 0.155 * s, 0.155 * s);
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(centre - QPointF(0.06 * s, 0.06 * s), 0.035 * s, 0.035 * s);
    return image;
}

QImage fitted(const QImage& image, int width, int height) {
    QImage result = image.size() == QSize(width, height)
                        ? image
                        : image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result.convertToFormat(QImage::Format_RGB32);
}

// Camera pictures at this quality look as they came, at about a tenth of their bitmap's size.
constexpr int kQuality = 90;

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "JPEG", kQuality)) return {};
    return bytes;
}

uint64_t cacheKey(uint32_t index, bool large) {
    return uint64_t{index} * 2 + (large ? 1 : 0);
}

}  // namespace

PictureLists::Encoded PictureLists::encode(const QImage& small, const QImage& large) {
    return {jpeg(fitted(small, kSmall, kSmall)), jpeg(fitted(large, kLargeWidth, kLargeHeight))};
}

PictureLists::PictureLists(qsizetype decodedBytes)
    : slots_(1),
      defaultSmall_(defaultPicture(kSmall, kSmall)),
      defaultLarge_(defaultPicture(kLargeWidth, kLargeHeight)),
      decoded_(decodedBytes) {}

uint32_t PictureLists::store(uint32_t index, Encoded pictures) {
    std::lock_guard lock(mutex_);
    // Position 0 is the default and is never replaced; a position not in use is not trusted.
    if (index == 0 || index >= slots_.size() || slots_[index].generation == 0) {
        if (free_.empty()) {
            index = static_cast<uint32_t>(slots_.size());
            slots_.emplace_back();
        } else {
            index = free_.back();
            free_.pop_back();
        }
        ++inUse_;
    }
    Slot& slot = slots_[index];
    encodedBytes_ = encodedBytes_ - slot.pictures.bytes() + pictures.bytes();
    slot.pictures = std::move(pictures);
    slot.generation = nextGeneration_++;
    return index;
}

uint32_t PictureLists::store(uint32_t index, const QImage& small, const QImage& large) {
    return store(index, encode(small, large));
}

void PictureLists::release(uint32_t index) {
    std::lock_guard lock(mutex_);
    if (index == 0 || index >= slots_.size() || slots_[index].generation == 0) return;
    Slot& slot = slots_[index];
    encodedBytes_ -= slot.pictures.bytes();
    slot = Slot{};
    free_.push_back(index);
    --inUse_;
}

QPixmap PictureLists::picture(uint32_t index, bool large) const {
    uint64_t generation = 0;
    QByteArray bytes;
    {
        std::lock_guard lock(mutex_);
        if (index < slots_.size() && slots_[index].generation != 0) {
            generation = slots_[index].generation;
            bytes = large ? slots_[index].pictures.large : slots_[index].pictures.small;
        }
    }
    const uint64_t key = cacheKey(generation == 0 ? 0 : index, large);
    if (const Decoded* kept = decoded_.object(key); kept && kept->generation == generation)
        return kept->pixmap;
    QImage image =
        generation == 0 ? (large ? defaultLarge_ : defaultSmall_) : QImage::fromData(bytes, "JPEG");
    if (generation != 0) ++decodes_;
    if (image.isNull()) image = large ? defaultLarge_ : defaultSmall_;
    auto* decoded = new Decoded{generation, QPixmap::fromImage(std::move(image))};
    const QPixmap shown = decoded->pixmap;
    decoded_.insert(key, decoded, static_cast<qsizetype>(shown.width()) * shown.height() * 4);
    return shown;
}

QPixmap PictureLists::small(uint32_t index) const {
    return picture(index, false);
}

QPixmap PictureLists::large(uint32_t index) const {
    return picture(index, true);
}

std::size_t PictureLists::size() const {
    std::lock_guard lock(mutex_);
    return inUse_;
}

std::size_t PictureLists::encodedBytes() const {
    std::lock_guard lock(mutex_);
    return encodedBytes_;
}

}  // namespace lm::gui
