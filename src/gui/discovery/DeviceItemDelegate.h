#pragma once

#include <QStyledItemDelegate>

namespace lm::gui {

// Draws the device list's items and group headers in every view: the Details rows (with grid
// lines when asked), and the picture-and-label cells of the Thumbnails, Tiles, Icons and List
// views, where a group header takes a row of its own.
class DeviceItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit DeviceItemDelegate(QObject* parent = nullptr);

    // viewType: 0 Thumbnails, 1 Details, 2 Icons, 3 List, 4 Tiles.
    void configure(int viewType, bool gridLines, bool previewImage);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    static constexpr int kSpacing = 6;  // the icon views' spacing between cells

private:
    void paintHeader(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    void paintCell(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const;
    QSize cellSize(const QFontMetrics& metrics) const;

    int viewType_ = 1;
    bool gridLines_ = false;
    bool previewImage_ = false;
    mutable QFont cellFont_;
    mutable QSize cellSize_;
};

}  // namespace lm::gui
