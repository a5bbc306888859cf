#include "gui/app/BrandArt.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <algorithm>

namespace lm::gui {

namespace {

const QColor kNavy(0x1e, 0x2a, 0x64);
const QColor kDeepNavy(0x0c, 0x12, 0x33);
const QColor kTeal(0x2f, 0xb8, 0xc8);
const QColor kAmber(0xf2, 0xa9, 0x3b);

// A lens seen from the front: a dark barrel ring, six aperture blades and a glint.
void paintLens(QPainter& p, const QRectF& box) {
    const QPointF c = box.center();
    const qreal r = std::min(box.width(), box.height()) / 2;

    QRadialGradient barrel(c, r);
    barrel.setColorAt(0.0, QColor(0x3a, 0x48, 0x8a));
    barrel.setColorAt(0.85, kNavy);
    barrel.setColorAt(1.0, kDeepNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(barrel);
    p.drawEllipse(c, r, r);

    p.setPen(QPen(kTeal, std::max<qreal>(1.0, r * 0.08)));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.80, r * 0.80);

    // Aperture: six blades turning around the centre leave a hexagonal opening.
    const qreal outer = r * 0.70;
    const qreal inner = r * 0.30;
    for (int i = 0; i < 6; ++i) {
        const qreal a0 = qDegreesToRadians(60.0 * i);
        const qreal a1 = qDegreesToRadians(60.0 * (i + 1));
        QPainterPath blade;
        blade.moveTo(c + QPointF(std::cos(a0), std::sin(a0)) * inner);
        blade.lineTo(c + QPointF(std::cos(a0 + 0.35), std::sin(a0 + 0.35)) * outer);
        blade.lineTo(c + QPointF(std::cos(a1 + 0.35), std::sin(a1 + 0.35)) * outer);
        blade.lineTo(c + QPointF(std::cos(a1), std::sin(a1)) * inner);
        blade.closeSubpath();
        p.setPen(QPen(kDeepNavy, std::max<qreal>(0.5, r * 0.02)));
        p.setBrush(QColor::fromHsv(200 + 8 * (i % 2), 90, 150 + 12 * (i % 3)));
        p.drawPath(blade);
    }

    QRadialGradient pupil(c, inner);
    pupil.setColorAt(0.0, QColor(0x10, 0x10, 0x18));
    pupil.setColorAt(1.0, kDeepNavy);
    p.setPen(Qt::NoPen);
    p.setBrush(pupil);
    p.drawEllipse(c, inner * 0.95, inner * 0.95);

    p.setBrush(QColor(255, 255, 255, 200));
    p.drawEllipse(c + QPointF(-r * 0.12, -r * 0.14), r * 0.09, r * 0.09);
    p.setBrush(kAmber);
    p.drawEllipse(c + QPointF(r * 0.55, -r * 0.55), r * 0.08, r * 0.08);
}

}  // namespace

QPixmap BrandArt::lensMark(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    paintLens(p, QRectF(0.5, 0.5, side - 1.0, side - 1.0));
    return pixmap;
}

QIcon BrandArt::windowIcon() {
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(lensMark(side));
    return icon;
}

QPixmap BrandArt::logo(QSize size) {
    QPixmap pixmap(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF all(QPointF(0, 0), QSizeF(size));

    QLinearGradient ground(all.topLeft(), all.bottomLeft());
    ground.setColorAt(0.0, kNavy);
    ground.setColorAt(1.0, kDeepNavy);
    p.fillRect(all, ground);

    // Light rays fanning out from the lens to the foot of the panel.
    const qreal side = std::min(all.width() * 0.72, all.height() * 0.45);
    const QRectF lens(all.center().x() - side / 2, all.height() * 0.08, side, side);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 5; ++i) {
        QPainterPath ray;
        const qreal spread = all.width() * (0.12 + 0.2 * i);
        ray.moveTo(lens.center());
        ray.lineTo(all.center().x() - spread, all.bottom());
        ray.lineTo(all.center().x() - spread + all.width() * 0.08, all.bottom());
        ray.closeSubpath();
        p.setBrush(QColor(0x2f, 0xb8, 0xc8, 18));
        p.drawPath(ray);
        p.drawPath(QTransform().translate(2 * all.center().x(), 0).scale(-1, 1).map(ray));
    }
    paintLens(p, lens);

    QFont wordFont(QStringLiteral("Sans Serif"));
    wordFont.setBold(true);
    wordFont.setPixelSize(std::max(8, static_cast<int>(all.width() * 0.2)));
    // Shrink until the word fits the panel with a margin.
    while (QFontMetrics(wordFont).horizontalAdvance(QStringLiteral("Lumetra")) > all.width() * 0.88 &&
           wordFont.pixelSize() > 6)
        wordFont.setPixelSize(wordFont.pixelSize() - 1);
    p.setFont(wordFont);
    p.setPen(Qt::white);
    const qreal wordTop = lens.bottom() + all.height() * 0.06;
    const QRectF wordBox(0, wordTop, all.width(), QFontMetrics(wordFont).height());
    p.drawText(wordBox, Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Lumetra"));

    p.setPen(QPen(kAmber, 2));
    const qreal lineY = wordBox.bottom() + 4;
    p.drawLine(QPointF(all.width() * 0.3, lineY), QPointF(all.width() * 0.7, lineY));

    QFont toolsFont = wordFont;
    toolsFont.setBold(false);
    toolsFont.setPixelSize(std::max(6, wordFont.pixelSize() * 3 / 5));
    toolsFont.setLetterSpacing(QFont::PercentageSpacing, 130);
    p.setFont(toolsFont);
    p.setPen(QColor(0xc8, 0xd4, 0xf0));
    p.drawText(QRectF(0, lineY + 4, all.width(), QFontMetrics(toolsFont).height()), Qt::AlignHCenter,
               QStringLiteral("TOOLS"));
    return pixmap;
}

}  // namespace lm::gui
