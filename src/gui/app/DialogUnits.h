#pragma once

#include <QFontMetrics>
#include <QRect>
#include <QWidget>

namespace lm::gui {

// Dialog layouts are given in dialog units: a quarter of the font's average character width
// across, an eighth of its height down. This turns them into pixels for a widget's font.
class DialogUnits {
public:
    explicit DialogUnits(const QWidget& widget) : DialogUnits(widget.fontMetrics()) {}
    explicit DialogUnits(const QFontMetrics& metrics)
        : charWidth_(averageCharWidth(metrics)), charHeight_(metrics.height()) {}

    int x(int units) const { return (units * charWidth_ + 2) / 4; }
    int y(int units) const { return (units * charHeight_ + 4) / 8; }
    QRect rect(int left, int top, int width, int height) const {
        return QRect(x(left), y(top), x(width), y(height));
    }

private:
    static int averageCharWidth(const QFontMetrics& metrics) {
        const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        return (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2;
    }

    int charWidth_;
    int charHeight_;
};

}  // namespace lm::gui
