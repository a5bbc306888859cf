#pragma once

#include <QProxyStyle>

namespace lm::gui {

// Draws a column's sort arrow pointing up for ascending and down for descending, whatever the
// platform style's own habit is.
class SortArrowStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace lm::gui
