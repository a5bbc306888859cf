#include "gui/discovery/PictureLists.h"

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

}  // namespace

PictureLists::PictureLists()
    : small_{defaultPicture(kSmall, kSmall)}, large_{defaultPicture(kLargeWidth, kLargeHeight)} {}

uint32_t PictureLists::store(uint32_t index, const QImage& small, const QImage& large) {
    // Scaled outside the lock; only the two list operations run under it.
    QImage smallPicture = fitted(small, kSmall, kSmall);
    QImage largePicture = fitted(large, kLargeWidth, kLargeHeight);
    std::lock_guard lock(mutex_);
    // Position 0 is the default and is never replaced; a position the lists do not hold yet is
    // appended rather than trusted.
    if (index == 0 || index >= small_.size()) {
        small_.push_back(std::move(smallPicture));
        large_.push_back(std::move(largePicture));
        return static_cast<uint32_t>(small_.size() - 1);
    }
    small_[index] = std::move(smallPicture);
    large_[index] = std::move(largePicture);
    return index;
}

QPixmap PictureLists::small(uint32_t index) const {
    QImage image;
    {
        std::lock_guard lock(mutex_);
        image = small_[index < small_.size() ? index : 0];
    }
    return QPixmap::fromImage(image);
}

QPixmap PictureLists::large(uint32_t index) const {
    QImage image;
    {
        std::lock_guard lock(mutex_);
        image = large_[index < large_.size() ? index : 0];
    }
    return QPixmap::fromImage(image);
}

std::size_t PictureLists::size() const {
    std::lock_guard lock(mutex_);
    return small_.size();
}

}  // namespace lm::gui
