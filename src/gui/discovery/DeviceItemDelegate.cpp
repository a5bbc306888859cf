#include "gui/discovery/DeviceItemDelegate.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QPixmap>

#include "gui/discovery/DeviceListModel.h"
#include "gui/discovery/PictureLists.h"
#include "gui/discovery/ViewSettings.h"

namespace lm::gui {

namespace {

constexpr int kPad = 5;        // inside a cell, around picture and label
constexpr int kGap = 8;        // between a picture and a label beside it
constexpr int kSmallRow = 52;  // a Details row that shows a 48 x 48 picture

// The widest label line the cells make room for: an identifier or an address with a port.
int labelWidth(const QFontMetrics& metrics) {
    return qMax(metrics.horizontalAdvance(QStringLiteral("000000-000000")),
                metrics.horizontalAdvance(QStringLiteral("255.255.255.255")));
}

QColor headerColour(const QPalette& palette) {
    // A dark blue on light themes; the highlight colour keeps it readable on dark ones.
    return palette.color(QPalette::Base).lightness() > 128 ? QColor(0x1E, 0x3A, 0x8A)
                                                           : palette.color(QPalette::Highlight).lighter(140);
}

}  // namespace

DeviceItemDelegate::DeviceItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void DeviceItemDelegate::configure(int viewType, bool gridLines, bool previewImage) {
    viewType_ = viewType;
    cellSize_ = QSize();
    gridLines_ = gridLines;
    previewImage_ = previewImage;
}

QSize DeviceItemDelegate::cellSize(const QFontMetrics& metrics) const {
    const int line = metrics.lineSpacing();
    const int text = labelWidth(metrics);
    switch (viewType_) {
        case ViewSettings::Thumbnails:
            return {qMax(PictureLists::kLargeWidth, text) + 2 * kPad,
                    kPad + PictureLists::kLargeHeight + 4 + 2 * line + kPad};
        case ViewSettings::Tiles:
            return {kPad + PictureLists::kLargeWidth + kGap + text + 2 * kPad,
                    PictureLists::kLargeHeight + 2 * kPad};
        case ViewSettings::Icons:
            return {qMax(PictureLists::kSmall, text) + 2 * kPad,
                    kPad + PictureLists::kSmall + 4 + 2 * line + kPad};
        default:  // List
            return {kPad + PictureLists::kSmall + kGap + text + 2 * kPad, PictureLists::kSmall + 2 * kPad};
    }
}

QSize DeviceItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const bool header = index.data(DeviceListModel::HeaderRole).toBool();
    if (viewType_ == ViewSettings::Details) {
        if (header) return {option.rect.width(), option.fontMetrics.height() + 12};
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(previewImage_ ? kSmallRow : qMax(size.height(), option.fontMetrics.height() + 6));
        return size;
    }
    if (header) {
        // As wide as the view, so the header takes a row of its own and the next item wraps.
        const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
        const int width = view ? view->viewport()->width() - 2 * kSpacing - 1 : 400;
        return {qMax(width, 50), option.fontMetrics.height() + 14};
    }
    // Asked once per item at every layout: the texts it measures are the same for every cell.
    if (!cellSize_.isValid() || option.font != cellFont_) {
        cellFont_ = option.font;
        cellSize_ = cellSize(option.fontMetrics);
    }
    return cellSize_;
}

void DeviceItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    if (index.data(DeviceListModel::HeaderRole).toBool()) {
        paintHeader(painter, option, index);
        return;
    }
    if (viewType_ != ViewSettings::Details) {
        paintCell(painter, option, index);
        return;
    }
    QStyledItemDelegate::paint(painter, option, index);
    if (gridLines_) {
        painter->save();
        painter->setPen(option.palette.color(QPalette::Midlight).darker(108));
        const QRect r = option.rect;
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
    }
}

void DeviceItemDelegate::paintHeader(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    painter->save();
    QFont font = option.font;
    font.setBold(true);
    painter->setFont(font);
    const QFontMetrics metrics(font);
    const QColor colour = headerColour(option.palette);
    const QRect r = option.rect.adjusted(kPad, 0, -kPad, 0);
    const QString text =
        metrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, r.width());
    painter->setPen(colour);
    painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
    // A rule from the end of the text to the right edge, as group headers are drawn.
    const int x = r.left() + metrics.horizontalAdvance(text) + kGap;
    if (x < r.right()) {
        QColor rule = colour;
        rule.setAlpha(90);
        painter->setPen(rule);
        const int y = r.center().y() + 1;
        painter->drawLine(x, y, r.right(), y);
    }
    painter->restore();
}

void DeviceItemDelegate::paintCell(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect cell = option.rect.adjusted(1, 1, -1, -1);
    const QColor highlight = option.palette.color(QPalette::Highlight);
    if (option.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
        const bool selected = option.state & QStyle::State_Selected;
        QColor fill = highlight;
        fill.setAlpha(selected ? 60 : 25);
        QColor edge = highlight;
        edge.setAlpha(selected ? 170 : 70);
        painter->setPen(edge);
        painter->setBrush(fill);
        painter->drawRoundedRect(QRectF(cell).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
    painter->setRenderHint(QPainter::Antialiasing, false);

    const bool large = viewType_ == ViewSettings::Thumbnails || viewType_ == ViewSettings::Tiles;
    const bool beside = viewType_ == ViewSettings::Tiles || viewType_ == ViewSettings::List;
    const QSize pictureSize = large ? QSize(PictureLists::kLargeWidth, PictureLists::kLargeHeight)
                                    : QSize(PictureLists::kSmall, PictureLists::kSmall);
    const QRect inner = option.rect.adjusted(kPad, kPad, -kPad, -kPad);
    QRect pictureRect(QPoint(), pictureSize);
    QRect labelRect;
    if (beside) {
        pictureRect.moveTopLeft(
            QPoint(inner.left(), inner.top() + (inner.height() - pictureSize.height()) / 2));
        labelRect = QRect(pictureRect.right() + 1 + kGap, inner.top(),
                          inner.right() - pictureRect.right() - kGap, inner.height());
    } else {
        pictureRect.moveTopLeft(
            QPoint(inner.left() + (inner.width() - pictureSize.width()) / 2, inner.top()));
        labelRect = QRect(inner.left(), pictureRect.bottom() + 5, inner.width(),
                          inner.bottom() - pictureRect.bottom() - 4);
    }

    const QPixmap picture = index.data(Qt::DecorationRole).value<QPixmap>();
    if (!picture.isNull()) painter->drawPixmap(pictureRect, picture);
    painter->setPen(option.palette.color(QPalette::Mid));
    painter->drawRect(pictureRect.adjusted(-1, -1, 0, 0));

    // Each label line elided on its own, so an address never hides behind a long identifier.
    const QStringList lines = index.data(Qt::DisplayRole).toString().split(QLatin1Char('\n'));
    const QFontMetrics& metrics = option.fontMetrics;
    const int line = metrics.lineSpacing();
    int y = beside ? labelRect.top() + (labelRect.height() - line * static_cast<int>(lines.size())) / 2
                   : labelRect.top();
    const Qt::Alignment align = (beside ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
    painter->setPen(option.palette.color(QPalette::Text));
    for (const QString& text : lines) {
        if (y + line > labelRect.bottom() + 2) break;
        painter->drawText(QRect(labelRect.left(), y, labelRect.width(), line), align,
                          metrics.elidedText(text, Qt::ElideRight, labelRect.width()));
        y += line;
    }
    painter->restore();
}

}  // namespace lm::gui
