#include "gui/discovery/SortArrowStyle.h"

#include <QStyleOptionHeader>

namespace lm::gui {

void SortArrowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
    const auto* header = qstyleoption_cast<const QStyleOptionHeader*>(option);
    if (element != PE_IndicatorHeaderArrow || !header || header->sortIndicator == QStyleOptionHeader::None) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // QHeaderView hands ascending order over as SortDown.
    const bool ascending = header->sortIndicator == QStyleOptionHeader::SortDown;
    QStyleOption arrow(*option);
    QProxyStyle::drawPrimitive(ascending ? PE_IndicatorArrowUp : PE_IndicatorArrowDown, &arrow, painter,
                               widget);
}

}  // namespace lm::gui
